#include "link/port_table.h"

#include "link/port_platform.h"

#include <QFileInfo>
#include <QSerialPortInfo>

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
    const QList<QSerialPortInfo> known = QSerialPortInfo::availablePorts();
    QList<PortInfo> table;
    for (qint16 n = kFirstPort; n <= kLastPort; ++n) {
        PortInfo info;
        info.number = n;
        info.device = DevicePath(n);
        info.exists = ComPortExists(n);
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
        table.append(info);
    }
    return table;
}

} // namespace comfunct
