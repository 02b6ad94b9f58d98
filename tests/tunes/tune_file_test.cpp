// Tune files: their text, what they refuse, and their differences.

#include "link/protocol/records.h"
#include "tests/support/default_tune.h"
#include "tests/support/printable.h"
#include "tests/support/row_name.h"
#include "tunes/files/tune_differences.h"
#include "tunes/files/tune_file.h"

#include <gtest/gtest.h>

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

} // namespace
