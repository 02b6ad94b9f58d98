#pragma once

#include <QString>
#include <QStringList>

// The names of serial ports on Windows: those the system registers, and the forms a port table's
// device takes to be matched with them and to be opened.
namespace tuner::win {

// The serial ports the system has registered (the values of HKLM\HARDWARE\DEVICEMAP\SERIALCOMM,
// "COM1", "COM5", ...), as they are there; read without opening any port.
QStringList RegisteredPorts();

// A device as the port table holds it ("COM5", "\\.\COM12", "com3") without the device
// namespace prefix ("COM5", "COM12", "com3").
QString PortName(const QString &device);

// The path CreateFileW opens: a port name in the device namespace ("\\.\COM5"), which COM10
// and above need; a path that is not a bare name is taken as it is.
QString OpenPath(const QString &device);

} // namespace tuner::win
