#pragma once

#include <QDeadlineTimer>
#include <QString>

#include <variant>

// What the port service on a POSIX system needs beyond Qt: taking a serial device for this
// program alone, with the exact reason when that is not possible, and the system's own input and
// output queues of an open device (its handle as QSerialPort::handle gives it). Windows needs
// none of it: a port opened there is the program's alone, and its queues are the service's.
namespace tuner {

// The device held for this program from Take until destruction: others who honour the lock see
// the port as taken.
class DeviceLock {
public:
    // Takes the device, or gives the reason it cannot be taken: no such port, not a serial
    // device, permission denied (naming the group to join), in use, or the system's own text.
    static std::variant<DeviceLock, QString> Take(const QString &device);

    DeviceLock(DeviceLock &&other) noexcept;
    DeviceLock &operator=(DeviceLock &&other) noexcept;
    DeviceLock(const DeviceLock &) = delete;
    DeviceLock &operator=(const DeviceLock &) = delete;
    ~DeviceLock();

private:
    explicit DeviceLock(qintptr handle) : m_handle(handle) {}
    qintptr m_handle = -1;
};

// Drops the input the system holds for the device and nobody has read yet.
void DiscardWaitingInput(qintptr handle);

// Bytes the system holds for the device that have not been read yet.
qint64 UnreadBytes(qintptr handle);

// Waits until the system has sent what it still queues for the device, at most until
// `deadline`; what is left then is dropped, so that closing does not hang on a stuck line.
// False when something was dropped.
bool DrainQueuedOutput(qintptr handle, const QDeadlineTimer &deadline);

} // namespace tuner
