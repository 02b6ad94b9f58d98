#include "codec/modStrings.h"

#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

#include <QStringList>

namespace {

struct SplitCase {
    const char *name;
    const char16_t *text;
    const char16_t *delimiters;
    const char16_t *escape;
    bool trim;
    QStringList expected;
};

void PrintTo(const SplitCase &c, std::ostream *os) {
    *os << '[' << Printable(c.text) << "] by [" << Printable(c.delimiters) << "] escape ["
        << Printable(c.escape) << ']' << (c.trim ? " trim" : "");
}

QStringList L(std::initializer_list<const char16_t *> items) {
    QStringList list;
    for (const char16_t *item : items)
        list.append(QString::fromUtf16(item));
    return list;
}

class SplitFieldsTable : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitFieldsTable, GivesTheExpectedFields) {
    const SplitCase &c = GetParam();
    const QString text = QString::fromUtf16(c.text);
    const QStringList fields = modStrings::SplitFields(text, QString::fromUtf16(c.delimiters),
                                                       QString::fromUtf16(c.escape), c.trim);
    EXPECT_EQ(fields, c.expected) << "got: " << fields.join(u'|').toStdString();
}

INSTANTIATE_TEST_SUITE_P(
    RecordsAndEdges, SplitFieldsTable,
    ::testing::Values(
        SplitCase{"ThreeFields", u"a,b,c", u",", u"\\", true, L({u"a", u"b", u"c"})},
        SplitCase{"SpacesTrimmed", u"x , y ,z", u",", u"\\", true, L({u"x", u"y", u"z"})},
        SplitCase{"SpacesKeptWithoutTrim", u"x , y", u",", u"\\", false, L({u"x ", u" y"})},
        SplitCase{"EscapeAndEmptyField", u"a,b\\,c,,d", u",", u"\\", true, L({u"a", u"b,c", u"d"})},
        SplitCase{"EmptyText", u"", u",", u"\\", true, L({u""})},
        SplitCase{"OneField", u"a", u",", u"\\", true, L({u"a"})},
        SplitCase{"OnlyADelimiter", u",", u",", u"\\", true, L({u""})},
        SplitCase{"TwoDelimiters", u",,", u",", u"\\", true, L({u""})},
        SplitCase{"TrailingDelimiter", u"a,", u",", u"\\", true, L({u"a"})},
        SplitCase{"TwoTrailingDelimiters", u"a,,", u",", u"\\", true, L({u"a", u""})},
        SplitCase{"ThreeTrailingDelimiters", u"a,,,", u",", u"\\", true, L({u"a", u""})},
        SplitCase{"LeadingDelimiter", u",a", u",", u"\\", true, L({u"a"})},
        SplitCase{"EmptyFieldInside", u"a,,b", u",", u"\\", true, L({u"a", u"b"})},
        SplitCase{"DelimitersAround", u",a,", u",", u"\\", true, L({u"a"})},
        SplitCase{"EscapedDelimiterAtEnd", u"a\\,", u",", u"\\", true, L({u"a,"})},
        SplitCase{"TwoEscapedDelimiters", u"a\\,b\\,c,d", u",", u"\\", true, L({u"a,b,c", u"d"})},
        SplitCase{"EscapedThenPlain", u"a\\,,b", u",", u"\\", true, L({u"a,", u"b"})},
        SplitCase{"EscapedThenTrailing", u"a\\,,", u",", u"\\", true, L({u"a,"})},
        SplitCase{"EscapedDelimiterFirst", u"\\,a", u",", u"\\", true, L({u",a"})},
        SplitCase{"DoubledEscape", u"a\\\\,b", u",", u"\\", true, L({u"a\\,b"})},
        SplitCase{"EscapeBeforeALetter", u"a\\b,c", u",", u"\\", true, L({u"a\\b", u"c"})},
        SplitCase{"EscapeAtTheEnd", u"a,b\\", u",", u"\\", true, L({u"a", u"b\\"})},
        SplitCase{"SaveRecord", u"S,00100,00033,00000,", u",", u"\\", true,
                  L({u"S", u"00100", u"00033", u"00000"})},
        SplitCase{"NoDelimiters", u"a,b", u"", u"\\", true, L({u""})},
        SplitCase{"TwoDelimiterCharacters", u"x;y,z", u",;", u"\\", true, L({u"x", u"y", u"z"})},
        SplitCase{"DelimiterLetterAnyCase", u"AxBXc", u"x", u"\\", true, L({u"A", u"B", u"c"})},
        SplitCase{"NoEscape", u"a\\,b", u",", u"", true, L({u"a\\", u"b"})},
        SplitCase{"EscapeOfTwoCharacters", u"a\\,b", u",", u"\\q", true, L({u"a,b"})},
        SplitCase{"EscapeCaseMatters", u"aE,b", u",", u"e", true, L({u"aE", u"b"})},
        SplitCase{"EscapeThatIsADelimiter", u"a\\,b", u",\\", u"\\", true, L({u"a", u"b"})},
        // An escaped delimiter keeps its own character.
        SplitCase{"EscapedSemicolon", u"a\\;b,c", u",;", u"\\", true, L({u"a;b", u"c"})},
        // A blank field survives trimming as an empty field.
        SplitCase{"BlankFieldsStayEmpty", u" , ", u",", u"\\", true, L({u"", u""})},
        // Only spaces are trimmed: a CR after the last field stays.
        SplitCase{"CrNotTrimmed", u"a, b\r", u",", u"\\", true, L({u"a", u"b\r"})},
        SplitCase{"TabsNotTrimmed", u"\ta ,\tb", u",", u"\\", true, L({u"\ta", u"\tb"})},
        // Letters outside ASCII match by case folding.
        SplitCase{"UmlautAnyCase", u"1\u00c42\u00e43", u"\u00e4", u"\\", true,
                  L({u"1", u"2", u"3"})},
        SplitCase{"SigmaAnyCase", u"\u03a3a\u03c3b", u"\u03c3", u"\\", true, L({u"a", u"b"})},
        // The Kelvin sign folds to "k" and matches it both ways.
        SplitCase{"KelvinSignMatchesK", u"1k2K3", u"\u212a", u"\\", true, L({u"1", u"2", u"3"})},
        SplitCase{"KMatchesKelvinSign", u"1\u212a2", u"k", u"\\", true, L({u"1", u"2"})},
        // Escape before a pending escaped delimiter run.
        SplitCase{"EscapedDelimiterRun", u"a\\,\\,b", u",", u"\\", true, L({u"a,,b"})},
        SplitCase{"EscapedAmidSpaces", u" a \\, b ", u",", u"\\", true, L({u"a , b"})}),
    RowName());

TEST(SplitFields, NulSeparatesFieldsLikeADelimiter) {
    const QString text = QStringLiteral("a") + QChar(0) + QStringLiteral("b,c");
    EXPECT_EQ(modStrings::SplitFields(text, QStringLiteral(","), QStringLiteral("\\"), true),
              L({u"a", u"b", u"c"}));
    const QString trailing = QStringLiteral("a,b") + QChar(0);
    EXPECT_EQ(modStrings::SplitFields(trailing, QStringLiteral(","), QStringLiteral("\\"), true),
              L({u"a", u"b"}));
}

TEST(SplitFields, LeavesTheCallersTextsAlone) {
    QString text = QStringLiteral("a\\,b,c");
    const QString copy = text;
    QString delimiters = QStringLiteral(",");
    QString escape = QStringLiteral("\\");
    modStrings::SplitFields(text, delimiters, escape, true);
    EXPECT_EQ(text, copy);
    EXPECT_EQ(delimiters, QStringLiteral(","));
    EXPECT_EQ(escape, QStringLiteral("\\"));
}

TEST(SplitFields, ManyFieldsKeepTheirOrder) {
    QStringList expected;
    QString text;
    for (int i = 0; i < 500; ++i) {
        expected.append(QString::number(i));
        text += QString::number(i) + u',';
    }
    EXPECT_EQ(modStrings::SplitFields(text, QStringLiteral(","), QStringLiteral("\\"), true),
              expected);
}

TEST(SplitFields, SurrogatePairsAreNeverCutOrLost) {
    // U+1F600 as a surrogate pair, next to a delimiter.
    const QString face = QString::fromUtf16(u"\U0001F600");
    const QString text = face + u',' + face + face;
    EXPECT_EQ(modStrings::SplitFields(text, QStringLiteral(","), QStringLiteral("\\"), true),
              QStringList({face, face + face}));
}

} // namespace
