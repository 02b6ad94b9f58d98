#pragma once

#include "tunes/exchange/tune_reading.h"
#include "tunes/restore_points/restore_points.h"

#include <QObject>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace tuner {

// How a backup ended.
enum class BackupEnd {
    Kept,           // the controller's tune is a new restore point
    ExchangeFailed, // the port did not open, did not answer, or was lost: nothing was kept
    NoRestorePoint, // read, but the restore point could not be written (a full disk)
};

struct BackupOutcome {
    BackupEnd end = BackupEnd::ExchangeFailed;
    // "restore point … keeps what port 1 (…) held", or the sentence that says why none was kept.
    QString message;
    std::optional<RestorePoint> kept;       // for Kept
    std::optional<ExchangeProblem> problem; // for ExchangeFailed
    QStringList pruned;                     // what pruning did, one sentence each
};

// Keeps what a controller holds as a restore point with the note "kept by hand", and sends it
// nothing but the read request: reads its tune, keeps it, then lets the oldest restore points
// go beyond the newest `kept`, never the one just taken. Start returns at once; Waiting tells
// that the controller has not answered yet, and Finished ends it once, from the event loop.
// Cancel, before Finished, ends it without Finished and keeps nothing.
class Backup : public QObject {
    Q_OBJECT

public:
    Backup(SerialPortService &port, std::function<QString(qint16)> devicePath,
           std::chrono::milliseconds timeout, QObject *parent = nullptr);

    void Start(qint16 port, int kept = kKeptRestorePoints);
    void Cancel() { m_reading.Cancel(); }
    // "1 (/dev/pts/3)": the port read.
    QString PortName() const { return m_reading.PortName(); }

Q_SIGNALS:
    void Waiting(const QString &notice);
    void Finished(const tuner::BackupOutcome &outcome);

private:
    void Keep(const TuneReadOutcome &read);

    TuneReading m_reading;
    qint16 m_port = 0;
    int m_kept = kKeptRestorePoints;
};

} // namespace tuner
