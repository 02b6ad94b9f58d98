#pragma once

#include "app/command_line.h"

#include <QApplication>

#include <memory>

namespace tuner {

// The application object of the window, or nothing when no graphical session can be reached.
// Then the user has been told so on stderr in plain words (and what works without a display),
// instead of the toolkit's own advice to reinstall, and the program should end with status 1.
std::unique_ptr<QApplication> StartGraphicalSession(int &argc, char **argv,
                                                    const WindowProgram &program = TunerProgram());

// What stderr says when there is no graphical session.
QString NoGraphicalSessionMessage(const WindowProgram &program = TunerProgram());

} // namespace tuner
