// Offering the viewer for every file in the desktop's file managers: a
// desktop entry named "Hex Editor" in the user's applications folder
// ($XDG_DATA_HOME/applications, by default ~/.local/share/applications) that
// opens any file in the viewer, in a terminal. Registered means the entry
// exists; unregistering deletes it. Never touches anyone's default
// applications.
//
// On Windows the same calls keep a verb "Hex Editor" for all file types
// under HKEY_CURRENT_USER\SOFTWARE\Classes\*\shell instead (registered
// means its command key exists), and `error` holds the registry's code.
#pragma once

#include <string>

namespace kelm::port {

#ifndef _WIN32
// The entry's file name inside the applications folder.
inline constexpr const char* kDesktopEntryFileName = "kelmhex-hex-editor.desktop";
// The name file managers show.
inline constexpr const char* kDesktopEntryName = "Hex Editor";
#endif

// The outcome of a change. On failure `step` names what failed and `error`
// holds the errno value:
//   '1' creating the applications folder,
//   '2' finding the program's own path or writing the new entry's contents,
//   '3' saving the new entry to the disk,
//   '4' putting the entry in place, or deleting it when unregistering.
// A refusal that no errno value describes carries its own text in
// `message` instead.
struct RegistrationResult {
  bool ok = true;
  char step = 0;
  int error = 0;
  std::string message;
};

#ifndef _WIN32
// $XDG_DATA_HOME/applications when XDG_DATA_HOME is an absolute path,
// otherwise $HOME/.local/share/applications; empty when neither is known.
std::string ApplicationsDirectory();
// The entry's full path; empty when the folder is not known.
std::string DesktopEntryPath();

// One argument of an Exec line: kept as it is when it holds no reserved
// character, otherwise in double quotes with '"', '`', '$' and '\' escaped by
// a backslash; every '%' doubled. Then the escapes of a string value: each
// backslash doubled, line breaks, tabs and carriage returns as \n, \t, \r.
std::string EscapeExecArgument(const std::string& argument);
// The whole entry for a program path.
std::string DesktopEntryText(const std::string& programPath);
#endif

// Whether the entry exists.
bool IsRegistered();
// Writes the entry for the running program (or for `programPath`) atomically:
// a temporary file beside it, renamed into place. Then refreshes the desktop's
// application cache for the folder when the tool for it is installed. A path
// that is not absolute UTF-8, or that holds control characters (which the
// desktop-entry format allows in no value), is refused at step '2' and
// nothing is written.
RegistrationResult RegisterVerb();
RegistrationResult RegisterVerb(const std::string& programPath);
// Deletes the entry (an entry that is already gone counts as deleted).
RegistrationResult UnregisterVerb();

// The system's text for an errno value (a system error code on Windows).
std::string SystemErrorText(int error);

}  // namespace kelm::port
