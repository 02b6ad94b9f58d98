#pragma once

#include <QFile>
#include <QString>

#include <memory>
#include <variant>

namespace tuner {

// Opens the file that DCCD_TUNER_TRACE names for appending, without ever blocking: only a
// regular file (existing, or created here) is taken. A FIFO, a directory, a device or a path
// that cannot be created gives the reason instead ("not a regular file", "no such file or
// directory", ...), in lower case and without a final period. Defined per platform
// (trace_file_<platform>.cpp).
std::variant<std::unique_ptr<QFile>, QString> OpenTraceFile(const QString &path);

// The one stderr line that tells why no trace is written:
// "dccd-tuner: DCCD_TUNER_TRACE: <path>: <why>; no trace is written", the path escaped.
QString TraceRefusal(const QString &path, const QString &why);

} // namespace tuner
