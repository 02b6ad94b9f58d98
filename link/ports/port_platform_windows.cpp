#include "link/ports/port_platform.h"

#include "link/ports/port_names_windows.h"

#include <windows.h>

#include <setupapi.h>

#include <algorithm>

namespace comfunct::platform {
namespace {

// The device setup class of serial and parallel ports, {4D36E978-E325-11CE-BFC1-08002BE10318}.
constexpr GUID kPortsClass = {
    0x4d36e978, 0xe325, 0x11ce, {0xbf, 0xc1, 0x08, 0x00, 0x2b, 0xe1, 0x03, 0x18}};

QString RegistryText(HKEY key, const wchar_t *name) {
    wchar_t data[256];
    DWORD bytes = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<BYTE *>(data), &bytes) !=
            ERROR_SUCCESS ||
        type != REG_SZ)
        return {};
    data[bytes / sizeof(wchar_t)] = L'\0';
    return QString::fromWCharArray(data).trimmed();
}

QString DeviceProperty(HDEVINFO devices, SP_DEVINFO_DATA &device, DWORD property) {
    wchar_t data[256];
    DWORD type = 0;
    if (!SetupDiGetDeviceRegistryPropertyW(devices, &device, property, &type,
                                           reinterpret_cast<BYTE *>(data),
                                           sizeof(data) - sizeof(wchar_t), nullptr) ||
        type != REG_SZ)
        return {};
    data[255] = L'\0';
    return QString::fromWCharArray(data).trimmed();
}

} // namespace

// Port n is COMn, the name Windows gives the n-th serial port.
QString DefaultDevice(qint16 n) {
    if (n >= kFirstPort && n <= LastPortNumber())
        return QStringLiteral("COM%1").arg(n);
    return {};
}

qint16 LastPortNumber() {
    return kHighestPortNumber;
}

std::optional<qint16> NumberOfPortName(QStringView name) {
    const QStringView digits = name.mid(3);
    if (!name.startsWith(u"COM", Qt::CaseInsensitive) || digits.startsWith(u'0'))
        return std::nullopt; // "COM05" is another name than COM5
    return PlainPortNumber(digits);
}

QString PortNameExample() {
    return QStringLiteral("COM23 is port 23");
}

// A registered name that is not COMn of a number Windows gives ("CNCA0" of a port emulator) has
// no number: it is reached by --port N=CNCA0.
QList<qint16> RegisteredNumbers() {
    QList<qint16> numbers;
    for (const QString &name : tuner::win::RegisteredPorts()) {
        const std::optional<qint16> n = NumberOfPortName(name);
        if (n && !numbers.contains(*n))
            numbers.append(*n);
    }
    std::sort(numbers.begin(), numbers.end());
    return numbers;
}

// A port exists when the system has registered it; nothing is opened to find out.
bool DeviceExists(const QString &device) {
    const QString name = tuner::win::PortName(device);
    if (name.isEmpty())
        return false;
    const QStringList registered = tuner::win::RegisteredPorts();
    return registered.contains(name, Qt::CaseInsensitive);
}

// The friendly name and maker that Device Manager shows, from the ports' device class, matched
// by the port's name ("USB Serial Port (COM5)", "FTDI").
void DescribeDevices(QList<PortInfo> &table) {
    const HDEVINFO devices = SetupDiGetClassDevsW(&kPortsClass, nullptr, nullptr, DIGCF_PRESENT);
    if (devices == INVALID_HANDLE_VALUE)
        return;
    SP_DEVINFO_DATA device{};
    device.cbSize = sizeof(device);
    for (DWORD index = 0; SetupDiEnumDeviceInfo(devices, index, &device); ++index) {
        const HKEY key =
            SetupDiOpenDevRegKey(devices, &device, DICS_FLAG_GLOBAL, 0, DIREG_DEV, KEY_READ);
        if (key == INVALID_HANDLE_VALUE)
            continue;
        const QString name = RegistryText(key, L"PortName");
        RegCloseKey(key);
        if (name.isEmpty())
            continue;
        for (PortInfo &info : table) {
            if (tuner::win::PortName(info.device).compare(name, Qt::CaseInsensitive) != 0)
                continue;
            info.description = DeviceProperty(devices, device, SPDRP_FRIENDLYNAME);
            if (info.description.isEmpty())
                info.description = DeviceProperty(devices, device, SPDRP_DEVICEDESC);
            info.manufacturer = DeviceProperty(devices, device, SPDRP_MFG);
        }
    }
    SetupDiDestroyDeviceInfoList(devices);
}

} // namespace comfunct::platform
