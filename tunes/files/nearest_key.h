#pragma once

#include <QString>
#include <QStringList>

namespace tuner {

// The known key nearest to a mistyped one ("turing" -> "turning"), or "" when none is near.
QString NearestKey(const QString &typed, const QStringList &known);

} // namespace tuner
