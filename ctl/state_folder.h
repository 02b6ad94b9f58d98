#pragma once

#include <QString>

namespace tuner {

// The folder where a program keeps what it must not lose but is no document of the user's:
// $XDG_STATE_HOME, or ~/.local/state, on Linux; %LOCALAPPDATA% on Windows. Defined per platform
// (state_folder_<platform>.cpp).
QString StateFolder();

// The environment variable that names that folder ("XDG_STATE_HOME", "LOCALAPPDATA").
extern const char kStateFolderVariable[];

} // namespace tuner
