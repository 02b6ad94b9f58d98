#pragma once

#include "link/ports/port_option.h"
#include "link/ports/port_table.h"

#include <QStringList>
#include <QTextStream>

#include <optional>

namespace tuner {

// A window program of the project, as its command line and start tell of it. The tuner takes
// --list-ports and --dump-layout as well.
struct WindowProgram {
    QString name;        // "dccd-tuner"
    QString description; // the help's first line
    QString window;      // "the tuning window", for what it needs to start
    bool tunerOptions = false;
};
const WindowProgram &TunerProgram();
const WindowProgram &TunesProgram();

// The utility's command line (arguments[0] is the program):
//   --port N          picks port N, 1 to 16 (on Windows 1 to 255)
//   --port N=DEVICE   (repeatable) port N uses DEVICE for this run, and is picked when first
//   --list-ports      prints the port table and ends
//   --dump-layout     prints the window's geometry and maker texts and ends
//   --help, --version
// Applies --port to the port table `ports`. Gives the exit code when the program should
// end now (0 after --help, --version, --list-ports or --dump-layout; 2 after a bad argument, with
// the error on err), and nothing when it should go on to show the window. Needs no QApplication.
// chosenPort, when given, receives the number of the first --port given: the user's choice,
// which the window preselects.
std::optional<int> ApplyCommandLine(const QStringList &arguments, comfunct::PortTable &ports,
                                    QTextStream &out, QTextStream &err,
                                    std::optional<qint16> *chosenPort = nullptr,
                                    const WindowProgram &program = TunerProgram());

// The same on the process's stdout and stderr.
std::optional<int> ApplyCommandLine(const QStringList &arguments, comfunct::PortTable &ports,
                                    std::optional<qint16> *chosenPort = nullptr,
                                    const WindowProgram &program = TunerProgram());

// The window as --dump-layout prints it, one item per line, the values separated by spaces and
// any text last: "client <width> <height>", then "control <name> <left> <top> <width>
// <height>" in designed pixels for every control in layout order, then "title <text>",
// "logo <text>" and "support <text>".
QString LayoutListing();

} // namespace tuner
