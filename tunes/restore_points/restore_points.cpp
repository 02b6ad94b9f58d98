#include "tunes/restore_points/restore_points.h"

#include "link/ports/comfunct.h"
#include "link/text/shown_text.h"
#include "tunes/files/tune_differences.h"
#include "tunes/restore_points/folder_lock.h"
#include "tunes/restore_points/restore_point_names.h"
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
#include <QThread>

#include <algorithm>

namespace tuner {
namespace {

const QString kNoFolder = QStringLiteral(
    "there is no folder for restore points: %1 and HOME are not set, and the system knows no "
    "home for this user");
const QString kNotAName =
    QStringLiteral(": not named as a restore point is (NNNNNN-YYYYMMDDTHHMMSSZ-portN.json), so it "
                   "is left alone");
// A restore point in use is marked with a lock file of its own, which does not end in ".json".
const QString kInUsePrefix = QStringLiteral(".in-use-");
constexpr qsizetype kInUseKeyDigits = 16;

// Nothing at all at the path, looked at afresh: removed since the folder was listed.
bool Vanished(const QString &path) {
    const QFileInfo again(path);
    return !again.exists() && !again.isSymLink();
}

// A restore point read by its name: the point, why it is passed over, or nothing when it was
// removed since the folder was listed (pruned by another process, not broken).
using Read = std::variant<RestorePoint, SkippedEntry, std::monostate>;

Read ReadRestorePoint(const QString &folder, const Named &named) {
    const QString name = named.Name();
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
    for (int tries = 0; !file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) &&
                        tries < kOpenRetries && !Vanished(path);
         ++tries)
        QThread::msleep(10);
    if (file.isOpen())
        text = file.read(std::min(file.size(), kLargestTuneFile + 1));
    if (!file.isOpen() || file.error() != QFileDevice::NoError)
        return Vanished(path) ? Read(std::monostate{})
                              : SkippedEntry{name, QStringLiteral(": ") + file.errorString(), true};
    auto parsed = ParseTuneFile(text, name, SettingRange::Held);
    if (const QString *problem = std::get_if<QString>(&parsed))
        return SkippedEntry{name, problem->mid(name.size()), false}; // after "<name>"
    RestorePoint point{named.Stem(), path, std::get<TuneFile>(parsed), named.parts.order, {}};
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
    std::vector<Named> named;
    for (const Named &each : names.points) {
        if (each.parts.port == port)
            named.push_back(each);
    }
    if (auto point = NewestRead(
            folder, named, [port](const RestorePoint &each) { return each.file.port == port; }))
        return *point;
    const auto newest = NewestRead(folder, names.points, [](const RestorePoint &) { return true; });
    if (!newest)
        return QStringLiteral("there is no restore point yet (in %1)").arg(ShownPath(folder));
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
        return QStringLiteral("cannot write in %1: %2").arg(ShownPath(folder), file.errorString());
    // The text is buffered: a full disk shows only when it is flushed.
    if (file.write(text) != text.size() || !file.flush() || file.error() != QFileDevice::NoError)
        return QStringLiteral("cannot write %1: %2").arg(ShownPath(path), file.errorString());
    if (QFileInfo::exists(path) || !file.rename(path))
        return QStringLiteral("cannot write %1: %2")
            .arg(ShownPath(path), QFileInfo::exists(path) ? QStringLiteral("it exists already")
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

// Which of `wanted` a write is using. The marks of holders that have gone are removed on the
// way, those of restore points no longer there too.
QSet<QString> InUse(const QString &folder, const FolderNames &names, const QSet<QString> &wanted) {
    QSet<QString> held;
    for (const QString &entry : names.rest) {
        const QString point = MarkedPoint(entry);
        if (point.isEmpty() || held.contains(point) ||
            (!wanted.contains(point) &&
             QFileInfo::exists(folder + u'/' + point + kRestorePointSuffix)))
            continue;
        if (LockStillHeld(folder + u'/' + entry))
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
            .arg(EscapedText(ShownPath(folder)), *refused);
    FolderLock lock(folder);
    if (const QString refused = lock.Take(folder); !refused.isEmpty())
        return refused;
    const FolderNames names = NamesIn(folder);
    if (!names.problem.isEmpty())
        return names.problem;
    const auto newest = std::min_element(names.points.cbegin(), names.points.cend(), Newer);
    const qint64 highest = newest == names.points.cend() ? 0 : newest->parts.order;
    if (highest >= kHighestRestorePointNumber)
        return QStringLiteral("the restore point %1 has %2, the highest number a restore point "
                              "takes: move it out of %3 to keep new ones")
            .arg(EscapedText(newest->Stem()))
            .arg(kHighestRestorePointNumber)
            .arg(ShownPath(folder));
    const QDateTime utc = takenAt.toUTC();
    const QString name = QStringLiteral("%1-%2-port%3")
                             .arg(highest + 1, 6, 10, QLatin1Char('0'))
                             .arg(utc.toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")))
                             .arg(port);
    KeptRestorePoint kept{{name, folder + u'/' + name + kRestorePointSuffix,
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
    if (!QFileInfo::exists(folder + u'/' + name + kRestorePointSuffix))
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
    FolderNames names = NamesIn(folder);
    if (!names.problem.isEmpty())
        return {QStringLiteral("no older restore point was removed: ") + names.problem};
    // The newest `kept` apart from the rest, which alone are put in order: one, as a rule.
    const auto newest = names.points.begin() + std::min<qsizetype>(kept, std::ssize(names.points));
    std::nth_element(names.points.begin(), newest, names.points.end(), Newer);
    std::vector<Named> older(newest, names.points.end());
    SortNewestFirst(older);
    QSet<QString> candidates;
    for (const Named &point : older)
        candidates.insert(point.Stem());
    const QSet<QString> inUse = InUse(folder, names, candidates);
    QStringList said;
    QStringList spared;
    int removed = 0;
    for (const Named &point : older) {
        const QString stem = point.Stem();
        if (inUse.contains(stem)) {
            spared.append(EscapedText(stem));
            continue;
        }
        QFile file(folder + u'/' + point.Name());
        if (file.remove())
            ++removed;
        else
            said.append(QStringLiteral("cannot remove the old restore point %1: %2")
                            .arg(EscapedText(stem), file.errorString()));
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
    FolderNames names = NamesIn(shelf.folder);
    SortNewestFirst(names.points);
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
    FolderNames names = NamesIn(folder);
    if (!names.problem.isEmpty())
        return names.problem;
    if (name == u"latest") {
        SortNewestFirst(names.points);
        return LatestOf(folder, names, port);
    }
    const QString wanted =
        name.endsWith(kRestorePointSuffix) ? name.chopped(kRestorePointSuffix.size()) : name;
    const std::optional<NameParts> parts = PartsOf(wanted);
    const auto named =
        std::find_if(names.points.cbegin(), names.points.cend(),
                     [&parts](const Named &each) { return parts && each.parts == *parts; });
    QString reason;
    if (named != names.points.cend()) {
        auto read = ReadRestorePoint(folder, *named);
        if (const RestorePoint *point = std::get_if<RestorePoint>(&read))
            return *point;
        if (const SkippedEntry *skipped = std::get_if<SkippedEntry>(&read))
            reason = skipped->reason;
    } else if (names.others.contains(wanted + kRestorePointSuffix)) {
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

QString NoteKeptByHand() {
    return QStringLiteral("kept by hand");
}

QString KeptNotice(const QString &name, const QString &port) {
    return QStringLiteral("restore point %1 keeps what port %2 held").arg(name, port);
}

QString WrittenBackAfter(const RestorePoint &point) {
    return point.file.note.startsWith(kBeforeWritingBack)
               ? point.file.note.mid(kBeforeWritingBack.size())
               : QString();
}

} // namespace tuner
