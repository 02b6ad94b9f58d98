#include "app/command_line.h"
#include "link/comfunct.h"

#include <gtest/gtest.h>

namespace {

struct Outcome {
    std::optional<int> exitCode;
    QString out;
    QString err;
};

Outcome Apply(QStringList arguments, std::optional<qint16> *chosenPort = nullptr) {
    arguments.prepend(u"dccd-tuner"_qs);
    Outcome run;
    QTextStream out(&run.out);
    QTextStream err(&run.err);
    run.exitCode = tuner::ApplyCommandLine(arguments, out, err, chosenPort);
    return run;
}

class CommandLine : public ::testing::Test {
protected:
    void TearDown() override { comfunct::ResetDevicePaths(); }
};

TEST_F(CommandLine, NoArgumentsGoOnToTheWindow) {
    const Outcome run = Apply({});
    EXPECT_FALSE(run.exitCode.has_value());
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_TRUE(run.err.isEmpty());
    EXPECT_EQ(comfunct::DevicePath(1), u"/dev/ttyUSB0"_qs);
}

TEST_F(CommandLine, PortOptionsReplaceDevices) {
    const Outcome run =
        Apply({u"--port"_qs, u"1=/dev/pts/4"_qs, u"--port=16=/dev/serial/by-id/x=y"_qs});
    EXPECT_FALSE(run.exitCode.has_value()) << run.err.toStdString();
    EXPECT_EQ(comfunct::DevicePath(1), u"/dev/pts/4"_qs);
    EXPECT_EQ(comfunct::DevicePath(16), u"/dev/serial/by-id/x=y"_qs);
    EXPECT_EQ(comfunct::DevicePath(2), u"/dev/ttyUSB1"_qs);
}

// The first --port given is the user's choice, whatever its device is; none without --port.
TEST_F(CommandLine, FirstPortGivenIsTheChoice) {
    const struct {
        QStringList arguments;
        std::optional<qint16> chosen;
    } cases[] = {
        {{}, std::nullopt},
        {{u"--port=7=/no/such/file"_qs}, 7},
        {{u"--port"_qs, u"12=/dev/null"_qs, u"--port=2=/dev/pts/4"_qs}, 12},
        {{u"--port=2=/dev/pts/4"_qs, u"--port=12=/dev/null"_qs}, 2},
    };
    for (const auto &c : cases) {
        std::optional<qint16> chosen;
        const Outcome run = Apply(c.arguments, &chosen);
        EXPECT_FALSE(run.exitCode.has_value()) << run.err.toStdString();
        EXPECT_EQ(chosen, c.chosen) << c.arguments.join(u' ').toStdString();
    }
}

class BadPort : public ::testing::TestWithParam<const char16_t *> {
protected:
    void TearDown() override { comfunct::ResetDevicePaths(); }
};

TEST_P(BadPort, EndsWithCodeTwoAndChangesNothing) {
    const QString value = QString::fromUtf16(GetParam());
    const Outcome run = Apply({u"--port=1=/dev/pts/9"_qs, u"--port"_qs, value});
    ASSERT_TRUE(run.exitCode.has_value());
    EXPECT_EQ(*run.exitCode, 2);
    EXPECT_TRUE(run.err.contains(u"N=DEVICE"_qs)) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(value)) << run.err.toStdString();
    EXPECT_EQ(comfunct::DevicePath(1), u"/dev/ttyUSB0"_qs) << "no replacement is half applied";
}

INSTANTIATE_TEST_SUITE_P(Table, BadPort,
                         ::testing::Values(u"0=/dev/pts/1", u"17=/dev/pts/1", u"-1=/dev/pts/1",
                                           u"one=/dev/pts/1", u"1", u"1=", u"=/dev/pts/1",
                                           u"1.5=/dev/pts/1", u" 1=/dev/pts/1x"));

TEST_F(CommandLine, UnknownOptionOrArgumentEndsWithCodeTwo) {
    for (const QStringList &arguments :
         {QStringList{u"--bogus"_qs}, QStringList{u"extra"_qs}, QStringList{u"--port"_qs}}) {
        const Outcome run = Apply(arguments);
        ASSERT_TRUE(run.exitCode.has_value()) << arguments.join(u' ').toStdString();
        EXPECT_EQ(*run.exitCode, 2);
        EXPECT_TRUE(run.err.startsWith(u"dccd-tuner: "_qs)) << run.err.toStdString();
    }
}

TEST_F(CommandLine, TheToolkitsOwnOptionsAreLeftForIt) {
    const Outcome run = Apply({u"-platform"_qs, u"offscreen"_qs, u"-style"_qs, u"Fusion"_qs,
                               u"-reverse"_qs, u"--port"_qs, u"1=/dev/pts/4"_qs});
    EXPECT_EQ(run.exitCode, std::nullopt) << run.err.toStdString();
    EXPECT_EQ(comfunct::DevicePath(1), u"/dev/pts/4"_qs);
    const Outcome help = Apply({u"-h"_qs});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_FALSE(help.out.contains(u"platform"_qs)) << help.out.toStdString();
}

TEST_F(CommandLine, HelpAndVersion) {
    const Outcome help = Apply({u"--help"_qs});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.startsWith(u"Usage: dccd-tuner [options]"_qs)) << help.out.toStdString();
    EXPECT_TRUE(help.out.contains(u"--list-ports"_qs));
    EXPECT_TRUE(help.out.contains(u"--port <N=DEVICE>"_qs));

    const Outcome version = Apply({u"--version"_qs});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out, QStringLiteral("dccd-tuner " DCCD_VERSION "\n"));
}

TEST_F(CommandLine, ListPortsShowsTheTableWithReplacements) {
    const Outcome run = Apply({u"--port=2=/dev/null"_qs, u"--list-ports"_qs});
    EXPECT_EQ(run.exitCode, 0);
    const QStringList lines = run.out.split(u'\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 17);
    EXPECT_TRUE(lines.at(0).startsWith(u"Port"_qs));
    EXPECT_TRUE(lines.at(1).startsWith(u"1     /dev/ttyUSB0            "_qs));
    EXPECT_EQ(lines.at(2).simplified(), u"2 /dev/null yes"_qs);
    EXPECT_TRUE(lines.at(16).startsWith(u"16    /dev/ttyS3"_qs));
}

} // namespace
