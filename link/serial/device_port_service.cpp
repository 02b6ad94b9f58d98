#include "link/serial/device_port_service.h"

#include "link/ports/port_platform.h"
#include "link/ports/port_table.h"
#include "link/serial/failure_reasons.h"

#include <algorithm>

namespace tuner {

DevicePortService::DevicePortService(const comfunct::PortTable &ports, QObject *parent)
    : SerialPortService(parent),
      m_delivery({[this] { return Available(); }, [this](qint64 n) { return Peek(n); },
                  [this] { return SystemHoldsMore(); }}),
      m_ports(ports) {
    connect(&m_delivery, &RecordDelivery::Due, this, &DevicePortService::Deliver);
}

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
    if (m_commPort < comfunct::kFirstPort || m_commPort > comfunct::platform::LastPortNumber()) {
        m_lastError = OutsidePortNumbers();
        return std::nullopt;
    }
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

bool DevicePortService::Open() {
    const std::optional<LineSettings> line = BeginOpen();
    if (!line || !OpenDevice(m_device, *line))
        return false;
    // Bytes that arrived between the open and now still count.
    m_delivery.SetThreshold(RThreshold());
    m_delivery.Start();
    return true;
}

void DevicePortService::Close() {
    m_delivery.Stop();
    if (!PortOpen())
        return;
    m_lastError.clear();
    m_closing = true;
    m_outputDropped = !DrainOutput();
    m_closing = false;
    if (m_outputDropped)
        m_lastError = kOutputDropped.toString();
    Release();
}

void DevicePortService::Deliver() {
    if (!PortOpen())
        return;
    m_commEvent = comEvReceive;
    Q_EMIT OnComm();
}

bool DevicePortService::Output(const QString &text) {
    if (!PortOpen()) {
        m_lastError = kNotOpen.toString();
        return false;
    }
    return Write(text.toLatin1());
}

QString DevicePortService::Input() {
    if (!PortOpen())
        return {};
    qint64 count = std::min(Available(), kInputBufferSize);
    if (InputLen() > 0)
        count = std::min<qint64>(count, InputLen());
    const QString text = QString::fromLatin1(Read(count));
    m_delivery.Taken(text.size());
    return text;
}

} // namespace tuner
