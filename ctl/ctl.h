#pragma once

#include <QStringList>
#include <QTextStream>

namespace tuner {

// dccd-ctl: reads, writes, verifies and compares tunes (arguments[0] is the program). Tunes and
// tables go to out, messages to err; gives the exit code. A command that talks to a port runs
// the application's event loop until it ends: call it with a QCoreApplication whose loop is not
// running yet.
int RunCtl(const QStringList &arguments, QTextStream &out, QTextStream &err);

// The help text, exit codes included.
QString CtlHelp();

} // namespace tuner
