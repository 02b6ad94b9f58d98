#pragma once

#include <QString>

#include <optional>

namespace tuner {

// The folder where a program keeps what it must not lose but is no document of the user's:
// $XDG_STATE_HOME, or ~/.local/state, on Linux; %LOCALAPPDATA% on Windows. Nothing when the
// system knows no such folder for this user (no home at all). Defined per platform
// (state_folder_<platform>.cpp).
std::optional<QString> StateFolder();

// The environment variable that names that folder ("XDG_STATE_HOME", "LOCALAPPDATA").
extern const char kStateFolderVariable[];

// That folder as the system's shell writes it, for the help ("$XDG_STATE_HOME",
// "%LOCALAPPDATA%").
extern const char kStateFolderShown[];

} // namespace tuner
