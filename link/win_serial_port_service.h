#pragma once

#include "link/record_delivery.h"
#include "link/serial_port_service.h"

#include <QByteArray>

#include <chrono>
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
class WinSerialPortService final : public SerialPortService {
    Q_OBJECT

public:
    static constexpr qint64 kInputBufferSize = RecordDelivery::kInputBufferSize;
    // Closing waits at most this long for queued output to reach the line.
    static constexpr std::chrono::milliseconds kDrainBound{1000};

    explicit WinSerialPortService(const comfunct::PortTable &ports, QObject *parent = nullptr);
    ~WinSerialPortService() override;

    qint16 CommPort() const override { return m_commPort; }
    void SetCommPort(qint16 port) override { m_commPort = port; }
    QString Settings() const override { return m_settings; }
    void SetSettings(const QString &settings) override { m_settings = settings; }
    qint16 InputLen() const override { return m_inputLen; }
    void SetInputLen(qint16 length) override { m_inputLen = length; }
    qint16 RThreshold() const override { return m_threshold; }
    void SetRThreshold(qint16 threshold) override {
        m_threshold = threshold;
        m_delivery.SetThreshold(threshold);
    }

    bool PortOpen() const override { return m_io != nullptr; }
    bool SetPortOpen(bool open) override;

    bool Output(const QString &text) override;
    QString Input() override;
    qint16 CommEvent() const override { return m_commEvent; }

    QString LastError() const override { return m_lastError; }
    bool OutputDropped() const override { return m_outputDropped; }

    // The device the open port uses, or the one the last open tried ("" before any).
    QString Device() const { return m_device; }

private:
    struct Io;

    bool Open();
    void Close();
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

    qint16 m_commPort = 1;
    QString m_settings;
    qint16 m_inputLen = 0;
    qint16 m_threshold = 0;
    qint16 m_commEvent = 0;
    QString m_lastError;
    bool m_outputDropped = false;
    QString m_device;
    const comfunct::PortTable &m_ports;

    std::unique_ptr<Io> m_io;
    bool m_closing = false;
    QByteArray m_input;    // read from the system, not yet taken by Input
    QByteArray m_outgoing; // queued by Output while a write is under way
    RecordDelivery m_delivery;
};

} // namespace tuner
