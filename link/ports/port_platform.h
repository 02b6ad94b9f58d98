#pragma once

#include "link/ports/comfunct.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <optional>

// What a platform adds to the port table: the name of its n-th serial device and a probe that
// tells whether a device exists without opening it. One file per platform defines these
// (link/ports/port_platform_<system>.cpp), chosen in link/ports/CMakeLists.txt.
namespace comfunct::platform {

// The platform's device for serial port number n, "" when the number has none.
QString DefaultDevice(qint16 n);

// The highest number the platform gives a serial port: 255 on Windows (COM255), 16 on Linux,
// where the numbers stand for fixed devices.
qint16 LastPortNumber();

// The number of a port written as the system names it, whatever its case ("COM23" and "com23"
// are 23 on Windows); nothing for any other text, and for every text where the system's names
// are not numbered (Linux).
std::optional<qint16> NumberOfPortName(QStringView name);

// How the help says that such a name is read: "COM23 is port 23"; "" where none is.
QString PortNameExample();

// The numbers of the serial ports the system has registered, ascending ("COM23" is 23), read
// without opening any; none where the numbers stand for fixed devices (Linux).
QList<qint16> RegisteredNumbers();

// True when the device exists and is a serial device, judged without opening it.
bool DeviceExists(const QString &device);

// Fills in what the system tells of each port's device (description, maker, serial number)
// where it knows them: asked once for the whole table, never by opening a device.
void DescribeDevices(QList<PortInfo> &table);

} // namespace comfunct::platform
