#include "tunes/exchange/verified_write.h"

#include <QDateTime>
#include <QTimer>

namespace tuner {

TuningParameters OnlySome(const TuningParameters &held, const TuningParameters &wanted,
                          const QStringList &only) {
    TuningParameters tune = held;
    for (const PercentField &percent : kPercents) {
        if (only.contains(percent.fileKey.toString()))
            tune.*percent.value = wanted.*percent.value;
    }
    for (const SwitchField &flag : kSwitches) {
        if (IsSetting(flag) && only.contains(flag.fileKey.toString()))
            tune.*flag.value = wanted.*flag.value;
    }
    return tune;
}

VerifiedWrite::VerifiedWrite(SerialPortService &port, std::function<QString(qint16)> devicePath,
                             std::chrono::milliseconds timeout, QObject *parent)
    : QObject(parent), m_connection(port, std::move(devicePath), timeout) {
    connect(&m_connection, &ControllerConnection::Waiting, this, &VerifiedWrite::Notice);
    // Lost while waiting for a go-ahead: told at once, not when the front says go.
    connect(&m_connection, &ControllerConnection::Lost, this, [this](const ExchangeProblem &lost) {
        if (m_active)
            Fail(lost);
    });
    connect(&m_connection, &ControllerConnection::ReadEnded, this,
            [this](const ReadOutcome &outcome) {
                if (m_stage == WriteStage::ReadingHeld)
                    HeldRead(outcome);
                else
                    Compare(outcome);
            });
}

void VerifiedWrite::Enter(WriteStage stage) {
    m_stage = stage;
    Q_EMIT StageEntered(stage);
}

void VerifiedWrite::HoldWrittenBack(RestorePointInUse inUse) {
    m_writtenBackInUse = std::move(inUse);
}

void VerifiedWrite::Start(const WritePlan &plan) {
    m_plan = plan;
    m_outcome = WriteOutcome{};
    m_outcome.sent = plan.tune;
    m_active = true;
    m_saveSent = false;
    const bool readsHeld = plan.keepRestorePoint || !plan.only.isEmpty() || plan.skipWhenHeld;
    m_stage = WriteStage::ReadingHeld; // until the first stage is entered
    // Every end is told from the event loop, never inside Start.
    QTimer::singleShot(0, this, [this, readsHeld] {
        if (!m_active)
            return;
        if (readsHeld)
            Enter(WriteStage::ReadingHeld);
        if (const std::optional<ExchangeProblem> problem = m_connection.Open(m_plan.port)) {
            // Without a read first, the port is opened to send.
            if (!readsHeld)
                Enter(WriteStage::Sending);
            Fail(*problem);
            return;
        }
        if (readsHeld)
            m_connection.StartRead();
        else
            GoAheadOrSend();
    });
}

void VerifiedWrite::HeldRead(const ReadOutcome &outcome) {
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&outcome)) {
        Fail(*problem);
        return;
    }
    const TuningParameters held = TuneOf(std::get<TuningParameters>(outcome));
    m_outcome.held = held;
    // Only a record the window could send goes out: a held value outside its range is not
    // sent back.
    if (const QString outside = OutOfRange(held, m_plan.only);
        !m_plan.only.isEmpty() && !outside.isEmpty()) {
        End(WriteEnd::HeldOutOfRange, QStringLiteral("port %1 holds %2; write a whole tune instead")
                                          .arg(m_plan.port)
                                          .arg(outside));
        return;
    }
    if (!m_plan.only.isEmpty())
        m_outcome.sent = OnlySome(held, m_plan.tune, m_plan.only);
    if (m_plan.skipWhenHeld && !m_plan.calibrate && Differences(held, m_outcome.sent).isEmpty()) {
        End(WriteEnd::AlreadyHeld,
            QStringLiteral("the controller already holds this tune: nothing was sent to port %1")
                .arg(m_connection.PortName()));
        return;
    }
    if (m_plan.keepRestorePoint)
        KeepRestorePointOf(held);
    else
        GoAheadOrSend();
}

void VerifiedWrite::KeepRestorePointOf(const TuningParameters &held) {
    Enter(WriteStage::KeepingRestorePoint);
    auto kept = KeepRestorePoint(held, m_plan.port, QDateTime::currentDateTimeUtc(), m_plan.note);
    if (const QString *problem = std::get_if<QString>(&kept)) {
        End(WriteEnd::NoRestorePoint, *problem);
        return;
    }
    KeptRestorePoint &taken = std::get<KeptRestorePoint>(kept);
    m_outcome.taken = taken.point;
    m_takenInUse = std::move(taken.inUse);
    Q_EMIT Notice(KeptNotice(m_outcome.taken->name, m_connection.PortName()));
    GoAheadOrSend();
}

void VerifiedWrite::GoAheadOrSend() {
    if (!m_plan.askBeforeSending) {
        Send();
        return;
    }
    Enter(WriteStage::AwaitingGoAhead);
    Q_EMIT ReadyToSend(m_outcome);
}

void VerifiedWrite::Proceed() {
    if (m_active && m_stage == WriteStage::AwaitingGoAhead)
        Send();
}

void VerifiedWrite::Cancel() {
    if (!m_active || m_saveSent)
        return;
    m_connection.CancelRead();
    End(WriteEnd::Cancelled,
        QStringLiteral("cancelled: nothing was sent to port %1").arg(m_connection.PortName()));
}

void VerifiedWrite::Send() {
    Enter(WriteStage::Sending);
    m_saveSent = true;
    if (const auto problem = m_connection.Save(SaveRecordOf(m_outcome.sent, m_plan.calibrate))) {
        Fail(*problem);
        return;
    }
    if (m_plan.verify) {
        Enter(WriteStage::ReadingBack);
        m_connection.StartRead();
        return;
    }
    // Sent means taken by the line: a save still queued when the close gave up was lost.
    if (!m_connection.Close()) {
        End(WriteEnd::DroppedAtClose, QStringLiteral("the save did not reach the line of port ") +
                                          m_connection.PortName() +
                                          QStringLiteral(": it was dropped at the close."));
        return;
    }
    End(WriteEnd::Sent, QStringLiteral("sent to port ") + m_connection.PortName() +
                            QStringLiteral("; not verified"));
}

void VerifiedWrite::Compare(const ReadOutcome &outcome) {
    if (const ExchangeProblem *problem = std::get_if<ExchangeProblem>(&outcome)) {
        Fail(*problem);
        return;
    }
    Enter(WriteStage::Comparing);
    m_outcome.mismatch = Differences(m_outcome.sent, TuneOf(std::get<TuningParameters>(outcome)));
    if (!m_outcome.mismatch.isEmpty()) {
        End(WriteEnd::Mismatch, QStringLiteral("verify failed: port ") + m_connection.PortName() +
                                    QStringLiteral(" does not hold what was sent:\n") +
                                    DifferenceTable(m_outcome.mismatch, QStringLiteral("sent"),
                                                    QStringLiteral("controller holds"))
                                        .chopped(1));
        return;
    }
    End(WriteEnd::Verified,
        QStringLiteral("saved and verified on port ") + m_connection.PortName());
}

void VerifiedWrite::Fail(const ExchangeProblem &problem) {
    m_outcome.problem = problem;
    End(WriteEnd::ExchangeFailed, problem.message);
}

// Only once the write has ended are the oldest restore points let go: never the one it took
// nor the one it wrote back, which it holds in use till then, nor those other writes hold.
void VerifiedWrite::End(WriteEnd end, const QString &message) {
    m_active = false;
    m_outcome.end = end;
    m_outcome.stage = m_stage;
    m_outcome.message = message;
    m_connection.Close();
    if (m_outcome.taken) {
        Enter(WriteStage::Pruning);
        m_outcome.pruned = PruneRestorePoints(m_plan.kept);
    }
    m_takenInUse = RestorePointInUse();
    m_writtenBackInUse = RestorePointInUse();
    Q_EMIT Finished(m_outcome);
}

} // namespace tuner
