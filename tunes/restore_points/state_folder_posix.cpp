#include "tunes/restore_points/state_folder.h"

#include <QDir>
#include <QFile>

#include <pwd.h>
#include <unistd.h>

namespace tuner {
namespace {

// $HOME, else the home the password database gives this user (a service or a cron job may run
// without HOME); "" for none. A relative one would move with the working folder.
QString HomeFolder() {
    const QString home = qEnvironmentVariable("HOME");
    if (!home.isEmpty() && QDir::isAbsolutePath(home))
        return home;
    const passwd *entry = ::getpwuid(::getuid());
    if (entry == nullptr || entry->pw_dir == nullptr)
        return {};
    const QString database = QFile::decodeName(entry->pw_dir);
    return QDir::isAbsolutePath(database) ? database : QString();
}

} // namespace

const char kStateFolderVariable[] = "XDG_STATE_HOME";
const char kStateFolderShown[] = "$XDG_STATE_HOME";

std::optional<QString> StateFolder() {
    const QString state = qEnvironmentVariable(kStateFolderVariable);
    // Only an absolute path counts: a relative one would move with the working folder.
    if (!state.isEmpty() && QDir::isAbsolutePath(state))
        return state;
    const QString home = HomeFolder();
    if (home.isEmpty())
        return std::nullopt;
    return QDir::cleanPath(home + QStringLiteral("/.local/state"));
}

} // namespace tuner
