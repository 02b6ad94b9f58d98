#pragma once

#include "link/serial_port_service.h"
#include "link/tuning_parameters.h"

#include <QString>

#include <chrono>
#include <functional>
#include <optional>
#include <variant>

namespace tuner {

// dccd-ctl's exit codes.
enum CtlExit : int {
    kExitOk = 0,
    kExitDifferent = 1,
    kExitUsage = 2,
    kExitCannotOpen = 3,
    kExitNoAnswer = 4,
    kExitBadFile = 5,
    kExitVerifyMismatch = 6,
    kExitLineLost = 7,
};

// Why a command ends early: its exit code and the sentence to print.
struct CtlFailure {
    int exitCode = kExitUsage;
    QString message;
};

// One numbered port of the port service, opened with the window's line settings and threshold,
// spoken to with the window's records. Waits run a local event loop, so a QCoreApplication must
// exist.
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

    std::optional<CtlFailure> Open(qint16 port);

    // Sends a save record.
    std::optional<CtlFailure> Save(const QString &record);

    // Sends the read request and waits for one full report.
    std::variant<TuningParameters, CtlFailure> Read();

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
