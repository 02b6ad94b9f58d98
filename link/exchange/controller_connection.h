#pragma once

#include "link/serial/serial_port_service.h"
#include "link/settings/parameter_set.h"

#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

namespace tuner {

// Opens the port for the controller, as the window's Connect and dccd-ctl do: port number, line
// settings, read size and receive threshold set in that order, then the port opened. False when
// it cannot be opened (LastError tells why).
bool OpenControllerPort(SerialPortService &port, qint16 number);

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

// One numbered port of the port service, opened with the window's line settings and threshold
// (OpenControllerPort, as the window's Connect opens it), spoken to with the window's records,
// waiting for the controller's answer as a program without a window must. Waits run a local
// event loop, so a QCoreApplication must exist.
class ControllerConnection {
public:
    // notice receives the line shown while the controller has not answered for kNoticeAfter.
    ControllerConnection(SerialPortService &port, std::function<QString(qint16)> devicePath,
                         std::chrono::milliseconds timeout,
                         std::function<void(const QString &)> notice);
    ~ControllerConnection();
    ControllerConnection(const ControllerConnection &) = delete;
    ControllerConnection &operator=(const ControllerConnection &) = delete;

    static constexpr std::chrono::milliseconds kNoticeAfter{500};

    std::optional<ExchangeProblem> Open(qint16 port);

    // Sends a save record.
    std::optional<ExchangeProblem> Save(const QString &record);

    // Sends the read request and waits for one full report.
    std::variant<TuningParameters, ExchangeProblem> Read();

    // Closes the port once the output has reached the line. False when output the line did not
    // take had to be dropped.
    bool Close();

    // "1 (/dev/pts/3)", as the window names a port.
    QString PortName() const;

private:
    SerialPortService &m_port;
    std::function<QString(qint16)> m_devicePath;
    std::chrono::milliseconds m_timeout;
    std::function<void(const QString &)> m_notice;
    qint16 m_number = 0;
};

} // namespace tuner
