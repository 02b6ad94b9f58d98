#pragma once

#include "link/ports/port_table.h"

#include <QString>
#include <QStringList>

#include <optional>

// What the command lines of both programs share: the --port option and the port listing.
namespace tuner {

// A --port value: "N" picks port N, "N=DEVICE" also makes DEVICE port N for this run; N in
// decimal from 1 to the platform's last port number (16 on Linux, 255 on Windows), or the
// system's name of port N (Windows: "COM23"), DEVICE not empty. The device is empty for a bare
// number. Nothing when the value is neither.
struct PortChoice {
    qint16 number = 0;
    QString device;
};
std::optional<PortChoice> ReadPortChoice(const QString &value);

// " (COM23 is port 23)" where the system's port names hold their number, for the help and the
// refusal; "" elsewhere.
QString PortNameNote();

// Applies every --port value to `ports`: all are read before any is applied, so a bad one
// changes nothing. `chosen` receives the first port named, unless it holds one already. Gives
// the refusal of the first value that is neither form ("--port wants ..."), or of a number given
// two devices, or nothing. Values are shown escaped.
std::optional<QString> ApplyPortChoices(const QStringList &values, comfunct::PortTable &ports,
                                        std::optional<qint16> &chosen);

// The port table as --list-ports prints it: a heading, then one line per port 1 to 16 and per
// existing port above them; devices and what the system says of them escaped.
QString PortListing(const comfunct::PortTable &ports);

} // namespace tuner
