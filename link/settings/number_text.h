#pragma once

#include <QString>

#include <optional>

namespace tuner {

// Blanks accepted around numbers: space, tab, CR and LF.
bool IsBlank(QChar c);

// A text read as a decimal number with a point, whatever the user's locale: optional blanks
// around an optional sign and digits with an optional point and fraction (at least one digit).
// Anything else (empty, letters, exponent, a decimal comma, out of double range) gives nothing.
std::optional<double> ReadNumber(const QString &text);

// True when the text, blanks skipped, starts with a number (a sign, digits, a point and digits).
bool HasLeadingNumber(const QString &text);

// The lenient reading of a port text: blanks anywhere are skipped, the leading numeric part
// (sign, digits, optional point and fraction) is taken, and a text without one is 0.
// Gives nothing only when the numeric part is beyond the range of a double.
std::optional<double> ReadLeadingNumber(const QString &text);

} // namespace tuner
