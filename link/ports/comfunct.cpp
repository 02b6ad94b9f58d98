#include "link/ports/comfunct.h"

#include "link/ports/port_platform.h"

#include <QFileInfo>
#include <QRegularExpression>

#include <algorithm>

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

std::optional<qint16> PlainPortNumber(QStringView digits) {
    constexpr qsizetype kMostDigits = 3; // 255
    if (digits.isEmpty() || digits.size() > kMostDigits ||
        !std::all_of(digits.cbegin(), digits.cend(),
                     [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return std::nullopt;
    const int n = digits.toInt();
    if (n < kFirstPort || n > platform::LastPortNumber())
        return std::nullopt;
    return static_cast<qint16>(n);
}

PortScan ScanPorts(const std::function<bool(qint16)> &exists, std::optional<qint16> chosen) {
    PortScan scan;
    scan.defaultPort = kLastListedPort + 1;
    for (qint16 n = kFirstPort; n <= kLastListedPort; ++n) {
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
