// Start-up steps of the program on Windows.
#pragma once

#include <string>
#include <vector>

#include "engine/port/absolute_path.h"

namespace kelm::port {

// The program's arguments as UTF-8, read from the wide command line (the C
// runtime's narrow arguments may have lost characters to the code page).
std::vector<std::string> CommandLineArgumentsUtf8();

// AbsolutePath (engine/port/absolute_path.h) is defined with the start-up,
// which makes the path argument absolute before entering the program's
// folder.

// The folder part of a program path: everything before the last backslash
// (the backslash itself dropped), or the whole text when it has none.
std::wstring ProgramFolder(const std::wstring& programPath);

// Makes the folder of the running program the current directory, so that
// it does not hold on to the folder it was started from. A failure is
// ignored. Relative paths from the command line must be made absolute
// first.
void EnterProgramFolder();

// Whether standard input is a pipe (the console's keys come from standard
// input, so a pipe there leaves no keyboard).
bool StandardInputIsPipe();

}  // namespace kelm::port
