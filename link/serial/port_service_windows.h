#pragma once

#include "link/serial/device_port_service.h"

#include <QByteArray>

#include <memory>
#include <optional>

namespace comfunct {
class PortTable;
}

namespace tuner {

// The serial port service on Windows, on the Win32 communications API. Port number n is the
// device the port table names for n (COMn unless replaced), opened for this program alone. Create
// it on the thread that handles OnComm (the UI thread), with a table that outlives it.
//
// The port is opened for overlapped I/O and has no thread of its own: a pending read (which
// ends when bytes have arrived and the line pauses) and a pending write each signal an event
// that the Qt event loop watches (QWinEventNotifier), so nothing runs while the line is idle.
// Received bytes are read into the service's own buffer of at most
// RecordDelivery::kInputBufferSize characters (the rest waits in the system), and OnComm
// (CommEvent 2) comes when RecordDelivery says the waiting text is due. (WaitCommEvent is not
// used: Wine ends it at once on a pseudo-terminal, whose modem lines cannot be read; nor a read
// with "MAXDWORD" time-outs, which Wine 8 wakes only seconds late.)
class WinSerialPortService final : public DevicePortService {
    Q_OBJECT

public:
    explicit WinSerialPortService(const comfunct::PortTable &ports, QObject *parent = nullptr);
    ~WinSerialPortService() override;

    bool PortOpen() const override { return m_io != nullptr; }

private:
    struct Io;

    bool OpenDevice(const QString &device, const LineSettings &line) override;
    qint64 Available() const override { return m_input.size(); }
    QByteArray Peek(qint64 n) const override { return m_input.left(n); }
    bool SystemHoldsMore() const override;
    QByteArray Read(qint64 n) override;
    bool Write(const QByteArray &bytes) override;
    bool DrainOutput() override;
    void Release() override;

    // The steps of an open: the port taken for this program alone, its line set up, and the
    // events of its reads and writes watched by the event loop. Each gives the reason when it
    // fails.
    static std::optional<QString> TakePort(const QString &path, Io &io);
    static std::optional<QString> SetUpLine(Io &io, const LineSettings &line);
    void WatchEvents(Io &io);
    // Asks the system for what arrives, as much as the buffer has room for (nothing while it is
    // full). False when the line was lost.
    bool StartRead();
    void ReadDone();
    bool StartWrite();
    void WriteDone();
    // The line failed under the program: the port is closed now, LineLost follows from the
    // event loop.
    void Lose(const QString &reason);

    std::unique_ptr<Io> m_io;
    QByteArray m_input;    // read from the system, not yet taken by Input
    QByteArray m_outgoing; // queued by Output while a write is under way
};

} // namespace tuner
