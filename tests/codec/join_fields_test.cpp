#include "codec/modStrings.h"

#include "tests/support/printable.h"
#include "tests/support/row_name.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

struct JoinCase {
    const char *name;
    std::vector<const char16_t *> fields;
    const char16_t *delimiter;
    const char16_t *escape;
    const char16_t *expected;
    std::vector<const char16_t *> rewritten; // the caller's fields after the call
};

QStringList Texts(const std::vector<const char16_t *> &texts) {
    QStringList list;
    for (const char16_t *text : texts)
        list.append(QString::fromUtf16(text));
    return list;
}

void PrintTo(const JoinCase &c, std::ostream *os) {
    *os << '{';
    for (std::size_t i = 0; i < c.fields.size(); ++i)
        *os << (i > 0 ? ", [" : "[") << Printable(c.fields[i]) << ']';
    *os << "} by [" << Printable(c.delimiter) << "] escape [" << Printable(c.escape) << ']';
}

class JoinFieldsTable : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinFieldsTable, JoinsAndRewritesInPlace) {
    const JoinCase &c = GetParam();
    QStringList fields = Texts(c.fields);
    const QString joined = modStrings::JoinFields(fields, QString::fromUtf16(c.delimiter),
                                                  QString::fromUtf16(c.escape));
    EXPECT_EQ(joined, QString::fromUtf16(c.expected));
    EXPECT_EQ(fields, Texts(c.rewritten));
}

INSTANTIATE_TEST_SUITE_P(
    RecordsAndEdges, JoinFieldsTable,
    ::testing::Values(
        JoinCase{"ThreeFields", {u"a", u"b", u"c"}, u",", u"\\", u"a,b,c", {u"a", u"b", u"c"}},
        JoinCase{"DelimiterEscaped", {u"a,b", u"c"}, u",", u"\\", u"a\\,b,c", {u"a\\,b", u"c"}},
        JoinCase{"TwoDelimitersEscaped", {u"a,,b"}, u",", u"\\", u"a\\,\\,b", {u"a\\,\\,b"}},
        JoinCase{"OneField", {u"x"}, u",", u"\\", u"x", {u"x"}},
        JoinCase{"OneEmptyField", {u""}, u",", u"\\", u"", {u""}},
        JoinCase{"NoFields", {}, u",", u"\\", u"", {}},
        JoinCase{"EmptyLastField", {u"a", u""}, u",", u"\\", u"a,", {u"a", u""}},
        JoinCase{"EmptyFirstField", {u"", u"a"}, u",", u"\\", u",a", {u"", u"a"}},
        JoinCase{"EmptyMiddleField", {u"a", u"", u"b"}, u",", u"\\", u"a,,b", {u"a", u"", u"b"}},
        JoinCase{"EscapeNotDoubled", {u"a\\", u"b"}, u",", u"\\", u"a\\,b", {u"a\\", u"b"}},
        JoinCase{"EmptyMeansDefaults", {u"a b", u"c"}, u"", u"", u"a\\ b c", {u"a\\ b", u"c"}},
        JoinCase{"OnlyFirstDelimiter", {u"a;b", u"c"}, u",;", u"\\", u"a;b,c", {u"a;b", u"c"}},
        JoinCase{"TwoCharacterEscape", {u"a,b"}, u",", u"\\\\", u"a\\\\,b", {u"a\\\\,b"}},
        JoinCase{"DelimiterAnyCase", {u"AXB", u"c"}, u"x", u"\\", u"A\\xBxc", {u"A\\xB", u"c"}},
        JoinCase{"UmlautAnyCase",
                 {u"\u00c4", u"b"},
                 u"\u00e4",
                 u"\\",
                 u"\\\u00e4\u00e4b",
                 {u"\\\u00e4", u"b"}}),
    RowName());

TEST(JoinFields, DefaultSaveRecordNeedsNoEscape) {
    QStringList fields = Texts({u"S", u"00100", u"00100", u"00100", u"00100", u"00000", u"00033",
                                u"00000", u"00000", u"00000", u""});
    EXPECT_EQ(modStrings::JoinFields(fields, QStringLiteral(","), QStringLiteral("\\")),
              QStringLiteral("S,00100,00100,00100,00100,00000,00033,00000,00000,00000,"));
}

} // namespace
