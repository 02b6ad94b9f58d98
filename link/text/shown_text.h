#pragma once

#include <QJsonValue>
#include <QString>
#include <QStringView>

// How text that came from outside the program (arguments, file names, keys, notes, device names,
// environment variables, what a controller sent) is shown, in every program: so that it can
// neither move the cursor, retitle the terminal nor break a line.
namespace tuner {

// A byte of an argument or a file name that is no UTF-8 is kept as a character of its own, this
// plus the byte (a lone surrogate, U+DC80 to U+DCFF), so that the name still leads to its file.
inline constexpr char16_t kStrayByteBase = 0xDC00;

// Whether a character is such a kept byte.
bool IsStrayByte(QChar c);

// A value as JSON writes it: "abc" with its quotes, 2.5, true, null, [1,2], {"a":1}.
QString JsonText(const QJsonValue &value);

// Text as a terminal may show it: ESC as \e, any other control or format character (and a
// line or paragraph separator, a lone surrogate) as \uXXXX, a kept byte that is no UTF-8 as
// \xNN; everything else as it is. With quotes, in double quotes as JSON writes a text.
QString EscapedText(const QString &text);
QString QuotedText(const QString &text);

// What a controller sent, or what was sent to it, as one line of plain ASCII: printable ASCII
// as it is, a backslash doubled, any other character as \xHH (its Latin-1 byte). Unlike
// EscapedText this shows bytes, not text: the line carries bytes, and a report's CR is shown
// as the \x0D the protocol speaks of, both in the window and on a terminal.
QString PrintableText(QStringView text);

} // namespace tuner
