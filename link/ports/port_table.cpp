#include "link/ports/port_table.h"

#include "link/ports/port_platform.h"

#include <algorithm>

namespace comfunct {

QString PortTable::DevicePath(qint16 n) const {
    const auto replaced = m_replacements.constFind(n);
    if (replaced != m_replacements.cend())
        return *replaced;
    return platform::DefaultDevice(n);
}

void PortTable::SetDevicePath(qint16 n, const QString &device) {
    if (device.isEmpty())
        m_replacements.remove(n);
    else
        m_replacements.insert(n, device);
}

void PortTable::ResetDevicePaths() {
    m_replacements.clear();
}

bool PortTable::ComPortExists(qint16 n) const {
    return platform::DeviceExists(DevicePath(n));
}

PortScan PortTable::Scan(std::optional<qint16> chosen) const {
    PortScan scan = ScanPorts([this](qint16 n) { return ComPortExists(n); }, chosen);
    scan.unlisted = UnlistedPorts();
    return scan;
}

QList<qint16> PortTable::UnlistedPorts() const {
    QList<qint16> candidates = platform::RegisteredNumbers() + m_replacements.keys();
    std::sort(candidates.begin(), candidates.end());
    candidates.erase(std::unique(candidates.begin(), candidates.end()), candidates.end());
    QList<qint16> unlisted;
    for (const qint16 n : std::as_const(candidates)) {
        if (n > kLastListedPort && ComPortExists(n))
            unlisted.append(n);
    }
    return unlisted;
}

QList<PortInfo> PortTable::Describe() const {
    QList<qint16> numbers;
    for (qint16 n = kFirstPort; n <= kLastListedPort; ++n)
        numbers.append(n);
    QList<PortInfo> table;
    for (const qint16 n : numbers + UnlistedPorts()) {
        PortInfo info;
        info.number = n;
        info.device = DevicePath(n);
        info.exists = ComPortExists(n);
        table.append(info);
    }
    platform::DescribeDevices(table);
    return table;
}

PortInfo PortTable::Describe(qint16 n) const {
    QList<PortInfo> one(1);
    one.first().number = n;
    one.first().device = DevicePath(n);
    one.first().exists = ComPortExists(n);
    platform::DescribeDevices(one);
    return one.constFirst();
}

} // namespace comfunct
