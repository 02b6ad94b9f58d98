#include "link/ports/port_number.h"

#include "link/settings/number_text.h"

#include <cmath>

namespace tuner {

std::optional<qint16> PortNumber(const QString &text) {
    const std::optional<double> value = ReadLeadingNumber(text);
    if (!value)
        return std::nullopt;
    double rounded = std::round(*value);
    if (std::fabs(*value - std::trunc(*value)) == 0.5)
        rounded = 2.0 * std::round(*value / 2.0); // a half goes to the even neighbour
    if (rounded < -32768.0 || rounded > 32767.0)
        return std::nullopt;
    return static_cast<qint16>(rounded);
}

} // namespace tuner
