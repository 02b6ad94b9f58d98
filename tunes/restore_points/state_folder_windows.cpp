#include "tunes/restore_points/state_folder.h"

#include "link/text/shown_text.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QStandardPaths>

#include <windows.h>

namespace tuner {
namespace {

// The path and each folder above it, the outermost first: "C:/a/b" -> "C:/a", "C:/a/b"; a drive
// ("C:") or a share ("//server/share") is never made.
QStringList PathAndAbove(const QString &path) {
    const QString whole = QDir::cleanPath(QDir::fromNativeSeparators(path));
    qsizetype from = whole.indexOf(u'/');
    if (whole.startsWith(QStringLiteral("//"))) {
        const qsizetype server = whole.indexOf(u'/', 2);
        from = server < 0 ? -1 : whole.indexOf(u'/', server + 1);
    }
    QStringList parts;
    for (qsizetype slash = from < 0 ? -1 : whole.indexOf(u'/', from + 1); slash > 0;
         slash = whole.indexOf(u'/', slash + 1))
        parts.append(whole.left(slash));
    parts.append(whole);
    return parts;
}

QString Shown(const QString &part) {
    return EscapedText(QDir::toNativeSeparators(part));
}

// Why `part` is no folder one may go into: a link that leads nowhere, or something else than a
// folder. Nothing for a folder, or when nothing is there.
std::optional<QString> NoFolder(const QString &part, const QString &whole) {
    const QFileInfo about(part);
    const QString subject = part == whole ? QStringLiteral("it") : Shown(part);
    if (about.isSymLink() && !about.exists())
        return subject + QStringLiteral(" is a link to ") + Shown(about.symLinkTarget()) +
               QStringLiteral(", which leads nowhere");
    if (about.exists() && !about.isDir())
        return subject + QStringLiteral(" is not a folder");
    return std::nullopt;
}

} // namespace

const char kStateFolderVariable[] = "LOCALAPPDATA";
const int kOpenRetries = 10;
const char kStateFolderShown[] = "%LOCALAPPDATA%";

// %LOCALAPPDATA% (C:\Users\<name>\AppData\Local): kept on this machine, not carried to others
// with a roaming profile, as the restore points belong to the car this laptop tunes. Without the
// variable, the system is asked for the folder: Qt's generic data location is the known folder
// LocalAppData (SHGetKnownFolderPath).
std::optional<QString> StateFolder() {
    const QString local = qEnvironmentVariable(kStateFolderVariable);
    if (!local.isEmpty() && QDir::isAbsolutePath(local))
        return QDir::fromNativeSeparators(local);
    const QString known = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (known.isEmpty())
        return std::nullopt;
    return known;
}

} // namespace tuner

namespace tuner {

std::optional<QString> MakeFolder(const QString &path) {
    const QStringList parts = PathAndAbove(path);
    for (const QString &part : parts) {
        if (CreateDirectoryW(
                reinterpret_cast<const wchar_t *>(QDir::toNativeSeparators(part).utf16()), nullptr))
            continue;
        const DWORD refused = GetLastError();
        // There already, or made by another process at this very moment.
        if (QFileInfo(part).isDir())
            continue;
        if (std::optional<QString> problem = NoFolder(part, parts.constLast()))
            return problem;
        const QString reason = qt_error_string(static_cast<int>(refused));
        return part == parts.constLast() ? reason : Shown(part) + QStringLiteral(": ") + reason;
    }
    return std::nullopt;
}

std::optional<QString> UnreachableFolder(const QString &path) {
    const QStringList parts = PathAndAbove(path);
    for (const QString &part : parts) {
        if (std::optional<QString> problem = NoFolder(part, parts.constLast()))
            return problem;
    }
    return std::nullopt;
}

void ForEachEntry(const QString &folder, const std::function<void(QStringView, bool)> &each) {
    QDirIterator entries(folder,
                         QDir::AllEntries | QDir::System | QDir::Hidden | QDir::NoDotAndDotDot);
    while (entries.hasNext()) {
        entries.next();
        // What the listing found, as the system gave it with the name.
        each(entries.fileName(), entries.fileInfo().isFile() && !entries.fileInfo().isSymLink());
    }
}

QString RemovalCommand(const QString &path, bool folder) {
    return (folder ? QStringLiteral("rmdir \"") : QStringLiteral("del \"")) + Shown(path) + u'"';
}

} // namespace tuner
