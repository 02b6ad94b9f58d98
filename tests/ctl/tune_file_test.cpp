// The tune file and dccd-ctl's command line, without any port.

#include "ctl/ctl.h"
#include "ctl/restore_points.h"
#include "ctl/state_folder.h"
#include "ctl/tune_file.h"
#include "link/protocol/records.h"
#include "tests/ctl/default_tune.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

#include <QDateTime>
#include <QFile>
#include <QTemporaryDir>

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

TEST(TuneFile, WrittenTextReadsBackToTheSameTuneAndRecord) {
    const tuner::TuningParameters tune = Tune(0, 200, 7, 100, 1, 99, true, false);
    const auto parsed = tuner::ParseTuneFile(tuner::TuneFileText(tune), QStringLiteral("t.json"));
    ASSERT_TRUE(std::holds_alternative<tuner::TuneFile>(parsed))
        << std::get<QString>(parsed).toStdString();
    EXPECT_TRUE(tuner::Differences(tune, std::get<tuner::TuneFile>(parsed).tune).isEmpty());
    EXPECT_EQ(tuner::SaveRecordOf(std::get<tuner::TuneFile>(parsed).tune, true),
              QStringLiteral("S,00000,00200,00007,00100,00001,00099,00001,00000,00001,\r"));
}

TEST(TuneFile, ReportValuesAreRoundedAsTheWireRoundsThem) {
    const tuner::TuningParameters held = tuner::TuneOf(Tune(99.5f, 32.4f, -0.4f, 100, 0, 33, 0, 0));
    EXPECT_EQ(tuner::WholeText(held.Accel), QStringLiteral("100"));
    EXPECT_EQ(tuner::WholeText(held.Decel), QStringLiteral("32"));
    EXPECT_EQ(tuner::WholeText(held.Turn), QStringLiteral("0")) << "no minus sign on zero";
}

struct Refusal {
    const char *name;
    const char *text;
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
        Refusal{"PortOutOfRange", "{\"format\": \"dccd-tune\", \"version\": 1, \"port\": 17}",
                u"t.json: \"port\" is 17; it must be a port number from 1 to 16"},
        Refusal{"MistypedKey", "{\"format\": \"dccd-tune\", \"version\": 1, \"tps_revers\": true}",
                u"t.json: \"tps_revers\": no such setting; did you mean \"tps_reverse\"?"},
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
                u"t.json: \"version\" is given twice (lines 2 and 3)"}),
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
    const char16_t *error; // the first line on stderr
};

void PrintTo(const Usage &c, std::ostream *os) {
    *os << "dccd-ctl";
    for (const QString &argument : c.arguments)
        *os << " '" << Printable(argument) << '\'';
}

class CtlUsage : public ::testing::TestWithParam<Usage> {};

TEST_P(CtlUsage, EndsWithCodeTwoBeforeAnyPortIsTouched) {
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    QStringList arguments = GetParam().arguments;
    arguments.prepend(QStringLiteral("dccd-ctl"));
    EXPECT_EQ(tuner::RunCtl(arguments, outStream, errStream), 2);
    EXPECT_EQ(err.section(u'\n', 0, 0), QString::fromUtf16(GetParam().error));
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
              u"dccd-ctl: --port wants N or N=DEVICE with N from 1 to 16, not '1:/dev/x'"},
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
        Usage{"DiffPort17",
              {QStringLiteral("diff"), QStringLiteral("port:17"), QStringLiteral("port"),
               QStringLiteral("--port"), QStringLiteral("1=/dev/null")},
              u"dccd-ctl: 'port:17' names no port: use port:N with N from 1 to 16"}),
    RowName());

TEST(CtlHelp, NamesEveryExitCode) {
    const QString help = tuner::CtlHelp();
    for (int code = 0; code <= 7; ++code)
        EXPECT_TRUE(help.contains(QStringLiteral("\n  %1  ").arg(code))) << code;
}

} // namespace

namespace {

// Restore points are listed newest first, two taken within one second told apart, and only the
// newest are kept.
TEST(RestorePoints, NewestFirstAndOnlyTheNewestKept) {
    QTemporaryDir state;
    ASSERT_TRUE(state.isValid());
    const QByteArray system = qgetenv(tuner::kStateFolderVariable);
    qputenv(tuner::kStateFolderVariable, QFile::encodeName(state.path()));
    qputenv("DCCD_KEEP_RESTORE_POINTS", "2");
    const QDateTime at = QDateTime::fromString(QStringLiteral("2026-12-07T15:04:12Z"), Qt::ISODate);
    tuner::TuningParameters held = tuner::DefaultSettings();
    for (const float accel : {110.0f, 120.0f, 130.0f}) {
        held.Accel = accel;
        ASSERT_TRUE(std::holds_alternative<tuner::RestorePoint>(
            tuner::KeepRestorePoint(held, 3, accel < 130 ? at : at.addSecs(1))));
    }
    const QList<tuner::RestorePoint> points = tuner::RestorePoints();
    ASSERT_EQ(points.size(), 2);
    EXPECT_EQ(points.at(0).name, QStringLiteral("20261207T150413Z-port3"));
    EXPECT_EQ(points.at(1).name, QStringLiteral("20261207T150412Z-port3-2"));
    EXPECT_EQ(points.at(1).file.tune.Accel, 120.0f);
    EXPECT_EQ(points.at(1).file.port, 3);
    EXPECT_EQ(std::get<tuner::RestorePoint>(tuner::FindRestorePoint(QStringLiteral("latest"))).name,
              points.at(0).name);
    qunsetenv("DCCD_KEEP_RESTORE_POINTS");
    if (system.isNull())
        qunsetenv(tuner::kStateFolderVariable);
    else
        qputenv(tuner::kStateFolderVariable, system);
}

} // namespace
