#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// Port discovery: which numbered serial ports exist, without ever opening one. The numbers and
// their devices are the port table (link/ports/port_table.h); this is what is said about them.
namespace comfunct {

// Ports 1 to 16 are listed; a system may number its ports higher (Windows up to COM255), and
// such a port is reached by its number, typed or given with --port
// (platform::LastPortNumber()).
inline constexpr qint16 kFirstPort = 1;
inline constexpr qint16 kLastListedPort = 16;
// The highest number any system gives a port: what a tune file may record, wherever it was made.
inline constexpr qint16 kHighestPortNumber = 255;

// A device as the status line names it: without its "/dev/" and at most kShortDeviceLength
// characters. A /dev/serial/by-id link is named by what tells adapters apart, its maker and the
// end of its serial number ("FTDI\u2026C3D4E5"); any other longer one by the device it leads
// to, else by its file name, else by the end of that after an ellipsis.
inline constexpr qsizetype kShortDeviceLength = 12;
QString ShortDeviceName(const QString &device);

// A port number in plain decimal digits ("5", "23"), from 1 to the last number the platform
// gives a port; nothing for any other text.
std::optional<qint16> PlainPortNumber(QStringView digits);

struct PortScan {
    QStringList numbers;     // existing port numbers 1 to 16 as decimal texts, ascending
    qint16 defaultPort = 17; // the port to preselect (see ScanPorts)
    QList<qint16> unlisted;  // existing ports above 16, ascending: never listed, only typed
};

// The existing ports and the one to preselect: the port the user chose (on the command line),
// whether or not its device exists, so that Connect says what is wrong with it instead of
// opening another device; without a choice the lowest existing number, or 17 when none
// exists. A chosen port is listed only when it exists.
PortScan ScanPorts(const std::function<bool(qint16)> &exists,
                   std::optional<qint16> chosen = std::nullopt);

struct PortInfo {
    qint16 number = 0;
    QString device;
    bool exists = false;
    QString description;
    QString manufacturer;
    QString serialNumber;
};

} // namespace comfunct
