#include "tunes/restore_points/restore_points.h"

#include "link/text/shown_text.h"
#include "tunes/files/tune_differences.h"
#include "tunes/restore_points/state_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRegularExpression>
#include <QTemporaryFile>

#include <algorithm>

namespace tuner {
namespace {

const QString kSuffix = QStringLiteral(".json");
const QString kNoFolder = QStringLiteral(
    "there is no folder for restore points: %1 and HOME are not set, and the system knows no "
    "home for this user");
// Long enough for another dccd-ctl to choose its name or prune; a process that died holding
// the lock leaves a lock that its process number shows to be stale.
constexpr int kLockWaitMs = 10000;

// A path as the system writes it (backslashes on Windows).
QString Shown(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// The number at the start of a name: "000042-20261207T150412Z-port1" -> 42; 0 for a name an
// earlier version gave ("20261207T150412Z-port1-2") or a file put there by hand.
qint64 OrderOf(const QString &name) {
    static const QRegularExpression numbered(QStringLiteral("^(\\d{1,15})-"));
    const QRegularExpressionMatch match = numbered.match(name);
    return match.hasMatch() ? match.captured(1).toLongLong() : 0;
}

// Newer first: by the number taken. Those without one are older than all numbered ones and
// keep the order their names give (the time, then the "-2" of a second within one second).
bool Newer(const RestorePoint &a, const RestorePoint &b) {
    if (a.order != b.order)
        return a.order > b.order;
    if (a.name.left(16) != b.name.left(16))
        return a.name.left(16) > b.name.left(16);
    if (a.name.size() != b.name.size())
        return a.name.size() > b.name.size();
    return a.name > b.name;
}

// Why a file cannot be written in the folder, as the system says it ("No space left on
// device"): the lock file does not tell.
QString WriteProblem(const QString &folder) {
    QTemporaryFile probe(folder + QStringLiteral("/.probe-XXXXXX"));
    if (probe.open() && probe.write("0") == 1 && probe.flush())
        return QStringLiteral("the lock file cannot be made");
    return probe.errorString();
}

// The folder's lock, held while a name is chosen and while the oldest are removed, so that two
// processes never take one name nor remove what the other has just kept. A lock is stale only
// when its process is gone, never by its age: a clock that moved must not break it.
class FolderLock {
public:
    explicit FolderLock(const QString &folder) : m_lock(folder + QStringLiteral("/.lock")) {
        m_lock.setStaleLockTime(0);
    }
    QString Take(const QString &folder) {
        if (m_lock.tryLock(kLockWaitMs))
            return {};
        switch (m_lock.error()) {
        case QLockFile::LockFailedError:
            return QStringLiteral("another dccd-ctl holds the lock of %1").arg(Shown(folder));
        case QLockFile::PermissionError:
            return QStringLiteral("cannot write %1: Permission denied").arg(Shown(folder));
        default:
            return QStringLiteral("cannot lock %1: %2").arg(Shown(folder), WriteProblem(folder));
        }
    }

private:
    QLockFile m_lock;
};

std::optional<RestorePoint> ReadRestorePoint(const QFileInfo &entry, SkippedEntry &skipped) {
    skipped = {entry.fileName(), {}, false};
    // The entry as the link leads: a FIFO, a terminal or a serial device is never opened, since
    // opening one waits for a writer or reads for good.
    if (!entry.isFile()) {
        skipped.reason = QStringLiteral(": not a regular file");
        return std::nullopt;
    }
    QFile file(entry.filePath());
    QByteArray text;
    if (file.open(QIODevice::ReadOnly))
        text = file.read(kLargestTuneFile + 1);
    if (!file.isOpen() || file.error() != QFileDevice::NoError) {
        skipped.reason = QStringLiteral(": ") + file.errorString();
        skipped.unreadable = true;
        return std::nullopt;
    }
    auto parsed = ParseTuneFile(text, entry.fileName(), SettingRange::Held);
    if (const QString *problem = std::get_if<QString>(&parsed)) {
        skipped.reason = problem->mid(entry.fileName().size()); // after "<name>"
        return std::nullopt;
    }
    QString name = entry.fileName();
    name.chop(kSuffix.size());
    RestorePoint point{name, entry.filePath(), std::get<TuneFile>(parsed), OrderOf(name), {}};
    point.outOfRange = OutOfRange(point.file.tune);
    return point;
}

// The highest number any name in the folder has, whether or not its file is a restore point.
qint64 HighestOrder(const QDir &folder) {
    qint64 highest = 0;
    for (const QString &name : folder.entryList({QStringLiteral("*") + kSuffix},
                                                QDir::AllEntries | QDir::System | QDir::Hidden))
        highest = std::max(highest, OrderOf(name));
    return highest;
}

// Writes the text to a file of its own in the folder, then gives it its name in one step that
// never replaces a file: a second process, or a file of that name put there by hand, keeps its
// bytes. The file appears whole or not at all.
QString PublishNew(const QString &folder, const QString &path, const QByteArray &text) {
    QTemporaryFile file(folder + QStringLiteral("/.restore-point-XXXXXX"));
    if (!file.open())
        return QStringLiteral("cannot write in %1: %2").arg(Shown(folder), file.errorString());
    // The text is buffered: a full disk shows only when it is flushed.
    if (file.write(text) != text.size() || !file.flush() || file.error() != QFileDevice::NoError)
        return QStringLiteral("cannot write %1: %2").arg(Shown(path), file.errorString());
    if (QFileInfo::exists(path) || !file.rename(path))
        return QStringLiteral("cannot write %1: %2")
            .arg(Shown(path), QFileInfo::exists(path) ? QStringLiteral("it exists already")
                                                      : file.errorString());
    file.setAutoRemove(false);
    return {};
}

const QString kBeforeWriting = QStringLiteral("taken before writing ");
const QString kBeforeWritingBack = QStringLiteral("taken before writing back restore point ");

} // namespace

std::variant<QString, QString> RestorePointFolder() {
    const std::optional<QString> state = StateFolder();
    if (!state)
        return std::variant<QString, QString>(std::in_place_index<1>,
                                              kNoFolder.arg(QLatin1String(kStateFolderVariable)));
    return std::variant<QString, QString>(std::in_place_index<0>,
                                          *state + QStringLiteral("/dccd-tuner/restore-points"));
}

std::variant<int, QString> KeptRestorePoints() {
    if (!qEnvironmentVariableIsSet(kKeepVariable))
        return kKeptRestorePoints;
    const QString text = qEnvironmentVariable(kKeepVariable);
    static const QRegularExpression decimal(QStringLiteral("^[0-9]{1,9}$"));
    const int kept = decimal.match(text).hasMatch() ? text.toInt() : 0;
    if (kept < 1 || kept > kMostKeptRestorePoints)
        return QStringLiteral("%1 wants a whole number of restore points to keep, from 1 to %2, "
                              "not '%3'")
            .arg(QLatin1String(kKeepVariable))
            .arg(kMostKeptRestorePoints)
            .arg(EscapedText(text));
    return kept;
}

std::variant<RestorePoint, QString> KeepRestorePoint(const TuningParameters &held, qint16 port,
                                                     const QDateTime &takenAt,
                                                     const QString &note) {
    const auto located = RestorePointFolder();
    if (located.index() == 1)
        return std::get<1>(located);
    const QDir folder(std::get<0>(located));
    if (!folder.mkpath(QStringLiteral(".")))
        return QStringLiteral("cannot make the folder %1").arg(Shown(folder.path()));
    FolderLock lock(folder.path());
    if (const QString refused = lock.Take(folder.path()); !refused.isEmpty())
        return refused;
    const QDateTime utc = takenAt.toUTC();
    const QString name = QStringLiteral("%1-%2-port%3")
                             .arg(HighestOrder(folder) + 1, 6, 10, QLatin1Char('0'))
                             .arg(utc.toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")))
                             .arg(port);
    RestorePoint point{name, folder.filePath(name + kSuffix),
                       TuneFile{TuneOf(held), note, utc.toString(Qt::ISODate), port}, OrderOf(name),
                       OutOfRange(TuneOf(held))};
    if (const QString failed = PublishNew(folder.path(), point.path, TuneFileText(point.file));
        !failed.isEmpty())
        return failed;
    return point;
}

QStringList PruneRestorePoints(int kept, const QStringList &spared) {
    const auto located = RestorePointFolder();
    if (located.index() == 1)
        return {};
    FolderLock lock(std::get<0>(located));
    if (const QString refused = lock.Take(std::get<0>(located)); !refused.isEmpty())
        return {QStringLiteral("no older restore point was removed: ") + refused};
    const QList<RestorePoint> points = ReadRestorePoints().points;
    QStringList said;
    int removed = 0;
    for (qsizetype i = kept; i < points.size(); ++i) {
        const RestorePoint &point = points.at(i);
        if (spared.contains(point.name))
            continue;
        QFile file(point.path);
        if (file.remove())
            ++removed;
        else
            said.append(QStringLiteral("cannot remove the old restore point %1: %2")
                            .arg(EscapedText(point.name), file.errorString()));
    }
    if (removed > 0)
        said.prepend(QStringLiteral("removed %1 older restore point%2; the newest %3 %4 kept")
                         .arg(removed)
                         .arg(removed == 1 ? u"" : u"s")
                         .arg(kept)
                         .arg(kept == 1 ? u"is" : u"are"));
    return said;
}

RestorePointShelf ReadRestorePoints() {
    RestorePointShelf shelf;
    const auto located = RestorePointFolder();
    if (located.index() == 1) {
        shelf.problem = std::get<1>(located);
        return shelf;
    }
    shelf.folder = std::get<0>(located);
    const QFileInfo about(shelf.folder);
    if (about.exists() && (!about.isDir() || !about.isReadable() || !about.isExecutable())) {
        shelf.problem =
            QStringLiteral("Cannot read %1: %2")
                .arg(Shown(shelf.folder), about.isDir() ? QStringLiteral("Permission denied")
                                                        : QStringLiteral("not a folder"));
        return shelf;
    }
    const QDir folder(shelf.folder);
    for (const QFileInfo &entry :
         folder.entryInfoList({QStringLiteral("*") + kSuffix}, QDir::AllEntries | QDir::System)) {
        SkippedEntry skipped;
        if (std::optional<RestorePoint> point = ReadRestorePoint(entry, skipped))
            shelf.points.append(*point);
        else
            shelf.skipped.append(skipped);
    }
    std::sort(shelf.points.begin(), shelf.points.end(), Newer);
    return shelf;
}

std::variant<RestorePoint, QString> FindRestorePoint(const QString &name, qint16 port) {
    const RestorePointShelf shelf = ReadRestorePoints();
    if (!shelf.problem.isEmpty())
        return shelf.problem;
    if (name == u"latest") {
        const auto newest =
            std::find_if(shelf.points.cbegin(), shelf.points.cend(),
                         [port](const RestorePoint &point) { return point.file.port == port; });
        if (newest != shelf.points.cend())
            return *newest;
        if (shelf.points.isEmpty())
            return QStringLiteral("there is no restore point yet (in %1)").arg(Shown(shelf.folder));
        return QStringLiteral("there is no restore point of port %1 yet; the newest, %2, is of "
                              "port %3: name it to write it to port %1")
            .arg(port)
            .arg(EscapedText(shelf.points.constFirst().name))
            .arg(shelf.points.constFirst().file.port);
    }
    const QString wanted = name.endsWith(kSuffix) ? name.chopped(kSuffix.size()) : name;
    for (const RestorePoint &point : shelf.points) {
        if (point.name == wanted)
            return point;
    }
    for (const SkippedEntry &skipped : shelf.skipped) {
        if (skipped.name == wanted + kSuffix)
            return QStringLiteral("the restore point %1 cannot be used%2")
                .arg(EscapedText(wanted), skipped.reason);
    }
    return QStringLiteral("no restore point is named '%1'; 'dccd-ctl restore-points' lists them")
        .arg(EscapedText(name));
}

QString NoteBeforeWriting(const QString &what) {
    return kBeforeWriting + what;
}

QString NoteBeforeWritingBack(const QString &restorePoint) {
    return kBeforeWritingBack + restorePoint;
}

QString WrittenBackAfter(const RestorePoint &point) {
    return point.file.note.startsWith(kBeforeWritingBack)
               ? point.file.note.mid(kBeforeWritingBack.size())
               : QString();
}

QString TakenText(const RestorePoint &point) {
    const QDateTime taken = QDateTime::fromString(point.file.readAt, Qt::ISODate);
    return taken.isValid() ? taken.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")) +
                                 QStringLiteral(" UTC")
                           : EscapedText(point.file.readAt);
}

QString RestorePointListing(const RestorePointShelf &shelf) {
    QString listing;
    if (shelf.points.isEmpty())
        listing = QStringLiteral("No restore points yet; each write keeps one in %1\n")
                      .arg(Shown(shelf.folder));
    // One table of name, time, port and differences; the note, and what keeps the restore
    // point from being written back, on lines of their own below.
    QList<QStringList> rows{{QStringLiteral("name"), QStringLiteral("taken"),
                             QStringLiteral("port"), QStringLiteral("differs from the defaults")}};
    QList<QStringList> below{{}};
    for (const RestorePoint &point : shelf.points) {
        QStringList differs;
        for (const TuneDifference &difference : Differences(DefaultSettings(), point.file.tune))
            differs.append(difference.key + u' ' + difference.second);
        rows.append(
            {EscapedText(point.name), TakenText(point),
             point.file.port != 0 ? QString::number(point.file.port) : QString(),
             differs.isEmpty() ? QStringLiteral("(none)") : differs.join(QStringLiteral(", "))});
        QStringList lines;
        if (!point.file.note.isEmpty())
            lines.append(QStringLiteral("note: ") + QuotedText(point.file.note));
        if (!point.outOfRange.isEmpty())
            lines.append(point.outOfRange + QStringLiteral(": cannot be written back"));
        below.append(lines);
    }
    if (!shelf.points.isEmpty()) {
        const QStringList table = TextTable(rows).split(u'\n', Qt::SkipEmptyParts);
        const QString indent(table.constFirst().indexOf(QStringLiteral("taken")), u' ');
        for (qsizetype i = 0; i < table.size(); ++i) {
            listing += table.at(i) + u'\n';
            for (const QString &line : below.at(i))
                listing += indent + line + u'\n';
        }
    }
    for (const SkippedEntry &skipped : shelf.skipped)
        listing += QStringLiteral("skipped %1%2\n")
                       .arg(EscapedText(skipped.name), EscapedText(skipped.reason));
    return listing;
}

} // namespace tuner
