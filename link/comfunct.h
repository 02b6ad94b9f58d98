#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Port discovery: which numbered serial ports exist, without ever opening one.
namespace comfunct {

inline constexpr qint16 kFirstPort = 1;
inline constexpr qint16 kLastPort = 16;

// The device behind port number n ("" when the number has none). Numbers 1 to 8 are
// /dev/ttyUSB0-7, 9 to 12 /dev/ttyACM0-3, 13 to 16 /dev/ttyS0-3, unless replaced.
QString DevicePath(qint16 n);

// Replaces the device of port n for this run (a pseudo-terminal, a /dev/serial/by-id link).
void SetDevicePath(qint16 n, const QString &device);

// Forgets every replacement (for tests).
void ResetDevicePaths();

// A device as the status line names it: without its "/dev/" and at most kShortDeviceLength
// characters. A longer one (a /dev/serial/by-id link) is named by the device it leads to, else
// by its file name, else by the end of that after an ellipsis.
inline constexpr qsizetype kShortDeviceLength = 12;
QString ShortDeviceName(const QString &device);

// True when the device of port n exists, judged from the file system alone: opening a tty
// would raise DTR and RTS and may reset the controller.
bool ComPortExists(qint16 n);

struct PortScan {
    QStringList numbers;     // existing port numbers 1 to 16 as decimal texts, ascending
    qint16 defaultPort = 17; // the port to preselect (see ScanPorts)
};

// The existing ports and the one to preselect: the port the user chose (on the command line),
// whether or not its device exists, so that Connect says what is wrong with it instead of
// opening another device; without a choice the lowest existing number, or 17 when none
// exists. A chosen port is listed only when it exists.
PortScan ScanPorts(const std::function<bool(qint16)> &exists = ComPortExists,
                   std::optional<qint16> chosen = std::nullopt);

struct PortInfo {
    qint16 number = 0;
    QString device;
    bool exists = false;
    QString description;
    QString manufacturer;
    QString serialNumber;
};

// Ports 1 to 16 with their devices and what the system knows of each.
QList<PortInfo> PortTable();

} // namespace comfunct
