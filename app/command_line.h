#pragma once

#include <QStringList>
#include <QTextStream>

#include <optional>

namespace tuner {

// The utility's command line (arguments[0] is the program):
//   --port N=DEVICE   (repeatable) port N, 1 to 16, uses DEVICE for this run
//   --list-ports      prints the port table and ends
//   --help, --version
// Applies --port through comfunct::SetDevicePath. Gives the exit code when the program should
// end now (0 after --help, --version or --list-ports; 2 after a bad argument, with the error on
// err), and nothing when it should go on to show the window. Needs no QApplication.
// chosenPort, when given, receives the number of the first --port given: the user's choice,
// which the window preselects.
std::optional<int> ApplyCommandLine(const QStringList &arguments, QTextStream &out,
                                    QTextStream &err, std::optional<qint16> *chosenPort = nullptr);

// The same on the process's stdout and stderr.
std::optional<int> ApplyCommandLine(const QStringList &arguments,
                                    std::optional<qint16> *chosenPort = nullptr);

// A --port value: "N" or "N=DEVICE", N from 1 to 16 in decimal, DEVICE not empty. The device is
// empty for a bare number. Nothing when the value is neither.
struct PortChoice {
    qint16 number = 0;
    QString device;
};
std::optional<PortChoice> ReadPortChoice(const QString &value);

// The port table as --list-ports prints it: a heading, then one line per port 1 to 16.
QString PortListing();

} // namespace tuner
