#include "ctl/ctl.h"

#include "ctl/session.h"

#include <QCoreApplication>
#include <QFileDevice>

namespace tuner {

int RunCtl(const QStringList &arguments, QTextStream &out, QTextStream &err) {
    std::optional<int> ended;
    {
        Ctl ctl(out, err);
        ctl.Start(arguments, [&ended](int code) {
            ended = code;
            QCoreApplication::exit(code); // nothing when the loop has not started
        });
        // A command that talks to a controller ends from the application's event loop, which
        // runs here, once, for the whole command.
        if (!ended)
            QCoreApplication::exec();
    }
    const int code = ended.value_or(kExitLineLost);
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
