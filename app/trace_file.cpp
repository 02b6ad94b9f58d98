#include "app/trace_file.h"

namespace tuner {

QString TraceRefusal(const QString &path, const QString &why) {
    return QStringLiteral("dccd-tuner: DCCD_TUNER_TRACE: ") + path + QStringLiteral(": ") + why +
           QStringLiteral("; no trace is written");
}

} // namespace tuner
