#pragma once

#include <QLockFile>
#include <QString>

namespace tuner {

// The folder's lock, held while a name is chosen, while restore points are marked in use and
// while the oldest are removed, so that two processes never take one name nor remove what the
// other has just kept or marked. A lock is stale when its process is gone, or when it was never
// written and is old: never by its age alone, as a clock that moved must not break a live lock.
class FolderLock {
public:
    explicit FolderLock(const QString &folder);
    // Takes the lock, waiting a while for a live holder: "" once taken, else the sentence that
    // says what holds it and how a lock that no live process holds is removed.
    QString Take(const QString &folder);

private:
    QString m_path;
    QLockFile m_lock;
};

// Why a file cannot be written in the folder, as the system says it ("No space left on
// device"): the lock file does not tell.
QString WriteProblem(const QString &folder);

// Whether a lock file (the folder's, or a mark that a restore point is in use) is still held.
// One whose holder has gone is removed here; one that cannot be judged (another machine's)
// counts as held.
bool LockStillHeld(const QString &path);

} // namespace tuner
