#pragma once

#include "link/serial/line_settings.h"
#include "link/serial/record_delivery.h"
#include "link/serial/serial_port_service.h"

#include <QByteArray>

#include <chrono>
#include <optional>

namespace comfunct {
class PortTable;
}

namespace tuner {

// What the port services on a real device share, whatever the system below: the properties the
// window sets, opening and closing through PortOpen, the delivery rule and the receive event,
// taking input, refusing output on a closed port, and what a close tells. A system's service
// opens, reads, writes, drains and releases its device.
class DevicePortService : public SerialPortService {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kSettleInterval = RecordDelivery::kSettleInterval;
    static constexpr qint64 kInputBufferSize = RecordDelivery::kInputBufferSize;
    // Closing waits at most this long for queued output to reach the line.
    static constexpr std::chrono::milliseconds kDrainBound{1000};

    qint16 CommPort() const final { return m_commPort; }
    void SetCommPort(qint16 port) final { m_commPort = port; }
    QString Settings() const final { return m_settings; }
    void SetSettings(const QString &settings) final { m_settings = settings; }
    qint16 InputLen() const final { return m_inputLen; }
    void SetInputLen(qint16 length) final { m_inputLen = length; }
    qint16 RThreshold() const final { return m_threshold; }
    void SetRThreshold(qint16 threshold) final;

    bool SetPortOpen(bool open) final;
    bool Output(const QString &text) final;
    QString Input() final;
    qint16 CommEvent() const final { return m_commEvent; }
    QString LastError() const final { return m_lastError; }
    bool OutputDropped() const final { return m_outputDropped; }

protected:
    DevicePortService(const comfunct::PortTable &ports, QObject *parent);

    // Lets queued output drain, then releases the device; a system's service calls it from its
    // destructor too.
    void Close();

    // The system's own I/O. OpenDevice opens the device with the line settings and sets
    // m_lastError when it cannot; the rest are called only while the port is open, except that
    // the three the delivery rule reads give nothing on a closed port.
    virtual bool OpenDevice(const QString &device, const LineSettings &line) = 0;
    // Characters held for Input, the first n of them, and whether the system holds more that
    // have not been read yet.
    virtual qint64 Available() const = 0;
    virtual QByteArray Peek(qint64 n) const = 0;
    virtual bool SystemHoldsMore() const = 0;
    // Takes n of the characters held for Input.
    virtual QByteArray Read(qint64 n) = 0;
    // Queues the bytes; false, with m_lastError set, when the write failed.
    virtual bool Write(const QByteArray &bytes) = 0;
    // Waits at most kDrainBound for queued output to reach the line; false when what it did
    // not take had to be dropped.
    virtual bool DrainOutput() = 0;
    // Gives the device back to the system; the port is closed afterwards.
    virtual void Release() = 0;

    QString m_lastError;
    bool m_outputDropped = false;
    // True while Close drains: a failure then is told by the close, not as a lost line.
    bool m_closing = false;
    RecordDelivery m_delivery;

private:
    bool Open();
    // Forgets what the last open left and finds the device of the port number and the line
    // settings; nothing, with LastError set, when the port has no device or the settings are
    // not understood.
    std::optional<LineSettings> BeginOpen();
    void Deliver();

    const comfunct::PortTable &m_ports;
    qint16 m_commPort = 1;
    QString m_settings;
    qint16 m_inputLen = 0;
    qint16 m_threshold = 0;
    qint16 m_commEvent = 0;
    QString m_device; // the device the open port uses, or the one the last open tried
};

} // namespace tuner
