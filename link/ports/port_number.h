#pragma once

#include <QString>

#include <optional>

namespace tuner {

// The port list's text as a port number: blanks skipped, leading numeric part (0 when none),
// rounded half to even. Nothing when the number lies outside the 16-bit range.
std::optional<qint16> PortNumber(const QString &text);

} // namespace tuner
