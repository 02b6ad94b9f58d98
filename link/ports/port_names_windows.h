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

// Whether a path names a device rather than a file: a name that opens a device wherever it
// stands in a path (NUL, CON, AUX, COM1, LPT1, CONOUT$, ..., with or without an extension), or a
// path in the device namespace (\\.\COM5, \\?\GLOBALROOT\...). Judged from the text alone,
// before anything is opened: opening a serial port may reset the board behind it.
bool NamesADevice(const QString &path);

} // namespace tuner::win
