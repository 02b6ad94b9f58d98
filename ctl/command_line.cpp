#include "ctl/command_line.h"

#include "tunes/files/nearest_key.h"
#include "tunes/files/tune_file.h"

#include <algorithm>

namespace tuner {
namespace {

const QString kCommands = QStringLiteral("read, write, diff, defaults or restore-points");

// A command, how many operands it takes and which options.
struct CommandShape {
    const char16_t *name;
    qsizetype fewest;
    qsizetype most;
    QList<const QCommandLineOption *> options;
};

// The command's shape; nothing for a command there is none of.
std::optional<CommandShape> FindCommand(const QString &command, const CtlOptions &o) {
    const QList<CommandShape> shapes = {
        {u"read", 0, 0, {&o.port, &o.timeout, &o.output}},
        {u"write",
         0,
         1,
         {&o.port, &o.timeout, &o.calibrate, &o.noVerify, &o.only, &o.restorePoint,
          &o.noRestorePoint}},
        {u"diff", 2, 2, {&o.port, &o.timeout, &o.json}},
        {u"defaults", 0, 0, {&o.output}},
        {u"restore-points", 0, 0, {}},
    };
    const auto shape = std::find_if(shapes.cbegin(), shapes.cend(),
                                    [&](const CommandShape &s) { return command == s.name; });
    if (shape == shapes.cend())
        return std::nullopt;
    return *shape;
}

// An option that does not go with the command, or a number of operands it does not take.
std::optional<CtlFailure> Misfit(const QCommandLineParser &parser, const CtlOptions &o,
                                 const CommandShape &shape, const Request &request) {
    for (const QCommandLineOption *option : o.ForCommands()) {
        if (parser.isSet(*option) && !shape.options.contains(option))
            return Usage(QStringLiteral("--") + option->names().constLast() +
                         QStringLiteral(" does not go with ") + request.command);
    }
    const qsizetype given = request.operands.size();
    const qsizetype wanted =
        request.command == u"write" ? (parser.isSet(o.restorePoint) ? 0 : 1) : shape.fewest;
    if (given < shape.fewest || given > shape.most || given != wanted) {
        if (request.command == u"write")
            return Usage(parser.isSet(o.restorePoint)
                             ? QStringLiteral("write --restore-point takes no file")
                             : QStringLiteral("write wants one file, or --restore-point NAME"));
        return Usage(request.command + (shape.most == 0 ? QStringLiteral(" takes no file")
                                                        : QStringLiteral(" wants two tunes")));
    }
    if (parser.isSet(o.restorePoint) && request.restorePoint.isEmpty())
        return Usage(QStringLiteral("--restore-point wants a name from 'dccd-ctl restore-points', "
                                    "or latest"));
    // Standard output is the tune's place without -o; an empty name is no file.
    if (parser.isSet(o.output) && parser.value(o.output).isEmpty())
        return Usage(QStringLiteral("--output wants a file name; without it the tune goes to "
                                    "standard output"));
    return std::nullopt;
}

// The settings every --only names, each once, in the order given.
std::variant<QStringList, CtlFailure> OnlyKeys(const QStringList &lists) {
    const QStringList keys = SettingKeys();
    QStringList only;
    for (const QString &given : lists.join(u',').split(u',', Qt::SkipEmptyParts)) {
        const QString key = given.trimmed();
        if (!keys.contains(key)) {
            const QString nearest = NearestKey(key, keys);
            return Usage(QStringLiteral("--only: '%1' is no setting; ").arg(given) +
                         (nearest.isEmpty()
                              ? QStringLiteral("the settings are ") + keys.join(QStringLiteral(","))
                              : QStringLiteral("did you mean %1?").arg(nearest)));
        }
        if (!only.contains(key))
            only.append(key);
    }
    if (only.isEmpty())
        return Usage(QStringLiteral("--only wants the settings to change, e.g. "
                                    "--only turning,tps_reverse"));
    return only;
}

} // namespace

CtlFailure Usage(const QString &message) {
    return {kExitUsage,
            message + QStringLiteral("\nTry '") + kProgram + QStringLiteral(" --help'.")};
}

// Every option but --port (repeatable by design) and --only (whose lists are merged) is given
// once: a second --timeout or -o silently winning over the first would do what was not asked.
std::optional<CtlFailure> RepeatedOption(const QCommandLineParser &parser,
                                         const CtlOptions &options) {
    const QStringList given = parser.optionNames();
    for (const QCommandLineOption *option : options.ForCommands()) {
        if (option == &options.port || option == &options.only)
            continue;
        const auto times =
            std::count_if(given.cbegin(), given.cend(),
                          [option](const QString &name) { return option->names().contains(name); });
        if (times > 1)
            return Usage(QStringLiteral("--%1 is given %2 times; give it once")
                             .arg(option->names().constLast())
                             .arg(times));
    }
    return std::nullopt;
}

std::variant<Request, CtlFailure> ReadRequest(const QCommandLineParser &parser,
                                              const CtlOptions &o) {
    Request request;
    request.operands = parser.positionalArguments();
    if (request.operands.isEmpty())
        return Usage(QStringLiteral("a command is missing: ") + kCommands);
    request.command = request.operands.takeFirst();
    const std::optional<CommandShape> shape = FindCommand(request.command, o);
    if (!shape)
        return Usage(QStringLiteral("unknown command '") + request.command + QStringLiteral("': ") +
                     kCommands);
    request.restorePoint = parser.value(o.restorePoint);
    if (const std::optional<CtlFailure> misfit = Misfit(parser, o, *shape, request))
        return *misfit;
    request.output = parser.value(o.output);
    request.calibrate = parser.isSet(o.calibrate);
    request.verify = !parser.isSet(o.noVerify);
    request.json = parser.isSet(o.json);
    request.keepRestorePoint = !parser.isSet(o.noRestorePoint);
    if (parser.isSet(o.only)) {
        auto only = OnlyKeys(parser.values(o.only));
        if (const CtlFailure *failure = std::get_if<CtlFailure>(&only))
            return *failure;
        request.only = std::get<QStringList>(only);
    }
    return request;
}

} // namespace tuner
