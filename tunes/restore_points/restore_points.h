#pragma once

#include "tunes/files/tune_file.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <memory>
#include <optional>
#include <variant>

class QLockFile;

namespace tuner {

// Before every write that reaches a controller, dccd-ctl keeps what the controller held as a
// restore point: a tune file named for the order it was taken in, the time and the port,
// "<folder>/000042-20261207T150412Z-port1.json", with read_at, port and a note of the write it
// was taken before. The number, not the clock, says which is newer: it is the highest in the
// folder plus one, chosen under the folder's lock, so a clock put back or a read_at edited by
// hand cannot reorder them, and two processes never take the same name. Only names of exactly
// that form, or of the form an earlier version gave ("20261207T150412Z-port1", "...-port1-2"
// for a second one within one second), are restore points: any other file is passed over, never
// numbered after nor removed.
inline constexpr int kKeptRestorePoints = 50;
inline constexpr int kMostKeptRestorePoints = 10000;
inline constexpr char kKeepVariable[] = "DCCD_KEEP_RESTORE_POINTS";
// Nine digits: a write a second for thirty years. The number after it is refused, never wrapped.
inline constexpr qint64 kHighestRestorePointNumber = 999999999;

struct RestorePoint {
    QString name; // the file's name without ".json"
    QString path;
    TuneFile file;
    qint64 order = 0;   // the number it was taken under; 0 for one an earlier version named
    QString outOfRange; // "acceleration 250, outside 0 to 200": why it cannot be written back
};

// An entry of the folder that is no restore point, and why, as it follows the name (": not a
// regular file", ":4:3: a comma or } is missing", ": Permission denied").
struct SkippedEntry {
    QString name;
    QString reason;
    bool unreadable = false; // the system refused to read it (as against a file that is wrong)
};

// What the folder holds: the restore points newest first (in the order taken), what was
// passed over, and the sentence that says why the folder itself cannot be read ("" when it can).
struct RestorePointShelf {
    QString folder;
    QList<RestorePoint> points;
    QList<SkippedEntry> skipped;
    QString problem;
};

// Holds a restore point in use: while this lives, no prune, by this process or any other,
// removes that restore point (a write holds the one it took and the one it writes back until it
// has ended). A lock file of its own in the folder, so a holder that died without letting go is
// told by its process being gone. Holds nothing once moved from.
class RestorePointInUse {
public:
    RestorePointInUse();
    explicit RestorePointInUse(std::unique_ptr<QLockFile> lock);
    RestorePointInUse(RestorePointInUse &&other) noexcept;
    RestorePointInUse &operator=(RestorePointInUse &&other) noexcept;
    ~RestorePointInUse();

    bool Holds() const;

private:
    std::unique_ptr<QLockFile> m_lock;
};

// A restore point just kept, held in use by the one who kept it.
struct KeptRestorePoint {
    RestorePoint point;
    RestorePointInUse inUse;
};

// <state folder>/dccd-tuner/restore-points, or the sentence that says there is none.
std::variant<QString, QString> RestorePointFolder();

// How many restore points are kept: DCCD_KEEP_RESTORE_POINTS as decimal digits from 1 to
// kMostKeptRestorePoints, blanks around them allowed (" 5", "5\n", "0000000005"),
// kKeptRestorePoints when it is not set; the sentence that refuses any other value.
std::variant<int, QString> KeptRestorePoints();

// Keeps a controller's tune as a new restore point, never replacing a file, and holds it in use.
// The restore point, or the sentence that says why it could not be kept.
std::variant<KeptRestorePoint, QString> KeepRestorePoint(const TuningParameters &held, qint16 port,
                                                         const QDateTime &takenAt,
                                                         const QString &note);

// Holds the restore point of that name in use (one that is to be written back), or the sentence
// that says why it cannot be: it is gone.
std::variant<RestorePointInUse, QString> HoldRestorePoint(const QString &name);

// Removes the oldest restore points beyond the newest `kept`, never one that is held in use; the
// sentences that say what was removed and what is kept, or what could not be removed. Chosen from
// the names alone: no file is read.
QStringList PruneRestorePoints(int kept);

// Everything in the folder. Nothing is opened that is not a regular file nor named as a restore
// point; a file removed while the folder is read (by another process's prune) is left out.
RestorePointShelf ReadRestorePoints();

// The restore point "latest" (the newest taken from `port`) or NAME names (with or without
// ".json"), or the sentence that says there is none. Reads only the files it needs: those named
// for the port, newest first, until one is a restore point.
std::variant<RestorePoint, QString> FindRestorePoint(const QString &name, qint16 port);

// The note a restore point taken before a write carries, and the restore point a note says was
// written back ("" for none): how a second undo in a row is told.
QString NoteBeforeWriting(const QString &what);
QString NoteBeforeWritingBack(const QString &restorePoint);
QString WrittenBackAfter(const RestorePoint &point);
// The note of a restore point kept by hand, with no write after it: "kept by hand".
QString NoteKeptByHand();

// "restore point NAME keeps what port PORT held": the sentence every front says once one is kept.
QString KeptNotice(const QString &name, const QString &port);

// What writing a restore point back to `port` undoes, said before anything is sent: its name,
// when and from which port it was taken, that the port differs, that it undoes a write-back.
QStringList WritingBackSaid(const RestorePoint &point, qint16 port);

// The time a restore point was taken as the listing shows it ("2026-12-07 15:04:12 UTC").
QString TakenText(const RestorePoint &point);

// The list as `dccd-ctl restore-points` prints it: name, time, port, what differs from the
// defaults, newest first, with its note and what keeps it from being written back on lines of
// their own; then a line for each entry passed over. Every text from a file is shown with its
// control characters escaped.
QString RestorePointListing(const RestorePointShelf &shelf);

} // namespace tuner
