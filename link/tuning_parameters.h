#pragma once

#include "link/parameter_set.h"

#include <QString>

#include <optional>

namespace tuner {

// A text read as a decimal number with a point, whatever the user's locale: optional blanks
// (space, tab, CR, LF) around an optional sign and digits with an optional point and fraction.
// Anything else (empty, letters, exponent, a decimal comma, out of double range) gives nothing.
std::optional<double> ReadNumber(const QString &text);

// Whole number, halves away from zero, at least three digits: 33 -> "033", -5 -> "-005".
QString DisplayForm(float value);

// Whole number, halves away from zero, at least five digits: 12.6 -> "00013".
QString WireForm(double value);

// "00001" for true, "00000" for false.
QString WireForm(bool flag);

} // namespace tuner
