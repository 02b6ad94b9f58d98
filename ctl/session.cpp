#include "ctl/session.h"

#include "ctl/ctl.h"

#include "dccd_version.h"
#include "link/ports/port_option.h"
#include "link/settings/number_text.h"

#include <cmath>

namespace tuner {
namespace {

constexpr double kShortestTimeoutSeconds = 0.1;
constexpr double kLongestTimeoutSeconds = 3600;

} // namespace

std::optional<int> Ctl::TakeGeneralOptions(const QCommandLineParser &parser) {
    if (parser.isSet(m_options.help))
        return Print(CtlHelp());
    if (parser.isSet(m_options.version))
        return Print(kProgram + u' ' + QStringLiteral(DCCD_VERSION) + u'\n');
    // The first --port is the choice, as in the window.
    if (const std::optional<QString> refusal =
            ApplyPortChoices(parser.values(m_options.port), m_ports, m_port))
        return Fail(Usage(*refusal));
    if (parser.isSet(m_options.listPorts)) {
        if (!parser.positionalArguments().isEmpty())
            return Fail(Usage(QStringLiteral("--list-ports takes no command, not '") +
                              parser.positionalArguments().constFirst() + u'\''));
        return Print(PortListing(m_ports));
    }
    if (parser.isSet(m_options.timeout)) {
        const std::optional<double> seconds = ReadNumber(parser.value(m_options.timeout));
        if (!seconds || *seconds < kShortestTimeoutSeconds || *seconds > kLongestTimeoutSeconds)
            return Fail(Usage(QStringLiteral("--timeout wants seconds from %1 up to %2, not '")
                                  .arg(kShortestTimeoutSeconds)
                                  .arg(kLongestTimeoutSeconds) +
                              parser.value(m_options.timeout) + u'\''));
        m_timeout = std::chrono::milliseconds(std::lround(*seconds * 1000));
    }
    return std::nullopt;
}

int Ctl::Perform(const Request &request) {
    if (request.command == u"read")
        return Read(request.output);
    if (request.command == u"write")
        return Write(request);
    if (request.command == u"diff")
        return Diff(request.operands.at(0), request.operands.at(1), request.json);
    if (request.command == u"restore-points")
        return ListRestorePoints();
    return Defaults(request.output);
}

int Ctl::Run(const QStringList &arguments) {
    QCommandLineParser parser;
    parser.addOptions({m_options.help, m_options.version, m_options.listPorts});
    for (const QCommandLineOption *option : m_options.ForCommands())
        parser.addOption(*option);
    if (!parser.parse(arguments))
        return Fail(Usage(parser.errorText()));
    if (const auto repeated = RepeatedOption(parser, m_options))
        return Fail(*repeated);
    if (const std::optional<int> ended = TakeGeneralOptions(parser))
        return *ended;
    auto request = ReadRequest(parser, m_options);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&request))
        return Fail(*failure);
    return Perform(std::get<Request>(request));
}

} // namespace tuner
