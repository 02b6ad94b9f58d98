#include "link/comfunct.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>

#include <sys/stat.h>

namespace comfunct {
namespace {

// Replacements given for this run (--port N=DEVICE); read and written on the UI thread only.
QMap<qint16, QString> &Replacements() {
    static QMap<qint16, QString> replacements;
    return replacements;
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

QString DevicePath(qint16 n) {
    const auto replaced = Replacements().constFind(n);
    if (replaced != Replacements().cend())
        return *replaced;
    return DefaultDevice(n);
}

void SetDevicePath(qint16 n, const QString &device) {
    if (device.isEmpty())
        Replacements().remove(n);
    else
        Replacements().insert(n, device);
}

void ResetDevicePaths() {
    Replacements().clear();
}

QString ShortDeviceName(const QString &device) {
    const auto withoutDev = [](const QString &path) {
        return path.startsWith(u"/dev/") ? path.mid(5) : path;
    };
    const QString name = withoutDev(device);
    if (name.size() <= kShortDeviceLength)
        return name;
    const QString target = withoutDev(QFileInfo(device).canonicalFilePath());
    if (!target.isEmpty() && target.size() <= kShortDeviceLength)
        return target;
    const QString fileName = QFileInfo(device).fileName();
    if (fileName.size() <= kShortDeviceLength)
        return fileName;
    return QChar(0x2026) + fileName.right(kShortDeviceLength - 1);
}

bool ComPortExists(qint16 n) {
    const QString device = DevicePath(n);
    if (device.isEmpty())
        return false;
    struct stat info {};
    // stat follows links (/dev/serial/by-id/...) and never opens the device.
    if (::stat(QFile::encodeName(device).constData(), &info) != 0 || !S_ISCHR(info.st_mode))
        return false;
    return IsRealUart(QFileInfo(device).canonicalFilePath());
}

PortScan ScanPorts(const std::function<bool(qint16)> &exists, std::optional<qint16> chosen) {
    PortScan scan;
    scan.defaultPort = kLastPort + 1;
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        if (exists && exists(n)) {
            if (n < scan.defaultPort)
                scan.defaultPort = n;
            scan.numbers.append(QString::number(n));
        }
    }
    if (chosen)
        scan.defaultPort = *chosen;
    return scan;
}

} // namespace comfunct
