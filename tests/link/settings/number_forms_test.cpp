#include "link/settings/number_forms.h"
#include "link/settings/number_text.h"
#include "link/settings/parameter_set.h"

#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

#include <QLocale>

#include <cfloat>
#include <clocale>
#include <iomanip>
#include <limits>

namespace {

struct NumberCase {
    const char *name;
    const char16_t *text;
    std::optional<double> expected;
};

void PrintTo(const NumberCase &c, std::ostream *os) {
    *os << '[' << Printable(c.text) << ']';
}

class ReadNumberTable : public ::testing::TestWithParam<NumberCase> {};

TEST_P(ReadNumberTable, ReadsOnlyPlainDecimals) {
    const NumberCase &c = GetParam();
    EXPECT_EQ(tuner::ReadNumber(QString::fromUtf16(c.text)), c.expected)
        << QString::fromUtf16(c.text).toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    AcceptedAndRefused, ReadNumberTable,
    ::testing::Values(
        NumberCase{"Whole", u"5", 5}, NumberCase{"TrailingPoint", u"5.", 5},
        NumberCase{"LeadingPoint", u".5", 0.5}, NumberCase{"PlusSign", u"+5", 5},
        NumberCase{"Negative", u"-0.25", -0.25}, NumberCase{"LeadingZero", u"033", 33},
        NumberCase{"NegativeLeadingPoint", u"-.5", -0.5},
        NumberCase{"BlanksAround", u" \t12.6\r\n", 12.6}, NumberCase{"WireForm", u"00100", 100},
        NumberCase{"Fraction", u"200.4", 200.4}, NumberCase{"Empty", u"", std::nullopt},
        NumberCase{"OnlyBlanks", u"   ", std::nullopt}, NumberCase{"Letters", u"abc", std::nullopt},
        NumberCase{"Exponent", u"1e2", std::nullopt},
        NumberCase{"DecimalComma", u"1,5", std::nullopt},
        NumberCase{"InnerSpace", u"1 000", std::nullopt},
        NumberCase{"TrailingLetter", u"12a", std::nullopt},
        NumberCase{"OnlyAPoint", u".", std::nullopt}, NumberCase{"OnlyAMinus", u"-", std::nullopt},
        NumberCase{"TwoSigns", u"+-1", std::nullopt},
        NumberCase{"TwoPoints", u"1.2.3", std::nullopt},
        NumberCase{"Hexadecimal", u"0x10", std::nullopt},
        NumberCase{"Infinity", u"inf", std::nullopt},
        NumberCase{"NotANumber", u"nan", std::nullopt},
        // Arabic-Indic one is no digit here.
        NumberCase{"ArabicIndicDigit", u"\u0661", std::nullopt}),
    RowName());

TEST(ReadNumber, NulIsNotABlank) {
    EXPECT_EQ(tuner::ReadNumber(QStringLiteral("5") + QChar(0)), std::nullopt);
}

TEST(ReadNumber, IgnoresTheUsersLocale) {
    // A German user types a decimal comma: the text is not a number, whatever the locale.
    const QLocale saved;
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const char *previous = std::setlocale(LC_NUMERIC, "de_DE.UTF-8");
    EXPECT_EQ(tuner::ReadNumber(QStringLiteral("12.5")), 12.5);
    EXPECT_EQ(tuner::ReadNumber(QStringLiteral("12,5")), std::nullopt);
    if (previous)
        std::setlocale(LC_NUMERIC, "C");
    QLocale::setDefault(saved);
}

TEST(ReadNumber, HugeAndTinyTextsAreTotal) {
    EXPECT_EQ(tuner::ReadNumber(QString(400, u'9')), std::nullopt); // beyond double
    const std::optional<double> tiny =
        tuner::ReadNumber(QStringLiteral("0.") + QString(400, u'0') + QStringLiteral("1"));
    ASSERT_TRUE(tiny.has_value());
    EXPECT_GE(*tiny, 0.0);
    EXPECT_EQ(tuner::ReadNumber(QString(100000, u'1')), std::nullopt);
}

struct DisplayCase {
    const char *name;
    float value;
    const char16_t *expected;
};

void PrintTo(const DisplayCase &c, std::ostream *os) {
    *os << c.value;
}

class DisplayFormTable : public ::testing::TestWithParam<DisplayCase> {};

TEST_P(DisplayFormTable, ThreeDigitsHalvesAwayFromZero) {
    EXPECT_EQ(tuner::DisplayForm(GetParam().value), QString::fromUtf16(GetParam().expected))
        << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Rounding, DisplayFormTable,
    ::testing::Values(
        DisplayCase{"PaddedToThree", 33, u"033"}, DisplayCase{"OneDigitPadded", 5, u"005"},
        DisplayCase{"Hundred", 100, u"100"}, DisplayCase{"AboveHundred", 150, u"150"},
        DisplayCase{"FourDigitsNotCut", 1000, u"1000"},
        DisplayCase{"SixDigitsNotCut", 123456, u"123456"},
        DisplayCase{"NegativePadded", -5, u"-005"}, DisplayCase{"HalfUp", 32.5f, u"033"},
        DisplayCase{"FractionUp", 33.6f, u"034"}, DisplayCase{"NegativeHalfAway", -32.5f, u"-033"},
        DisplayCase{"BelowHalfDown", 0.49f, u"000"},
        DisplayCase{"SmallNegativeIsZero", -0.4f, u"000"},
        DisplayCase{"NegativeZero", -0.0f, u"000"}, DisplayCase{"HalfUpToHundred", 99.5f, u"100"},
        DisplayCase{"AboveTheLimit", 250, u"250"},
        DisplayCase{"FloatMax", FLT_MAX, u"340282346638528859811704183484516925440"},
        DisplayCase{"Infinity", std::numeric_limits<float>::infinity(), u"inf"},
        DisplayCase{"NotANumber", std::numeric_limits<float>::quiet_NaN(), u"nan"}),
    RowName());

struct WireCase {
    const char *name;
    double value;
    const char16_t *expected;
};

void PrintTo(const WireCase &c, std::ostream *os) {
    *os << std::setprecision(10) << c.value;
}

class WireFormTable : public ::testing::TestWithParam<WireCase> {};

TEST_P(WireFormTable, FiveDigitsHalvesAwayFromZero) {
    EXPECT_EQ(tuner::WireForm(GetParam().value), QString::fromUtf16(GetParam().expected))
        << GetParam().value;
}

INSTANTIATE_TEST_SUITE_P(
    Rounding, WireFormTable,
    ::testing::Values(WireCase{"Hundred", 100, u"00100"}, WireCase{"TwoDigits", 33, u"00033"},
                      WireCase{"Zero", 0, u"00000"}, WireCase{"FractionUp", 12.6, u"00013"},
                      WireCase{"HalfUpToHundred", 99.5, u"00100"},
                      WireCase{"HalfUp", 32.5, u"00033"}, WireCase{"HalfUpToOne", 0.5, u"00001"},
                      WireCase{"NegativeHalfAway", -0.5, u"-00001"},
                      WireCase{"SmallNegativeIsZero", -0.4, u"00000"},
                      WireCase{"Negative", -5, u"-00005"},
                      WireCase{"SixDigitsNotCut", 123456, u"123456"},
                      WireCase{"JustBelowHalf", 2.4999999, u"00002"}),
    RowName());

TEST(WireForm, Switches) {
    EXPECT_EQ(tuner::WireForm(true), QStringLiteral("00001"));
    EXPECT_EQ(tuner::WireForm(false), QStringLiteral("00000"));
}

TEST(TuningParameters, StartAtZeroAndDefaultsMatchTheirTexts) {
    const tuner::TuningParameters p;
    EXPECT_EQ(p.Accel + p.Decel + p.Turn + p.MaxOut + p.MinOut + p.LfbThreshold, 0.0f);
    EXPECT_FALSE(p.TpsReverse || p.EbrakeCutOff || p.GSensorCalibrate);
    const std::array<double, 6> defaults = {100, 100, 100, 100, 0, 33};
    for (std::size_t i = 0; i < defaults.size(); ++i) {
        const QString text = tuner::kPercents[i].defaultText.toString();
        EXPECT_EQ(tuner::ReadNumber(text), defaults[i]);
        EXPECT_LE(defaults[i], tuner::kPercents[i].upperLimit);
    }
}

} // namespace
