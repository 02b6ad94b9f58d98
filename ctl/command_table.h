#pragma once

#include "ctl/command_line.h"

#include <QList>
#include <QString>

namespace tuner {

class Ctl;

// A command of dccd-ctl: its name, how many operands it takes, the options that go with it, its
// lines in the help, and the member of Ctl that runs it. The parser, the runner, the help and
// --list-commands (which the bash completion asks) all read the one table: a command that is not
// in it is neither taken nor run.
struct CtlCommand {
    QString name;
    qsizetype fewest; // operands
    qsizetype most;
    QList<QCommandLineOption CtlOptions::*> options;
    QString help;
    void (Ctl::*run)(const Request &); // ends by calling the run's Done, at once or later
};

// Every command, in the order the help lists them.
const QList<CtlCommand> &CtlCommands();

// The command of that name; nothing when there is none.
const CtlCommand *FindCtlCommand(const QString &name);

// The names, in the table's order; and as a sentence: "read, write, diff, defaults or
// restore-points".
QStringList CommandNames();
QString CommandChoice();

} // namespace tuner
