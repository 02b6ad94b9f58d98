#include "ctl/state_folder.h"

#include <QDir>

namespace tuner {

const char kStateFolderVariable[] = "XDG_STATE_HOME";

QString StateFolder() {
    const QString state = qEnvironmentVariable(kStateFolderVariable);
    // Only an absolute path counts: a relative one would move with the working folder.
    if (!state.isEmpty() && QDir::isAbsolutePath(state))
        return state;
    return QDir::homePath() + QStringLiteral("/.local/state");
}

} // namespace tuner
