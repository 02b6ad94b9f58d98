#include "tunes/restore_points/state_folder.h"

#include <QDir>
#include <QStandardPaths>

namespace tuner {

const char kStateFolderVariable[] = "LOCALAPPDATA";
const char kStateFolderShown[] = "%LOCALAPPDATA%";

// %LOCALAPPDATA% (C:\Users\<name>\AppData\Local): kept on this machine, not carried to others
// with a roaming profile, as the restore points belong to the car this laptop tunes. Without the
// variable, the system is asked for the folder: Qt's generic data location is the known folder
// LocalAppData (SHGetKnownFolderPath).
std::optional<QString> StateFolder() {
    const QString local = qEnvironmentVariable(kStateFolderVariable);
    if (!local.isEmpty() && QDir::isAbsolutePath(local))
        return QDir::fromNativeSeparators(local);
    const QString known = QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation);
    if (known.isEmpty())
        return std::nullopt;
    return known;
}

} // namespace tuner
