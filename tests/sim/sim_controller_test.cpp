#include "link/protocol/records.h"
#include "sim/controller.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

namespace {

const QByteArray kDefaultReport = "P,00100,00100,00100,00100,00000,00033,00000,00000,00000\r";

TEST(SimController, AnswersAReadRequestWithTheDefaultReport) {
    sim::Controller controller{sim::Behaviour{}};
    const auto result = controller.Receive("R\r");
    EXPECT_EQ(result.reply, kDefaultReport);
    EXPECT_GT(result.reply.size(), tuner::kReceiveThreshold);
    EXPECT_EQ(result.records, 1);
    EXPECT_EQ(result.log,
              (QStringList{QStringLiteral("received: R"),
                           QStringLiteral("sent: P,00100,00100,00100,00100,00000,00033,00000,"
                                          "00000,00000\\x0D")}));
    // The report is a full report for the utility.
    const auto parsed = tuner::ParseReport(QString::fromLatin1(result.reply));
    ASSERT_TRUE(parsed.has_value());
    EXPECT_EQ(parsed->LfbThreshold, 33.0f);
}

TEST(SimController, RecordsSplitOverSeveralReadsAreJoined) {
    sim::Controller controller{sim::Behaviour{}};
    EXPECT_EQ(controller.Receive("S,00120,00090,").records, 0);
    EXPECT_EQ(controller.Receive("00100,00080,00010,00040,").records, 0);
    const auto result = controller.Receive("00001,00000,00001,\rR");
    EXPECT_EQ(result.records, 1);
    EXPECT_EQ(
        result.log,
        (QStringList{
            QStringLiteral("received: S,00120,00090,00100,00080,00010,00040,00001,00000,00001,"),
            QStringLiteral("stored: 120,90,100,80,10,40,1,0,1"),
            QStringLiteral("calibrated: g-sensor")}));
    // The calibration is done: the next report shows field 9 back at 0.
    EXPECT_EQ(controller.Receive("\r").reply,
              QByteArray("P,00120,00090,00100,00080,00010,00040,00001,00000,00000\r"));
}

// The line closes right after the record to hang up after: a read request that came in the
// same read is never answered, so whether the answer goes out first is not a race.
TEST(SimController, HangsUpRightAfterTheNthRecordAndDropsTheRest) {
    sim::Behaviour behaviour;
    behaviour.hangupAfter = 2;
    sim::Controller controller{behaviour};
    EXPECT_FALSE(controller.Receive("R\r").hangup);
    const auto result =
        controller.Receive("S,00120,00090,00100,00080,00010,00040,00001,00000,00000,\rR\r");
    EXPECT_TRUE(result.hangup);
    EXPECT_EQ(result.records, 1);
    EXPECT_TRUE(result.reply.isEmpty());
    EXPECT_EQ(result.log.last(), QStringLiteral("stored: 120,90,100,80,10,40,1,0,0"));
    EXPECT_TRUE(controller.Receive("R\r").log.isEmpty()) << "nothing is taken after the hang-up";
}

struct RejectCase {
    const char *name;
    const char *record;
    const char16_t *logLine;
};

void PrintTo(const RejectCase &c, std::ostream *os) {
    *os << '"' << Printable(QString::fromLatin1(c.record)) << '"';
}

class SimRejects : public ::testing::TestWithParam<RejectCase> {};

TEST_P(SimRejects, InvalidSavesChangeNothing) {
    sim::Controller controller{sim::Behaviour{}};
    const auto result = controller.Receive(QByteArray(GetParam().record) + '\r');
    ASSERT_EQ(result.log.size(), 2);
    EXPECT_EQ(result.log.at(1), QString::fromUtf16(GetParam().logLine));
    EXPECT_TRUE(result.reply.isEmpty());
    EXPECT_EQ(controller.Receive("R\r").reply, kDefaultReport);
}

INSTANTIATE_TEST_SUITE_P(
    Table, SimRejects,
    ::testing::Values(
        RejectCase{"NoFinalComma", "S,00120,00090,00100,00080,00010,00040,00001,00000,00001",
                   u"rejected: a save has S, nine values and a final comma"},
        RejectCase{"EightValues", "S,00120,00090,00100,00080,00010,00040,00001,00000,",
                   u"rejected: a save has S, nine values and a final comma"},
        RejectCase{"LongTag", "SAVE,00120,00090,00100,00080,00010,00040,00001,00000,00001,",
                   u"rejected: a save has S, nine values and a final comma"},
        RejectCase{"LettersInField4", "S,00120,00090,00100,abc,00010,00040,00001,00000,00001,",
                   u"rejected: field 4 is not a number"},
        RejectCase{"SwitchOfTwo", "S,00120,00090,00100,00080,00010,00040,00002,00000,00001,",
                   u"rejected: field 7 is not 00000 or 00001"},
        RejectCase{"TenValues", "S,00120,00090,00100,00080,00010,00040,00001,00000,00001,0,",
                   u"rejected: a save has S, nine values and a final comma"},
        RejectCase{"EmptyField", "S,00120,,00090,00100,00080,00010,00040,00001,00000,00001,",
                   u"rejected: a save has S, nine values and a final comma"},
        RejectCase{"TwoFinalCommas", "S,00120,00090,00100,00080,00010,00040,00001,00000,00001,,",
                   u"rejected: a save has S, nine values and a final comma"},
        RejectCase{"NegativeField1", "S,-0001,00090,00100,00080,00010,00040,00001,00000,00001,",
                   u"rejected: field 1 is not within 0 to 200"},
        RejectCase{"Field1AboveLimit", "S,00201,00090,00100,00080,00010,00040,00001,00000,00001,",
                   u"rejected: field 1 is not within 0 to 200"},
        RejectCase{"Field4AboveLimit", "S,00120,00090,00100,00101,00010,00040,00001,00000,00001,",
                   u"rejected: field 4 is not within 0 to 100"},
        RejectCase{"HugeField6",
                   "S,00120,00090,00100,00080,00010,"
                   "10000000000000000000000000000000000000000,00001,00000,00001,",
                   u"rejected: field 6 is not within 0 to 100"},
        RejectCase{"EscapeCharacter",
                   "S,00120,00090,00100,00080\x1b,00010,00040,00001,00000,00001,",
                   u"rejected: a save holds a control character"},
        RejectCase{"DeleteCharacter",
                   "S,00120,00090,00100,00080,00010,00040,00001,00000\x7f,00001,",
                   u"rejected: a save holds a control character"},
        RejectCase{"FractionInField1", "S,100.4,00090,00100,00080,00010,00040,00001,00000,00001,",
                   u"rejected: field 1 is not five digits"},
        RejectCase{"PlusSignInField2", "S,00120,+0005,00100,00080,00010,00040,00001,00000,00001,",
                   u"rejected: field 2 is not five digits"},
        RejectCase{"ShortFractionInField3", "S,00120,00090,.5,00080,00010,00040,00001,00000,00001,",
                   u"rejected: field 3 is not five digits"},
        RejectCase{"TrailingPointInField4", "S,00120,00090,00100,5.,00010,00040,00001,00000,00001,",
                   u"rejected: field 4 is not five digits"},
        RejectCase{"TwoDigitsInField5", "S,00120,00090,00100,00080,10,00040,00001,00000,00001,",
                   u"rejected: field 5 is not five digits"},
        RejectCase{"BlanksAroundField1",
                   "S, 00120 ,00090,00100,00080,00010,00040,00001,00000,00001,",
                   u"rejected: field 1 is not five digits"},
        RejectCase{"LowerCaseRead", "r", u"ignored: not a read request or a save"},
        RejectCase{"EmptyRecord", "", u"ignored: not a read request or a save"}),
    RowName());

TEST(SimController, SaveWithANulInsideChangesNothing) {
    sim::Controller controller{sim::Behaviour{}};
    const QByteArray save("S,001\0"
                          "00,00100,00100,00100,00000,00033,00000,00000,00000,\r",
                          58);
    const auto result = controller.Receive(save);
    ASSERT_EQ(result.log.size(), 2);
    EXPECT_EQ(result.log.at(1), QStringLiteral("rejected: a save holds a control character"));
    EXPECT_EQ(controller.Receive("R\r").reply, kDefaultReport);
}

TEST(SimController, SaveAtTheUpperLimitsIsStored) {
    sim::Controller controller{sim::Behaviour{}};
    const auto result =
        controller.Receive("S,00200,00200,00200,00100,00100,00100,00000,00000,00000,\r");
    EXPECT_EQ(result.log.last(), QStringLiteral("stored: 200,200,200,100,100,100,0,0,0"));
}

// A line without a record end is dropped once it passes the bound, and the next CR brings
// the simulator back in step; a record of exactly the bound is still a record.
TEST(SimController, OverlongRecordIsDroppedUpToItsEnd) {
    sim::Controller controller{sim::Behaviour{}};
    const QString tooLong = QStringLiteral("rejected: record longer than 4096 bytes");
    EXPECT_TRUE(controller.Receive(QByteArray(4000, 'x')).log.isEmpty());
    EXPECT_EQ(controller.Receive(QByteArray(97, 'x')).log, QStringList{tooLong});
    for (int i = 0; i < 100; ++i)
        ASSERT_TRUE(controller.Receive(QByteArray(65536, 'y')).log.isEmpty());
    const auto resumed = controller.Receive("tail\rR\r");
    EXPECT_EQ(resumed.log.first(), QStringLiteral("received: R"));
    EXPECT_EQ(resumed.reply, kDefaultReport);
    EXPECT_EQ(resumed.records, 2);

    EXPECT_EQ(controller.Receive(QByteArray(sim::kMaxRecord, 'z') + '\r').log.size(), 2)
        << "a record of exactly the bound is received and ignored";
    EXPECT_EQ(
        controller.Receive(QByteArray(sim::kMaxRecord + 1, 'z') + "\rR\r").log,
        (QStringList{
            tooLong, QStringLiteral("received: R"),
            QStringLiteral("sent: P,00100,00100,00100,00100,00000,00033,00000,00000,00000\\x0D")}));
}

TEST(SimController, LogShowsUnprintableBytes) {
    EXPECT_EQ(sim::Printable(QByteArray("a\\b\x01\xff\r", 6)),
              QStringLiteral("a\\\\b\\x01\\xFF\\x0D"));
}

TEST(SimController, SilentNeverAnswersButStillStores) {
    sim::Behaviour behaviour;
    behaviour.silent = true;
    sim::Controller controller{behaviour};
    EXPECT_TRUE(controller.Receive("R\r").reply.isEmpty());
    controller.Receive("S,00001,00002,00003,00004,00005,00006,00000,00001,00000,\r");
    EXPECT_EQ(controller.Values().LfbThreshold, 6.0f);
    EXPECT_TRUE(controller.Values().EbrakeCutOff);
}

TEST(SimController, ForgetfulLogsTheSaveButReportsTheOldValues) {
    sim::Behaviour behaviour;
    behaviour.forgetful = true;
    sim::Controller controller{behaviour};
    const auto saved =
        controller.Receive("S,00001,00002,00003,00004,00005,00006,00000,00001,00000,\r");
    EXPECT_TRUE(saved.log.contains(QStringLiteral("stored: 1,2,3,4,5,6,0,1,0")))
        << saved.log.join(u'|').toStdString();
    EXPECT_EQ(controller.Receive("R\r").reply, kDefaultReport);
}

TEST(SimController, NoiseAndFixedReport) {
    sim::Behaviour noisy;
    noisy.noise = true;
    const QByteArray reply = sim::Controller{noisy}.Receive("R\r").reply;
    EXPECT_EQ(reply, QByteArray(sim::kNoise) + kDefaultReport);
    EXPECT_TRUE(tuner::ParseReport(QString::fromLatin1(reply)).has_value())
        << "the noise becomes part of the tag";

    sim::Behaviour fixed;
    fixed.report = "hello";
    EXPECT_EQ(sim::Controller{fixed}.Receive("R\r").reply, QByteArray("hello\r"));
}

TEST(SimController, ValuesAsReportFields) {
    const auto values = sim::ParseValues(QStringLiteral("1,2,3,4,5,6,True,0,1"));
    ASSERT_TRUE(values.has_value());
    EXPECT_EQ(sim::ReportOf(*values),
              QByteArray("P,00001,00002,00003,00004,00005,00006,00001,00000,00001\r"));
    EXPECT_TRUE(sim::ParseValues(QStringLiteral("200,200,200,100,100,100,0,0,0")).has_value());
    for (const char16_t *refused :
         {u"1,2,3,4,5,6,7,8", u"1,2,3,x,5,6,0,0,0", u"1,2,3,4,5,6,0,0,0,0",
          u"1,2,3,4,5,6,0,0,0,0,0", u"201,2,3,4,5,6,0,0,0", u"1,2,3,4,5,101,0,0,0",
          u"1,-2,3,4,5,6,0,0,0", u"1,2,3,4,5,10000000000000000000000000000000000000000,0,0,0"})
        EXPECT_FALSE(sim::ParseValues(QString::fromUtf16(refused)).has_value())
            << QString::fromUtf16(refused).toStdString();
}

} // namespace
