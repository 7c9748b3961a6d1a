// kelmhex: the hex viewer on a terminal.
//
//   kelmhex [--] [FILE]
//   kelmhex --help | --version
//   kelmhex --show-screenshot FILE.ss
//   kelmhex --screenshot-to-html FILE.ss [OUT.html]
//
// Without FILE the open dialog asks for one. The terminal is given back as
// it was found when the viewer ends (q or F10, a quit signal, or the
// terminal going away). The options are handled before the terminal is
// touched: help, version, the screenshot tools and usage errors never change
// the terminal's modes.
#include <cstdlib>
#include <iostream>
#include <string>

#include "engine/port/console_port.h"
#include "engine/port/terminal/terminal_console.h"
#include "viewer/command_line.h"
#include "viewer/startup.h"

int main(int argc, char** argv) {
  const CommandLine command = ParseCommandLine(argc, argv);
  if (command.action != CommandAction::View) {
    return RunCommandLineAction(command, std::cout, std::cerr, std::getenv("COLORTERM"), std::getenv("NO_COLOR"));
  }

  // The viewer takes the file as its first argument, as it always did.
  std::string file = command.file.value_or(std::string());
  char* viewerArgs[] = {argc > 0 ? argv[0] : nullptr, file.data(), nullptr};
  const int viewerArgCount = command.file ? 2 : 1;
  if (!command.file) viewerArgs[1] = nullptr;

  kelm::port::TerminalConsole console;
  kelm::port::SetPort(&console);
  const int status = RunViewer(viewerArgCount, viewerArgs);
  console.Restore();
  return status;
}
