#pragma once

#include "link/serial/line_settings.h"
#include "link/serial/record_delivery.h"
#include "link/serial/serial_port_service.h"

#include <chrono>
#include <optional>

namespace comfunct {
class PortTable;
}

namespace tuner {

// What the port services on a real device share, whatever the system below: the properties the
// window sets, opening and closing through PortOpen, the delivery rule, and the start of every
// open (the device of the port number, the line settings taken apart). A platform's service
// opens, reads, writes and closes its device.
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
    qint16 CommEvent() const final { return m_commEvent; }
    QString LastError() const final { return m_lastError; }
    bool OutputDropped() const final { return m_outputDropped; }

    // The device the open port uses, or the one the last open tried ("" before any).
    QString Device() const { return m_device; }

protected:
    // `waiting` tells the delivery rule what waits on this platform's line.
    DevicePortService(const comfunct::PortTable &ports, RecordDelivery::Waiting waiting,
                      QObject *parent);

    // Forgets what the last open left and finds the device of the port number and the line
    // settings; nothing, with LastError set, when the port has no device or the settings are
    // not understood.
    std::optional<LineSettings> BeginOpen();
    virtual bool Open() = 0;
    virtual void Close() = 0;

    qint16 m_commEvent = 0;
    QString m_lastError;
    bool m_outputDropped = false;
    QString m_device;
    RecordDelivery m_delivery;

private:
    const comfunct::PortTable &m_ports;
    qint16 m_commPort = 1;
    QString m_settings;
    qint16 m_inputLen = 0;
    qint16 m_threshold = 0;
};

} // namespace tuner
