#include "tunes/restore_points/state_folder.h"

#include "link/text/shown_text.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace tuner {
namespace {

// A name as the system gave it, into `name`. A restore point's name is ASCII, read ten thousand
// at a time before a write: such a name is copied into the string it reuses, skipping the
// locale's decoder and any allocation.
void Decode(const char *bytes, QString &name) {
    const std::size_t size = std::strlen(bytes);
    if (!std::all_of(bytes, bytes + size, [](char c) { return (c & 0x80) == 0; })) {
        name = QFile::decodeName(bytes);
        return;
    }
    name.resize(static_cast<qsizetype>(size));
    std::transform(bytes, bytes + size, name.data(), [](char c) { return QLatin1Char(c); });
}

// $HOME, else the home the password database gives this user (a service or a cron job may run
// without HOME); "" for none. A relative one would move with the working folder.
QString HomeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty() && QDir::isAbsolutePath(home))
        return home;
    const passwd *entry = ::getpwuid(::getuid());
    if (entry == nullptr || entry->pw_dir == nullptr)
        return {};
    const QString database = QFile::decodeName(entry->pw_dir);
    return QDir::isAbsolutePath(database) ? database : QString();
}

// The path and each folder above it, the outermost first: "/a/b" -> "/a", "/a/b".
QList<QByteArray> PathAndAbove(const QString &path) {
    const QByteArray whole = QFile::encodeName(QDir::cleanPath(path));
    QList<QByteArray> parts;
    for (qsizetype slash = whole.indexOf('/', 1); slash > 0; slash = whole.indexOf('/', slash + 1))
        parts.append(whole.left(slash));
    parts.append(whole);
    return parts;
}

// What the system said about `part` of the path to `whole`: the reason alone for the folder
// itself, "/s/x: Permission denied" for a folder above it.
QString Concerning(const QByteArray &part, const QByteArray &whole, const QString &reason) {
    return part == whole ? reason
                         : EscapedText(QFile::decodeName(part)) + QStringLiteral(": ") + reason;
}

// "it is ..." for the folder itself, "/s/x is ..." for a folder above it.
QString Is(const QByteArray &part, const QByteArray &whole, const QString &what) {
    return (part == whole ? QStringLiteral("it") : EscapedText(QFile::decodeName(part))) +
           QStringLiteral(" is ") + what;
}

// Why `part` is no folder one may go into: a link that cannot be followed, with the system's
// reason, something else than a folder, or a path the system refuses to look at. Nothing for a
// folder, or when nothing is there.
std::optional<QString> NoFolder(const QByteArray &part, const QByteArray &whole) {
    struct stat about {};
    if (::lstat(part.constData(), &about) != 0)
        return errno == ENOENT ? std::nullopt
                               : std::optional(Concerning(part, whole, qt_error_string(errno)));
    if (S_ISLNK(about.st_mode) && ::stat(part.constData(), &about) != 0) {
        const QString reason = qt_error_string(errno);
        return Is(part, whole,
                  QStringLiteral("a link to ") +
                      EscapedText(QFile::symLinkTarget(QFile::decodeName(part))) +
                      QStringLiteral(": ") + reason);
    }
    if (!S_ISDIR(about.st_mode))
        return Is(part, whole, QStringLiteral("not a folder"));
    return std::nullopt;
}

} // namespace

std::optional<QString> MakeFolder(const QString &path) {
    const QList<QByteArray> parts = PathAndAbove(path);
    for (const QByteArray &part : parts) {
        if (::mkdir(part.constData(), 0777) == 0)
            continue;
        const int refused = errno;
        struct stat about {};
        // There already, or made by another process at this very moment.
        if (::stat(part.constData(), &about) == 0 && S_ISDIR(about.st_mode))
            continue;
        if (std::optional<QString> problem = NoFolder(part, parts.constLast()))
            return problem;
        return Concerning(part, parts.constLast(), qt_error_string(refused));
    }
    return std::nullopt;
}

std::optional<QString> UnreachableFolder(const QString &path) {
    const QList<QByteArray> parts = PathAndAbove(path);
    for (const QByteArray &part : parts) {
        if (std::optional<QString> problem = NoFolder(part, parts.constLast()))
            return problem;
    }
    return std::nullopt;
}

void ForEachEntry(const QString &folder, const std::function<void(QStringView, bool)> &each) {
    DIR *entries = ::opendir(QFile::encodeName(folder).constData());
    if (entries == nullptr)
        return;
    QString name;
    while (const dirent *entry = ::readdir(entries)) {
        if (std::strcmp(entry->d_name, ".") == 0 || std::strcmp(entry->d_name, "..") == 0)
            continue;
        Decode(entry->d_name, name);
        each(name, entry->d_type == DT_REG);
    }
    ::closedir(entries);
}

QString RemovalCommand(const QString &path, bool folder) {
    QString quoted = EscapedText(path);
    quoted.replace(u'\'', QStringLiteral("'\\''"));
    return (folder ? QStringLiteral("rmdir '") : QStringLiteral("rm '")) + quoted + u'\'';
}

const char kStateFolderVariable[] = "XDG_STATE_HOME";
const int kOpenRetries = 0;
const char kStateFolderShown[] = "$XDG_STATE_HOME";

std::optional<QString> StateFolder() {
    const QString state = qEnvironmentVariable(kStateFolderVariable);
    // Only an absolute path counts: a relative one would move with the working folder.
    if (!state.isEmpty() && QDir::isAbsolutePath(state))
        return state;
    const QString home = HomeFolder();
    if (home.isEmpty())
        return std::nullopt;
    return QDir::cleanPath(home + QStringLiteral("/.local/state"));
}

} // namespace tuner
