#pragma once

#include "link/ports/comfunct.h"

#include <QList>
#include <QString>

// What a platform adds to the port table: the name of its n-th serial device and a probe that
// tells whether a device exists without opening it. One file per platform defines these
// (link/ports/port_platform_<system>.cpp), chosen in link/ports/CMakeLists.txt.
namespace comfunct::platform {

// The platform's device for serial port number n, "" when the number has none.
QString DefaultDevice(qint16 n);

// The highest number the platform gives a serial port: 255 on Windows (COM255), 16 on Linux,
// where the numbers stand for fixed devices.
qint16 LastPortNumber();

// The numbers of the serial ports the system has registered, ascending ("COM23" is 23), read
// without opening any; none where the numbers stand for fixed devices (Linux).
QList<qint16> RegisteredNumbers();

// True when the device exists and is a serial device, judged without opening it.
bool DeviceExists(const QString &device);

// Fills in what the system tells of each port's device (description, maker, serial number)
// where it knows them: asked once for the whole table, never by opening a device.
void DescribeDevices(QList<PortInfo> &table);

} // namespace comfunct::platform
