#pragma once

#include <QString>

#include <array>
#include <optional>

namespace tuner {

// The settings the controller stores, in wire order (fields 1 to 9 of a report or a save).
struct TuningParameters {
    float Accel = 0, Decel = 0, Turn = 0, MaxOut = 0, MinOut = 0, LfbThreshold = 0;
    bool TpsReverse = false, EbrakeCutOff = false, GSensorCalibrate = false;
};

inline constexpr int kPercentCount = 6;

// Upper limit of each percentage at save, in wire order; every lower limit is 0.
inline constexpr std::array<int, kPercentCount> kUpperLimits = {200, 200, 200, 100, 100, 100};

// The texts the defaults command puts into the six boxes, in wire order.
inline constexpr std::array<const char16_t *, kPercentCount> kDefaultTexts = {
    u"100", u"100", u"100", u"100", u"0", u"33"};

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
