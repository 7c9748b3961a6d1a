// Where the program keeps what belongs to the user: the settings they chose
// and the state it keeps between runs (marks, for example).
//
// On POSIX systems these follow the XDG base-directory rules: the settings
// folder is $XDG_CONFIG_HOME/kelmhex (by default ~/.config/kelmhex) and the
// state folder $XDG_STATE_HOME/kelmhex (by default ~/.local/state/kelmhex);
// a variable that is not an absolute path is invalid and ignored. On
// Windows they are %APPDATA%\kelmhex and %LOCALAPPDATA%\kelmhex.
#pragma once

#include <string>

namespace kelm::port {

// The user's home folder ($HOME when it is absolute, otherwise the user
// database's entry; %USERPROFILE% on Windows); empty when neither is known.
std::string HomeFolder();

// The settings folder; empty when no home folder is known either.
std::string ConfigFolder();

// The state folder; empty when no home folder is known either.
std::string StateFolder();

// Creates `path` and every missing folder above it, new ones private to the
// user. Yields 0 (also when it was there), ENOTDIR when something other than
// a folder is in the way, or another errno value.
int MakeFolders(const std::string& path);

}  // namespace kelm::port
