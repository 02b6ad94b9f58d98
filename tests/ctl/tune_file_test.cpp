// The tune file and dccd-ctl's command line, without any port.

#include "ctl/ctl.h"
#include "ctl/standard_streams.h"
#include "link/protocol/records.h"
#include "tests/ctl/default_tune.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"
#include "tunes/files/tune_differences.h"
#include "tunes/files/tune_file.h"
#include "tunes/restore_points/restore_points.h"
#include "tunes/restore_points/state_folder.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <atomic>
#include <thread>
#include <vector>

#ifdef Q_OS_WIN
#include <windows.h>
#endif

// The last port number of this system, as the messages give it.
#ifdef Q_OS_WIN
#define LAST_PORT u"255"
#else
#define LAST_PORT u"16"
#endif

namespace {

const char *const kDefaults = kDefaultTuneFile;

tuner::TuningParameters Tune(float accel, float decel, float turn, float max, float min, float lfb,
                             bool tps, bool ebrake) {
    tuner::TuningParameters p;
    p.Accel = accel;
    p.Decel = decel;
    p.Turn = turn;
    p.MaxOut = max;
    p.MinOut = min;
    p.LfbThreshold = lfb;
    p.TpsReverse = tps;
    p.EbrakeCutOff = ebrake;
    return p;
}

TEST(TuneFile, DefaultsAreTheWindowsDefaultsInTheFixedLayout) {
    EXPECT_EQ(tuner::TuneFileText(tuner::DefaultSettings()), QByteArray(kDefaults));
    EXPECT_EQ(tuner::SaveRecordOf(tuner::DefaultSettings(), false),
              QStringLiteral("S,00100,00100,00100,00100,00000,00033,00000,00000,00000,\r"));
}

// Also as an editor on Windows saves it: UTF-8 with a byte-order mark, UTF-16 of either order.
TEST(TuneFile, WrittenTextReadsBackToTheSameTuneAndRecord) {
    const tuner::TuningParameters tune = Tune(0, 200, 7, 100, 1, 99, true, false);
    const QByteArray utf8 = tuner::TuneFileText(tune);
    const QString text = QString::fromUtf8(utf8);
    QByteArray little("\xFF\xFE"), big("\xFE\xFF");
    for (const QChar c : text) {
        const char low = static_cast<char>(c.unicode() & 0xFF);
        const char high = static_cast<char>(c.unicode() >> 8);
        little.append(low).append(high);
        big.append(high).append(low);
    }
    for (const QByteArray &saved : {utf8, "\xEF\xBB\xBF" + utf8, little, big}) {
        const auto parsed = tuner::ParseTuneFile(saved, QStringLiteral("t.json"));
        ASSERT_TRUE(std::holds_alternative<tuner::TuneFile>(parsed))
            << std::get<QString>(parsed).toStdString();
        EXPECT_TRUE(tuner::Differences(tune, std::get<tuner::TuneFile>(parsed).tune).isEmpty());
        EXPECT_EQ(tuner::SaveRecordOf(std::get<tuner::TuneFile>(parsed).tune, true),
                  QStringLiteral("S,00000,00200,00007,00100,00001,00099,00001,00000,00001,\r"));
    }
}

TEST(TuneFile, ReportValuesAreRoundedAsTheWireRoundsThem) {
    const tuner::TuningParameters held = tuner::TuneOf(Tune(99.5f, 32.4f, -0.4f, 100, 0, 33, 0, 0));
    EXPECT_EQ(tuner::WholeText(held.Accel), QStringLiteral("100"));
    EXPECT_EQ(tuner::WholeText(held.Decel), QStringLiteral("32"));
    EXPECT_EQ(tuner::WholeText(held.Turn), QStringLiteral("0")) << "no minus sign on zero";
}

struct Refusal {
    const char *name;
    QByteArray text;
    const char16_t *message;
};

void PrintTo(const Refusal &c, std::ostream *os) {
    *os << '"' << Printable(QString::fromUtf8(c.text)) << '"';
}

class TuneFileRefuses : public ::testing::TestWithParam<Refusal> {};

TEST_P(TuneFileRefuses, WithOneMessage) {
    const auto parsed = tuner::ParseTuneFile(GetParam().text, QStringLiteral("t.json"));
    ASSERT_TRUE(std::holds_alternative<QString>(parsed));
    EXPECT_EQ(std::get<QString>(parsed), QString::fromUtf16(GetParam().message));
}

// Kinds the process tests do not cover: positions on later lines, other types and values.
INSTANTIATE_TEST_SUITE_P(
    Table, TuneFileRefuses,
    ::testing::Values(
        Refusal{"BadJsonOnLine3", "{\n  \"format\": \"dccd-tune\",\n  \"version\" 1\n}",
                u"t.json:3:13: a colon is missing after a key"},
        Refusal{"Empty", "",
                u"t.json: the file is empty; 'dccd-ctl defaults' prints a tune file to "
                u"start from"},
        Refusal{"WordForANumber",
                "{\"format\": \"dccd-tune\", \"version\": 1, \"acceleration\": hundred}",
                u"t.json:1:54: this is no value: texts go in double quotes, numbers and true or "
                u"false without"},
        Refusal{"NoteNotText", "{\"format\": \"dccd-tune\", \"version\": 1, \"note\": 7}",
                u"t.json: \"note\" is 7; it must be a text in double quotes"},
        Refusal{"PortOutOfRange", "{\"format\": \"dccd-tune\", \"version\": 1, \"port\": 256}",
                u"t.json: \"port\" is 256; it must be a port number from 1 to 255"},
        Refusal{"MistypedKey", "{\"format\": \"dccd-tune\", \"version\": 1, \"tps_revers\": true}",
                u"t.json: \"tps_revers\": no such setting; did you mean \"tps_reverse\"?"},
        Refusal{"Utf32", QByteArray("\xFF\xFE\0\0{\0\0\0", 8),
                u"t.json: the file is UTF-32; save it as UTF-8"},
        Refusal{"Utf16WithoutMark", QByteArray("{\0}\0", 4),
                u"t.json: the file looks like UTF-16 without a byte-order mark; save it as UTF-8"},
        Refusal{"Utf16Broken", QByteArray("\xFF\xFE{\0\x00\xD8}\0", 8),
                u"t.json: the file starts as UTF-16 but is not valid UTF-16"},
        Refusal{"Latin1", "{\"format\": \"dccd-tune\", \"version\": 1, \"note\": \"caf\xE9\"}",
                u"t.json:1:50: the text is not UTF-8"},
        Refusal{"AnArray", "[1, 2]",
                u"t.json: not a tune file: it must be one JSON object { ... }"},
        Refusal{"NoFormat", "{\"version\": 1}",
                u"t.json: \"format\" is missing; it must be \"dccd-tune\""},
        Refusal{"OtherFormat", "{\"format\": \"tune\", \"version\": 1}",
                u"t.json: \"format\" is \"tune\"; it must be \"dccd-tune\""},
        Refusal{"VersionAsText", "{\"format\": \"dccd-tune\", \"version\": \"1\"}",
                u"t.json: \"version\" is \"1\"; it must be 1"},
        Refusal{"Negative", "{\"format\": \"dccd-tune\", \"version\": 1, \"acceleration\": -1}",
                u"t.json: \"acceleration\" is -1; it must be a whole number from 0 to 200"},
        Refusal{"Fraction", "{\"format\": \"dccd-tune\", \"version\": 1, \"acceleration\": 100.5}",
                u"t.json: \"acceleration\" is 100.5; it must be a whole number from 0 to 200"},
        Refusal{"Null", "{\"format\": \"dccd-tune\", \"version\": 1, \"acceleration\": null}",
                u"t.json: \"acceleration\" is null; it must be a whole number from 0 to 200"},
        // Only top-level keys count, a quote inside a name does not end it, escapes are decoded.
        Refusal{"TopLevelKeyTwice",
                "{\"format\": \"dccd-tune\", \"a\\\"\": [{\"version\": 2}, \"version\"],\n"
                "\"version\": 1,\n\"vers\\u0069on\": 1}",
                u"t.json: \"version\" is given twice (lines 2 and 3)"},
        Refusal{"KeyOfEscapes",
                "{\"format\": \"dccd-tune\", \"version\": 1, \"\\u001b[2J\\u0007\": 1}",
                u"t.json: \"\\e[2J\\u0007\": no such setting; the keys are format, version, note, "
                u"read_at, port, acceleration, deceleration, turning, max_output, min_output, "
                u"lfb_threshold, tps_reverse, ebrake_cut_off"},
        Refusal{"KeyOfEscapesTwice", "{\"\\u001b\": 1,\n\"\\u001b\": 2}",
                u"t.json: \"\\e\" is given twice (lines 1 and 2)"}),
    RowName());

TEST(TuneFile, DifferenceTableHasAHeadingAndOneRowPerDifference) {
    const auto differences = tuner::Differences(Tune(100, 100, 100, 100, 0, 33, false, false),
                                                Tune(150, 100.4f, 100, 100, 0, 33, true, false));
    ASSERT_EQ(differences.size(), 2) << "100.4 goes on the wire as 100";
    EXPECT_EQ(tuner::DifferenceTable(differences, QStringLiteral("street.json"),
                                     QStringLiteral("port 1")),
              QStringLiteral("setting       street.json  port 1\n"
                             "acceleration  100          150\n"
                             "tps_reverse   false        true\n"));
}

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
              u"dccd-ctl: a command is missing: read, write, diff, defaults or restore-points"},
        Usage{"UnknownCommand",
              {QStringLiteral("backup")},
              u"dccd-ctl: unknown command 'backup': read, write, diff, defaults or restore-points"},
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
        Usage{"ReadNoVerify",
              {QStringLiteral("read"), QStringLiteral("--no-verify")},
              u"dccd-ctl: --no-verify does not go with read"},
        Usage{"DefaultsWithPort",
              {QStringLiteral("defaults"), QStringLiteral("--port"), QStringLiteral("1")},
              u"dccd-ctl: --port does not go with defaults"},
        Usage{"PortWithColon",
              {QStringLiteral("read"), QStringLiteral("--port"), QStringLiteral("1:/dev/x")},
              u"dccd-ctl: --port wants N or N=DEVICE with N from 1 to " LAST_PORT
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
              u"dccd-ctl: unknown command '\\e[31mRED\\e]0;title\\u0007': read, write, diff, "
              u"defaults or restore-points"},
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

namespace {

// A scratch folder of restore points, changed step by step as the program and its user would:
//   take PORT ACCEL TIME [NOTE]  a restore point taken at that time (the clock may go back);
//                                why it could not be goes before the listing
//   file NAME TEXT               a file put there by hand or by an earlier version
//   folder NAME, link NAME TO    a folder, a symbolic link (NAME in the state folder)
//   age NAME SECONDS             the file written that long ago (less than 0: in the future)
//   hold NAME                    the restore point held in use till the end, as a write holds it
//   prune KEPT                   the oldest let go; what it says goes before the listing
//   latest PORT NAME             what "latest" finds for that port
//   race N                       two threads take N restore points each at the same time
//   churn N                      a thread takes and prunes N times while the folder is listed:
//                                no listing passes over what was pruned meanwhile
//   kept VALUE N                 DCCD_KEEP_RESTORE_POINTS=VALUE keeps N
struct Shelf {
    const char *name;
    std::vector<std::string> steps;
    const char16_t *listing; // what is said, then the listing; $FOLDER for the folder
};

void PrintTo(const Shelf &c, std::ostream *os) {
    for (const std::string &step : c.steps)
        *os << Printable(QString::fromStdString(step)) << "; ";
}

class RestorePoints : public ::testing::TestWithParam<Shelf> {
protected:
    void SetUp() override {
        ASSERT_TRUE(state.isValid());
        qputenv(tuner::kStateFolderVariable, QFile::encodeName(state.path()));
    }
    void TearDown() override {
        if (system.isNull())
            qunsetenv(tuner::kStateFolderVariable);
        else
            qputenv(tuner::kStateFolderVariable, system);
    }
    QString Folder() const { return state.filePath(QStringLiteral("dccd-tuner/restore-points")); }
    // Why the restore point could not be kept ("" when it was).
    static QString Take(const QStringList &words) {
        tuner::TuningParameters held = tuner::DefaultSettings();
        held.Accel = words.at(2).toFloat();
        const auto kept = tuner::KeepRestorePoint(held, static_cast<qint16>(words.at(1).toInt()),
                                                  QDateTime::fromString(words.at(3), Qt::ISODate),
                                                  words.mid(4).join(u' '));
        return std::holds_alternative<QString>(kept) ? std::get<QString>(kept) : QString();
    }
    void Step(const QString &step, QString &said) {
        const QStringList words = step.split(u' ');
        const QString path = state.filePath(words.value(1));
        if (words.at(0) == u"take") {
            if (const QString refused = Take(words); !refused.isEmpty())
                said += QStringLiteral("not kept: ") + refused + u'\n';
        } else if (words.at(0) == u"file") {
            ASSERT_TRUE(QDir().mkpath(Folder()));
            QFile file(Folder() + u'/' + words.at(1));
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
            file.write(step.section(u' ', 2).toUtf8());
        } else if (words.at(0) == u"folder") {
            ASSERT_TRUE(QDir().mkpath(path));
        } else if (words.at(0) == u"link") {
            ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()) && QFile::link(words.at(2), path));
        } else if (words.at(0) == u"age") {
            QFile file(Folder() + u'/' + words.at(1));
            ASSERT_TRUE(file.open(QIODevice::Append) &&
                        file.setFileTime(QDateTime::currentDateTime().addSecs(-words.at(2).toInt()),
                                         QFileDevice::FileModificationTime));
        } else if (words.at(0) == u"hold") {
            auto held = tuner::HoldRestorePoint(words.at(1));
            ASSERT_TRUE(std::holds_alternative<tuner::RestorePointInUse>(held));
            inUse.push_back(std::move(std::get<tuner::RestorePointInUse>(held)));
        } else if (words.at(0) == u"prune") {
            for (const QString &line : tuner::PruneRestorePoints(words.at(1).toInt()))
                said += line + u'\n';
        } else if (words.at(0) == u"latest") {
            const auto found = tuner::FindRestorePoint(words.at(0), words.at(1).toShort());
            EXPECT_EQ(std::holds_alternative<tuner::RestorePoint>(found)
                          ? std::get<tuner::RestorePoint>(found).name
                          : std::get<QString>(found),
                      step.section(u' ', 2));
        } else if (words.at(0) == u"kept") {
            qputenv(tuner::kKeepVariable, step.section(u' ', 1, -2).toUtf8());
            const auto kept = tuner::KeptRestorePoints();
            EXPECT_EQ(std::holds_alternative<int>(kept) ? std::get<int>(kept) : 0,
                      words.constLast().toInt());
            qunsetenv(tuner::kKeepVariable);
        } else if (words.at(0) == u"race" || words.at(0) == u"churn") {
            const QStringList take{QStringLiteral("take"), QStringLiteral("1"),
                                   QStringLiteral("110"), QStringLiteral("2026-12-07T15:04:12Z")};
            const bool race = words.at(0) == u"race";
            std::atomic<bool> done = false;
            const auto many = [&] {
                for (int i = 0; i < words.at(1).toInt(); ++i) {
                    EXPECT_EQ(Take(take), QString());
                    if (!race)
                        tuner::PruneRestorePoints(1);
                }
                done = true;
            };
            std::thread other(many);
            if (race)
                many();
            while (!race && !done) {
                for (const tuner::SkippedEntry &skipped : tuner::ReadRestorePoints().skipped)
                    said += QStringLiteral("skipped ") + skipped.name + skipped.reason + u'\n';
            }
            other.join();
            if (!race) // one a listing held open at the last prune stays on Windows
                tuner::PruneRestorePoints(1);
        }
    }

    QTemporaryDir state;
    const QByteArray system = qgetenv(tuner::kStateFolderVariable);
    std::vector<tuner::RestorePointInUse> inUse;
};

// The listing's heading, and why a file that is no restore point is left alone.
const QString kHeader = QStringLiteral(
    "name                           taken                    port  differs from the defaults\n");
const QString kNotAName = QStringLiteral(
    ": not named as a restore point is (NNNNNN-YYYYMMDDTHHMMSSZ-portN.json), so it is left alone");

TEST_P(RestorePoints, AreKeptInTheOrderTaken) {
    QString said;
    for (const std::string &step : GetParam().steps)
        Step(QString::fromStdString(step), said);
    const tuner::RestorePointShelf shelf = tuner::ReadRestorePoints();
    const QString owner = QFileInfo(state.path()).owner();
    EXPECT_EQ((said + (shelf.problem.isEmpty() ? tuner::RestorePointListing(shelf) : shelf.problem))
                  .toStdString(),
              QString::fromUtf16(GetParam().listing)
                  .replace(QStringLiteral("$FOLDER"), QDir::toNativeSeparators(Folder()))
                  .replace(QStringLiteral("$HEADER"), kHeader)
                  .replace(QStringLiteral("$NOT_A_NAME"), kNotAName)
                  .replace(QStringLiteral("$OF_OWNER"),
                           owner.isEmpty() ? QString() : QStringLiteral(" of user ") + owner)
                  .toStdString());
}

// Restore point files as an earlier version wrote them, with the read_at a person may have
// edited.
const std::string kOldPoint =
    std::string(kDefaults).replace(std::string(kDefaults).find("\n  \"acc"), 1,
                                   "\n  \"read_at\": \"yesterday\",\n  \"port\": 2,\n");

INSTANTIATE_TEST_SUITE_P(
    Table, RestorePoints,
    ::testing::Values(
        Shelf{"TheClockPutBack",
              {"take 3 110 2026-12-07T15:04:13Z", "take 3 120 2026-12-07T15:04:12Z",
               "take 3 130 2020-01-01T00:00:00Z", "latest 3 000003-20200101T000000Z-port3"},
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000003-20200101T000000Z-port3  2020-01-01 00:00:00 UTC  3     acceleration 130\n"
              u"000002-20261207T150412Z-port3  2026-12-07 15:04:12 UTC  3     acceleration 120\n"
              u"000001-20261207T150413Z-port3  2026-12-07 15:04:13 UTC  3     acceleration 110\n"},
        Shelf{"PruningSparesTheWrittenBackAndTheNew",
              {"take 1 110 2026-12-07T15:04:12Z", "take 1 120 2026-12-07T15:04:12Z",
               "take 1 130 2026-12-07T15:04:12Z", "take 1 140 2026-12-07T15:04:12Z",
               "hold 000004-20261207T150412Z-port1", "hold 000001-20261207T150412Z-port1",
               "prune 2"},
              u"removed 1 older restore point; the newest 2 are kept, and "
              u"000001-20261207T150412Z-port1, which a write is using\n"
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000004-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 140\n"
              u"000003-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 130\n"
              u"000001-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"},
        Shelf{"EarlierNamesAreOlderLatestOfThePort",
              {"file 20261208T090000Z-port2.json " + kOldPoint, "take 1 110 2026-12-07T15:04:12Z",
               "latest 2 20261208T090000Z-port2", "latest 1 000001-20261207T150412Z-port1"},
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000001-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"
              u"20261208T090000Z-port2         yesterday                2     (none)\n"},
        Shelf{"OutOfRangeMarkedAndNotesEscaped",
              {"take 1 250 2026-12-07T15:04:12Z \x1b[2J line\nbreak"},
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000001-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 250\n"
              u"                               note: \"\\u001b[2J line\\nbreak\"\n"
              u"                               acceleration 250, outside 0 to 200: cannot be "
              u"written back\n"},
        Shelf{"BrokenFilesAreToldAtTheEnd",
              {"file 000007-20261207T150412Z-port1.json {\"format\": \"dccd-tune\",",
               "file empty.json ", "take 1 110 2026-12-07T15:04:12Z",
               "latest 4 there is no restore point of port 4 yet; "
               "the newest, 000008-20261207T150412Z-port1, is of port 1: name it to write it to "
               "port 4"},
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000008-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"
              u"skipped 000007-20261207T150412Z-port1.json:1:23: a comma or } is missing\n"
              u"skipped empty.json: not named as a restore point is "
              u"(NNNNNN-YYYYMMDDTHHMMSSZ-portN.json), so it is left alone\n"},
        Shelf{"TwoAtOnceNeverShareAName",
              {"race 6", "latest 1 000012-20261207T150412Z-port1", "kept 010 10",
               "kept 10000 10000", "prune 1"},
              u"removed 11 older restore points; the newest 1 is kept\n"
              u"name                           taken                    port  differs from the "
              u"defaults\n"
              u"000012-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"},
        // Only the names the program gives are numbered, ordered and pruned.
        Shelf{"StrayNumbersAreLeftAlone",
              {"file 999999999999999-notes.json {}",
               "file 999999999999999-20200101T000000Z-port1.json " + kOldPoint,
               "file 0000042-20261207T150412Z-port1.json " + kOldPoint,
               "take 1 110 2026-12-07T15:04:12Z", "take 1 120 2026-12-07T15:04:13Z", "prune 1",
               "latest 1 000002-20261207T150413Z-port1"},
              u"removed 1 older restore point; the newest 1 is kept\n$HEADER"
              u"000002-20261207T150413Z-port1  2026-12-07 15:04:13 UTC  1     acceleration 120\n"
              u"skipped 0000042-20261207T150412Z-port1.json$NOT_A_NAME\n"
              u"skipped 999999999999999-20200101T000000Z-port1.json$NOT_A_NAME\n"
              u"skipped 999999999999999-notes.json$NOT_A_NAME\n"},
        Shelf{"TheHighestNumberIsNotPassed",
              {"file 999999999-20200101T000000Z-port2.json " + kOldPoint,
               "take 1 110 2026-12-07T15:04:12Z"},
              u"not kept: the restore point 999999999-20200101T000000Z-port2 has 999999999, the "
              u"highest number a restore point takes: move it out of $FOLDER to keep new ones\n"
              u"name                              taken      port  differs from the defaults\n"
              u"999999999-20200101T000000Z-port2  yesterday  2     (none)\n"},
        // What a power cut leaves, old or from a clock since put back, is taken over.
        Shelf{"UnwrittenLocksAreTakenOver",
              {"folder dccd-tuner/restore-points", "file .lock ", "age .lock 60",
               "take 1 110 2026-12-07T15:04:12Z", "file .lock garbage", "age .lock -3600",
               "take 1 120 2026-12-07T15:04:12Z"},
              u"$HEADER"
              u"000002-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 120\n"
              u"000001-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"},
        Shelf{"PrunedWhileListedIsLeftOut",
              {"churn 60"},
              u"$HEADER"
              u"000060-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"},
        Shelf{"KeepTakesBlanksAndZeros",
              {"kept  5 5", "kept 5\n 5", "kept 000000005 5", "kept 0000000005 5", "kept  7  7"},
              u"No restore points yet; each write keeps one in $FOLDER\n"}),
    RowName());

#ifndef Q_OS_WIN
// Links, and the lock's path and the command that removes it as a POSIX shell writes them.
INSTANTIATE_TEST_SUITE_P(
    Posix, RestorePoints,
    ::testing::Values(
        Shelf{"ALinkAsTheLockIsTakenOver",
              {"link dccd-tuner/restore-points/.lock /nowhere", "take 1 110 2026-12-07T15:04:12Z"},
              u"$HEADER"
              u"000001-20261207T150412Z-port1  2026-12-07 15:04:12 UTC  1     acceleration 110\n"},
        Shelf{"AFolderAsTheLockIsTold",
              {"folder dccd-tuner/restore-points/.lock", "take 1 110 2026-12-07T15:04:12Z"},
              u"not kept: the lock $FOLDER/.lock is a folder, which no process holds; a lock that "
              u"no live process holds can be removed: rmdir '$FOLDER/.lock'\n"
              u"No restore points yet; each write keeps one in $FOLDER\n"},
        Shelf{"AnotherMachinesOldLockIsTold",
              {"file .lock 4242\ndccd-ctl\nelsewhere\n", "age .lock 60",
               "take 1 110 2026-12-07T15:04:12Z"},
              u"not kept: the lock $FOLDER/.lock names process 4242 (dccd-ctl)$OF_OWNER on the "
              u"machine 'elsewhere', which cannot be asked from here; a lock that no live process "
              u"holds can be removed: rm '$FOLDER/.lock'\n"
              u"No restore points yet; each write keeps one in $FOLDER\n"},
        Shelf{"ADanglingLinkAsTheFolder",
              {"link dccd-tuner/restore-points /nowhere", "take 1 110 2026-12-07T15:04:12Z"},
              u"not kept: cannot make the folder $FOLDER: it is a link to /nowhere: No such file "
              u"or directory\n"
              u"Cannot read $FOLDER: it is a link to /nowhere: No such file or directory"},
        Shelf{"ALoopingLinkAsTheFolder",
              {"link dccd-tuner/restore-points restore-points", "take 1 110 2026-12-07T15:04:12Z"},
              u"not kept: cannot make the folder $FOLDER: it is a link to $FOLDER: Too many levels "
              u"of symbolic links\n"
              u"Cannot read $FOLDER: it is a link to $FOLDER: Too many levels of symbolic links"}),
    RowName());
#endif

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
