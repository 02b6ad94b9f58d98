#include "tunes/exchange/backup.h"

#include <QDateTime>

namespace tuner {

Backup::Backup(SerialPortService &port, std::function<QString(qint16)> devicePath,
               std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent), m_reading(port, std::move(devicePath), timeout) {
    connect(&m_reading, &TuneReading::Waiting, this, &Backup::Waiting);
    connect(&m_reading, &TuneReading::Finished, this, &Backup::Keep);
}

void Backup::Start(qint16 port, int kept) {
    m_port = port;
    m_kept = kept;
    m_reading.Start(port);
}

// The restore point is held in use until pruning is done, so the prune never takes it.
void Backup::Keep(const TuneReadOutcome &read) {
    BackupOutcome outcome;
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&read)) {
        outcome.message = problem->message;
        outcome.problem = *problem;
        Q_EMIT Finished(outcome);
        return;
    }
    auto kept = KeepRestorePoint(std::get<TuneFile>(read).tune, m_port,
                                 QDateTime::currentDateTimeUtc(), NoteKeptByHand());
    if (const QString *problem = std::get_if<QString>(&kept)) {
        outcome.end = BackupEnd::NoRestorePoint;
        outcome.message = QStringLiteral("No restore point could be kept (%1).").arg(*problem);
        Q_EMIT Finished(outcome);
        return;
    }
    KeptRestorePoint &taken = std::get<KeptRestorePoint>(kept);
    outcome.end = BackupEnd::Kept;
    outcome.kept = taken.point;
    outcome.message = KeptNotice(taken.point.name, PortName());
    outcome.pruned = PruneRestorePoints(m_kept);
    taken.inUse = RestorePointInUse();
    Q_EMIT Finished(outcome);
}

} // namespace tuner
