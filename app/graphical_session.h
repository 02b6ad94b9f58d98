#pragma once

#include "app/command_line.h"

#include <QApplication>

#include <memory>
#include <optional>

namespace tuner {

// The application object of the window, or nothing when no graphical session can be reached.
// Then the user has been told so on stderr in plain words (and what works without a display),
// instead of the toolkit's own advice to reinstall, and the program should end with status 1.
std::unique_ptr<QApplication> StartGraphicalSession(int &argc, char **argv,
                                                    const WindowProgram &program = TunerProgram());

// The command line of a window program, read from argv and applied as ApplyCommandLine does.
// Where what the program prints would reach no one (started from a shortcut or Explorer), it is
// shown in a message box instead: a refusal as an error, help and listings as information. Gives
// the exit code when the program should end, nothing when it should show its window.
std::optional<int> TakeCommandLine(int &argc, char **argv, comfunct::PortTable &ports,
                                   std::optional<qint16> &chosenPort,
                                   const WindowProgram &program = TunerProgram());

// What stderr says when there is no graphical session.
QString NoGraphicalSessionMessage(const WindowProgram &program = TunerProgram());

} // namespace tuner
