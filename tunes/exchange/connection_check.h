#pragma once

#include "link/exchange/controller_connection.h"
#include "link/ports/comfunct.h"

#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>

namespace tuner {

// A piece of what came back, as the port delivered it.
struct ReceivedChunk {
    qint64 afterMs = 0; // since the read request was sent
    QString text;       // the characters as received (one per byte); Text() shows them escaped
};

// The stages of a connection check, in the order they come.
enum class CheckStage {
    Describing, // what the system knows of the port's device
    Opening,    // opening the port as the window's Connect does
    Listening,  // the read request is out; what comes back is gathered
};

// What the check found, in one word.
enum class CheckVerdict {
    Report,          // a settings report came
    CannotOpen,      // the port did not open: nothing was sent
    NothingAnswered, // nothing came back within the timeout
    NotAReport,      // something came back, but no settings report
    OwnRequestBack,  // only our own read request came back: a loop or an echoing adapter
    LineLost,        // the line went away while listening
};

// Everything a connection check learnt of one port, for a user to act on or to send with a
// support request.
struct ConnectionReport {
    comfunct::PortInfo port; // number, device, whether it exists, description, maker, serial
    bool opened = false;
    QString openProblem; // "Cannot open port 1 (/dev/ttyUSB0): no such port."; "" when it opened
    QString openAdvice;  // what to do about it
    QString sent;        // the read request, as sent; "" when the port did not open
    std::chrono::milliseconds timeout{0};
    QList<ReceivedChunk> received; // in the order they came, at most kShownCharacters in all
    qint64 notShown = 0;           // characters that came beyond those
    bool echoed = false;           // our read request came back among them
    CheckVerdict verdict = CheckVerdict::NothingAnswered;
    std::optional<TuningParameters> values; // for Report: the tune it holds
    QString lost;                           // for LineLost: "Connection lost: …"

    static constexpr qsizetype kShownCharacters = 4096;

    // "Verdict: …": the one line that says what was found and what it points to.
    QString VerdictLine() const;
    // The whole report as plain lines, each ending in a line feed; text from outside escaped.
    QString Text() const;
};

// "dccd-ctl 1.2.0 on Debian GNU/Linux 12 (bookworm), linux 6.1.0, x86_64": what a front adds
// to the report for a support request.
QString ProgramAndSystem(const QString &program, const QString &version);

// Checks the connection to a controller on one port: what the system knows of the port, whether
// it opens, and what comes back to one read request, with the time of each piece. Start returns
// at once; each stage is told by StageEntered as it begins, and the report by Finished, once,
// from the event loop. It ends as soon as a report has come, else at the timeout. Cancel ends
// it without Finished. The port is open only while listening.
class ConnectionCheck : public QObject {
    Q_OBJECT

public:
    ConnectionCheck(SerialPortService &port, std::function<comfunct::PortInfo(qint16)> describe,
                    std::chrono::milliseconds timeout, QObject *parent = nullptr);
    ~ConnectionCheck() override;
    ConnectionCheck(const ConnectionCheck &) = delete;
    ConnectionCheck &operator=(const ConnectionCheck &) = delete;

    void Start(qint16 port);
    void Cancel();
    CheckStage Stage() const { return m_stage; }

Q_SIGNALS:
    void StageEntered(tuner::CheckStage stage);
    void Finished(const tuner::ConnectionReport &report);

private:
    void Run(qint16 port);
    void Enter(CheckStage stage);
    void Receive();
    void Take(const QString &piece);
    void Expire();
    void Finish(CheckVerdict verdict);
    void Stop();

    SerialPortService &m_port;
    std::function<comfunct::PortInfo(qint16)> m_describe;
    std::chrono::milliseconds m_timeout;
    ConnectionReport m_report;
    CheckStage m_stage = CheckStage::Describing;
    bool m_active = false;
    bool m_other = false;  // something came that is neither our read request nor blank
    qsizetype m_shown = 0; // characters kept in the report's chunks
    RecordAssembler m_records;
    QElapsedTimer m_sentAt;
    QTimer m_deadline;
};

} // namespace tuner
