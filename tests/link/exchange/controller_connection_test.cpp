// What a program without a window gets from one exchange with a controller.

#include "link/exchange/controller_connection.h"
#include "tests/support/memory_port.h"
#include "tests/support/row_name.h"
#include "tests/support/test_app.h"

#include <QTimer>

#include <gtest/gtest.h>

namespace {

struct ExchangeCase {
    const char *name;
    const char16_t *openFailure; // nullptr: the port opens
    const char16_t *answer;      // nullptr: nothing comes back
    const char16_t *lostLine;    // nullptr: the line stays
    const char16_t *problem;     // nullptr: a report with acceleration 120
};

class Exchange : public ::testing::TestWithParam<ExchangeCase> {};

TEST_P(Exchange, ReadsAReportOrTellsWhyNot) {
    testing_support::App();
    const ExchangeCase &c = GetParam();
    tuner::testing::MemoryPort port;
    tuner::ControllerConnection connection(
        port, [](qint16) { return QString(); }, std::chrono::milliseconds(100));
    if (c.openFailure)
        port.FailNextOpen(QString::fromUtf16(c.openFailure));
    std::optional<tuner::ReadOutcome> result;
    QObject::connect(&connection, &tuner::ControllerConnection::ReadEnded, &connection,
                     [&](const tuner::ReadOutcome &ended) {
                         EXPECT_FALSE(result) << "ended twice";
                         result = ended;
                     });
    if (const auto problem = connection.Open(1)) {
        result = *problem;
    } else {
        QTimer::singleShot(0, &port, [&] {
            if (c.answer)
                port.Deliver(QString::fromUtf16(c.answer));
            if (c.lostLine)
                port.LoseLine(QString::fromUtf16(c.lostLine));
        });
        connection.StartRead();
        EXPECT_FALSE(result) << "ended before the loop ran";
        ASSERT_TRUE(testing_support::RunUntil([&] { return result.has_value(); }));
        EXPECT_EQ(port.written.value(0), QStringLiteral("R\r"));
    }
    if (c.problem)
        EXPECT_EQ(std::get<tuner::ExchangeProblem>(*result).message, QString::fromUtf16(c.problem));
    else
        EXPECT_EQ(std::get<tuner::TuningParameters>(*result).Accel, 120.0f);
}

constexpr char16_t kReport[] = u"P,120,100,100,100,0,33,0,0,0\r";

INSTANTIATE_TEST_SUITE_P(
    Table, Exchange,
    ::testing::Values(
        ExchangeCase{"Report", nullptr, kReport, nullptr, nullptr},
        ExchangeCase{"ReportWithoutItsCr", nullptr, u"P,120,100,100,100,0,33,0,0,0", nullptr,
                     nullptr},
        ExchangeCase{"OwnSaveEchoedFirst", nullptr,
                     u"S,00001,00001,00001,00001,00000,00033,00000,00000,00000,\r"
                     u"P,120,100,100,100,0,33,0,0,0\r",
                     nullptr, nullptr},
        ExchangeCase{"CannotOpen", u"no such port", nullptr, nullptr,
                     u"Cannot open port 1: no such port."},
        ExchangeCase{"Silence", nullptr, nullptr, nullptr, u"No answer from port 1 within 0.1 s."},
        ExchangeCase{"NotAReport", nullptr, u"hello\r", nullptr,
                     u"port 1 answered, but not with a settings report (hello\\x0D): is this "
                     u"the controller, at 57600 baud?"},
        ExchangeCase{"LineLost", nullptr, nullptr, u"the device was removed",
                     u"Connection lost: the device was removed."}),
    RowName());

} // namespace
