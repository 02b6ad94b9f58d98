#include "codec/modStrings.h"

#include "tests/support/printable.h"

#include <gtest/gtest.h>

namespace {

struct JoinCase {
    QStringList fields;
    const char16_t *delimiter;
    const char16_t *escape;
    const char16_t *expected;
    QStringList rewritten; // the caller's fields after the call
};

void PrintTo(const JoinCase &c, std::ostream *os) {
    *os << '[' << Printable(c.fields.join(u'|')) << "] by [" << Printable(c.delimiter)
        << "] escape [" << Printable(c.escape) << ']';
}

class JoinFieldsTable : public ::testing::TestWithParam<JoinCase> {};

TEST_P(JoinFieldsTable, JoinsAndRewritesInPlace) {
    const JoinCase &c = GetParam();
    QStringList fields = c.fields;
    const QString joined = modStrings::JoinFields(fields, QString::fromUtf16(c.delimiter),
                                                  QString::fromUtf16(c.escape));
    EXPECT_EQ(joined, QString::fromUtf16(c.expected));
    EXPECT_EQ(fields, c.rewritten);
}

const QString E; // an empty field

INSTANTIATE_TEST_SUITE_P(
    RecordsAndEdges, JoinFieldsTable,
    ::testing::Values(
        JoinCase{{QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")},
                 u",",
                 u"\\",
                 u"a,b,c",
                 {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        JoinCase{{QStringLiteral("a,b"), QStringLiteral("c")},
                 u",",
                 u"\\",
                 u"a\\,b,c",
                 {QStringLiteral("a\\,b"), QStringLiteral("c")}},
        JoinCase{{QStringLiteral("a,,b")}, u",", u"\\", u"a\\,\\,b", {QStringLiteral("a\\,\\,b")}},
        JoinCase{{QStringLiteral("x")}, u",", u"\\", u"x", {QStringLiteral("x")}},
        JoinCase{{E}, u",", u"\\", u"", {E}}, JoinCase{{}, u",", u"\\", u"", {}},
        JoinCase{{QStringLiteral("a"), E}, u",", u"\\", u"a,", {QStringLiteral("a"), E}},
        JoinCase{{E, QStringLiteral("a")}, u",", u"\\", u",a", {E, QStringLiteral("a")}},
        JoinCase{{QStringLiteral("a"), E, QStringLiteral("b")},
                 u",",
                 u"\\",
                 u"a,,b",
                 {QStringLiteral("a"), E, QStringLiteral("b")}},
        JoinCase{{QStringLiteral("a\\"), QStringLiteral("b")},
                 u",",
                 u"\\",
                 u"a\\,b",
                 {QStringLiteral("a\\"), QStringLiteral("b")}},
        JoinCase{{QStringLiteral("a b"), QStringLiteral("c")},
                 u"",
                 u"",
                 u"a\\ b c",
                 {QStringLiteral("a\\ b"), QStringLiteral("c")}},
        JoinCase{{QStringLiteral("a;b"), QStringLiteral("c")},
                 u",;",
                 u"\\",
                 u"a;b,c",
                 {QStringLiteral("a;b"), QStringLiteral("c")}},
        JoinCase{{QStringLiteral("a,b")}, u",", u"\\\\", u"a\\\\,b", {QStringLiteral("a\\\\,b")}},
        JoinCase{{QStringLiteral("AXB"), QStringLiteral("c")},
                 u"x",
                 u"\\",
                 u"A\\xBxc",
                 {QStringLiteral("A\\xB"), QStringLiteral("c")}},
        JoinCase{{QStringLiteral("\u00c4"), QStringLiteral("b")},
                 u"\u00e4",
                 u"\\",
                 u"\\\u00e4\u00e4b",
                 {QStringLiteral("\\\u00e4"), QStringLiteral("b")}}));

TEST(JoinFields, DefaultSaveRecordNeedsNoEscape) {
    QStringList fields = {QStringLiteral("S"),
                          QStringLiteral("00100"),
                          QStringLiteral("00100"),
                          QStringLiteral("00100"),
                          QStringLiteral("00100"),
                          QStringLiteral("00000"),
                          QStringLiteral("00033"),
                          QStringLiteral("00000"),
                          QStringLiteral("00000"),
                          QStringLiteral("00000"),
                          E};
    EXPECT_EQ(modStrings::JoinFields(fields, QStringLiteral(","), QStringLiteral("\\")),
              QStringLiteral("S,00100,00100,00100,00100,00000,00033,00000,00000,00000,"));
}

} // namespace
