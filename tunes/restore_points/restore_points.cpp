#include "tunes/restore_points/restore_points.h"

#include "link/ports/comfunct.h"
#include "link/text/shown_text.h"
#include "tunes/files/tune_differences.h"
#include "tunes/restore_points/state_folder.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSysInfo>
#include <QTemporaryFile>

#include <algorithm>

namespace tuner {
namespace {

const QString kSuffix = QStringLiteral(".json");
const QString kNoFolder = QStringLiteral(
    "there is no folder for restore points: %1 and HOME are not set, and the system knows no "
    "home for this user");
const QString kNotAName =
    QStringLiteral(": not named as a restore point is (NNNNNN-YYYYMMDDTHHMMSSZ-portN.json), so it "
                   "is left alone");
// The folder's lock file, and one per restore point in use; neither ends in ".json".
const QString kLockName = QStringLiteral(".lock");
const QString kInUsePrefix = QStringLiteral(".in-use-");
constexpr qsizetype kInUseKeyDigits = 16;
// Long enough for another dccd-ctl to choose its name or prune.
constexpr int kLockWaitMs = 10000;
constexpr int kLockPollMs = 50;
// A process writes its lock file the moment it makes it: one still empty, or without a lock's
// text, this long after was left by a process that died in between (a power cut).
constexpr qint64 kUnwrittenLockMs = 5000;
constexpr qsizetype kOrderDigits = 9;

// A path as the system writes it (backslashes on Windows).
QString Shown(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// What a restore point's name says: its number (0 for a name an earlier version gave), the
// time and, for an earlier version's, which of those taken within one second it is.
struct NameParts {
    qint64 order = 0;
    qsizetype stampAt = 0; // where the time starts in the name
    qint64 within = 1;
};

// The length of the run of ASCII digits at `from`.
qsizetype DigitsAt(QStringView text, qsizetype from) {
    qsizetype end = from;
    while (end < text.size() && text[end] >= u'0' && text[end] <= u'9')
        ++end;
    return end - from;
}

// A whole number as the program writes one: digits without a leading zero, at most `most`.
std::optional<qint64> PlainNumber(QStringView text, qsizetype most) {
    if (text.isEmpty() || text.size() > most || DigitsAt(text, 0) != text.size() ||
        (text.size() > 1 && text[0] == u'0'))
        return std::nullopt;
    return text.toLongLong();
}

bool IsStamp(QStringView text) {
    return text.size() == 16 && DigitsAt(text, 0) == 8 && text[8] == u'T' &&
           DigitsAt(text, 9) == 6 && text[15] == u'Z';
}

// "000042-20261207T150412Z-port1", or an earlier version's "20261207T150412Z-port1-2", and
// nothing else: the number of six digits, more only without a leading zero, up to nine; a port
// the program numbers.
std::optional<NameParts> PartsOf(QStringView stem) {
    NameParts parts;
    const qsizetype number = DigitsAt(stem, 0);
    const bool numbered = number < stem.size() && stem[number] == u'-';
    qsizetype at = 0;
    if (numbered) {
        if (number < 6 || number > kOrderDigits || (number > 6 && stem[0] == u'0'))
            return std::nullopt;
        parts.order = stem.left(number).toLongLong();
        at = number + 1;
    }
    if (!IsStamp(stem.mid(at, 16)) || stem.mid(at + 16, 5) != u"-port")
        return std::nullopt;
    parts.stampAt = at;
    at += 21;
    const qsizetype digits = DigitsAt(stem, at);
    const std::optional<qint64> port = PlainNumber(stem.mid(at, digits), 3);
    if (!port || *port > comfunct::kHighestPortNumber)
        return std::nullopt;
    at += digits;
    if (at == stem.size())
        return parts;
    const std::optional<qint64> within = PlainNumber(stem.mid(at + 1), kOrderDigits);
    if (numbered || stem[at] != u'-' || !within || *within < 2)
        return std::nullopt;
    parts.within = *within;
    return parts;
}

// A restore point known by its name alone.
struct Named {
    QString stem; // the file's name without ".json"
    NameParts parts;
    bool regular = false; // a regular file, as the listing told: no need to look
};

// Newer first: by the number taken. Those without one are older than all numbered ones and
// keep the order their names give (the time, then the "-2" of a second within one second).
bool Newer(const Named &a, const Named &b) {
    if (a.parts.order != b.parts.order)
        return a.parts.order > b.parts.order;
    const QStringView aStamp = QStringView(a.stem).mid(a.parts.stampAt, 16);
    const QStringView bStamp = QStringView(b.stem).mid(b.parts.stampAt, 16);
    if (aStamp != bStamp)
        return aStamp > bStamp;
    return a.parts.within > b.parts.within;
}

// The folder's entries by name: the restore points newest first, the other names of files that
// end in ".json" (hidden ones aside), and every name there (lock files too).
struct FolderNames {
    std::vector<Named> points;
    QStringList others;
    QStringList all;
    QString problem; // why the folder cannot be read; "" when it can, or is not there yet
};

FolderNames NamesIn(const QString &folder) {
    FolderNames names;
    const QFileInfo about(folder);
    if (!about.exists()) {
        if (const std::optional<QString> unreachable = UnreachableFolder(folder))
            names.problem =
                QStringLiteral("Cannot read %1: %2").arg(EscapedText(Shown(folder)), *unreachable);
        return names;
    }
    if (!about.isDir() || !about.isReadable() || !about.isExecutable()) {
        names.problem = QStringLiteral("Cannot read %1: %2")
                            .arg(Shown(folder), about.isDir() ? QStringLiteral("Permission denied")
                                                              : QStringLiteral("not a folder"));
        return names;
    }
    QList<bool> regular;
    names.all = EntryNames(folder, &regular);
    names.points.reserve(names.all.size());
    for (qsizetype i = 0; i < names.all.size(); ++i) {
        const QString &name = names.all.at(i);
        if (!name.endsWith(kSuffix) || name.startsWith(u'.'))
            continue;
        const QStringView stem = QStringView(name).chopped(kSuffix.size());
        if (const std::optional<NameParts> parts = PartsOf(stem))
            names.points.push_back({stem.toString(), *parts, regular.at(i)});
        else
            names.others.append(name);
    }
    std::sort(names.points.begin(), names.points.end(), Newer);
    std::sort(names.others.begin(), names.others.end());
    return names;
}

// Why a file cannot be written in the folder, as the system says it ("No space left on
// device"): the lock file does not tell.
QString WriteProblem(const QString &folder) {
    QTemporaryFile probe(folder + QStringLiteral("/.probe-XXXXXX"));
    if (probe.open() && probe.write("0") == 1 && probe.flush())
        return QStringLiteral("the lock file cannot be made");
    return probe.errorString();
}

// What stands where a lock file is when it cannot be taken.
struct LockFound {
    enum class Kind { Gone, Process, Unwritten, Link, Folder, Other } kind = Kind::Gone;
    qint64 pid = 0;
    QString program, machine, user;
    bool here = true; // it names this machine, or none
    bool empty = false;
    qint64 ageMs = 0; // since it was written, either way: a clock put back makes a future time
};

LockFound Inspect(const QLockFile &lock, const QString &path) {
    LockFound found;
    const QFileInfo about(path);
    if (about.isSymLink())
        found.kind = LockFound::Kind::Link;
    else if (!about.exists())
        return found;
    else if (about.isDir())
        found.kind = LockFound::Kind::Folder;
    else if (!about.isFile())
        found.kind = LockFound::Kind::Other;
    else if (lock.getLockInfo(&found.pid, &found.machine, &found.program))
        found.kind = LockFound::Kind::Process;
    else
        found.kind = LockFound::Kind::Unwritten;
    found.user = about.owner();
    found.empty = about.size() == 0;
    found.ageMs = qAbs(about.lastModified().msecsTo(QDateTime::currentDateTime()));
    // The machine as Qt writes it: the host name, on Windows COMPUTERNAME.
    found.here =
        found.machine.isEmpty() ||
        found.machine.compare(QSysInfo::machineHostName(), Qt::CaseInsensitive) == 0 ||
        found.machine.compare(qEnvironmentVariable("COMPUTERNAME"), Qt::CaseInsensitive) == 0;
    return found;
}

// Qt tells a lock whose process is gone and whose time is in the future (the clock was put back)
// on standard error, raw, as it takes it over: such a lock of this machine is given the present
// time first, which changes nothing else, as no lock of this machine is judged by its time.
void BringBackFromTheFuture(const QLockFile &lock, const QString &path) {
    const QFileInfo about(path);
    if (!about.isFile() || about.isSymLink() ||
        about.lastModified() <= QDateTime::currentDateTime())
        return;
    const LockFound found = Inspect(lock, path);
    QFile file(path);
    if (found.kind == LockFound::Kind::Process && found.here && file.open(QIODevice::Append))
        file.setFileTime(QDateTime::currentDateTime(), QFileDevice::FileModificationTime);
}

// Worth waiting for: a live process of this machine lets go within moments, and so would one
// of another machine that wrote its lock just now (a shared home); an unwritten lock is taken
// over once old enough. A folder or a device is no process's lock.
bool WorthWaiting(const LockFound &found) {
    switch (found.kind) {
    case LockFound::Kind::Process:
        return found.here || found.ageMs < kLockWaitMs;
    case LockFound::Kind::Unwritten:
    case LockFound::Kind::Gone:
        return true;
    default:
        return false;
    }
}

// Removes a lock no process can hold: a link (a lock file is never one), or one left unwritten
// long ago. Qt's removal refuses a lock file a live process holds, and a lock of its own keeps
// two processes from each removing a stale lock, the second the first's new one.
bool TakeOver(QLockFile &lock, const QString &path, const LockFound &found) {
    const bool stale =
        found.kind == LockFound::Kind::Link ||
        (found.kind == LockFound::Kind::Unwritten && found.ageMs >= kUnwrittenLockMs);
    if (!stale)
        return false;
    QLockFile removal(path + QStringLiteral(".rmlock"));
    if (!removal.tryLock(0))
        return false;
    return found.kind == LockFound::Kind::Link ? QFile::remove(path) : lock.removeStaleLockFile();
}

// What the lock is, and how it is removed when no live process holds it.
QString LockSaid(const QString &path, const LockFound &found) {
    const QString lock = EscapedText(Shown(path));
    const QString remove = QStringLiteral("; a lock that no live process holds can be removed: ") +
                           RemovalCommand(path, found.kind == LockFound::Kind::Folder);
    const QString process =
        QStringLiteral("process %1 (%2)").arg(found.pid).arg(EscapedText(found.program)) +
        (found.user.isEmpty() ? QString() : QStringLiteral(" of user ") + EscapedText(found.user));
    switch (found.kind) {
    case LockFound::Kind::Process:
        if (found.here)
            return QStringLiteral("the lock %1 is held by %2 on this machine, still running after "
                                  "%3 s")
                .arg(lock, process)
                .arg(kLockWaitMs / 1000);
        return QStringLiteral("the lock %1 names %2 on the machine '%3', which cannot be asked "
                              "from here")
                   .arg(lock, process, EscapedText(found.machine)) +
               remove;
    case LockFound::Kind::Unwritten:
        return QStringLiteral("the lock %1 names no process (%2) and could not be taken over")
                   .arg(lock, found.empty ? QStringLiteral("it is empty")
                                          : QStringLiteral("it holds no lock's text")) +
               remove;
    case LockFound::Kind::Link:
        return QStringLiteral("the lock %1 is a link, which no process holds, and could not be "
                              "removed")
                   .arg(lock) +
               remove;
    case LockFound::Kind::Folder:
        return QStringLiteral("the lock %1 is a folder, which no process holds").arg(lock) + remove;
    case LockFound::Kind::Other:
        return QStringLiteral("the lock %1 is no regular file, which no process holds").arg(lock) +
               remove;
    case LockFound::Kind::Gone:
        break;
    }
    return QStringLiteral("the lock %1 was taken by others again and again for %2 s")
        .arg(lock)
        .arg(kLockWaitMs / 1000);
}

// The folder's lock, held while a name is chosen, while restore points are marked in use and
// while the oldest are removed, so that two processes never take one name nor remove what the
// other has just kept or marked. A lock is stale when its process is gone, or when it was never
// written and is old: never by its age alone, as a clock that moved must not break a live lock.
class FolderLock {
public:
    explicit FolderLock(const QString &folder) : m_path(folder + u'/' + kLockName), m_lock(m_path) {
        m_lock.setStaleLockTime(0);
    }
    QString Take(const QString &folder) {
        const QDeadlineTimer deadline(kLockWaitMs);
        LockFound found;
        while (!deadline.hasExpired()) {
            BringBackFromTheFuture(m_lock, m_path);
            if (m_lock.tryLock(kLockPollMs))
                return {};
            if (m_lock.error() == QLockFile::PermissionError)
                return QStringLiteral("cannot write %1: Permission denied").arg(Shown(folder));
            if (m_lock.error() != QLockFile::LockFailedError)
                return QStringLiteral("cannot lock %1: %2")
                    .arg(Shown(folder), WriteProblem(folder));
            found = Inspect(m_lock, m_path);
            if (found.kind == LockFound::Kind::Gone || TakeOver(m_lock, m_path, found))
                continue;
            if (!WorthWaiting(found))
                break;
        }
        return LockSaid(m_path, found);
    }

private:
    QString m_path;
    QLockFile m_lock;
};

// Nothing at all at the path, looked at afresh: removed since the folder was listed.
bool Vanished(const QString &path) {
    const QFileInfo again(path);
    return !again.exists() && !again.isSymLink();
}

// A restore point read by its name: the point, why it is passed over, or nothing when it was
// removed since the folder was listed (pruned by another process, not broken).
using Read = std::variant<RestorePoint, SkippedEntry, std::monostate>;

Read ReadRestorePoint(const QString &folder, const Named &named) {
    const QString name = named.stem + kSuffix;
    const QString path = folder + u'/' + name;
    // The entry as the link leads: a FIFO, a terminal or a serial device is never opened, since
    // opening one waits for a writer or reads for good.
    if (!named.regular && !QFileInfo(path).isFile())
        return Vanished(path) ? Read(std::monostate{})
                              : SkippedEntry{name, QStringLiteral(": not a regular file"), false};
    QFile file(path);
    QByteArray text;
    // As much as the file holds, not the most a tune file may be: ten thousand restore points
    // are read in a blink. A restore point appears whole, and never grows.
    if (file.open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        text = file.read(std::min(file.size(), kLargestTuneFile + 1));
    if (!file.isOpen() || file.error() != QFileDevice::NoError)
        return Vanished(path) ? Read(std::monostate{})
                              : SkippedEntry{name, QStringLiteral(": ") + file.errorString(), true};
    auto parsed = ParseTuneFile(text, name, SettingRange::Held);
    if (const QString *problem = std::get_if<QString>(&parsed))
        return SkippedEntry{name, problem->mid(name.size()), false}; // after "<name>"
    RestorePoint point{named.stem, path, std::get<TuneFile>(parsed), named.parts.order, {}};
    point.outOfRange = OutOfRange(point.file.tune);
    return point;
}

// The newest of `named` that reads as a restore point `wanted` accepts.
template <typename Wanted>
std::optional<RestorePoint> NewestRead(const QString &folder, const std::vector<Named> &named,
                                       const Wanted &wanted) {
    for (const Named &each : named) {
        auto read = ReadRestorePoint(folder, each);
        if (const RestorePoint *point = std::get_if<RestorePoint>(&read); point && wanted(*point))
            return *point;
    }
    return std::nullopt;
}

// The newest restore point taken from `port`: the files named for it are read, newest first,
// until one is a restore point of that port; or the sentence that says there is none.
std::variant<RestorePoint, QString> LatestOf(const QString &folder, const FolderNames &names,
                                             qint16 port) {
    const QString ofPort = QStringLiteral("-port%1").arg(port);
    std::vector<Named> named;
    for (const Named &each : names.points) {
        if (each.stem.endsWith(ofPort) || each.stem.contains(ofPort + u'-'))
            named.push_back(each);
    }
    if (auto point = NewestRead(
            folder, named, [port](const RestorePoint &each) { return each.file.port == port; }))
        return *point;
    const auto newest = NewestRead(folder, names.points, [](const RestorePoint &) { return true; });
    if (!newest)
        return QStringLiteral("there is no restore point yet (in %1)").arg(Shown(folder));
    return QStringLiteral("there is no restore point of port %1 yet; the newest, %2, is of "
                          "port %3: name it to write it to port %1")
        .arg(port)
        .arg(EscapedText(newest->name))
        .arg(newest->file.port);
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

// Marks the restore point in use with a lock file of its own, named for it and for this holder
// (two writes may write back one restore point at once). Under the folder's lock.
std::variant<RestorePointInUse, QString> MarkInUse(const QString &folder, const QString &name) {
    for (int attempt = 0; attempt < 4; ++attempt) {
        const QString key = QString::number(QRandomGenerator::global()->generate64(), 16)
                                .rightJustified(kInUseKeyDigits, u'0');
        auto mark = std::make_unique<QLockFile>(folder + u'/' + kInUsePrefix + key + u'-' + name);
        mark->setStaleLockTime(0);
        if (mark->tryLock(0))
            return RestorePointInUse(std::move(mark));
        if (mark->error() != QLockFile::LockFailedError)
            return QStringLiteral("cannot mark the restore point %1 in use: %2")
                .arg(EscapedText(name), WriteProblem(folder));
    }
    return QStringLiteral("cannot mark the restore point %1 in use").arg(EscapedText(name));
}

// The restore point a mark of being in use is for ("" for an entry that is no such mark).
QString MarkedPoint(const QString &entry) {
    return entry.startsWith(kInUsePrefix) ? entry.mid(kInUsePrefix.size() + kInUseKeyDigits + 1)
                                          : QString();
}

// Whether a mark is still held. One whose holder has gone is removed here; one that cannot be
// judged (another machine's) counts as held.
bool StillHeld(const QString &path) {
    QLockFile mark(path);
    mark.setStaleLockTime(0);
    BringBackFromTheFuture(mark, path);
    if (mark.tryLock(0)) {
        mark.unlock(); // which removes it
        return false;
    }
    const LockFound found = Inspect(mark, path);
    return found.kind != LockFound::Kind::Gone && !TakeOver(mark, path, found);
}

// Which of `wanted` a write is using. The marks of holders that have gone are removed on the
// way, those of restore points no longer there too.
QSet<QString> InUse(const QString &folder, const FolderNames &names, const QSet<QString> &wanted) {
    QSet<QString> held;
    for (const QString &entry : names.all) {
        const QString point = MarkedPoint(entry);
        if (point.isEmpty() || held.contains(point) ||
            (!wanted.contains(point) && QFileInfo::exists(folder + u'/' + point + kSuffix)))
            continue;
        if (StillHeld(folder + u'/' + entry))
            held.insert(point);
    }
    return held;
}

// "; the newest 2 are kept", and what else is kept as a write is using it.
QString KeptSaid(int kept, const QStringList &spared) {
    QString said =
        QStringLiteral("; the newest %1 %2 kept").arg(kept).arg(kept == 1 ? u"is" : u"are");
    if (!spared.isEmpty())
        said += QStringLiteral(", and %1, which %2 using")
                    .arg(spared.join(QStringLiteral(", ")), spared.size() == 1
                                                                ? QStringLiteral("a write is")
                                                                : QStringLiteral("writes are"));
    return said;
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
    // Leading zeros go before the digits are counted: any number of them is taken.
    static const QRegularExpression decimal(QStringLiteral("^\\s*0*([0-9]{1,9})\\s*\\z"));
    const QRegularExpressionMatch match = decimal.match(text);
    const int kept = match.hasMatch() ? match.captured(1).toInt() : 0;
    if (kept < 1 || kept > kMostKeptRestorePoints)
        return QStringLiteral("%1 wants a whole number of restore points to keep, from 1 to %2, "
                              "not '%3'")
            .arg(QLatin1String(kKeepVariable))
            .arg(kMostKeptRestorePoints)
            .arg(EscapedText(text));
    return kept;
}

RestorePointInUse::RestorePointInUse() = default;
RestorePointInUse::RestorePointInUse(std::unique_ptr<QLockFile> lock) : m_lock(std::move(lock)) {}
RestorePointInUse::RestorePointInUse(RestorePointInUse &&other) noexcept = default;
RestorePointInUse &RestorePointInUse::operator=(RestorePointInUse &&other) noexcept = default;
RestorePointInUse::~RestorePointInUse() = default;

bool RestorePointInUse::Holds() const {
    return m_lock && m_lock->isLocked();
}

std::variant<KeptRestorePoint, QString> KeepRestorePoint(const TuningParameters &held, qint16 port,
                                                         const QDateTime &takenAt,
                                                         const QString &note) {
    const auto located = RestorePointFolder();
    if (located.index() == 1)
        return std::get<1>(located);
    const QString folder = std::get<0>(located);
    if (const std::optional<QString> refused = MakeFolder(folder))
        return QStringLiteral("cannot make the folder %1: %2")
            .arg(EscapedText(Shown(folder)), *refused);
    FolderLock lock(folder);
    if (const QString refused = lock.Take(folder); !refused.isEmpty())
        return refused;
    const FolderNames names = NamesIn(folder);
    if (!names.problem.isEmpty())
        return names.problem;
    const qint64 highest = names.points.empty() ? 0 : names.points.front().parts.order;
    if (highest >= kHighestRestorePointNumber)
        return QStringLiteral("the restore point %1 has %2, the highest number a restore point "
                              "takes: move it out of %3 to keep new ones")
            .arg(EscapedText(names.points.front().stem))
            .arg(kHighestRestorePointNumber)
            .arg(Shown(folder));
    const QDateTime utc = takenAt.toUTC();
    const QString name = QStringLiteral("%1-%2-port%3")
                             .arg(highest + 1, 6, 10, QLatin1Char('0'))
                             .arg(utc.toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")))
                             .arg(port);
    KeptRestorePoint kept{{name, folder + u'/' + name + kSuffix,
                           TuneFile{TuneOf(held), note, utc.toString(Qt::ISODate), port},
                           highest + 1, OutOfRange(TuneOf(held))},
                          {}};
    if (const QString failed = PublishNew(folder, kept.point.path, TuneFileText(kept.point.file));
        !failed.isEmpty())
        return failed;
    auto marked = MarkInUse(folder, name);
    if (const QString *failed = std::get_if<QString>(&marked))
        return *failed;
    kept.inUse = std::move(std::get<RestorePointInUse>(marked));
    return kept;
}

std::variant<RestorePointInUse, QString> HoldRestorePoint(const QString &name) {
    const auto located = RestorePointFolder();
    if (located.index() == 1)
        return std::get<1>(located);
    const QString folder = std::get<0>(located);
    FolderLock lock(folder);
    if (const QString refused = lock.Take(folder); !refused.isEmpty())
        return refused;
    if (!QFileInfo::exists(folder + u'/' + name + kSuffix))
        return QStringLiteral("the restore point %1 is gone: a prune removed it just now")
            .arg(EscapedText(name));
    return MarkInUse(folder, name);
}

QStringList PruneRestorePoints(int kept) {
    const auto located = RestorePointFolder();
    if (located.index() == 1)
        return {};
    const QString folder = std::get<0>(located);
    FolderLock lock(folder);
    if (const QString refused = lock.Take(folder); !refused.isEmpty())
        return {QStringLiteral("no older restore point was removed: ") + refused};
    const FolderNames names = NamesIn(folder);
    if (!names.problem.isEmpty())
        return {QStringLiteral("no older restore point was removed: ") + names.problem};
    const std::vector<Named> older(names.points.begin() +
                                       std::min<qsizetype>(kept, std::ssize(names.points)),
                                   names.points.end());
    QSet<QString> candidates;
    for (const Named &point : older)
        candidates.insert(point.stem);
    const QSet<QString> inUse = InUse(folder, names, candidates);
    QStringList said;
    QStringList spared;
    int removed = 0;
    for (const Named &point : older) {
        if (inUse.contains(point.stem)) {
            spared.append(EscapedText(point.stem));
            continue;
        }
        QFile file(folder + u'/' + point.stem + kSuffix);
        if (file.remove())
            ++removed;
        else
            said.append(QStringLiteral("cannot remove the old restore point %1: %2")
                            .arg(EscapedText(point.stem), file.errorString()));
    }
    if (removed > 0)
        said.prepend(QStringLiteral("removed %1 older restore point%2")
                         .arg(removed)
                         .arg(removed == 1 ? u"" : u"s") +
                     KeptSaid(kept, spared));
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
    const FolderNames names = NamesIn(shelf.folder);
    shelf.problem = names.problem;
    for (const Named &named : names.points) {
        auto read = ReadRestorePoint(shelf.folder, named);
        if (RestorePoint *point = std::get_if<RestorePoint>(&read))
            shelf.points.append(std::move(*point));
        else if (SkippedEntry *skipped = std::get_if<SkippedEntry>(&read))
            shelf.skipped.append(std::move(*skipped));
    }
    for (const QString &other : names.others)
        shelf.skipped.append({other, kNotAName, false});
    std::sort(shelf.skipped.begin(), shelf.skipped.end(),
              [](const SkippedEntry &a, const SkippedEntry &b) { return a.name < b.name; });
    return shelf;
}

std::variant<RestorePoint, QString> FindRestorePoint(const QString &name, qint16 port) {
    const auto located = RestorePointFolder();
    if (located.index() == 1)
        return std::get<1>(located);
    const QString folder = std::get<0>(located);
    const FolderNames names = NamesIn(folder);
    if (!names.problem.isEmpty())
        return names.problem;
    if (name == u"latest")
        return LatestOf(folder, names, port);
    const QString wanted = name.endsWith(kSuffix) ? name.chopped(kSuffix.size()) : name;
    const auto named = std::find_if(names.points.cbegin(), names.points.cend(),
                                    [&wanted](const Named &each) { return each.stem == wanted; });
    QString reason;
    if (named != names.points.cend()) {
        auto read = ReadRestorePoint(folder, *named);
        if (const RestorePoint *point = std::get_if<RestorePoint>(&read))
            return *point;
        if (const SkippedEntry *skipped = std::get_if<SkippedEntry>(&read))
            reason = skipped->reason;
    } else if (names.others.contains(wanted + kSuffix)) {
        reason = kNotAName;
    }
    if (!reason.isEmpty())
        return QStringLiteral("the restore point %1 cannot be used%2")
            .arg(EscapedText(wanted), reason);
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
