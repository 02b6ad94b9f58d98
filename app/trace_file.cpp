#include "app/trace_file.h"

#include "link/text/shown_text.h"

namespace tuner {

QString TraceRefusal(const QString &path, const QString &why) {
    return QStringLiteral("dccd-tuner: DCCD_TUNER_TRACE: ") + EscapedText(path) +
           QStringLiteral(": ") + why + QStringLiteral("; no trace is written");
}

} // namespace tuner
