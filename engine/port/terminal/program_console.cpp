// The program's console on POSIX systems: the terminal.
#include "engine/port/program_console.h"

#include <fcntl.h>
#include <unistd.h>

#include "engine/port/terminal/terminal_console.h"

namespace kelm::port {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv[i] != nullptr; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

ProgramStart StartProgram(const std::optional<std::string>& file, bool readStandardInput) {
  ProgramStart start;
  const bool inputIsTerminal = isatty(STDIN_FILENO) != 0;
  // Looked at before anything is opened: a closed standard input would let
  // a descriptor of our own (the console's wake pipe, the spool's file)
  // take its number and be read as the data.
  const bool inputIsOpen = fcntl(STDIN_FILENO, F_GETFD) >= 0;
  start.standardInput = readStandardInput || (!file && !inputIsTerminal);
  TerminalSessionOptions options;
  options.standardInputIsData = start.standardInput;
  start.console = std::make_unique<TerminalConsole>(options);
  SetPort(start.console.get());
  if (start.standardInput) {
    if (!inputIsOpen) {
      start.failure = "kelmhex: standard input is closed; pipe the data in or name a file";
    }
    if (inputIsTerminal) {
      start.failure =
          "kelmhex: standard input is a terminal, not data; pipe the data in (cmd | kelmhex) or name a file";
    }
    return start;
  }
  start.file = file;
  return start;
}

}  // namespace kelm::port
