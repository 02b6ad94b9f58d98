#include "codec/modStrings.h"

#include "tests/support/printable.h"

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

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
        JoinCase{{u"a"_s, u"b"_s, u"c"_s}, u",", u"\\", u"a,b,c", {u"a"_s, u"b"_s, u"c"_s}},
        JoinCase{{u"a,b"_s, u"c"_s}, u",", u"\\", u"a\\,b,c", {u"a\\,b"_s, u"c"_s}},
        JoinCase{{u"a,,b"_s}, u",", u"\\", u"a\\,\\,b", {u"a\\,\\,b"_s}},
        JoinCase{{u"x"_s}, u",", u"\\", u"x", {u"x"_s}}, JoinCase{{E}, u",", u"\\", u"", {E}},
        JoinCase{{}, u",", u"\\", u"", {}}, JoinCase{{u"a"_s, E}, u",", u"\\", u"a,", {u"a"_s, E}},
        JoinCase{{E, u"a"_s}, u",", u"\\", u",a", {E, u"a"_s}},
        JoinCase{{u"a"_s, E, u"b"_s}, u",", u"\\", u"a,,b", {u"a"_s, E, u"b"_s}},
        JoinCase{{u"a\\"_s, u"b"_s}, u",", u"\\", u"a\\,b", {u"a\\"_s, u"b"_s}},
        JoinCase{{u"a b"_s, u"c"_s}, u"", u"", u"a\\ b c", {u"a\\ b"_s, u"c"_s}},
        JoinCase{{u"a;b"_s, u"c"_s}, u",;", u"\\", u"a;b,c", {u"a;b"_s, u"c"_s}},
        JoinCase{{u"a,b"_s}, u",", u"\\\\", u"a\\\\,b", {u"a\\\\,b"_s}},
        JoinCase{{u"AXB"_s, u"c"_s}, u"x", u"\\", u"A\\xBxc", {u"A\\xB"_s, u"c"_s}},
        JoinCase{
            {u"\u00c4"_s, u"b"_s}, u"\u00e4", u"\\", u"\\\u00e4\u00e4b", {u"\\\u00e4"_s, u"b"_s}}));

TEST(JoinFields, DefaultSaveRecordNeedsNoEscape) {
    QStringList fields = {u"S"_s,     u"00100"_s, u"00100"_s, u"00100"_s, u"00100"_s, u"00000"_s,
                          u"00033"_s, u"00000"_s, u"00000"_s, u"00000"_s, E};
    EXPECT_EQ(modStrings::JoinFields(fields, u","_s, u"\\"_s),
              u"S,00100,00100,00100,00100,00000,00033,00000,00000,00000,"_s);
}

} // namespace
