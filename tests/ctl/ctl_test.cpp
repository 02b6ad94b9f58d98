// dccd-ctl's command line and help without any port, and its standard streams.

#include "ctl/ctl.h"
#include "ctl/standard_streams.h"
#include "tests/support/platform_ports.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"
#include "tunes/restore_points/restore_points.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

namespace {

struct Usage {
    const char *name;
    QStringList arguments;
    const char16_t *error;      // the first line on stderr
    const char *keep = nullptr; // DCCD_KEEP_RESTORE_POINTS, when set
    int code = 2;               // a device named as a tune file: 5
};

void PrintTo(const Usage &c, std::ostream *os) {
    *os << "dccd-ctl";
    for (const QString &argument : c.arguments)
        *os << " '" << Printable(argument) << '\'';
}

class CtlUsage : public ::testing::TestWithParam<Usage> {};

TEST_P(CtlUsage, EndsWithItsCodeBeforeAnyPortIsTouched) {
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QStringList arguments = GetParam().arguments;
    arguments.prepend(QStringLiteral("dccd-ctl"));
    if (GetParam().keep != nullptr) {
        qputenv(tuner::kKeepVariable, GetParam().keep);
        if (!qEnvironmentVariableIsSet(tuner::kKeepVariable))
            GTEST_SKIP() << "an empty variable is no variable on Windows";
    }
    const int code = tuner::RunCtl(arguments, outStream, errStream);
    qunsetenv(tuner::kKeepVariable);
    EXPECT_EQ(code, GetParam().code);
    const QString keepRefused =
        QStringLiteral("dccd-ctl: DCCD_KEEP_RESTORE_POINTS wants a whole number of restore points "
                       "to keep, from 1 to 10000, not '%1'")
            .arg(QLatin1String(GetParam().keep));
    EXPECT_EQ(err.section(u'\n', 0, 0),
              GetParam().error ? QString::fromUtf16(GetParam().error) : keepRefused);
    EXPECT_TRUE(out.isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Table, CtlUsage,
    ::testing::Values(

        Usage{"NoCommand",
              {},
              u"dccd-ctl: a command is missing: read, backup, write, diff, defaults, "
              u"restore-points or check"},
        Usage{"UnknownCommand",
              {QStringLiteral("upload")},
              u"dccd-ctl: unknown command 'upload': read, backup, write, diff, defaults, "
              u"restore-points or check"},
        Usage{"WriteWithoutFile",
              {QStringLiteral("write")},
              u"dccd-ctl: write wants one file, or --restore-point NAME"},
        Usage{"FileAndRestorePoint",
              {QStringLiteral("write"), QStringLiteral("t.json"), QStringLiteral("--restore-point"),
               QStringLiteral("latest")},
              u"dccd-ctl: write --restore-point takes no file"},
        Usage{"OnlyMistyped",
              {QStringLiteral("write"), QStringLiteral("t.json"), QStringLiteral("--only"),
               QStringLiteral("turning,tps_revers")},
              u"dccd-ctl: --only: 'tps_revers' is no setting; did you mean tps_reverse?"},
        Usage{"OnlyWithDiff",
              {QStringLiteral("diff"), QStringLiteral("a"), QStringLiteral("b"),
               QStringLiteral("--only"), QStringLiteral("turning")},
              u"dccd-ctl: --only does not go with diff"},
        Usage{"ReadWithAFile",
              {QStringLiteral("read"), QStringLiteral("x.json")},
              u"dccd-ctl: read takes no file"},
        Usage{"BackupWithAFile",
              {QStringLiteral("backup"), QStringLiteral("x.json")},
              u"dccd-ctl: backup takes no file"},
        Usage{"ReadNoVerify",
              {QStringLiteral("read"), QStringLiteral("--no-verify")},
              u"dccd-ctl: --no-verify does not go with read"},
        Usage{"DefaultsWithPort",
              {QStringLiteral("defaults"), QStringLiteral("--port"), QStringLiteral("1")},
              u"dccd-ctl: --port does not go with defaults"},
        Usage{"PortWithColon",
              {QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("1:/dev/x")},
              u"dccd-ctl: --port wants N or N=DEVICE with N from 1 to " PORT_RANGE
              ", not '1:/dev/x'"},
        Usage{"ZeroTimeout",
              {QStringLiteral("read"), QStringLiteral("--timeout"), QStringLiteral("0")},
              u"dccd-ctl: --timeout wants seconds from 0.1 up to 3600, not '0'"},
        Usage{"ShortTimeout",
              {QStringLiteral("read"), QStringLiteral("--timeout"), QStringLiteral("0.09"),
               QStringLiteral("--port"), QStringLiteral("1=/dev/null")},
              u"dccd-ctl: --timeout wants seconds from 0.1 up to 3600, not '0.09'"},
        Usage{"EmptyOutputName",
              {QStringLiteral("defaults"), QStringLiteral("-o"), QString()},
              u"dccd-ctl: --output wants a file name; without it the tune goes to standard output"},
        Usage{"ListPortsAndCommand",
              {QStringLiteral("--list-ports"), QStringLiteral("read")},
              u"dccd-ctl: --list-ports takes no command, not 'read'"},
        Usage{"TimeoutTwice",
              {QStringLiteral("read"), QStringLiteral("--timeout"), QStringLiteral("1"),
               QStringLiteral("--timeout"), QStringLiteral("2")},
              u"dccd-ctl: --timeout is given 2 times; give it once"},
        Usage{"OutputTwice",
              {QStringLiteral("defaults"), QStringLiteral("-o"), QStringLiteral("a"),
               QStringLiteral("--output"), QStringLiteral("b")},
              u"dccd-ctl: --output is given 2 times; give it once"},
        // The message names the variable and its value.
        Usage{
            "KeepHexadecimal", {QStringLiteral("write"), QStringLiteral("t.json")}, nullptr, "0x3"},
        Usage{"KeepZero", {QStringLiteral("write"), QStringLiteral("t.json")}, nullptr, "0"},
        Usage{"KeepEmpty", {QStringLiteral("write"), QStringLiteral("t.json")}, nullptr, ""},
        Usage{"KeepExponent", {QStringLiteral("write"), QStringLiteral("t.json")}, nullptr, "1e2"},
        Usage{
            "KeepTwoNumbers", {QStringLiteral("write"), QStringLiteral("t.json")}, nullptr, "1 2"},
        Usage{"KeepBeyondTheMost",
              {QStringLiteral("write"), QStringLiteral("t.json")},
              nullptr,
              "0010001"},
        Usage{"DiffPort256",
              {QStringLiteral("diff"), QStringLiteral("port:256"), QStringLiteral("port"),
               QStringLiteral("--port"), QStringLiteral("1=/dev/null")},
              u"dccd-ctl: 'port:256' names no port: use port:N with N from 1 to " LAST_PORT},
        Usage{"UnknownCommandEscaped",
              {QStringLiteral("\x1b[31mRED\x1b]0;title\a")},
              u"dccd-ctl: unknown command '\\e[31mRED\\e]0;title\\u0007': read, backup, write, "
              u"diff, defaults, restore-points or check"},
        Usage{"UnknownOptionEscaped",
              {QStringLiteral("--\x1b[2J")},
              u"dccd-ctl: Unknown option '\\e[2J'."},
        Usage{"DiffPortEscaped",
              {QStringLiteral("diff"), QStringLiteral("port:\x1b[2J"), QStringLiteral("defaults")},
              u"dccd-ctl: 'port:\\e[2J' names no port: use port:N with N from 1 to " LAST_PORT},
        Usage{"PortGivenTwoDevices",
              {QStringLiteral("--list-ports"), QStringLiteral("--port"), QStringLiteral("1=carA"),
               QStringLiteral("--port=1=carB")},
              u"dccd-ctl: --port '1=carA' and '1=carB' give port 1 two devices; give each port "
              u"one N=DEVICE"},
        Usage{"ListPortsAndOutput",
              {QStringLiteral("--list-ports"), QStringLiteral("-o"), QStringLiteral("x")},
              u"dccd-ctl: --output does not go with --list-ports"},
        Usage{
            "ListPortsAndTimeout",
            {QStringLiteral("--list-ports"), QStringLiteral("--timeout"), QStringLiteral("99999")},
            u"dccd-ctl: --timeout does not go with --list-ports"},
        Usage{"ListPortsAndOnly",
              {QStringLiteral("--list-ports"), QStringLiteral("--only"), QStringLiteral("turning")},
              u"dccd-ctl: --only does not go with --list-ports"},
        Usage{"ListCommandsAndPort",
              {QStringLiteral("--list-commands"), QStringLiteral("--port"), QStringLiteral("1")},
              u"dccd-ctl: --port does not go with --list-commands"},
        Usage{"HelpTwice",
              {QStringLiteral("--help"), QStringLiteral("-h")},
              u"dccd-ctl: --help is given 2 times; give it once"}),
    RowName());

#ifdef Q_OS_WIN
INSTANTIATE_TEST_SUITE_P(
    Devices, CtlUsage,
    ::testing::Values(
        // A device name is refused from its text: even looking at \\.\COM6 may open it.
        Usage{"DeviceNamespace",
              {QStringLiteral("write"), QStringLiteral("\\\\.\\COM6")},
              u"dccd-ctl: Cannot read \\\\.\\COM6: a device, not a tune file.",
              nullptr,
              5},
        Usage{"DeviceNamespaceWithSlashes",
              {QStringLiteral("diff"), QStringLiteral("//./COM6"), QStringLiteral("defaults")},
              u"dccd-ctl: Cannot read //./COM6: a device, not a tune file.",
              nullptr,
              5},
        Usage{"ReservedNameWithExtension",
              {QStringLiteral("write"), QStringLiteral("aux.json")},
              u"dccd-ctl: Cannot read aux.json: a device, not a tune file.",
              nullptr,
              5},
        Usage{"SerialPortAsOutput",
              {QStringLiteral("defaults"), QStringLiteral("-o"), QStringLiteral("COM5")},
              u"dccd-ctl: Cannot write COM5: a device, not a tune file.",
              nullptr,
              5}),
    RowName());
#endif

TEST(CtlHelp, NamesEveryExitCode) {
    const QString help = tuner::CtlHelp();
    for (int code = 0; code <= 7; ++code)
        EXPECT_TRUE(help.contains(QStringLiteral("\n  %1  ").arg(code))) << code;
}

} // namespace

#ifdef Q_OS_WIN
namespace {

// Text to a console arrives as characters whatever the console's code page, UTF-8 split over two
// writes too: read back from the console's screen. Needs a console that Wine draws, on a display
// (the window's Wine test runs it there); without one it is skipped.
TEST(StandardStream, AConsoleShowsTheTextWhateverItsCodePage) {
    FreeConsole();
    const HANDLE console = AllocConsole() ? CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE,
                                                        FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                        OPEN_EXISTING, 0, nullptr)
                                          : INVALID_HANDLE_VALUE;
    DWORD mode = 0;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleMode(console, &mode) ||
        !SetConsoleOutputCP(850))
        GTEST_SKIP() << "no console drawn here";
    SetStdHandle(STD_OUTPUT_HANDLE, console);
    const std::unique_ptr<QIODevice> out = tuner::OpenStandardStream(1);
    const QByteArray text = QStringLiteral("Café Ωμ").toUtf8();
    ASSERT_EQ(out->write(text.left(4)), 4); // "Caf" and the first byte of "é"
    ASSERT_EQ(out->write(text.mid(4)), text.size() - 4);
    wchar_t shown[8] = {};
    DWORD read = 0;
    ASSERT_TRUE(ReadConsoleOutputCharacterW(console, shown, 7, COORD{0, 0}, &read));
    EXPECT_EQ(QString::fromWCharArray(shown, static_cast<int>(read)), QStringLiteral("Café Ωμ"));
    EXPECT_EQ(GetConsoleOutputCP(), 850U);
}

} // namespace
#endif
