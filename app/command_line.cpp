#include "app/command_line.h"

#include "dccd_version.h"
#include "link/comfunct.h"
#include "link/port_option.h"
#include "window/branding.h"
#include "window/layout.h"

#include <QCommandLineParser>
#include <QCoreApplication>

#include <algorithm>
#include <cstdio>

namespace tuner {
namespace {

const QString kProgram = QStringLiteral("dccd-tuner");

} // namespace

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
                                    std::optional<qint16> *chosenPort) {
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Reads and stores the settings of a DCCD controller over a serial line."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and ends."));
    const QCommandLineOption version(QStringLiteral("version"),
                                     QStringLiteral("Shows the version and ends."));
    const QCommandLineOption port(
        QStringLiteral("port"),
        QStringLiteral("Port N (1 to 16) uses DEVICE for this run, e.g. --port 1=/dev/pts/3 or "
                       "--port 2=/dev/serial/by-id/usb-...; may be repeated."),
        QStringLiteral("N=DEVICE"));
    const QCommandLineOption listPorts(
        QStringLiteral("list-ports"),
        QStringLiteral("Lists ports 1 to 16 with their devices and ends."));
    const QCommandLineOption dumpLayout(
        QStringLiteral("dump-layout"),
        QStringLiteral("Prints the window's client size, each control's designed pixel box and "
                       "the maker texts, one per line, and ends."));
    parser.addOptions({help, version, port, listPorts, dumpLayout});

    // The toolkit's own options ("-platform offscreen", "-style Fusion") are left for the
    // application object to take: accepted here, hidden from the help.
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

    if (!parser.parse(arguments)) {
        err << kProgram << ": " << parser.errorText() << "\n"
            << "Try '" << kProgram << " --help'.\n";
        err.flush();
        return kExitUsage;
    }
    if (!parser.positionalArguments().isEmpty()) {
        err << kProgram << ": unexpected argument '" << parser.positionalArguments().first()
            << "'\nTry '" << kProgram << " --help'.\n";
        err.flush();
        return kExitUsage;
    }
    if (parser.isSet(help)) {
        // Without an application object the parser cannot know the program's name.
        out << parser.helpText().replace(QStringLiteral("<executable_name>"), kProgram);
        out.flush();
        return 0;
    }
    if (parser.isSet(version)) {
        out << kProgram << " " << QStringLiteral(DCCD_VERSION) << "\n";
        out.flush();
        return 0;
    }

    // All replacements are checked before any is applied: a bad one changes nothing.
    QList<std::pair<qint16, QString>> replacements;
    const QStringList portValues = parser.values(port);
    for (const QString &value : portValues) {
        const std::optional<PortChoice> replacement = ReadPortChoice(value);
        if (!replacement || replacement->device.isEmpty()) {
            err << kProgram << ": --port wants N=DEVICE with N from 1 to 16, not '" << value
                << "'\n";
            err.flush();
            return kExitUsage;
        }
        replacements.append({replacement->number, replacement->device});
    }
    for (const auto &[n, device] : replacements)
        ports.SetDevicePath(n, device);
    if (chosenPort != nullptr && !replacements.isEmpty())
        *chosenPort = replacements.first().first;

    if (parser.isSet(dumpLayout)) {
        out << LayoutListing();
        out.flush();
        return 0;
    }

    if (parser.isSet(listPorts)) {
        out << PortListing(ports);
        out.flush();
        return 0;
    }
    return std::nullopt;
}

std::optional<int> ApplyCommandLine(const QStringList &arguments, comfunct::PortTable &ports,
                                    std::optional<qint16> *chosenPort) {
    QTextStream out(stdout);
    QTextStream err(stderr);
    return ApplyCommandLine(arguments, ports, out, err, chosenPort);
}

} // namespace tuner
