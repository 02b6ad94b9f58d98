// When waiting text is due as one receive event.

#include "link/serial/record_delivery.h"
#include "tests/support/row_name.h"
#include "tests/support/test_app.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

namespace {

enum class Due { AtOnce, OnceQuiet, Never };

struct DeliveryCase {
    const char *name;
    qint64 threshold;
    QByteArray waiting;
    bool systemHoldsMore;
    Due due;
};

class DeliveryRule : public ::testing::TestWithParam<DeliveryCase> {};

TEST_P(DeliveryRule, TellsWhenTheWaitingTextIsDue) {
    testing_support::App();
    const DeliveryCase &c = GetParam();
    tuner::RecordDelivery delivery({[&] { return c.waiting.size(); },
                                    [&](qint64 n) { return c.waiting.left(n); },
                                    [&] { return c.systemHoldsMore; }});
    delivery.SetThreshold(c.threshold);
    QSignalSpy due(&delivery, &tuner::RecordDelivery::Due);
    delivery.Start();
    // Due at once is the next turn of the event loop; once quiet is after the settle interval,
    // however late a busy machine runs it; never is not even after several intervals.
    QCoreApplication::processEvents();
    if (c.due == Due::AtOnce)
        EXPECT_EQ(due.count(), 1);
    else if (c.due == Due::OnceQuiet)
        EXPECT_TRUE(due.count() == 1 || due.wait(30000));
    else
        EXPECT_FALSE(due.wait(4 * tuner::RecordDelivery::kSettleInterval.count()));
}

INSTANTIATE_TEST_SUITE_P(
    Table, DeliveryRule,
    ::testing::Values(DeliveryCase{"RecordEnd", 5, "P,1,2\r", false, Due::AtOnce},
                      DeliveryCase{"CrLf", 5, "P,1,2\r\n", false, Due::AtOnce},
                      DeliveryCase{"FullBuffer", 49, QByteArray(1024, 'x'), false, Due::AtOnce},
                      DeliveryCase{"NoRecordEnd", 5, "P,1,2,3", false, Due::OnceQuiet},
                      DeliveryCase{"BelowThreshold", 49, "P\r", false, Due::Never},
                      DeliveryCase{"NoThreshold", 0, "P,1,2\r", false, Due::Never},
                      DeliveryCase{"SystemHoldsMore", 5, "P,1,2,3", true, Due::Never}),
    RowName());

} // namespace
