#include "link/protocol/records.h"

#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

#include <string_view>

using namespace std::string_view_literals;

namespace {

const QString kDefaultsReport =
    QStringLiteral("P,00100,00100,00100,00100,00000,00033,00000,00000,00000\r");

TEST(ReadRequest, IsRAndCarriageReturn) {
    EXPECT_EQ(tuner::ReadRequest().toLatin1(), QByteArray("R\r"));
}

TEST(ParseReport, ReadsTheDefaultsWithTheControllersCarriageReturn) {
    const auto p = tuner::ParseReport(kDefaultsReport);
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->Accel, 100.0f);
    EXPECT_EQ(p->Decel, 100.0f);
    EXPECT_EQ(p->Turn, 100.0f);
    EXPECT_EQ(p->MaxOut, 100.0f);
    EXPECT_EQ(p->MinOut, 0.0f);
    EXPECT_EQ(p->LfbThreshold, 33.0f);
    EXPECT_FALSE(p->TpsReverse);
    EXPECT_FALSE(p->EbrakeCutOff);
    EXPECT_FALSE(p->GSensorCalibrate);
}

struct SwitchCase {
    const char *name;
    const char16_t *fields789;
    bool tps, ebrake, calibrate;
};

void PrintTo(const SwitchCase &c, std::ostream *os) {
    *os << '[' << Printable(c.fields789) << ']';
}

class ReportSwitches : public ::testing::TestWithParam<SwitchCase> {};

TEST_P(ReportSwitches, ReadsTruthValues) {
    const QString report =
        QStringLiteral("X,1,2,3,4,5,6,") + QString::fromUtf16(GetParam().fields789);
    const auto p = tuner::ParseReport(report);
    ASSERT_TRUE(p.has_value()) << report.toStdString();
    EXPECT_EQ(p->TpsReverse, GetParam().tps);
    EXPECT_EQ(p->EbrakeCutOff, GetParam().ebrake);
    EXPECT_EQ(p->GSensorCalibrate, GetParam().calibrate);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, ReportSwitches,
    ::testing::Values(SwitchCase{"WireForm", u"00001,00000,00001", true, false, true},
                      SwitchCase{"ShortNumbers", u"1,0,-1", true, false, true},
                      SwitchCase{"WordsAnyCase", u"True,false,TRUE", true, false, true},
                      SwitchCase{"WordsBlanksAndCrLf", u"fAlSe, true ,0.0\r\n", false, true, false},
                      SwitchCase{"LineFeedAfter", u"0,0,1\n", false, false, true},
                      SwitchCase{"FractionAndMinusZero", u"2.5,-0,0\r", true, false, false}),
    RowName());

struct RejectCase {
    const char *name;
    std::u16string_view text; // NULs included
};

QString TextOf(const RejectCase &c) {
    return QString::fromUtf16(c.text.data(), static_cast<qsizetype>(c.text.size()));
}

void PrintTo(const RejectCase &c, std::ostream *os) {
    *os << '[' << Printable(TextOf(c)) << ']';
}

class ReportRejected : public ::testing::TestWithParam<RejectCase> {};

TEST_P(ReportRejected, GivesNothing) {
    EXPECT_EQ(tuner::ParseReport(TextOf(GetParam())), std::nullopt)
        << Printable(TextOf(GetParam()));
}

INSTANTIATE_TEST_SUITE_P(
    NotAFullReport, ReportRejected,
    ::testing::Values(
        RejectCase{"Empty", u""}, RejectCase{"NineFields", u"P,1,2,3,4,5,6,0,0"},
        RejectCase{"EmptyFieldShiftsTheRest", u"P,1,2,,3,4,5,6,0,0"},
        RejectCase{"LettersInAValue", u"P,1,2,3,4,5,abc,0,0,0"},
        RejectCase{"WordInASwitch", u"P,1,2,3,4,5,6,yes,0,0"},
        RejectCase{"Exponent", u"P,1e2,2,3,4,5,6,0,0,0"},
        RejectCase{"WordInTheLastSwitch", u"P,1,2,3,4,5,6,0,0,maybe"},
        RejectCase{"DecimalCommaEscaped", u"P,1;2,3,4,5,6,7,0,0,0"},
        RejectCase{"TenNuls", u"\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000\u0000"sv},
        RejectCase{"ReadRequest", u"R\r"},
        RejectCase{"OnlyCommas", u",,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,,"}),
    RowName());

// One character put into the tag ("P?,...") and inside field 1 ("P,001?00,..."). A NUL splits
// a field in two and every later value moves up a place while still reading as a number, so a
// NUL is refused wherever it stands before the tenth field ends. Any other character, control
// or not, is fine in the tag, and nothing makes "001?00" a number.
struct ControlCase {
    const char *name;
    char16_t character;
    bool foreign; // never in a record the utility sends
};

void PrintTo(const ControlCase &c, std::ostream *os) {
    *os << Printable(QString(QChar(c.character)));
}

class ReportControlCharacter : public ::testing::TestWithParam<ControlCase> {};

TEST_P(ReportControlCharacter, OnlyANulInTheTagRefusesTheReport) {
    const ControlCase &c = GetParam();
    QString inTag = kDefaultsReport;
    inTag.insert(1, QChar(c.character));
    QString inValue = kDefaultsReport;
    inValue.insert(5, QChar(c.character));
    EXPECT_EQ(tuner::ParseReport(inTag).has_value(), c.character != u'\0') << Printable(inTag);
    EXPECT_EQ(tuner::ParseReport(inValue), std::nullopt) << Printable(inValue);
    EXPECT_EQ(tuner::IsForeignControl(QChar(c.character)), c.foreign);
}

INSTANTIATE_TEST_SUITE_P(
    Characters, ReportControlCharacter,
    ::testing::Values(ControlCase{"Nul", u'\0', true}, ControlCase{"Soh", u'\x01', true},
                      ControlCase{"Esc", u'\x1b', true}, ControlCase{"Us", u'\x1f', true},
                      ControlCase{"Del", u'\x7f', true}, ControlCase{"Pad", u'\x80', true},
                      ControlCase{"Apc", u'\x9f', true}, ControlCase{"Cr", u'\r', false},
                      ControlCase{"Lf", u'\n', false}, ControlCase{"Tab", u'\t', false},
                      ControlCase{"Nbsp", u'\xa0', false}, ControlCase{"Thorn", u'\xfe', false}),
    RowName());

// What a controller may say around its report in one go, and the report that is taken from it:
// its acceleration, or 0 for none. Records end at each CR; the last report counts, and our own
// save coming back (the echo of a half-duplex line) is never one.
// The save last sent, for the rows that take only that one for our own.
const QString kLastSent =
    QStringLiteral("S,00009,00002,00003,00004,00005,00006,00000,00000,00000,\r");

struct ReceivedCase {
    const char *name;
    std::u16string_view text;
    int accel;
    std::optional<tuner::OwnSaves> own = {}; // which records are our own save
};

void PrintTo(const ReceivedCase &c, std::ostream *os) {
    *os << '['
        << Printable(QString::fromUtf16(c.text.data(), static_cast<qsizetype>(c.text.size())))
        << ']' << (c.own ? " with our saves coming back" : "");
}

class ReportInReceived : public ::testing::TestWithParam<ReceivedCase> {};

TEST_P(ReportInReceived, TakesTheLastReport) {
    const ReceivedCase &c = GetParam();
    const QString text = QString::fromUtf16(c.text.data(), static_cast<qsizetype>(c.text.size()));
    const tuner::OwnRecordTest own =
        c.own ? tuner::OwnSaveTest(*c.own, kLastSent) : tuner::OwnRecordTest();
    const std::optional<tuner::TuningParameters> report = tuner::ReportIn(text, own);
    EXPECT_EQ(report ? static_cast<int>(report->Accel) : 0, c.accel) << Printable(text);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, ReportInReceived,
    ::testing::Values(
        ReceivedCase{"OneReport", u"P,7,2,3,4,5,6,0,0,0\r"sv, 7},
        ReceivedCase{"WithoutItsCR", u"P,7,2,3,4,5,6,0,0,0"sv, 7},
        ReceivedCase{"TwoReports", u"P,7,2,3,4,5,6,0,0,0\rP,8,2,3,4,5,6,0,0,0\r"sv, 8},
        ReceivedCase{"ThenAPrompt", u"P,7,2,3,4,5,6,0,0,0\r\nOK>"sv, 7},
        ReceivedCase{"BannerWithCommas", u"DCCD v1, ready, 2 ports\r\nP,7,2,3,4,5,6,0,0,0\r"sv, 7},
        ReceivedCase{"NulAfterTheCR", u"P,7,2,3,4,5,6,0,0,0\r\u0000"sv, 7},
        ReceivedCase{"NulEndsTheLastValue", u"P,7,2,3,4,5,6,0,0,0\u0000"sv, 7},
        ReceivedCase{"NulAfterTheTenthField", u"P,7,2,3,4,5,6,0,0,0,\u0000x"sv, 7},
        ReceivedCase{"NulInsideTheLastValue", u"P,7,2,3,4,5,6,0,0,00\u0000001\r"sv, 0},
        ReceivedCase{"NulShiftsTheValues", u"P,001\u000000,2,3,4,5,6,0,0,0,0\r"sv, 0},
        ReceivedCase{"NulAfterAnEmptyPiece", u"P,7,2,3,4,5,6,0,0,,\u00001\r"sv, 0},
        ReceivedCase{"StxEtxFrame", u"\u0002P,7,2,3,4,5,6,0,0,0,\u0003\r"sv, 7},
        ReceivedCase{"DelAfterTheCR", u"P,7,2,3,4,5,6,0,0,0\r\u007f"sv, 7},
        ReceivedCase{"ControlInAValue", u"P,7\u0001,2,3,4,5,6,0,0,0\r"sv, 0},
        ReceivedCase{"OnlyOurSave", u"S,00007,00002,00003,00004,00005,00006,00000,00000,00000,\r"sv,
                     0, tuner::OwnSaves::EveryTaggedS},
        ReceivedCase{"OnlyTheLastSent",
                     u"S,00009,00002,00003,00004,00005,00006,00000,00000,00000,\r"sv, 0,
                     tuner::OwnSaves::LastSent},
        ReceivedCase{"ASaveNotTheLastSent",
                     u"S,00007,00002,00003,00004,00005,00006,00000,00000,00000,\r"sv, 7,
                     tuner::OwnSaves::LastSent},
        ReceivedCase{"OurSaveThenTheReport",
                     u"S,00009,00002,00003,00004,00005,00006,00000,00000,00000,\r"
                     u"P,7,2,3,4,5,6,0,0,0\r"sv,
                     7, tuner::OwnSaves::EveryTaggedS},
        ReceivedCase{"TheReportThenOurSave",
                     u"P,7,2,3,4,5,6,0,0,0\r"
                     u"S,00009,00002,00003,00004,00005,00006,00000,00000,00000,\r"sv,
                     7, tuner::OwnSaves::EveryTaggedS},
        ReceivedCase{"ASaveTaggedReportWhenNoEchoIsKnown",
                     u"S,00007,00002,00003,00004,00005,00006,00000,00000,00000,\r"sv, 7}),
    RowName());

TEST(ParseReport, ValueBeyondSinglePrecisionDoesNotConvert) {
    const QString huge = QStringLiteral("1") + QString(40, u'0');
    EXPECT_EQ(tuner::ParseReport(QStringLiteral("P,") + huge + QStringLiteral(",2,3,4,5,6,0,0,0")),
              std::nullopt);
}

TEST(ParseReport, AnyTagAndExtraFieldsAreAccepted) {
    const auto p =
        tuner::ParseReport(QStringLiteral("whatever tag,250,-5,33.6,1,2,3,1,1,0,extra,more"));
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->Accel, 250.0f); // no range check on a report
    EXPECT_EQ(p->Decel, -5.0f);
    EXPECT_FLOAT_EQ(p->Turn, 33.6f);
    EXPECT_TRUE(p->TpsReverse);
    EXPECT_TRUE(p->EbrakeCutOff);
    EXPECT_FALSE(p->GSensorCalibrate);
}

TEST(SaveCommand, DefaultsGiveTheExact57Bytes) {
    const auto record =
        tuner::SaveCommand({QStringLiteral("100"), QStringLiteral("100"), QStringLiteral("100"),
                            QStringLiteral("100"), QStringLiteral("0"), QStringLiteral("33")},
                           false, false, false);
    ASSERT_TRUE(record.has_value());
    const QByteArray bytes = record->toLatin1();
    EXPECT_EQ(bytes, QByteArray("S,00100,00100,00100,00100,00000,00033,00000,00000,00000,\r"));
    EXPECT_EQ(bytes.size(), tuner::kSaveCommandLength);
}

TEST(SaveCommand, RoundsTextsAndCarriesSwitches) {
    const auto record =
        tuner::SaveCommand({QStringLiteral("12.6"), QStringLiteral("99.5"), QStringLiteral(" 200 "),
                            QStringLiteral("033"), QStringLiteral("0.4"), QStringLiteral("100.")},
                           true, false, true);
    ASSERT_TRUE(record.has_value());
    EXPECT_EQ(*record,
              QStringLiteral("S,00013,00100,00200,00033,00000,00100,00001,00000,00001,\r"));
}

TEST(SaveCommand, RefusesATextThatIsNotANumber) {
    for (const QString &bad : {QStringLiteral(""), QStringLiteral("abc"), QStringLiteral("1e2"),
                               QStringLiteral("12,5")}) {
        EXPECT_EQ(tuner::SaveCommand({QStringLiteral("1"), QStringLiteral("2"), QStringLiteral("3"),
                                      QStringLiteral("4"), bad, QStringLiteral("6")},
                                     false, false, false),
                  std::nullopt)
            << bad.toStdString();
    }
}

TEST(SaveCommand, ParsedBackGivesTheSameSettings) {
    const auto record =
        tuner::SaveCommand({QStringLiteral("150"), QStringLiteral("0"), QStringLiteral("200"),
                            QStringLiteral("55"), QStringLiteral("7"), QStringLiteral("33")},
                           true, true, false);
    ASSERT_TRUE(record.has_value());
    const auto p = tuner::ParseReport(*record);
    ASSERT_TRUE(p.has_value());
    EXPECT_EQ(p->Accel, 150.0f);
    EXPECT_EQ(p->Decel, 0.0f);
    EXPECT_EQ(p->Turn, 200.0f);
    EXPECT_EQ(p->MaxOut, 55.0f);
    EXPECT_EQ(p->MinOut, 7.0f);
    EXPECT_EQ(p->LfbThreshold, 33.0f);
    EXPECT_TRUE(p->TpsReverse && p->EbrakeCutOff);
    EXPECT_FALSE(p->GSensorCalibrate);
}

} // namespace
