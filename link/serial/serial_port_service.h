#pragma once

#include <QObject>
#include <QString>

#include <memory>

namespace comfunct {
class PortTable;
}

namespace tuner {

// CommEvent value of a receive event: characters are waiting.
inline constexpr qint16 comEvReceive = 2;

// The one serial port of the window. Set CommPort, Settings, InputLen and RThreshold while
// closed, then set PortOpen true; Output and Input while open. OnComm is raised on the owner's
// thread; the owner reads CommEvent to learn its kind.
class SerialPortService : public QObject {
    Q_OBJECT

public:
    using QObject::QObject;
    ~SerialPortService() override = default;

    virtual qint16 CommPort() const = 0;
    virtual void SetCommPort(qint16 port) = 0;
    virtual QString Settings() const = 0;
    virtual void SetSettings(const QString &settings) = 0;
    virtual qint16 InputLen() const = 0;
    virtual void SetInputLen(qint16 length) = 0;
    virtual qint16 RThreshold() const = 0;
    virtual void SetRThreshold(qint16 threshold) = 0;

    virtual bool PortOpen() const = 0;
    // Opening gives false when the port could not be opened (LastError tells why). A port that
    // opens starts with an empty input: whatever waited there (bytes that came while it was
    // closed, an answer to an earlier request) is discarded before the caller writes anything,
    // so the first text read is an answer to what is sent after the open.
    // Closing lets queued output drain first and always succeeds; when output that the line
    // did not take in time had to be dropped, LastError says so afterwards ("queued output
    // was dropped"), and it is empty after a close that dropped nothing.
    virtual bool SetPortOpen(bool open) = 0;

    // Queues the text's characters as bytes (Latin-1) and returns; false when the write failed.
    virtual bool Output(const QString &text) = 0;
    // Takes the waiting characters out of the input buffer; never blocks.
    virtual QString Input() = 0;
    virtual qint16 CommEvent() const = 0;

    // Why the last open or write failed, or why the line was lost: the bare reason, to follow
    // "Cannot open port 1 (ttyUSB0): " or "Connection lost: ", short, in lower case and without a
    // final period. The reasons both systems give are those of link/serial/failure_reasons.h;
    // besides them an open may say what to do about a permission (link/serial/
    // serial_device_posix.h), what is wrong with the line settings (link/serial/line_settings.h),
    // or give the system's own text. Empty after a successful open.
    virtual QString LastError() const = 0;

    // True when the last close, or the loss of the line, dropped output the line had not taken
    // (a stuck handshake, a device that stopped): what was written last never went out. False
    // after a close or loss that dropped nothing, and while the port is open.
    virtual bool OutputDropped() const = 0;

Q_SIGNALS:
    void OnComm();
    // An open port failed under the program (adapter pulled, I/O error). The port is closed
    // by then; raised once per loss.
    void LineLost();
};

// The serial port service of the system the program is built for, opening port numbers through
// `ports` (which must outlive it). Create it on the thread that handles OnComm. Each system's
// service defines it in its own file (link/serial/port_service_<system>.cpp).
std::unique_ptr<SerialPortService> MakePortService(const comfunct::PortTable &ports,
                                                   QObject *parent = nullptr);

} // namespace tuner
