#include "ctl/session.h"

#include "ctl/command_table.h"
#include "ctl/ctl.h"

#include "dccd_version.h"
#include "link/ports/port_option.h"
#include "link/settings/number_text.h"
#include "link/text/shown_text.h"

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
    if (const std::optional<CtlFailure> listing = ListingMisfit(parser, m_options))
        return Fail(*listing);
    if (parser.isSet(m_options.listPorts))
        return Print(PortListing(m_ports));
    if (parser.isSet(m_options.listCommands))
        return Print(CommandNames().join(u'\n') + u'\n');
    if (parser.isSet(m_options.timeout)) {
        const std::optional<double> seconds = ReadNumber(parser.value(m_options.timeout));
        if (!seconds || *seconds < kShortestTimeoutSeconds || *seconds > kLongestTimeoutSeconds)
            return Fail(Usage(QStringLiteral("--timeout wants seconds from %1 up to %2, not '")
                                  .arg(kShortestTimeoutSeconds)
                                  .arg(kLongestTimeoutSeconds) +
                              EscapedText(parser.value(m_options.timeout)) + u'\''));
        m_timeout = std::chrono::milliseconds(std::lround(*seconds * 1000));
    }
    return std::nullopt;
}

// Only a command of the table runs; ReadRequest has refused any other.
int Ctl::Perform(const Request &request) {
    const CtlCommand *command = FindCtlCommand(request.command);
    if (command == nullptr)
        return Fail(UnknownCommand(request.command));
    return (this->*command->run)(request);
}

int Ctl::Run(const QStringList &arguments) {
    QCommandLineParser parser;
    for (const QCommandLineOption *option : m_options.General())
        parser.addOption(*option);
    for (const QCommandLineOption *option : m_options.ForCommands())
        parser.addOption(*option);
    if (!parser.parse(arguments))
        return Fail(Usage(EscapedText(parser.errorText())));
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
