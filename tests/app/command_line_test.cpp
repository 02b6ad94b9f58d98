#include "app/command_line.h"
#include "dccd_version.h"
#include "link/port_table.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

#include <QRegularExpression>

namespace {

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
    EXPECT_EQ(run.ports.DevicePath(1), QStringLiteral("/dev/ttyUSB0"));
}

TEST_F(CommandLine, PortOptionsReplaceDevices) {
    const Outcome run = Apply({QStringLiteral("--port"), QStringLiteral("1=/dev/pts/4"),
                               QStringLiteral("--port=16=/dev/serial/by-id/x=y")});
    EXPECT_FALSE(run.exitCode.has_value()) << run.err.toStdString();
    EXPECT_EQ(run.ports.DevicePath(1), QStringLiteral("/dev/pts/4"));
    EXPECT_EQ(run.ports.DevicePath(16), QStringLiteral("/dev/serial/by-id/x=y"));
    EXPECT_EQ(run.ports.DevicePath(2), QStringLiteral("/dev/ttyUSB1"));
}

// The first --port given is the user's choice, whatever its device is; none without --port.
TEST_F(CommandLine, FirstPortGivenIsTheChoice) {
    const struct {
        QStringList arguments;
        std::optional<qint16> chosen;
    } cases[] = {
        {{}, std::nullopt},
        {{QStringLiteral("--port=7=/no/such/file")}, 7},
        {{QStringLiteral("--port"), QStringLiteral("12=/dev/null"),
          QStringLiteral("--port=2=/dev/pts/4")},
         12},
        {{QStringLiteral("--port=2=/dev/pts/4"), QStringLiteral("--port=12=/dev/null")}, 2},
    };
    for (const auto &c : cases) {
        std::optional<qint16> chosen;
        const Outcome run = Apply(c.arguments, &chosen);
        EXPECT_FALSE(run.exitCode.has_value()) << run.err.toStdString();
        EXPECT_EQ(chosen, c.chosen) << c.arguments.join(u' ').toStdString();
    }
}

// A --port value that is not N=DEVICE with N from 1 to 16.
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
    EXPECT_TRUE(run.err.contains(value)) << run.err.toStdString();
    EXPECT_EQ(run.ports.DevicePath(1), QStringLiteral("/dev/ttyUSB0"))
        << "no replacement is half applied";
}

INSTANTIATE_TEST_SUITE_P(Table, BadPort,
                         ::testing::Values(BadPortValue{"PortZero", u"0=/dev/pts/1"},
                                           BadPortValue{"Port17", u"17=/dev/pts/1"},
                                           BadPortValue{"NegativePort", u"-1=/dev/pts/1"},
                                           BadPortValue{"PortAWord", u"one=/dev/pts/1"},
                                           BadPortValue{"NoDevice", u"1"},
                                           BadPortValue{"EmptyDevice", u"1="},
                                           BadPortValue{"NoNumber", u"=/dev/pts/1"},
                                           BadPortValue{"FractionalPort", u"1.5=/dev/pts/1"},
                                           BadPortValue{"BlankBeforeNumber", u" 1=/dev/pts/1x"}),
                         RowName());

TEST_F(CommandLine, UnknownOptionOrArgumentEndsWithCodeTwo) {
    for (const QStringList &arguments :
         {QStringList{QStringLiteral("--bogus")}, QStringList{QStringLiteral("extra")},
          QStringList{QStringLiteral("--port")}}) {
        const Outcome run = Apply(arguments);
        ASSERT_TRUE(run.exitCode.has_value()) << arguments.join(u' ').toStdString();
        EXPECT_EQ(*run.exitCode, 2);
        EXPECT_TRUE(run.err.startsWith(QStringLiteral("dccd-tuner: "))) << run.err.toStdString();
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
    EXPECT_TRUE(help.out.contains(QStringLiteral("--port <N=DEVICE>")));

    const Outcome version = Apply({QStringLiteral("--version")});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("dccd-tuner " DCCD_VERSION "\n"));
}

TEST_F(CommandLine, ListPortsShowsTheTableWithReplacements) {
    const Outcome run =
        Apply({QStringLiteral("--port=2=/dev/null"), QStringLiteral("--list-ports")});
    EXPECT_EQ(run.exitCode, 0);
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 17);
    EXPECT_TRUE(lines.at(0).startsWith(QStringLiteral("Port")));
    EXPECT_TRUE(lines.at(1).startsWith(QStringLiteral("1     /dev/ttyUSB0            ")));
    EXPECT_EQ(lines.at(2).simplified(), QStringLiteral("2 /dev/null yes"));
    EXPECT_TRUE(lines.at(16).startsWith(QStringLiteral("16    /dev/ttyS3")));
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
