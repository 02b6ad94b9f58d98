#include "link/comfunct.h"

#include <QFileInfo>

namespace comfunct {

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
