#include "link/ports/port_platform.h"

#include <QFile>
#include <QFileInfo>
#include <QSerialPortInfo>

#include <sys/stat.h>

namespace comfunct::platform {
namespace {

// A ttyS node exists for every possible UART; the kernel's "type" of 0 means none is fitted.
bool IsRealUart(const QString &canonicalPath) {
    const QString name = QFileInfo(canonicalPath).fileName();
    if (!name.startsWith(u"ttyS"))
        return true;
    QFile type(QStringLiteral("/sys/class/tty/%1/type").arg(name));
    if (!type.open(QIODevice::ReadOnly))
        return true; // nothing to tell otherwise: the device node decides
    return type.readAll().trimmed() != "0";
}

} // namespace

// Numbers 1 to 8 are USB serial adapters, 9 to 12 boards that are USB serial devices
// themselves, 13 to 16 the built-in UARTs.
// A device's name holds no port number here: /dev/ttyUSB0 is port 1.
std::optional<qint16> NumberOfPortName(QStringView) {
    return std::nullopt;
}

QString PortNameExample() {
    return {};
}

QString DefaultDevice(qint16 n) {
    if (n >= 1 && n <= 8)
        return QStringLiteral("/dev/ttyUSB%1").arg(n - 1);
    if (n >= 9 && n <= 12)
        return QStringLiteral("/dev/ttyACM%1").arg(n - 9);
    if (n >= 13 && n <= 16)
        return QStringLiteral("/dev/ttyS%1").arg(n - 13);
    return {};
}

qint16 LastPortNumber() {
    return 16;
}

QList<qint16> RegisteredNumbers() {
    return {};
}

bool DeviceExists(const QString &device) {
    if (device.isEmpty())
        return false;
    struct stat info {};
    // stat follows links (/dev/serial/by-id/...) and never opens the device.
    if (::stat(QFile::encodeName(device).constData(), &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    return IsRealUart(QFileInfo(device).canonicalFilePath());
}

// The system's knowledge of a port is matched by the device's canonical path, so a
// /dev/serial/by-id link finds the ttyUSB device it leads to.
void DescribeDevices(QList<PortInfo> &table) {
    const QList<QSerialPortInfo> known = QSerialPortInfo::availablePorts();
    for (PortInfo &info : table) {
        const QString target = QFileInfo(info.device).canonicalFilePath();
        for (const QSerialPortInfo &port : known) {
            if (!target.isEmpty() &&
                QFileInfo(port.systemLocation()).canonicalFilePath() == target) {
                info.description = port.description();
                info.manufacturer = port.manufacturer();
                info.serialNumber = port.serialNumber();
                break;
            }
        }
    }
}

} // namespace comfunct::platform
