#pragma once

#include <QString>
#include <QStringList>

// What differs by platform when a program starts: how its arguments are read, where its
// console output goes, and what it says when no graphical session can be reached. One file per
// platform defines these (app/program_start_<platform>.cpp), chosen in the top CMakeLists.txt.
namespace tuner {

// The program's arguments as text, arguments[0] the program, decoded as the system passed them
// (so names in any script survive); usable before an application object exists.
QStringList ProgramArguments(int argc, char **argv);

// A windowed program started from a console prints its help, port list and errors there.
// Nothing to do where every program has its parent's output already.
void UseParentConsole();

// What --port N=DEVICE looks like on this system, for the help: "--port 1=/dev/pts/3 or ...".
QString PortExamples();

// The end of "the tuning window needs a graphical session, and ...": what was missing.
QString MissingSessionReason();

} // namespace tuner
