#include "link/ports/port_names_windows.h"

#include <windows.h>

namespace tuner::win {
namespace {

const QString kDeviceNamespace = QStringLiteral("\\\\.\\");

} // namespace

QStringList RegisteredPorts() {
    QStringList ports;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, L"HARDWARE\\DEVICEMAP\\SERIALCOMM", 0, KEY_QUERY_VALUE,
                      &key) != ERROR_SUCCESS)
        return ports;
    for (DWORD index = 0;; ++index) {
        wchar_t name[256];
        DWORD nameLength = 256;
        wchar_t data[256];
        DWORD dataBytes = sizeof(data) - sizeof(wchar_t);
        DWORD type = 0;
        const LONG status = RegEnumValueW(key, index, name, &nameLength, nullptr, &type,
                                          reinterpret_cast<BYTE *>(data), &dataBytes);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS || type != REG_SZ)
            continue;
        data[dataBytes / sizeof(wchar_t)] = L'\0';
        const QString port = QString::fromWCharArray(data).trimmed();
        if (!port.isEmpty())
            ports.append(port);
    }
    RegCloseKey(key);
    return ports;
}

QString PortName(const QString &device) {
    if (device.startsWith(kDeviceNamespace))
        return device.mid(kDeviceNamespace.size());
    return device;
}

QString OpenPath(const QString &device) {
    if (device.isEmpty() || device.contains(u'\\') || device.contains(u'/') ||
        device.contains(u':'))
        return device;
    return kDeviceNamespace + device;
}

} // namespace tuner::win
