#include "link/serial/line_settings.h"

#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

namespace {

using tuner::LineSettings;
using Parity = LineSettings::Parity;
using Stop = LineSettings::StopBits;

struct GoodCase {
    const char *name;
    const char16_t *text;
    LineSettings expected;
};

void PrintTo(const GoodCase &c, std::ostream *os) {
    *os << '"' << Printable(c.text) << '"';
}

class GoodSettings : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodSettings, AreTakenApart) {
    const auto parsed = tuner::ParseLineSettings(QString::fromUtf16(GetParam().text));
    ASSERT_TRUE(std::holds_alternative<LineSettings>(parsed))
        << std::get<QString>(parsed).toStdString();
    EXPECT_EQ(std::get<LineSettings>(parsed), GetParam().expected);
    // The text made from the settings reads back as them.
    EXPECT_EQ(tuner::ParseLineSettings(tuner::LineSettingsText(GetParam().expected)), parsed);
}

// The controller's line, held as settings and given to the port as its text: 57600 baud, 8N1.
TEST(ControllerLine, TheTextReadsAsTheSettings) {
    EXPECT_EQ(tuner::LineSettingsText(tuner::kLineSettings), u"57600,N,8,1");
    EXPECT_EQ(tuner::kLineSettings, (LineSettings{57600, Parity::None, 8, Stop::One}));
}

INSTANTIATE_TEST_SUITE_P(
    Table, GoodSettings,
    ::testing::Values(
        GoodCase{"ControllerLine", u"57600,N,8,1", {57600, Parity::None, 8, Stop::One}},
        GoodCase{"EvenParityTwoStops", u"9600,E,7,2", {9600, Parity::Even, 7, Stop::Two}},
        GoodCase{"OddLowerCase", u"19200,o,8,1", {19200, Parity::Odd, 8, Stop::One}},
        GoodCase{"MarkParity", u"300,M,7,1", {300, Parity::Mark, 7, Stop::One}},
        GoodCase{"SpaceLowerCase", u"300,s,6,2", {300, Parity::Space, 6, Stop::Two}},
        GoodCase{"OneAndAHalfStops", u"110,N,5,1.5", {110, Parity::None, 5, Stop::OneAndHalf}},
        GoodCase{"BlanksAround", u" 57600 , N , 8 , 1 ", {57600, Parity::None, 8, Stop::One}},
        GoodCase{"Slowest", u"50,N,8,1", {50, Parity::None, 8, Stop::One}},
        GoodCase{"Fastest", u"4000000,N,8,1", {4000000, Parity::None, 8, Stop::One}}),
    RowName());

struct BadCase {
    const char *name;
    const char16_t *text;
    const char16_t *why; // a part of the reason
};

void PrintTo(const BadCase &c, std::ostream *os) {
    *os << '"' << Printable(c.text) << "\" with a reason that says \"" << Printable(c.why) << '"';
}

class BadSettings : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadSettings, GiveAReasonNamingTheText) {
    const QString text = QString::fromUtf16(GetParam().text);
    const auto parsed = tuner::ParseLineSettings(text);
    ASSERT_TRUE(std::holds_alternative<QString>(parsed));
    const QString &reason = std::get<QString>(parsed);
    EXPECT_TRUE(reason.startsWith(QStringLiteral("bad line settings \"") + text + u'"'))
        << reason.toStdString();
    EXPECT_TRUE(reason.contains(QString::fromUtf16(GetParam().why))) << reason.toStdString();
    EXPECT_FALSE(reason.endsWith(u'.'));
}

INSTANTIATE_TEST_SUITE_P(
    Table, BadSettings,
    ::testing::Values(BadCase{"Empty", u"", u"expected"},
                      BadCase{"ThreeParts", u"57600,N,8", u"expected"},
                      BadCase{"FiveParts", u"57600,N,8,1,1", u"expected"},
                      BadCase{"Semicolons", u"57600;N;8;1", u"expected"},
                      BadCase{"BaudAWord", u"fast,N,8,1", u"baud"},
                      BadCase{"NegativeBaud", u"-57600,N,8,1", u"baud"},
                      BadCase{"FractionalBaud", u"57600.5,N,8,1", u"baud"},
                      BadCase{"BaudTooLow", u"49,N,8,1", u"baud"},
                      BadCase{"BaudTooHigh", u"4000001,N,8,1", u"baud"},
                      BadCase{"BaudOverflows", u"9999999999,N,8,1", u"baud"},
                      BadCase{"UnknownParity", u"57600,X,8,1", u"parity"},
                      BadCase{"EmptyParity", u"57600,,8,1", u"parity"},
                      BadCase{"TwoParityLetters", u"57600,NN,8,1", u"parity"},
                      BadCase{"FourDataBits", u"57600,N,4,1", u"data bits"},
                      BadCase{"NineDataBits", u"57600,N,9,1", u"data bits"},
                      BadCase{"DataBitsAWord", u"57600,N,eight,1", u"data bits"},
                      BadCase{"ZeroStopBits", u"57600,N,8,0", u"stop bits"},
                      BadCase{"ThreeStopBits", u"57600,N,8,3", u"stop bits"},
                      BadCase{"HalfStopWithEightBits", u"57600,N,8,1.5", u"5 data bits"},
                      BadCase{"ArabicIndicDigits", u"\u0665\u0667600,N,8,1", u"baud"}),
    RowName());

} // namespace
