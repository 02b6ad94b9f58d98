#pragma once

#include "link/ports/port_platform.h"

#include <QString>
#include <QStringView>

// Why a port cannot be opened or was lost, each reason written once for the services of both
// systems: the bare reason, to follow "Cannot open port 1 (ttyUSB0): " or "Connection lost: ".
// It starts in lower case, has no final period (the caller ends the sentence) and names neither
// the port nor its device. Every reason is short: after "Cannot open port 16 (ttyUSB0): " it fits
// the window's two-line status.
namespace tuner {

// Opening.
inline constexpr QStringView kNoSuchPort =
    u"no such port"; // no device for the number, or none there
// A number no port of the system has (0, -1, 17 on Linux, 256): the numbers it could have.
inline QString OutsidePortNumbers() {
    return QStringLiteral("ports are numbered 1 to %1").arg(comfunct::platform::LastPortNumber());
}
inline constexpr QStringView kNotSerial = u"not a serial device"; // a file, a folder, not a tty
inline constexpr QStringView kInUse = u"in use by another program";
inline constexpr QStringView kSettingsNotSupported = u"line settings not supported";
inline constexpr QStringView kNoResponse = u"the device does not respond";
// Permission (POSIX): the group whose members may use the device, or that only root may.
inline constexpr QStringView kJoinGroupStart = u"join group ";
inline constexpr QStringView kOnlyRoot = u"no group gives access, only root";
inline QString JoinGroup(const QString &group) {
    return kJoinGroupStart.toString() + group + QStringLiteral(", log in again");
}
// The group a JoinGroup reason names; "" for any other reason.
inline QString GroupToJoin(QStringView reason) {
    if (!reason.startsWith(kJoinGroupStart))
        return {};
    return reason.mid(kJoinGroupStart.size()).toString().section(u',', 0, 0);
}
// While open (with LineLost).
inline constexpr QStringView kRemoved = u"the device was removed";
inline constexpr QStringView kStoppedWorking = u"the device was removed or stopped working";
// Output on a closed port.
inline constexpr QStringView kNotOpen = u"the port is not open";
// A close that had to drop what the line did not take.
inline constexpr QStringView kOutputDropped = u"queued output was dropped";

// A write the system refused, with its own text ("write failed (input/output error)").
inline QString WriteFailed(const QString &systemText) {
    return QStringLiteral("write failed (%1)").arg(systemText);
}

// Any other failure of an open device, with the system's text.
inline QString DeviceFailed(const QString &systemText) {
    return QStringLiteral("the device failed (%1)").arg(systemText);
}

} // namespace tuner
