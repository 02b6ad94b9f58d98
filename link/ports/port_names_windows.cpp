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

bool NamesADevice(const QString &path) {
    if (path.startsWith(u"\\\\.\\") || path.startsWith(u"//./"))
        return true;
    if (path.startsWith(u"\\\\?\\")) {
        // \\?\C:\... and \\?\UNC\... are files; anything else there is the object namespace.
        const QString rest = path.mid(4);
        return !(rest.size() >= 2 && rest.at(0).isLetter() && rest.at(1) == u':') &&
               !rest.startsWith(u"UNC\\", Qt::CaseInsensitive);
    }
    QString name = path.section(u'\\', -1).section(u'/', -1);
    name = name.section(u'.', 0, 0).section(u':', 0, 0).trimmed().toUpper();
    static const QStringList kDevices = {QStringLiteral("CON"),    QStringLiteral("PRN"),
                                         QStringLiteral("AUX"),    QStringLiteral("NUL"),
                                         QStringLiteral("CONIN$"), QStringLiteral("CONOUT$")};
    if (kDevices.contains(name))
        return true;
    return name.size() == 4 && (name.startsWith(u"COM") || name.startsWith(u"LPT")) &&
           name.at(3) >= u'0' && name.at(3) <= u'9';
}

} // namespace tuner::win
