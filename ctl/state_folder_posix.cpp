#include "ctl/state_folder.h"

#include <QDir>

namespace tuner {

QString StateFolder() {
    const QString state = qEnvironmentVariable("XDG_STATE_HOME");
    // The base directory specification wants an absolute path; a relative one is ignored.
    if (!state.isEmpty() && QDir::isAbsolutePath(state))
        return state;
    return QDir::homePath() + QStringLiteral("/.local/state");
}

} // namespace tuner
