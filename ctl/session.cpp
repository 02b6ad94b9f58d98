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
        return FailNow(Usage(*refusal));
    if (parser.isSet(m_options.listPorts)) {
        if (!parser.positionalArguments().isEmpty())
            return FailNow(Usage(QStringLiteral("--list-ports takes no command, not '") +
                                 parser.positionalArguments().constFirst() + u'\''));
        return Print(PortListing(m_ports));
    }
    if (parser.isSet(m_options.timeout)) {
        const std::optional<double> seconds = ReadNumber(parser.value(m_options.timeout));
        if (!seconds || *seconds < kShortestTimeoutSeconds || *seconds > kLongestTimeoutSeconds)
            return FailNow(Usage(QStringLiteral("--timeout wants seconds from %1 up to %2, not '")
                                     .arg(kShortestTimeoutSeconds)
                                     .arg(kLongestTimeoutSeconds) +
                                 parser.value(m_options.timeout) + u'\''));
        m_timeout = std::chrono::milliseconds(std::lround(*seconds * 1000));
    }
    return std::nullopt;
}

Ctl::Ctl(QTextStream &out, QTextStream &err) : m_out(out), m_err(err) {}

Ctl::~Ctl() = default;

void Ctl::End(int code) {
    if (const Done done = std::exchange(m_done, nullptr))
        done(code);
}

void Ctl::Perform(const Request &request) {
    if (request.command == u"read")
        return Read(request);
    if (request.command == u"write")
        return Write(request);
    if (request.command == u"diff")
        return Diff(request);
    if (request.command == u"restore-points")
        return ListRestorePoints(request);
    return Defaults(request);
}

void Ctl::Start(const QStringList &arguments, Done done) {
    m_done = std::move(done);
    QCommandLineParser parser;
    parser.addOptions({m_options.help, m_options.version, m_options.listPorts});
    for (const QCommandLineOption *option : m_options.ForCommands())
        parser.addOption(*option);
    if (!parser.parse(arguments))
        return Fail(Usage(parser.errorText()));
    if (const auto repeated = RepeatedOption(parser, m_options))
        return Fail(*repeated);
    if (const std::optional<int> ended = TakeGeneralOptions(parser))
        return End(*ended);
    auto request = ReadRequest(parser, m_options);
    if (const CtlFailure *failure = std::get_if<CtlFailure>(&request))
        return Fail(*failure);
    Perform(std::get<Request>(request));
}

} // namespace tuner
