#pragma once

#include "tunes/files/tune_file.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace tuner {

// Before every write that reaches a controller, dccd-ctl keeps what the controller held as a
// restore point: a tune file named for the order it was taken in, the time and the port,
// "<folder>/000042-20261207T150412Z-port1.json", with read_at, port and a note of the write it
// was taken before. The number, not the clock, says which is newer: it is the highest in the
// folder plus one, chosen under the folder's lock, so a clock put back or a read_at edited by
// hand cannot reorder them, and two processes never take the same name.
inline constexpr int kKeptRestorePoints = 50;
inline constexpr int kMostKeptRestorePoints = 10000;
inline constexpr char kKeepVariable[] = "DCCD_KEEP_RESTORE_POINTS";

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

// <state folder>/dccd-tuner/restore-points, or the sentence that says there is none.
std::variant<QString, QString> RestorePointFolder();

// How many restore points are kept: DCCD_KEEP_RESTORE_POINTS as a plain decimal from 1 to
// kMostKeptRestorePoints, kKeptRestorePoints when it is not set; the sentence that refuses any
// other value.
std::variant<int, QString> KeptRestorePoints();

// Keeps a controller's tune as a new restore point, never replacing a file. The restore point,
// or the sentence that says why it could not be kept.
std::variant<RestorePoint, QString> KeepRestorePoint(const TuningParameters &held, qint16 port,
                                                     const QDateTime &takenAt, const QString &note);

// Removes the oldest restore points beyond the newest `kept`, never one named in `spared`; the
// sentences that say what was removed, or could not be.
QStringList PruneRestorePoints(int kept, const QStringList &spared);

// Everything in the folder. Nothing is opened that is not a regular file.
RestorePointShelf ReadRestorePoints();

// The restore point "latest" (the newest taken from `port`) or NAME names (with or without
// ".json"), or the sentence that says there is none.
std::variant<RestorePoint, QString> FindRestorePoint(const QString &name, qint16 port);

// The note a restore point taken before a write carries, and the restore point a note says was
// written back ("" for none): how a second undo in a row is told.
QString NoteBeforeWriting(const QString &what);
QString NoteBeforeWritingBack(const QString &restorePoint);
QString WrittenBackAfter(const RestorePoint &point);

// The time a restore point was taken as the listing shows it ("2026-12-07 15:04:12 UTC").
QString TakenText(const RestorePoint &point);

// The list as `dccd-ctl restore-points` prints it: name, time, port, what differs from the
// defaults, newest first, with its note and what keeps it from being written back on lines of
// their own; then a line for each entry passed over. Every text from a file is shown with its
// control characters escaped.
QString RestorePointListing(const RestorePointShelf &shelf);

} // namespace tuner
