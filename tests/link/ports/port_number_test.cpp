// The port list's text as a port number.

#include "link/ports/port_number.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

namespace {

struct PortCase {
    const char *name;
    const char16_t *text;
    std::optional<qint16> expected;
};

void PrintTo(const PortCase &c, std::ostream *os) {
    *os << '[' << Printable(c.text) << ']';
}

class PortNumberTable : public ::testing::TestWithParam<PortCase> {};

TEST_P(PortNumberTable, LeadingNumberRoundedHalfToEven) {
    EXPECT_EQ(tuner::PortNumber(QString::fromUtf16(GetParam().text)), GetParam().expected)
        << QString::fromUtf16(GetParam().text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PortNumberTable,
    ::testing::Values(PortCase{"OneDigit", u"3", 3}, PortCase{"TwoDigits", u"17", 17},
                      PortCase{"BlanksSkipped", u" 1 2 ", 12}, PortCase{"TabSkipped", u"1\t6", 16},
                      PortCase{"TrailingLetters", u"4abc", 4}, PortCase{"Letters", u"abc", 0},
                      PortCase{"Empty", u"", 0}, PortCase{"HalfToEvenDown", u"2.5", 2},
                      PortCase{"HalfToEvenUp", u"3.5", 4}, PortCase{"AboveHalfUp", u"2.51", 3},
                      PortCase{"NegativeHalfToEven", u"-2.5", -2}, PortCase{"PlusSign", u"+7", 7},
                      PortCase{"LeadingPoint", u".5", 0}, PortCase{"SecondPointEnds", u"1.5.5", 2},
                      PortCase{"Largest", u"32767", 32767},
                      PortCase{"LargestRoundsOver", u"32767.5", std::nullopt},
                      PortCase{"Smallest", u"-32768", -32768},
                      PortCase{"SmallestHalfToEven", u"-32768.5", -32768},
                      PortCase{"AboveLargest", u"32768", std::nullopt},
                      PortCase{"BelowSmallest", u"-32769", std::nullopt},
                      PortCase{"ExponentIgnored", u"1e3", 1}, PortCase{"ComPrefix", u"COM3", 0}),
    RowName());

TEST(PortNumber, VeryLongDigitsAreOutOfRange) {
    EXPECT_EQ(tuner::PortNumber(QString(500, u'9')), std::nullopt);
}

} // namespace
