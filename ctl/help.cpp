#include "ctl/ctl.h"

#include "ctl/command_table.h"
#include "link/ports/port_option.h"
#include "link/ports/port_platform.h"
#include "tunes/restore_points/state_folder.h"

#include <QDir>

namespace tuner {

namespace {

// What --list-ports lists: on Windows also the ports above 16 that the system has registered.
QString PortListingHelp() {
    if (comfunct::platform::LastPortNumber() > comfunct::kLastListedPort)
        return QStringLiteral("list ports 1 to 16 and every higher one that exists, with\n"
                              "                      their devices, and end\n");
    return QStringLiteral("list ports 1 to 16 with their devices and end\n");
}

// The options, each with the commands it goes with.
QString OptionsHelp() {
    return QStringLiteral(
               "Options:\n"
               "  --port N            use port N (1 to %1) of the port table; without --port\n"
               "                      the lowest port that exists is used%3\n"
               "  --port N=DEVICE     use DEVICE as port N for this run and pick it (repeatable;\n"
               "                      the first --port is picked)\n"
               "  --timeout SECONDS   how long to wait for the controller's answer (0.1 to 3600,\n"
               "                      default 3)\n"
               "  -o, --output FILE   write the tune to FILE instead of standard output; FILE is\n"
               "                      replaced only once all of it is written, and never when it\n"
               "                      is a device or a FIFO\n"
               "  --calibrate         write: also ask the controller to calibrate its G-sensor\n"
               "  --no-verify         write: only send, do not read back\n"
               "  --only KEYS         write: change only these settings (comma-separated keys,\n"
               "                      repeatable); the others are sent back as the controller\n"
               "                      holds them\n"
               "  --no-restore-point  write: keep no restore point first\n"
               "  --json              diff: print the differences as JSON\n"
               "  --list-ports        %2"
               "  -h, --help          show this help and end\n"
               "  --version           show the version and end\n"
               "\n")
        .arg(comfunct::platform::LastPortNumber())
        .arg(PortListingHelp(), PortNameNote());
}

// Each command's lines, in the table's order.
QString CommandsHelp() {
    QString help;
    for (const CtlCommand &command : CtlCommands())
        help += command.help;
    return help;
}

} // namespace

QString CtlHelp() {
    return QStringLiteral(
               "Usage: dccd-ctl COMMAND [options]\n"
               "Backs up, restores, verifies and compares the tune of a DCCD controller.\n"
               "\n"
               "Commands:\n"
               "%3"
               "\n"
               "%2"
               "A tune file is JSON; 'dccd-ctl defaults' prints one. Percentages are whole "
               "numbers\n"
               "(0 to 200 for acceleration, deceleration and turning, 0 to 100 for the others).\n"
               "Each key is given once, and a tune file is a regular file of at most 1 MiB. An\n"
               "optional \"note\" is free text; read fills in \"read_at\" and \"port\".\n"
               "Restore points are kept in %1 (the last 50;\n"
               "DCCD_KEEP_RESTORE_POINTS=N keeps N, from 1 to 10000). Every option but\n"
               "--port and --only is given once.\n"
               "\n"
               "Exit codes:\n"
               "  0  success; diff: the tunes are equal\n"
               "  1  diff: the tunes differ\n"
               "  2  usage error\n"
               "  3  the port cannot be opened\n"
               "  4  no answer from the controller in time\n"
               "  5  the tune file is not valid, or cannot be read or written; or standard\n"
               "     output cannot be written\n"
               "  6  verify failed: the controller does not hold what was written\n"
               "  7  the line was lost\n")
        .arg(QDir::toNativeSeparators(QLatin1String(kStateFolderShown) +
                                      QStringLiteral("/dccd-tuner/restore-points")),
             OptionsHelp(), CommandsHelp());
}

} // namespace tuner
