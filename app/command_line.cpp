#include "app/command_line.h"

#include "app/program_start.h"

#include "dccd_version.h"
#include "link/ports/comfunct.h"
#include "link/ports/port_option.h"
#include "link/ports/port_platform.h"
#include "link/text/shown_text.h"
#include "window/branding.h"
#include "window/layout.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace tuner {
namespace {

// The tuner's exit status after a command line it does not understand.
constexpr int kExitUsage = 2;

// The tuner's own options.
struct Options {
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Shows this help and ends.")};
    QCommandLineOption version{QStringLiteral("version"),
                               QStringLiteral("Shows the version and ends.")};
    QCommandLineOption port{
        QStringLiteral("port"),
        QStringLiteral(
            "Picks port N from 1 to %1%2; N=DEVICE also makes DEVICE port N for this run, "
            "e.g. %3; may be repeated, the first is picked.")
            .arg(comfunct::platform::LastPortNumber())
            .arg(PortNameNote(), PortExamples()),
        QStringLiteral("N[=DEVICE]")};
    QCommandLineOption listPorts{
        QStringLiteral("list-ports"),
        comfunct::platform::LastPortNumber() > comfunct::kLastListedPort
            ? QStringLiteral("Lists ports 1 to 16 and every higher one that exists, with their "
                             "devices, and ends.")
            : QStringLiteral("Lists ports 1 to 16 with their devices and ends.")};
    QCommandLineOption dumpLayout{
        QStringLiteral("dump-layout"),
        QStringLiteral("Prints the window's client size, each control's designed pixel box and "
                       "the maker texts, one per line, and ends.")};
};

// The toolkit's own options ("-platform offscreen", "-style Fusion") are left for the
// application object to take: accepted here, hidden from the help.
void AcceptToolkitOptions(QCommandLineParser &parser) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    for (const char16_t *name : {u"platform", u"platformpluginpath", u"platformtheme", u"plugin",
                                 u"qwindowgeometry", u"qwindowicon", u"qwindowtitle", u"session",
                                 u"display", u"geometry", u"title", u"style", u"stylesheet"}) {
        QCommandLineOption toolkit(QString::fromUtf16(name), QString(), QStringLiteral("value"));
        toolkit.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(toolkit);
    }
    for (const char16_t *name : {u"reverse", u"widgetcount", u"nograb", u"dograb"}) {
        QCommandLineOption toolkit(QString::fromUtf16(name));
        toolkit.setFlags(QCommandLineOption::HiddenFromHelp);
        parser.addOption(toolkit);
    }
}

int Print(QTextStream &out, const QString &text) {
    out << text;
    out.flush();
    return 0;
}

int Refuse(QTextStream &err, const WindowProgram &program, const QString &message) {
    err << program.name << ": " << message << "\n";
    err.flush();
    return kExitUsage;
}

QString TryHelp(const WindowProgram &program) {
    return QStringLiteral("\nTry '") + program.name + QStringLiteral(" --help'.");
}

} // namespace

const WindowProgram &TunerProgram() {
    static const WindowProgram tuner{
        QStringLiteral("dccd-tuner"),
        QStringLiteral("Reads and stores the settings of a DCCD controller over a serial line."),
        QStringLiteral("the tuning window"), true};
    return tuner;
}

const WindowProgram &TunesProgram() {
    static const WindowProgram tunes{
        QStringLiteral("dccd-tunes"),
        QStringLiteral("Backs up, compares and restores the settings of a DCCD controller."),
        QStringLiteral("the DCCD Tunes window"), false};
    return tunes;
}

QString LayoutListing() {
    QString listing = QStringLiteral("client %1 %2\n").arg(ClientWidth()).arg(ClientHeight());
    for (const ControlLayout &design : WindowLayout()) {
        listing += QStringLiteral("control %1 %2 %3 %4 %5\n")
                       .arg(design.name)
                       .arg(design.Left())
                       .arg(design.Top())
                       .arg(design.Width())
                       .arg(design.Height());
    }
    listing += QStringLiteral("title ") + branding::TitleBar() + u'\n';
    listing += QStringLiteral("logo ") + branding::Logo() + u'\n';
    listing += QStringLiteral("support ") + branding::SupportLine() + u'\n';
    return listing;
}

std::optional<int> ApplyCommandLine(const QStringList &arguments, comfunct::PortTable &ports,
                                    QTextStream &out, QTextStream &err,
                                    std::optional<qint16> *chosenPort,
                                    const WindowProgram &program) {
    const Options options;
    QCommandLineParser parser;
    parser.setApplicationDescription(program.description);
    parser.addOptions({options.help, options.version, options.port});
    if (program.tunerOptions)
        parser.addOptions({options.listPorts, options.dumpLayout});
    AcceptToolkitOptions(parser);

    if (!parser.parse(arguments))
        return Refuse(err, program, EscapedText(parser.errorText()) + TryHelp(program));
    if (!parser.positionalArguments().isEmpty())
        return Refuse(err, program,
                      QStringLiteral("unexpected argument '") +
                          EscapedText(parser.positionalArguments().first()) + u'\'' +
                          TryHelp(program));
    // Without an application object the parser cannot know the program's name.
    if (parser.isSet(options.help))
        return Print(out,
                     parser.helpText().replace(QStringLiteral("<executable_name>"), program.name));
    if (parser.isSet(options.version))
        return Print(out, program.name + u' ' + QStringLiteral(DCCD_VERSION) + u'\n');

    std::optional<qint16> chosen;
    if (const std::optional<QString> refusal =
            ApplyPortChoices(parser.values(options.port), ports, chosen))
        return Refuse(err, program, *refusal);
    if (chosenPort != nullptr && chosen)
        *chosenPort = chosen;

    if (program.tunerOptions && parser.isSet(options.dumpLayout))
        return Print(out, LayoutListing());
    if (program.tunerOptions && parser.isSet(options.listPorts))
        return Print(out, PortListing(ports));
    return std::nullopt;
}

std::optional<int> ApplyCommandLine(const QStringList &arguments, comfunct::PortTable &ports,
                                    std::optional<qint16> *chosenPort,
                                    const WindowProgram &program) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    return ApplyCommandLine(arguments, ports, out, err, chosenPort, program);
}

} // namespace tuner
