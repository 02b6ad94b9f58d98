#pragma once

// The Win32 pieces of the serial port on Windows, apart from the service so that they can be
// tested on their own: the ports the system registers, the path a port is opened by, the line
// settings as a DCB, and the reasons told for the system's error codes.

#include "link/line_settings.h"

#include <QString>
#include <QStringList>

#include <windows.h>

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

// The line settings written into a DCB read from the port. Only the framing and flow control
// change: the modem-control lines stay as the system has them, unless they were given to a
// handshake (then they are simply on, as Windows has them after an open).
void ApplyLineSettings(const LineSettings &line, DCB &dcb);

// The system's text for an error code, as the reasons carry it: lower-case start, no final
// period, on one line.
QString SystemText(DWORD error);

// Why opening a port failed (see SerialPortService::LastError).
QString OpenFailure(DWORD error);
// Why an open port was lost while waiting for or reading input.
QString ReadFailure(DWORD error);
// Why a write failed.
QString WriteFailure(DWORD error);

} // namespace tuner::win
