#pragma once

#include <QJsonValue>
#include <QString>

namespace tuner {

// A value as JSON writes it: "abc" with its quotes, 2.5, true, null, [1,2], {"a":1}.
QString JsonText(const QJsonValue &value);

// A text from a file as a terminal may show it: control and format characters escaped as
// \uXXXX, a byte of a file name that is no UTF-8 as \xNN (and, with quotes, in double quotes
// as JSON writes a text), so a note or a name can neither move the cursor nor break a line.
QString EscapedText(const QString &text);
QString QuotedText(const QString &text);

} // namespace tuner
