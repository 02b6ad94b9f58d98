#pragma once

#include "ctl/exit_codes.h"

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>
#include <variant>

namespace tuner {

inline const QString kProgram = QStringLiteral("dccd-ctl");

// A command line that is not understood: the message and where to look.
CtlFailure Usage(const QString &message);

// "unknown command 'COMMAND': read, write, ...", the command escaped.
CtlFailure UnknownCommand(const QString &command);

// What the command line asks for, once it has been checked.
struct Request {
    QString command;
    QStringList operands;
    QString output;               // -o; "" for standard output
    bool calibrate = false;       // write --calibrate
    bool verify = true;           // write without --no-verify
    bool json = false;            // diff --json
    QStringList only;             // write --only: these settings alone change; empty for all
    QString restorePoint;         // write --restore-point NAME|latest; "" to write a file
    bool keepRestorePoint = true; // write without --no-restore-point
};

// Every option, and which command takes which.
struct CtlOptions {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")}};
    QCommandLineOption version{QStringLiteral("version")};
    QCommandLineOption listPorts{QStringLiteral("list-ports")};
    // The command names, one a line, for the bash completion; not in the help.
    QCommandLineOption listCommands{QStringLiteral("list-commands")};
    QCommandLineOption port{QStringLiteral("port"), QString(), QStringLiteral("N")};
    QCommandLineOption output{
        {QStringLiteral("o"), QStringLiteral("output")}, QString(), QStringLiteral("FILE")};
    QCommandLineOption timeout{QStringLiteral("timeout"), QString(), QStringLiteral("SECONDS")};
    QCommandLineOption calibrate{QStringLiteral("calibrate")};
    QCommandLineOption noVerify{QStringLiteral("no-verify")};
    QCommandLineOption only{QStringLiteral("only"), QString(), QStringLiteral("KEYS")};
    QCommandLineOption restorePoint{QStringLiteral("restore-point"), QString(),
                                    QStringLiteral("NAME")};
    QCommandLineOption noRestorePoint{QStringLiteral("no-restore-point")};
    QCommandLineOption json{QStringLiteral("json")};

    // What ends at once, before any command.
    QList<const QCommandLineOption *> General() const {
        return {&help, &version, &listPorts, &listCommands};
    }
    QList<const QCommandLineOption *> ForCommands() const {
        return {&port, &output,       &timeout,        &calibrate, &noVerify,
                &only, &restorePoint, &noRestorePoint, &json};
    }
};

// Refuses any option but --port and --only given more than once.
std::optional<CtlFailure> RepeatedOption(const QCommandLineParser &parser,
                                         const CtlOptions &options);

// Refuses a command, or an option they do not take, beside --list-ports (which takes --port)
// and --list-commands (which takes nothing).
std::optional<CtlFailure> ListingMisfit(const QCommandLineParser &parser,
                                        const CtlOptions &options);

// The command with its operands and options, checked: which command, which options go with it,
// how many operands, and the settings --only names.
std::variant<Request, CtlFailure> ReadRequest(const QCommandLineParser &parser,
                                              const CtlOptions &options);

} // namespace tuner
