#include "app/command_line.h"
#include "app/program_start.h"
#include "dccd_version.h"
#include "link/ports/port_platform.h"
#include "link/ports/port_table.h"
#include "link/text/shown_text.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

// The platform's own device of a port number, as the port table starts.
QString OwnDevice(qint16 n) {
    return comfunct::platform::DefaultDevice(n);
}

struct Outcome {
    std::optional<int> exitCode;
    QString out;
    QString err;
    comfunct::PortTable ports; // the table the command line filled in
};

Outcome Apply(QStringList arguments, std::optional<qint16> *chosenPort = nullptr) {
    arguments.prepend(QStringLiteral("dccd-tuner"));
    Outcome run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.exitCode = tuner::ApplyCommandLine(arguments, run.ports, out, err, chosenPort);
    return run;
}

class CommandLine : public ::testing::Test {};

TEST_F(CommandLine, NoArgumentsGoOnToTheWindow) {
    const Outcome run = Apply({});
    EXPECT_FALSE(run.exitCode.has_value());
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_EQ(run.ports.DevicePath(1), OwnDevice(1));
}

TEST_F(CommandLine, PortOptionsReplaceDevices) {
    const Outcome run = Apply({QStringLiteral("--port"), QStringLiteral("1=/dev/pts/4"),
                               QStringLiteral("--port=16=/dev/serial/by-id/x=y")});
    EXPECT_FALSE(run.exitCode.has_value()) << run.err.toStdString();
    EXPECT_EQ(run.ports.DevicePath(1), QStringLiteral("/dev/pts/4"));
    EXPECT_EQ(run.ports.DevicePath(16), QStringLiteral("/dev/serial/by-id/x=y"));
    EXPECT_EQ(run.ports.DevicePath(2), OwnDevice(2));
}

// The first --port given is the user's choice, whatever its device is; none without --port.
// "--port N" picks N with its own device (as dccd-ctl takes it), "--port N=DEVICE" maps it too.
TEST_F(CommandLine, FirstPortGivenIsTheChoice) {
    const struct {
        QStringList arguments;
        std::optional<qint16> chosen;
        QMap<qint16, QString> mapped; // the ports whose device the arguments replace
    } cases[] = {
        {{}, std::nullopt, {}},
        {{QStringLiteral("--port=7=/no/such/file")}, 7, {{7, QStringLiteral("/no/such/file")}}},
        {{QStringLiteral("--port"), QStringLiteral("12=/dev/null"),
          QStringLiteral("--port=2=/dev/pts/4")},
         12,
         {{12, QStringLiteral("/dev/null")}, {2, QStringLiteral("/dev/pts/4")}}},
        {{QStringLiteral("--port=2=/dev/pts/4"), QStringLiteral("--port=12=/dev/null")},
         2,
         {{12, QStringLiteral("/dev/null")}, {2, QStringLiteral("/dev/pts/4")}}},
        {{QStringLiteral("--port"), QStringLiteral("1")}, 1, {}},
        {{QStringLiteral("--port"), QStringLiteral("5")}, 5, {}},
        {{QStringLiteral("--port=16"), QStringLiteral("--port=3=COM9")},
         16,
         {{3, QStringLiteral("COM9")}}},
        {{QStringLiteral("--port=4=COM9"), QStringLiteral("--port=4")},
         4,
         {{4, QStringLiteral("COM9")}}},
    };
    for (const auto &c : cases) {
        std::optional<qint16> chosen;
        const Outcome run = Apply(c.arguments, &chosen);
        const std::string what = c.arguments.join(u' ').toStdString();
        EXPECT_FALSE(run.exitCode.has_value()) << what << ": " << run.err.toStdString();
        EXPECT_EQ(chosen, c.chosen) << what;
        for (qint16 n = 1; n <= 16; ++n)
            EXPECT_EQ(run.ports.DevicePath(n).toStdString(),
                      c.mapped.value(n, OwnDevice(n)).toStdString())
                << what << ", port " << n;
    }
}

// A --port value that is neither N nor N=DEVICE with N from 1 to 16.
struct BadPortValue {
    const char *name;
    const char16_t *value;
};

void PrintTo(const BadPortValue &c, std::ostream *os) {
    *os << "--port \"" << Printable(c.value) << '"';
}

class BadPort : public ::testing::TestWithParam<BadPortValue> {};

TEST_P(BadPort, EndsWithCodeTwoAndChangesNothing) {
    const QString value = QString::fromUtf16(GetParam().value);
    const Outcome run =
        Apply({QStringLiteral("--port=1=/dev/pts/9"), QStringLiteral("--port"), value});
    ASSERT_TRUE(run.exitCode.has_value());
    EXPECT_EQ(*run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(QStringLiteral("N=DEVICE"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(tuner::EscapedText(value))) << run.err.toStdString();
    EXPECT_EQ(run.ports.DevicePath(1), OwnDevice(1)) << "no replacement is half applied";
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadPort,
    ::testing::Values(
        BadPortValue{"PortZero", u"0=/dev/pts/1"}, BadPortValue{"Port256", u"256=/dev/pts/1"},
        BadPortValue{"NegativePort", u"-1=/dev/pts/1"},
        BadPortValue{"PortAWord", u"one=/dev/pts/1"}, BadPortValue{"EmptyDevice", u"1="},
        BadPortValue{"NoNumber", u"=/dev/pts/1"}, BadPortValue{"FractionalPort", u"1.5=/dev/pts/1"},
        BadPortValue{"BlankBeforeNumber", u" 1=/dev/pts/1x"}, BadPortValue{"BarePortZero", u"0"},
        BadPortValue{"BarePort256", u"256"}, BadPortValue{"DeviceName", u"/dev/ttyUSB0"},
        BadPortValue{"BlankAfterNumber", u"5 "}, BadPortValue{"Escapes", u"1:\x1b[2J\a"},
        BadPortValue{"SecondDevice", u"1=/dev/pts/8"}),
    RowName());

TEST_F(CommandLine, UnknownOptionOrArgumentEndsWithCodeTwo) {
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("extra")},
          QStringList{QStringLiteral("--port")}, QStringList{QStringLiteral("--\x1b[2J")},
          QStringList{QStringLiteral("\x1b]0;title\a")}}) {
        const Outcome run = Apply(arguments);
        ASSERT_TRUE(run.exitCode.has_value()) << arguments.join(u' ').toStdString();
        EXPECT_EQ(*run.exitCode, 2);
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("dccd-tuner: "))) << run.err.toStdString();
        EXPECT_FALSE(run.err.contains(u'\x1b') || run.err.contains(u'\a')) << "shown escaped";
    }
}

TEST_F(CommandLine, TheToolkitsOwnOptionsAreLeftForIt) {
    const Outcome run =
        Apply({QStringLiteral("-platform"), QStringLiteral("offscreen"), QStringLiteral("-style"),
               QStringLiteral("Fusion"), QStringLiteral("-reverse"), QStringLiteral("--port"),
               QStringLiteral("1=/dev/pts/4")});
    EXPECT_EQ(run.exitCode, std::nullopt) << run.err.toStdString();
    EXPECT_EQ(run.ports.DevicePath(1), QStringLiteral("/dev/pts/4"));
    const Outcome help = Apply({QStringLiteral("-h")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_FALSE(help.out.contains(QStringLiteral("platform"))) << help.out.toStdString();
}

TEST_F(CommandLine, HelpAndVersion) {
    const Outcome help = Apply({QStringLiteral("--help")});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(QStringLiteral("Usage: dccd-tuner [options]")))
        << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(QStringLiteral("--list-ports")));
    EXPECT_TRUE(help.out.contains(QStringLiteral("--port <N[=DEVICE]>")));

    const Outcome version = Apply({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("dccd-tuner " DCCD_VERSION "\n"));
}

TEST_F(CommandLine, ListPortsShowsTheTableWithReplacements) {
#ifdef Q_OS_WIN
    // A name the system has not registered is no port.
    const QString replacement = QStringLiteral("COM200");
    const QString exists = QStringLiteral("no");
#else
    const QString replacement = QStringLiteral("/dev/null");
    const QString exists = QStringLiteral("yes");
#endif
    const Outcome run =
        Apply({QStringLiteral("--port=2=") + replacement, QStringLiteral("--list-ports")});
    EXPECT_EQ(run.exitCode, 0);
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    // Then the existing ports above 16: on Windows those registered (COM23 under the tests' Wine).
    ASSERT_GE(lines.size(), 17);
    for (qsizetype i = 17; i < lines.size(); ++i)
        EXPECT_GT(lines.at(i).section(u' ', 0, 0).toInt(), 16) << lines.at(i).toStdString();
    EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("Port")));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("1     ") + OwnDevice(1).leftJustified(24)))
        << lines.at(1).toStdString();
    EXPECT_EQ(lines.at(2).simplified(), QStringLiteral("2 ") + replacement + u' ' + exists);
    EXPECT_TRUE(lines.at(16).startsWith(QStringLiteral("16    ") + OwnDevice(16)));
}

TEST_F(CommandLine, DumpLayoutPrintsTheWindowWithoutADisplay) {
    const Outcome run = Apply({QStringLiteral("--dump-layout")});
    EXPECT_EQ(run.exitCode, 0);
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1 + 26 + 3);
    EXPECT_EQ(lines.first(), QStringLiteral("client 358 436"));
    EXPECT_TRUE(lines.contains(QStringLiteral("control Shape1 289 72 33 22")));
    EXPECT_TRUE(lines.contains(QStringLiteral("control Label2 192 192 97 25")));
    EXPECT_EQ(lines.filter(QRegularExpression(QStringLiteral("^control \\w+ \\d+ \\d+ \\d+ \\d+$")))
                  .size(),
              26);
    EXPECT_EQ(lines.at(27), QStringLiteral("title dccd-tuner.example.org 2026"));
    EXPECT_EQ(lines.at(28), QStringLiteral("logo dccd-tuner.example.org"));
    EXPECT_EQ(lines.at(29), QStringLiteral("support Support: support@dccd-tuner.example.org"));
}

} // namespace

namespace {

// What the window says when it finds no graphical session names what is missing on this system.
TEST(MissingSession, NamesWhatIsMissingHere) {
#ifdef Q_OS_WIN
    // Windows has no display variables: a desktop is there or not.
    EXPECT_EQ(tuner::MissingSessionReason(), QStringLiteral("no desktop can be reached"));
#else
    const QByteArray display = qgetenv("DISPLAY");
    const QByteArray wayland = qgetenv("WAYLAND_DISPLAY");
    const struct {
        const char *display;
        const char *wayland;
        const char16_t *reason;
    } cases[] = {
        {"", "", u"neither DISPLAY nor WAYLAND_DISPLAY is set"},
        {":5", "", u"the display :5 (DISPLAY) does not answer"},
        {"", "wayland-0", u"the display wayland-0 (WAYLAND_DISPLAY) does not answer"},
        {":5", "wayland-0", u"the display :5 (DISPLAY) does not answer"},
    };
    for (const auto &c : cases) {
        qputenv("DISPLAY", c.display);
        qputenv("WAYLAND_DISPLAY", c.wayland);
        EXPECT_EQ(tuner::MissingSessionReason(), QString::fromUtf16(c.reason))
            << c.display << " " << c.wayland;
    }
    // As they were: set, or not set at all.
    for (const auto &[name, value] :
         {std::pair{"DISPLAY", display}, {"WAYLAND_DISPLAY", wayland}}) {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }
#endif
}

} // namespace
