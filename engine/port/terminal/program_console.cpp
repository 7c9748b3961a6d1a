// The program's console on POSIX systems: the terminal.
#include "engine/port/program_console.h"

#include "engine/port/terminal/terminal_console.h"

namespace kelm::port {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments;
  for (int i = 0; i < argc && argv[i] != nullptr; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

ProgramStart StartProgram(const std::optional<std::string>& file) {
  ProgramStart start;
  start.console = std::make_unique<TerminalConsole>();
  SetPort(start.console.get());
  start.file = file;
  return start;
}

}  // namespace kelm::port
