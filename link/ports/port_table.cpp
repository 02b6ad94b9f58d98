#include "link/ports/port_table.h"

#include "link/ports/port_platform.h"

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
    return ScanPorts([this](qint16 n) { return ComPortExists(n); }, chosen);
}

QList<PortInfo> PortTable::Describe() const {
    QList<PortInfo> table;
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        PortInfo info;
        info.number = n;
        info.device = DevicePath(n);
        info.exists = ComPortExists(n);
        table.append(info);
    }
    platform::DescribeDevices(table);
    return table;
}

} // namespace comfunct
