#pragma once

#include "link/ports/comfunct.h"

#include <QList>
#include <QMap>
#include <QString>

#include <optional>

namespace comfunct {

// Port numbers and the device behind each: the platform's own device for the number
// (link/ports/port_platform.h), unless replaced for this run (--port N=DEVICE). The program makes
// one table at start and hands it to all that need it: the command line fills in the replacements,
// the window lists the ports, the port service opens through it.
class PortTable {
public:
    // The device behind port number n ("" when the number has none).
    QString DevicePath(qint16 n) const;
    // Replaces the device of port n (a pseudo-terminal, a /dev/serial/by-id link); an empty
    // device gives the number its own device back.
    void SetDevicePath(qint16 n, const QString &device);
    void ResetDevicePaths();

    // True when the device of port n exists, judged without opening it: opening a serial
    // device may reset the controller at its other end.
    bool ComPortExists(qint16 n) const;

    // The existing ports 1 to 16, the one to preselect (see ScanPorts) and the existing ports
    // above 16: those the system has registered or this run has given a device.
    PortScan Scan(std::optional<qint16> chosen = std::nullopt) const;

    // Ports 1 to 16 and the existing ones above, with their devices and what the system knows
    // of each.
    QList<PortInfo> Describe() const;
    // One port, listed or not, the same way.
    PortInfo Describe(qint16 n) const;

private:
    QList<qint16> UnlistedPorts() const;

    QMap<qint16, QString> m_replacements;
};

} // namespace comfunct
