#pragma once

// The Win32 pieces of the port service on Windows, apart from the service so that they can be
// tested on their own: the line settings as a DCB, and the reasons told for the system's error
// codes. The names of the ports are the port table's (link/ports/port_names_windows.h).

#include "link/serial/line_settings.h"

#include <QString>

#include <windows.h>

namespace tuner::win {

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
