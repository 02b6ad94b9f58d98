#include "ctl/state_folder.h"

#include <QDir>

namespace tuner {

QString StateFolder() {
    const QString local = qEnvironmentVariable("LOCALAPPDATA");
    if (!local.isEmpty())
        return QDir::fromNativeSeparators(local);
    return QDir::homePath() + QStringLiteral("/AppData/Local");
}

} // namespace tuner
