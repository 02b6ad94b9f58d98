#pragma once

#include <QDir>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

namespace tuner {

// A path as the system writes it (backslashes on Windows).
inline QString ShownPath(const QString &path) {
    return QDir::toNativeSeparators(path);
}

// The folder where a program keeps what it must not lose but is no document of the user's:
// $XDG_STATE_HOME, or ~/.local/state, on Linux; %LOCALAPPDATA% on Windows. Nothing when the
// system knows no such folder for this user (no home at all). Defined per platform
// (state_folder_<platform>.cpp).
std::optional<QString> StateFolder();

// The environment variable that names that folder ("XDG_STATE_HOME", "LOCALAPPDATA").
extern const char kStateFolderVariable[];

// How often a file that refused to open while it is still there is tried again, 10 ms apart:
// on Windows a file another process is removing refuses to open ("Sharing violation") for a
// moment before it is gone. Nowhere else does a refusal pass.
extern const int kOpenRetries;

// That folder as the system's shell writes it, for the help ("$XDG_STATE_HOME",
// "%LOCALAPPDATA%").
extern const char kStateFolderShown[];

// Makes the folder and those above it. Nothing once it is a folder, whether made now or by
// another process at the same moment (two first writes at once); else the system's reason, with
// the part of the path it concerns when that is not the folder itself ("/s/dccd-tuner is a link
// to /nowhere: No such file or directory").
std::optional<QString> MakeFolder(const QString &path);

// Why a folder that is not there cannot be reached, as the system says it: a link on its path
// that leads nowhere or loops, a part that is no folder. Nothing when it is there, or is only not
// made yet.
std::optional<QString> UnreachableFolder(const QString &path);

// Calls `each` with the name of every entry in the folder, hidden ones too, "." and ".." aside,
// in no order, and whether the listing itself tells it is a regular file (not a link); nothing
// when the folder cannot be read. Names only, each in a string of the listing's own that the next
// entry reuses: nothing is looked at or kept, so a listing of ten thousand costs what the
// system's own listing costs.
void ForEachEntry(const QString &folder, const std::function<void(QStringView, bool)> &each);

// The command of the system's shell that removes a file or an empty folder ("rm '/s/.lock'").
QString RemovalCommand(const QString &path, bool folder);

} // namespace tuner
