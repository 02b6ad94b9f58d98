// The connection check on a port in memory: one verdict for each way a line can answer, and the
// report that says what came.

#include "tests/support/memory_port.h"
#include "tests/support/row_name.h"
#include "tests/support/test_app.h"
#include "tunes/exchange/connection_check.h"

#include <gtest/gtest.h>

namespace {

using tuner::CheckVerdict;

struct CheckCase {
    const char *name;
    const char16_t *openFailure; // nullptr: the port opens
    const char16_t *answer;      // nullptr: nothing comes back
    bool loseLine;               // the line goes away once the request is out
    CheckVerdict verdict;
    const char16_t *says; // a piece of the report
};

void PrintTo(const CheckCase &c, std::ostream *os) {
    *os << (c.openFailure ? "a port that does not open" : "a port answered with ")
        << (c.answer ? QString::fromUtf16(c.answer).toStdString() : std::string("nothing"));
}

class ConnectionChecks : public ::testing::TestWithParam<CheckCase> {};

TEST_P(ConnectionChecks, GiveOneVerdictAndTellWhatCame) {
    const CheckCase &c = GetParam();
    testing_support::App();
    tuner::testing::MemoryPort port;
    if (c.openFailure)
        port.FailNextOpen(QString::fromUtf16(c.openFailure));
    const auto describe = [](qint16 n) {
        return comfunct::PortInfo{n,
                                  QStringLiteral("/dev/ttyUSB0"),
                                  true,
                                  QStringLiteral("FT232R USB UART"),
                                  QStringLiteral("FTDI"),
                                  QStringLiteral("A1\x1b")};
    };
    tuner::ConnectionCheck check(port, describe, std::chrono::milliseconds(200));
    std::optional<tuner::ConnectionReport> ended;
    QObject::connect(&check, &tuner::ConnectionCheck::StageEntered, &check,
                     [&](tuner::CheckStage stage) {
                         if (stage == tuner::CheckStage::Listening && c.answer)
                             port.Deliver(QString::fromUtf16(c.answer));
                         if (stage == tuner::CheckStage::Listening && c.loseLine)
                             port.LoseLine(QStringLiteral("the device was removed"));
                     });
    QObject::connect(&check, &tuner::ConnectionCheck::Finished, &check,
                     [&](const tuner::ConnectionReport &report) {
                         EXPECT_FALSE(ended) << "finished twice";
                         ended = report;
                     });
    check.Start(1);
    EXPECT_FALSE(ended) << "finished inside Start";
    ASSERT_TRUE(testing_support::RunUntil([&] { return ended.has_value(); }));

    EXPECT_EQ(ended->verdict, c.verdict);
    const QString text = ended->Text();
    EXPECT_TRUE(text.startsWith(QStringLiteral("Port 1: /dev/ttyUSB0\nDescription: FT232R USB "
                                               "UART\nMaker: FTDI\nSerial number: A1\\e\n")))
        << text.toStdString();
    EXPECT_TRUE(text.contains(QString::fromUtf16(c.says))) << text.toStdString();
    EXPECT_EQ(port.written, c.openFailure ? QStringList() : QStringList{QStringLiteral("R\r")});
    EXPECT_FALSE(port.PortOpen()) << "the port stays open after the check";
}

constexpr char16_t kReport[] = u"P,120,100,100,100,0,33,0,0,0\r";

INSTANTIATE_TEST_SUITE_P(
    Table, ConnectionChecks,
    ::testing::Values(
        CheckCase{"Report", nullptr, kReport, false, CheckVerdict::Report,
                  u"Verdict: the controller answered with its settings: acceleration 120, "
                  u"deceleration 100, turning 100, max_output 100, min_output 0, lfb_threshold "
                  u"33, tps_reverse false, ebrake_cut_off false.\n"},
        CheckCase{"EchoThenReport", nullptr, u"R\rP,120,100,100,100,0,33,0,0,0\r", false,
                  CheckVerdict::Report, u"ms: R\\x0DP,120,"},
        CheckCase{"NoSuchPort", u"no such port", nullptr, false, CheckVerdict::CannotOpen,
                  u"Opens: no. Cannot open port 1 (/dev/ttyUSB0): no such port.\nWhat to do: "
                  u"Nothing is there at this number"},
        CheckCase{"InUse", u"in use by another program", nullptr, false, CheckVerdict::CannotOpen,
                  u"What to do: Another program holds the port"},
        CheckCase{"NoPermission", u"join group dialout, log in again", nullptr, false,
                  CheckVerdict::CannotOpen, u"Join group dialout (sudo usermod -aG dialout"},
        CheckCase{"Silence", nullptr, nullptr, false, CheckVerdict::NothingAnswered,
                  u"Sent: R\\x0D\nCame back within 0.2 s: nothing\nVerdict: nothing answered"},
        CheckCase{"NotAReport", nullptr, u"AT+OK\r\n", false, CheckVerdict::NotAReport,
                  u" ms: AT+OK\\x0D\\x0A\nVerdict: something answered, but not with a settings "
                  u"report"},
        CheckCase{"ControlsEscaped", nullptr, u"\x1b[2J", false, CheckVerdict::NotAReport,
                  u" ms: \\x1B[2J\n"},
        CheckCase{"OwnRequestBack", nullptr, u"R\r", false, CheckVerdict::OwnRequestBack,
                  u"Verdict: only our own read request came back"},
        CheckCase{"LineLost", nullptr, nullptr, true, CheckVerdict::LineLost,
                  u"Verdict: the line went away while waiting (the device was removed)"}),
    RowName());

} // namespace
