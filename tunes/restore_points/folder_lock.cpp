#include "tunes/restore_points/folder_lock.h"

#include "link/text/shown_text.h"
#include "tunes/restore_points/state_folder.h"

#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSysInfo>
#include <QTemporaryFile>

namespace tuner {
namespace {

const QString kLockName = QStringLiteral(".lock");
// Long enough for another process to choose its name or prune.
constexpr int kLockWaitMs = 10000;
constexpr int kLockPollMs = 50;
// A process writes its lock file the moment it makes it: one still empty, or without a lock's
// text, this long after was left by a process that died in between (a power cut).
constexpr qint64 kUnwrittenLockMs = 5000;

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
    const QString lock = EscapedText(ShownPath(path));
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

} // namespace

QString WriteProblem(const QString &folder) {
    QTemporaryFile probe(folder + QStringLiteral("/.probe-XXXXXX"));
    if (probe.open() && probe.write("0") == 1 && probe.flush())
        return QStringLiteral("the lock file cannot be made");
    return probe.errorString();
}

bool LockStillHeld(const QString &path) {
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

FolderLock::FolderLock(const QString &folder) : m_path(folder + u'/' + kLockName), m_lock(m_path) {
    m_lock.setStaleLockTime(0);
}

QString FolderLock::Take(const QString &folder) {
    const QDeadlineTimer deadline(kLockWaitMs);
    LockFound found;
    while (!deadline.hasExpired()) {
        BringBackFromTheFuture(m_lock, m_path);
        if (m_lock.tryLock(kLockPollMs))
            return {};
        if (m_lock.error() == QLockFile::PermissionError)
            return QStringLiteral("cannot write %1: Permission denied").arg(ShownPath(folder));
        if (m_lock.error() != QLockFile::LockFailedError)
            return QStringLiteral("cannot lock %1: %2")
                .arg(ShownPath(folder), WriteProblem(folder));
        found = Inspect(m_lock, m_path);
        if (found.kind == LockFound::Kind::Gone || TakeOver(m_lock, m_path, found))
            continue;
        if (!WorthWaiting(found))
            break;
    }
    return LockSaid(m_path, found);
}

} // namespace tuner
