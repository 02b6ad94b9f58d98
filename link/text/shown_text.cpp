#include "link/text/shown_text.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tuner {
namespace {

constexpr char16_t kEscape = 0x1b;

bool IsControl(QChar c) {
    const QChar::Category category = c.category();
    return category == QChar::Other_Surrogate || category == QChar::Other_Control ||
           category == QChar::Other_Format || c == QChar::LineSeparator ||
           c == QChar::ParagraphSeparator;
}

} // namespace

bool IsStrayByte(QChar c) {
    return c.unicode() >= kStrayByteBase + 0x80 && c.unicode() <= kStrayByteBase + 0xFF;
}

QString JsonText(const QJsonValue &value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString EscapedText(const QString &text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        if (IsStrayByte(c))
            shown +=
                QStringLiteral("\\x%1").arg(c.unicode() - kStrayByteBase, 2, 16, QLatin1Char('0'));
        else if (c == kEscape)
            shown += QStringLiteral("\\e");
        else if (IsControl(c))
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString QuotedText(const QString &text) {
    return EscapedText(JsonText(QJsonValue(text)));
}

QString PrintableText(QStringView text) {
    QString line;
    line.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        if (u == u'\\')
            line += QStringLiteral("\\\\");
        else if (u >= 0x20 && u <= 0x7e)
            line += c;
        else
            line += QStringLiteral("\\x") +
                    QString::number(u & 0xff, 16).rightJustified(2, u'0').toUpper();
    }
    return line;
}

} // namespace tuner
