#pragma once

#include "link/protocol/record_assembler.h"
#include "link/protocol/records.h"
#include "link/serial/serial_port_service.h"
#include "link/settings/parameter_set.h"

#include <QObject>
#include <QString>
#include <QTimer>

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

namespace tuner {

// Opens the port for the controller, as the window's Connect and dccd-ctl do: port number, line
// settings, read size and receive threshold set in that order, then the port opened. False when
// it cannot be opened (LastError tells why). A lower threshold delivers shorter answers too (a
// connection check shows every piece that comes back).
bool OpenControllerPort(SerialPortService &port, qint16 number,
                        qint16 threshold = kReceiveThreshold);

// Why an exchange with the controller did not give what was asked, and the sentence that says
// so; each program maps the kind to its own outcome (dccd-ctl to an exit code).
enum class ExchangeFailure {
    CannotOpen, // the port could not be opened
    NoReport,   // no settings report came in time (nothing, or something else, answered)
    LineLost,   // the line went away, or a write to it failed
};

struct ExchangeProblem {
    ExchangeFailure kind;
    QString message;
};

// What a read gives: the controller's settings, or why none came.
using ReadOutcome = std::variant<TuningParameters, ExchangeProblem>;

// One numbered port of the port service, opened with the window's line settings and threshold
// (OpenControllerPort, as the window's Connect opens it), spoken to with the window's records.
// A read never waits: StartRead sends the read request and returns, and ReadEnded tells the
// report, or why none came, from the event loop of the thread that owns the port service.
class ControllerConnection : public QObject {
    Q_OBJECT

public:
    ControllerConnection(SerialPortService &port, std::function<QString(qint16)> devicePath,
                         std::chrono::milliseconds timeout, QObject *parent = nullptr);
    ~ControllerConnection() override;
    ControllerConnection(const ControllerConnection &) = delete;
    ControllerConnection &operator=(const ControllerConnection &) = delete;

    // How long a read goes without an answer before Waiting is raised.
    static constexpr std::chrono::milliseconds kNoticeAfter{500};

    std::optional<ExchangeProblem> Open(qint16 port);

    // Sends a save record.
    std::optional<ExchangeProblem> Save(const QString &record);

    // Sends the read request; ReadEnded follows once, always after StartRead has returned,
    // unless CancelRead comes first.
    void StartRead();
    // Stops waiting for the report of the read under way; nothing is raised for it.
    void CancelRead();
    bool Reading() const { return m_reading; }

    // Closes the port once the output has reached the line. False when output the line did not
    // take had to be dropped.
    bool Close();

    // "1 (/dev/pts/3)", as the window names a port.
    QString PortName() const;

Q_SIGNALS:
    // The controller has not answered for kNoticeAfter: the sentence a front may show.
    void Waiting(const QString &notice);
    void ReadEnded(const tuner::ReadOutcome &outcome);
    // The line went away while no read was under way (a read ends in ReadEnded instead).
    void Lost(const tuner::ExchangeProblem &problem);

private:
    void Receive();
    void Expire();
    void End(ReadOutcome outcome);

    SerialPortService &m_port;
    std::function<QString(qint16)> m_devicePath;
    std::chrono::milliseconds m_timeout;
    qint16 m_number = 0;
    bool m_reading = false;
    quint64 m_readNumber = 0; // which read an end queued for later belongs to
    RecordAssembler m_records;
    QString m_received; // the start of what arrived, for the message when none of it is a report
    QTimer m_notice;
    QTimer m_deadline;
};

} // namespace tuner
