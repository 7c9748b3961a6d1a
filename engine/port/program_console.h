// The console the program runs on, chosen when the program is linked: the
// terminal backend on POSIX systems (terminal/program_console.cpp), the
// Windows console on Windows (windows/program_console.cpp). The program's
// entry point calls these and has no platform code of its own.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "engine/port/console_port.h"

namespace kelm::port {

// The program's arguments as UTF-8, the encoding of every path inside the
// program: on Windows read from the wide command line (the C runtime's narrow
// arguments may have lost characters to the code page), elsewhere `argv` as
// given.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// What the viewer starts with.
struct ProgramStart {
  // The console, already the port (SetPort); Restore it when the viewer ends.
  std::unique_ptr<ConsolePort> console;
  // The file to view; none: the viewer asks with its own open dialog.
  std::optional<std::string> file;
  // The data to view comes on standard input (`cmd | kelmhex`, `kelmhex -`):
  // `file` is then empty, and the keys come from the controlling terminal.
  bool standardInput = false;
  // Not empty: the program cannot start. The text to print (one line) before
  // ending with a failure status; `console` is then still set.
  std::string failure;
};

// Makes the platform's console the port and settles the file to view from
// the one named on the command line (`file`, if any). On Windows the name is
// made absolute and the program then works from its own folder, so that it
// holds no other folder open; without a name the open dialog asks until a
// file is chosen (a dialog that cannot be shown at all is a failure).
//
// Standard input is the data to view when `readStandardInput` is set (the
// file "-") or when no file is named and standard input is not a terminal.
// Standard input that is a terminal cannot also be the data: a failure.
// Windows reads the console's keys from standard input, so piped input is
// refused there with a failure that says so.
ProgramStart StartProgram(const std::optional<std::string>& file, bool readStandardInput = false);

}  // namespace kelm::port
