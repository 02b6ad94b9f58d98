#pragma once

#include "link/serial/device_port_service.h"
#include "link/serial/serial_device_posix.h"

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
// Receive: QSerialPort holds what arrives, and OnComm (CommEvent 2) comes from the event loop when
// RecordDelivery says the waiting text is due.
class QtSerialPortService final : public DevicePortService {
    Q_OBJECT

public:
    explicit QtSerialPortService(const comfunct::PortTable &ports, QObject *parent = nullptr);
    ~QtSerialPortService() override;

    bool PortOpen() const override;

private:
    bool OpenDevice(const QString &device, const LineSettings &line) override;
    qint64 Available() const override;
    QByteArray Peek(qint64 n) const override;
    bool SystemHoldsMore() const override;
    QByteArray Read(qint64 n) override;
    bool Write(const QByteArray &bytes) override;
    bool DrainOutput() override;
    void Release() override;
    void OnPortError(int error);

    QSerialPort *m_port = nullptr;
    // The device held for us for as long as the port is open, so that programs which honour
    // the lock see the port as taken.
    std::optional<DeviceLock> m_lock;
    bool m_opening = false;
};

} // namespace tuner
