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

    QList<const QCommandLineOption *> ForCommands() const {
        return {&port, &output,       &timeout,        &calibrate, &noVerify,
                &only, &restorePoint, &noRestorePoint, &json};
    }
};

// Refuses any option but --port and --only given more than once.
std::optional<CtlFailure> RepeatedOption(const QCommandLineParser &parser,
                                         const CtlOptions &options);

// The command with its operands and options, checked: which command, which options go with it,
// how many operands, and the settings --only names.
std::variant<Request, CtlFailure> ReadRequest(const QCommandLineParser &parser,
                                              const CtlOptions &options);

} // namespace tuner
