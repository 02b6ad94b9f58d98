#include "tunes/files/shown_text.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace tuner {

// A value as JSON writes it: "abc" with its quotes, 2.5, true, null, [1,2], {"a":1}.
QString JsonText(const QJsonValue &value) {
    const QByteArray array = QJsonDocument(QJsonArray{value}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

QString EscapedText(const QString &text) {
    QString shown;
    shown.reserve(text.size());
    for (const QChar c : text) {
        const QChar::Category category = c.category();
        if (c.unicode() >= 0xDC80 && c.unicode() <= 0xDCFF) // a byte of a name that is no UTF-8
            shown += QStringLiteral("\\x%1").arg(c.unicode() - 0xDC00, 2, 16, QLatin1Char('0'));
        else if (category == QChar::Other_Surrogate || category == QChar::Other_Control ||
                 category == QChar::Other_Format || c == QChar::LineSeparator ||
                 c == QChar::ParagraphSeparator)
            shown += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        else
            shown += c;
    }
    return shown;
}

QString QuotedText(const QString &text) {
    return EscapedText(JsonText(QJsonValue(text)));
}

} // namespace tuner
