#pragma once

#include <QString>

// The forms a number takes: in a box of the window, and in a field of a record on the wire.
namespace tuner {

// Whole number, halves away from zero, at least three digits: 33 -> "033", -5 -> "-005".
QString DisplayForm(float value);

// Whole number, halves away from zero, at least five digits: 12.6 -> "00013".
QString WireForm(double value);

// "00001" for true, "00000" for false.
QString WireForm(bool flag);

} // namespace tuner
