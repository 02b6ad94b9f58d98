#include "link/serial/device_port_service.h"

#include "link/ports/port_table.h"
#include "link/serial/failure_reasons.h"

namespace tuner {

DevicePortService::DevicePortService(const comfunct::PortTable &ports,
                                     RecordDelivery::Waiting waiting, QObject *parent)
    : SerialPortService(parent), m_delivery(std::move(waiting)), m_ports(ports) {}

void DevicePortService::SetRThreshold(qint16 threshold) {
    m_threshold = threshold;
    m_delivery.SetThreshold(threshold);
}

bool DevicePortService::SetPortOpen(bool open) {
    if (open == PortOpen())
        return true;
    if (!open) {
        Close();
        return true;
    }
    return Open();
}

std::optional<LineSettings> DevicePortService::BeginOpen() {
    m_lastError.clear();
    m_outputDropped = false;
    m_commEvent = 0;
    m_device = m_ports.DevicePath(m_commPort);
    if (m_device.isEmpty()) {
        m_lastError = kNoSuchPort.toString();
        return std::nullopt;
    }
    const auto parsed = ParseLineSettings(m_settings);
    if (const QString *reason = std::get_if<QString>(&parsed)) {
        m_lastError = *reason;
        return std::nullopt;
    }
    return std::get<LineSettings>(parsed);
}

} // namespace tuner
