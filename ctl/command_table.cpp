#include "ctl/command_table.h"

#include "ctl/session.h"

#include <algorithm>

namespace tuner {

// A friend of Ctl: the table names the members that run the commands.
const QList<CtlCommand> &CtlCommands() {
    using O = CtlOptions;
    static const QList<CtlCommand> commands = {
        {QStringLiteral("read"),
         0,
         0,
         {&O::port, &O::timeout, &O::output},
         QStringLiteral("  read [-o FILE]      read the controller's settings into a tune file "
                        "(standard\n"
                        "                      output without -o)\n"),
         &Ctl::Read},
        {QStringLiteral("backup"),
         0,
         0,
         {&O::port, &O::timeout},
         QStringLiteral("  backup              keep what the controller holds as a restore point "
                        "with\n"
                        "                      the note \"kept by hand\"; nothing is written to "
                        "it\n"),
         &Ctl::BackUp},
        {QStringLiteral("write"),
         0,
         1,
         {&O::port, &O::timeout, &O::calibrate, &O::noVerify, &O::only, &O::restorePoint,
          &O::noRestorePoint},
         QStringLiteral("  write FILE          check FILE, keep what the controller holds as a "
                        "restore\n"
                        "                      point, store FILE in the controller, read it back "
                        "and\n"
                        "                      compare\n"
                        "  write --restore-point NAME|latest\n"
                        "                      the same with a restore point instead of a file; "
                        "latest\n"
                        "                      is the one taken last from the port written\n"),
         &Ctl::Write},
        {QStringLiteral("diff"),
         2,
         2,
         {&O::port, &O::timeout, &O::json},
         QStringLiteral("  diff A B            show the settings that differ; A and B are tune "
                        "files,\n"
                        "                      defaults, or port (the chosen port) or port:N for "
                        "a\n"
                        "                      controller\n"),
         &Ctl::Diff},
        {QStringLiteral("defaults"),
         0,
         0,
         {&O::output},
         QStringLiteral("  defaults [-o FILE]  print the default tune (what the window's Default "
                        "loads)\n"),
         &Ctl::Defaults},
        {QStringLiteral("restore-points"),
         0,
         0,
         {},
         QStringLiteral("  restore-points      list the restore points, the one taken last "
                        "first\n"),
         &Ctl::ListRestorePoints},
        {QStringLiteral("check"),
         0,
         0,
         {&O::port, &O::timeout},
         QStringLiteral("  check               check the connection: the port's device, whether it "
                        "opens,\n"
                        "                      what comes back to a read request and when, and "
                        "what\n"
                        "                      that points to; exit 0 only when the controller "
                        "answered\n"),
         &Ctl::Check},
    };
    return commands;
}

const CtlCommand *FindCtlCommand(const QString &name) {
    const QList<CtlCommand> &commands = CtlCommands();
    const auto found = std::find_if(commands.cbegin(), commands.cend(),
                                    [&name](const CtlCommand &c) { return c.name == name; });
    return found == commands.cend() ? nullptr : &*found;
}

QStringList CommandNames() {
    QStringList names;
    for (const CtlCommand &command : CtlCommands())
        names.append(command.name);
    return names;
}

QString CommandChoice() {
    QStringList names = CommandNames();
    const QString last = names.takeLast();
    return names.join(QStringLiteral(", ")) + QStringLiteral(" or ") + last;
}

} // namespace tuner
