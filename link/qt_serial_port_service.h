#pragma once

#include "link/record_delivery.h"
#include "link/serial_device.h"
#include "link/serial_port_service.h"

#include <chrono>
#include <optional>

class QSerialPort;

namespace comfunct {
class PortTable;
}

namespace tuner {

// The serial port service on a real device, through QSerialPort. Port number n is the device
// the port table it is given names for n. Create it on the thread that handles OnComm (the UI
// thread), with a table that outlives it:
//
//     auto *port = new tuner::QtSerialPortService(ports, parent);
//
// Receive: OnComm (CommEvent 2) comes from the event loop when RecordDelivery says the waiting
// text is due.
class QtSerialPortService final : public SerialPortService {
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds kSettleInterval = RecordDelivery::kSettleInterval;
    static constexpr qint64 kInputBufferSize = RecordDelivery::kInputBufferSize;
    // Closing waits at most this long for queued output to reach the line.
    static constexpr std::chrono::milliseconds kDrainBound{1000};

    explicit QtSerialPortService(const comfunct::PortTable &ports, QObject *parent = nullptr);
    ~QtSerialPortService() override;

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

    bool PortOpen() const override;
    bool SetPortOpen(bool open) override;

    bool Output(const QString &text) override;
    QString Input() override;
    qint16 CommEvent() const override { return m_commEvent; }

    QString LastError() const override { return m_lastError; }
    bool OutputDropped() const override { return m_outputDropped; }

    // The device the open port uses, or the one the last open tried ("" before any).
    QString Device() const { return m_device; }

private:
    bool Open();
    void Close();
    void OnPortError(int error);
    void Deliver();
    // False when output the line did not take had to be dropped.
    bool DrainOutput();

    qint16 m_commPort = 1;
    QString m_settings;
    qint16 m_inputLen = 0;
    qint16 m_threshold = 0;
    qint16 m_commEvent = 0;
    QString m_lastError;
    bool m_outputDropped = false;
    QString m_device;
    const comfunct::PortTable &m_ports;

    QSerialPort *m_port = nullptr;
    // The device held for us for as long as the port is open, so that programs which honour
    // the lock see the port as taken.
    std::optional<DeviceLock> m_lock;
    bool m_opening = false;
    RecordDelivery m_delivery;
};

} // namespace tuner
