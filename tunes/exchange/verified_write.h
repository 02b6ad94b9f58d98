#pragma once

#include "link/exchange/controller_connection.h"
#include "tunes/files/tune_differences.h"
#include "tunes/restore_points/restore_points.h"

#include <QObject>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace tuner {

// What a verified write is asked to do.
struct WritePlan {
    qint16 port = 0;
    TuningParameters tune;  // what to send
    QStringList only;       // these settings alone change, the others as held; empty for all
    bool calibrate = false; // ask the controller to calibrate its G-sensor with the save
    bool verify = true;     // read back and compare
    bool keepRestorePoint = true;
    QString note;                  // the note of the restore point taken before sending
    QString writtenBack;           // the restore point this write writes back; "" for none
    int kept = kKeptRestorePoints; // how many restore points pruning keeps
    bool askBeforeSending = false; // stop at AwaitingGoAhead until Proceed or Cancel
    bool skipWhenHeld = false; // end AlreadyHeld, keeping no restore point, when nothing changes
};

// The stages of a verified write, in the order they come. Reading what the controller holds is
// left out when neither a restore point nor --only needs it, reading back when not verifying,
// and pruning when no restore point was taken.
enum class WriteStage {
    ReadingHeld,         // opening the port and asking for what the controller holds
    KeepingRestorePoint, // keeping that as a restore point
    AwaitingGoAhead,     // waiting for Proceed or Cancel
    Sending,             // the save record goes out
    ReadingBack,         // asking the controller for what it holds now
    Comparing,           // what came back against what was sent
    Pruning,             // letting the oldest restore points go
};

// How a verified write ended.
enum class WriteEnd {
    Verified,       // the controller holds what was sent
    Sent,           // sent and taken by the line, not read back (verify was off)
    DroppedAtClose, // sent unverified, but dropped when the port closed: it never went out
    Mismatch,       // read back, and the controller holds something else
    ExchangeFailed, // the port did not open, did not answer, or was lost
    HeldOutOfRange, // `only` would send back a held value the controller cannot take
    NoRestorePoint, // the restore point could not be kept, so nothing was sent
    Cancelled,      // Cancel came before the save went out
    AlreadyHeld,    // skipWhenHeld, and the controller holds what would be sent: nothing sent
};

struct WriteOutcome {
    WriteEnd end = WriteEnd::Cancelled;
    WriteStage stage = WriteStage::ReadingHeld; // where it ended (before pruning)
    QString message; // the sentence that says how it ended (see the fronts for what they add)
    std::optional<ExchangeProblem> problem; // for ExchangeFailed
    std::optional<RestorePoint> taken;      // the restore point kept before sending
    std::optional<TuningParameters> held;   // what the controller held before, when read
    TuningParameters sent;                  // what was (or would have been) sent
    QList<TuneDifference> mismatch;         // for Mismatch: sent against held afterwards
    QStringList pruned;                     // what pruning did, one sentence each
};

// One write of a tune to a controller, never blind: read what the controller holds, keep it as
// a restore point, (optionally wait for a go-ahead), send, read back, compare, and then let the
// oldest restore points go, never the one just taken nor the one written back. Start returns at
// once; each stage is told by StageEntered as it begins, sentences every front should show by
// Notice, and the end by Finished, once, from the event loop. The port is open from Start to
// Finished.
class VerifiedWrite : public QObject {
    Q_OBJECT

public:
    VerifiedWrite(SerialPortService &port, std::function<QString(qint16)> devicePath,
                  std::chrono::milliseconds timeout, QObject *parent = nullptr);

    // Holds the restore point the plan writes back in use (HoldRestorePoint) until the write
    // has ended: no prune, by any process, removes it meanwhile.
    void HoldWrittenBack(RestorePointInUse inUse);
    void Start(const WritePlan &plan);
    // At AwaitingGoAhead: send.
    void Proceed();
    // Before the save goes out: stop, send nothing. Once it has gone out, the write goes on
    // to its end (a save on the line cannot be taken back).
    void Cancel();

    WriteStage Stage() const { return m_stage; }
    // "1 (/dev/pts/3)": the port written to.
    QString PortName() const { return m_connection.PortName(); }

Q_SIGNALS:
    void StageEntered(tuner::WriteStage stage);
    // "restore point … keeps what port 1 (…) held", "the controller has not answered yet…".
    void Notice(const QString &sentence);
    // At AwaitingGoAhead: what the controller holds, what will be sent and the restore point
    // kept, for a front to show before it calls Proceed or Cancel.
    void ReadyToSend(const tuner::WriteOutcome &sofar);
    void Finished(const tuner::WriteOutcome &outcome);

private:
    void Enter(WriteStage stage);
    void HeldRead(const ReadOutcome &outcome);
    void KeepRestorePointOf(const TuningParameters &held);
    void GoAheadOrSend();
    void Send();
    void Compare(const ReadOutcome &outcome);
    void End(WriteEnd end, const QString &message);
    void Fail(const ExchangeProblem &problem);

    ControllerConnection m_connection;
    WritePlan m_plan;
    RestorePointInUse m_takenInUse;
    RestorePointInUse m_writtenBackInUse;
    WriteStage m_stage = WriteStage::ReadingHeld;
    WriteOutcome m_outcome;
    bool m_active = false;
    bool m_saveSent = false; // the save has gone to the line: too late to cancel
};

// The settings of `wanted` named in `only`, the others as `held`.
TuningParameters OnlySome(const TuningParameters &held, const TuningParameters &wanted,
                          const QStringList &only);

} // namespace tuner
