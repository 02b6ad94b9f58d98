#pragma once

#include <QString>
#include <QStringList>

// What differs by platform when the tuner starts (its arguments are read by
// link/text/program_arguments.h, as every program's): where its console output goes, and what it
// says when no graphical session can be reached. One file per platform defines these
// (app/program_start_<platform>.cpp), chosen in the top CMakeLists.txt.
namespace tuner {

// A windowed program started from a console prints its help, port list and errors there.
// Nothing to do where every program has its parent's output already. False when what the
// program prints would reach no one: started from a shortcut or Explorer, with no console and no
// output of its own.
bool UseParentConsole();

// What --port N=DEVICE looks like on this system, for the help: "--port 1=/dev/pts/3 or ...".
QString PortExamples();

// The end of "the tuning window needs a graphical session, and ...": what was missing.
QString MissingSessionReason();

} // namespace tuner
