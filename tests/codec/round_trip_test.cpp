#include "codec/modStrings.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

namespace {

const QString kComma = QStringLiteral(",");
const QString kBackslash = QStringLiteral("\\");

QStringList JoinThenSplit(QStringList fields) {
    const QString joined = modStrings::JoinFields(fields, kComma, kBackslash);
    return modStrings::SplitFields(joined, kComma, kBackslash, true);
}

TEST(JoinThenSplit, DelimitersInsideFieldsComeBack) {
    EXPECT_EQ(JoinThenSplit({QStringLiteral("a,b"), QStringLiteral("c")}),
              QStringList({QStringLiteral("a,b"), QStringLiteral("c")}));
    EXPECT_EQ(JoinThenSplit({QStringLiteral("a,,b")}), QStringList({QStringLiteral("a,,b")}));
}

TEST(JoinThenSplit, KnownLosses) {
    // Empty fields vanish, a single trailing empty field leaves nothing behind.
    EXPECT_EQ(JoinThenSplit({QStringLiteral("a"), QString(), QStringLiteral("b")}),
              QStringList({QStringLiteral("a"), QStringLiteral("b")}));
    EXPECT_EQ(JoinThenSplit({QStringLiteral("a"), QString()}), QStringList({QStringLiteral("a")}));
    // A field ending in the escape character swallows the delimiter after it.
    EXPECT_EQ(JoinThenSplit({QStringLiteral("a\\"), QStringLiteral("b")}),
              QStringList({QStringLiteral("a,b")}));
    // Spaces around fields are trimmed away.
    EXPECT_EQ(JoinThenSplit({QStringLiteral("  a "), QStringLiteral(" b")}),
              QStringList({QStringLiteral("a"), QStringLiteral("b")}));
}

// Random fields from an alphabet rich in delimiters, escapes and spaces.
QString RandomField(QRandomGenerator &random) {
    static const QString alphabet = QStringLiteral("ab,\\ 0\u00e9");
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
                field = QStringLiteral("x");
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
        static const QString alphabet = QStringLiteral("ab,\\ ;\u0000");
        for (int i = 0; i < length; ++i)
            text += alphabet.at(static_cast<qsizetype>(random.bounded(alphabet.size())));
        const QStringList fields =
            modStrings::SplitFields(text, QStringLiteral(",;"), kBackslash, false);
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
