#include "ctl/ctl.h"

#include "ctl/session.h"

#include <QFileDevice>

namespace tuner {

int RunCtl(const QStringList &arguments, QTextStream &out, QTextStream &err) {
    const int code = Ctl(out, err).Run(arguments);
    // What went to standard output counts only once it got there: a full disk or a closed
    // descriptor shows at the flush, or at the close of a file.
    out.flush();
    bool written = out.status() == QTextStream::Ok;
    QString reason = out.device() != nullptr ? out.device()->errorString() : QString();
    if (auto *file = qobject_cast<QFileDevice *>(out.device()); file != nullptr && written) {
        file->close();
        written = file->error() == QFileDevice::NoError;
        reason = file->errorString();
    }
    if (written || (code != kExitOk && code != kExitDifferent))
        return code;
    err << kProgram << ": Cannot write standard output: " << reason << ".\n";
    err.flush();
    return kExitBadFile;
}

} // namespace tuner
