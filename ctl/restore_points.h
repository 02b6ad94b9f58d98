#pragma once

#include "ctl/tune_file.h"

#include <QDateTime>
#include <QList>
#include <QString>

#include <optional>
#include <variant>

namespace tuner {

// Before every write that reaches a controller, dccd-ctl keeps what the controller held as a
// restore point: a tune file named for the time it was taken and the port,
// "<folder>/20261207T150412Z-port1.json", with read_at and port filled in. The newest
// kKeptRestorePoints are kept (DCCD_KEEP_RESTORE_POINTS asks for another number).
inline constexpr int kKeptRestorePoints = 50;

struct RestorePoint {
    QString name; // the file's name without ".json"
    QString path;
    TuneFile file;
};

// <state folder>/dccd-tuner/restore-points.
QString RestorePointFolder();

// Keeps a controller's tune as a restore point taken now, then lets go of the oldest beyond
// the number kept. The restore point, or the sentence that says why it could not be kept.
std::variant<RestorePoint, QString> KeepRestorePoint(const TuningParameters &held, qint16 port,
                                                     const QDateTime &takenAt);

// Every restore point in the folder, newest first; a file that is no tune file is passed over.
QList<RestorePoint> RestorePoints();

// The restore point "latest" or NAME names (a name from the list, with or without ".json"), or
// the sentence that says there is none.
std::variant<RestorePoint, QString> FindRestorePoint(const QString &name);

// The list as `dccd-ctl restore-points` prints it: name, time, port, what differs from the
// defaults and the note, newest first; a line that says there are none when there are none.
QString RestorePointListing(const QList<RestorePoint> &points);

} // namespace tuner
