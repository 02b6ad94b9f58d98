#pragma once

#include "link/serial/device_port_service.h"

#include <QByteArray>

#include <memory>

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

    bool Output(const QString &text) override;
    QString Input() override;

private:
    struct Io;

    bool Open() override;
    void Close() override;
    // Asks the system for what arrives, as much as the buffer has room for (nothing while it is
    // full). False when the line was lost.
    bool StartRead();
    void ReadDone();
    bool StartWrite();
    void WriteDone();
    // False when output the line did not take had to be dropped.
    bool DrainOutput();
    // The line failed under the program: the port is closed now, LineLost follows from the
    // event loop.
    void Lose(const QString &reason);
    void Release();

    std::unique_ptr<Io> m_io;
    bool m_closing = false;
    QByteArray m_input;    // read from the system, not yet taken by Input
    QByteArray m_outgoing; // queued by Output while a write is under way
};

} // namespace tuner
