#include "codec/modStrings.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace Qt::StringLiterals;

namespace {

const QString kComma = u","_s;
const QString kBackslash = u"\\"_s;

QStringList JoinThenSplit(QStringList fields) {
    const QString joined = modStrings::JoinFields(fields, kComma, kBackslash);
    return modStrings::SplitFields(joined, kComma, kBackslash, true);
}

TEST(JoinThenSplit, DelimitersInsideFieldsComeBack) {
    EXPECT_EQ(JoinThenSplit({u"a,b"_s, u"c"_s}), QStringList({u"a,b"_s, u"c"_s}));
    EXPECT_EQ(JoinThenSplit({u"a,,b"_s}), QStringList({u"a,,b"_s}));
}

TEST(JoinThenSplit, KnownLosses) {
    // Empty fields vanish, a single trailing empty field leaves nothing behind.
    EXPECT_EQ(JoinThenSplit({u"a"_s, QString(), u"b"_s}), QStringList({u"a"_s, u"b"_s}));
    EXPECT_EQ(JoinThenSplit({u"a"_s, QString()}), QStringList({u"a"_s}));
    // A field ending in the escape character swallows the delimiter after it.
    EXPECT_EQ(JoinThenSplit({u"a\\"_s, u"b"_s}), QStringList({u"a,b"_s}));
    // Spaces around fields are trimmed away.
    EXPECT_EQ(JoinThenSplit({u"  a "_s, u" b"_s}), QStringList({u"a"_s, u"b"_s}));
}

// Random fields from an alphabet rich in delimiters, escapes and spaces.
QString RandomField(QRandomGenerator &random) {
    static const QString alphabet = u"ab,\\ 0\u00e9"_s;
    const int length = static_cast<int>(random.bounded(7));
    QString field;
    for (int i = 0; i < length; ++i)
        field += alphabet.at(static_cast<qsizetype>(random.bounded(alphabet.size())));
    return field;
}

TEST(JoinThenSplit, RandomFieldsWithoutEscapeEndsComeBackTrimmed) {
    QRandomGenerator random(20261207);
    for (int round = 0; round < 5000; ++round) {
        QStringList fields;
        const int count = 1 + static_cast<int>(random.bounded(6));
        for (int i = 0; i < count; ++i) {
            QString field = RandomField(random);
            // Fields that end in the escape or are empty are the known exceptions.
            while (field.endsWith(u'\\'))
                field.chop(1);
            if (field.isEmpty())
                field = u"x"_s;
            fields.append(field);
        }
        // Expected back: each field with its surrounding spaces trimmed away.
        QStringList expected = fields;
        for (QString &field : expected) {
            while (field.startsWith(u' '))
                field.remove(0, 1);
            while (field.endsWith(u' '))
                field.chop(1);
        }
        const QStringList original = fields;
        EXPECT_EQ(JoinThenSplit(fields), expected) << original.join(u'|').toStdString();
    }
}

TEST(JoinThenSplit, SplitFieldsAreMadeOnlyOfInputCharactersInOrder) {
    QRandomGenerator random(7);
    for (int round = 0; round < 3000; ++round) {
        QString text;
        const int length = static_cast<int>(random.bounded(24));
        static const QString alphabet = u"ab,\\ ;\u0000"_s;
        for (int i = 0; i < length; ++i)
            text += alphabet.at(static_cast<qsizetype>(random.bounded(alphabet.size())));
        const QStringList fields = modStrings::SplitFields(text, u",;"_s, kBackslash, false);
        ASSERT_FALSE(fields.isEmpty());
        // Concatenated fields form a subsequence of the text.
        const QString all = fields.join(QString());
        qsizetype at = 0;
        for (QChar c : all) {
            at = text.indexOf(c, at);
            ASSERT_GE(at, 0) << text.toStdString();
            ++at;
        }
    }
}

} // namespace
