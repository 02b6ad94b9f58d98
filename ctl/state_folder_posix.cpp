#include "ctl/state_folder.h"

#include <QDir>

namespace tuner {

const char kStateFolderVariable[] = "XDG_STATE_HOME";

QString StateFolder() {
    const QString state = qEnvironmentVariable(kStateFolderVariable);
    // The base directory specification wants an absolute path; a relative one is ignored.
    if (!state.isEmpty() && QDir::isAbsolutePath(state))
        return state;
    return QDir::homePath() + QStringLiteral("/.local/state");
}

} // namespace tuner
