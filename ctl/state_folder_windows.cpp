#include "ctl/state_folder.h"

#include <QDir>
#include <QStandardPaths>

namespace tuner {

const char kStateFolderVariable[] = "LOCALAPPDATA";

// %LOCALAPPDATA% (C:\Users\<name>\AppData\Local): kept on this machine, not carried to others
// with a roaming profile, as the restore points belong to the car this laptop tunes.
QString StateFolder() {
    const QString local = qEnvironmentVariable(kStateFolderVariable);
    if (!local.isEmpty() && QDir::isAbsolutePath(local))
        return QDir::fromNativeSeparators(local);
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
}

} // namespace tuner
