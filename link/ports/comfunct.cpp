#include "link/ports/comfunct.h"

#include <QFileInfo>

#include <QRegularExpression>

namespace comfunct {
namespace {

// A by-id name is "usb-<maker>_<product words>_<serial>-if<nn>[-port<n>]": every adapter of
// one make shares all of it but the serial number. "FTDI\u2026C3D4E5".
QString ByIdName(const QString &fileName) {
    static const QRegularExpression byId(
        QStringLiteral("^usb-([^_]+)_(?:.*_)?([^_]+?)-if[0-9]+(?:-port[0-9]+)?$"));
    const QRegularExpressionMatch match = byId.match(fileName);
    if (!match.hasMatch())
        return {};
    // As many as the status line has room for beside the longest message: the end of the serial
    // number is what tells two adapters apart, the maker's first letters say which make it is.
    constexpr qsizetype kSerialShown = 6;
    constexpr qsizetype kMakerShown = 4;
    const QString maker = match.captured(1).left(kMakerShown);
    const QString serial = match.captured(2);
    // The ellipsis stands for the product's words, and for the start of a long serial number.
    return maker + QChar(0x2026) + serial.right(kSerialShown);
}

} // namespace

QString ShortDeviceName(const QString &device) {
    const auto withoutDev = [](const QString &path) {
        return path.startsWith(u"/dev/") ? path.mid(5) : path;
    };
    const QString name = withoutDev(device);
    if (name.size() <= kShortDeviceLength)
        return name;
    if (device.contains(u"/serial/by-id/")) {
        if (const QString byId = ByIdName(QFileInfo(device).fileName()); !byId.isEmpty())
            return byId;
    }
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
