#include "link/settings/number_forms.h"

#include <cmath>

namespace tuner {
namespace {

// value rounded half away from zero, written with at least `width` digits after any sign.
QString Padded(double value, int width) {
    if (std::isnan(value))
        return QStringLiteral("nan");
    if (std::isinf(value))
        return value < 0 ? QStringLiteral("-inf") : QStringLiteral("inf");
    double whole = std::round(value);
    if (whole == 0)
        whole = 0; // no "-000" for a value that rounds to zero
    QString digits = QString::number(std::fabs(whole), 'f', 0);
    if (digits.size() < width)
        digits.prepend(QString(width - digits.size(), u'0'));
    return whole < 0 ? QStringLiteral("-") + digits : digits;
}

} // namespace

QString DisplayForm(float value) {
    // Round the single-precision value itself, so 32.5f shows as 033.
    return Padded(static_cast<double>(std::round(value)), 3);
}

QString WireForm(double value) {
    return Padded(value, 5);
}

QString WireForm(bool flag) {
    return flag ? QStringLiteral("00001") : QStringLiteral("00000");
}

} // namespace tuner
