#pragma once

#include <QStringList>
#include <QTextStream>

namespace tuner {

// dccd-ctl: reads, writes, verifies and compares tunes (arguments[0] is the program). Tunes and
// tables go to out, messages to err; gives the exit code. Needs a QCoreApplication when a
// command talks to a port.
int RunCtl(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The help text, exit codes included.
QString CtlHelp();

} // namespace tuner
