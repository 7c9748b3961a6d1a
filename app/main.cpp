// kelmhex: the hex viewer on a terminal or a Windows console.
//
//   kelmhex [--] [FILE]
//   kelmhex --help | --version
//   kelmhex --show-screenshot FILE.ss
//   kelmhex --screenshot-to-html FILE.ss [OUT.html]
//
// Without FILE the open dialog asks for one. The console is given back as
// it was found when the viewer ends (q or F10, a quit signal, or the
// terminal going away). The options are handled before the console is
// touched: help, version, the screenshot tools and usage errors never change
// the console's modes.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/startup.h"
#include "engine/port/console_port.h"
#ifdef _WIN32
#include "engine/port/windows/windows_console.h"
#include "engine/port/windows/windows_startup.h"
#else
#include "engine/port/terminal/terminal_console.h"
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
  // The arguments as UTF-8, the encoding of every path inside the program.
  std::vector<std::string> arguments = kelm::port::CommandLineArgumentsUtf8();
  std::vector<char*> argumentPointers;
  for (std::string& argument : arguments) argumentPointers.push_back(argument.data());
  argumentPointers.push_back(nullptr);
  if (!arguments.empty()) {
    argc = static_cast<int>(arguments.size());
    argv = argumentPointers.data();
  }
#endif
  const CommandLine command = ParseCommandLine(argc, argv);
  if (command.action != CommandAction::View) {
    return RunCommandLineAction(command, std::cout, std::cerr, std::getenv("COLORTERM"), std::getenv("NO_COLOR"));
  }

  std::string file = command.file.value_or(std::string());
#ifdef _WIN32
  // The program works from its own folder, so that it holds no other folder
  // open; the file named on the command line is made absolute first, so a
  // relative name still means what it meant where the user stood.
  if (command.file) file = kelm::port::AbsolutePath(file);
  kelm::port::EnterProgramFolder();
  kelm::port::WindowsConsole console;
  kelm::port::SetPort(&console);
  if (!command.file) {
    // The open dialog until a file is chosen. A dialog that cannot be shown
    // at all (no desktop, as in a session without a display) would fail the
    // same way forever: then the program says so and ends.
    for (;;) {
      std::optional<std::string> chosen = console.OpenFileDialog(std::string());
      if (chosen && !chosen->empty()) {
        file = std::move(*chosen);
        break;
      }
      if (console.LastDialogError() != 0) {
        std::fprintf(stderr, "kelmhex: the open dialog cannot be shown (error 0x%X); name the file: kelmhex FILE\n",
                     console.LastDialogError());
        return kExitFailure;
      }
    }
  }
  // The viewer takes the file as its first argument.
  char* viewerArgs[] = {argc > 0 ? argv[0] : nullptr, file.data(), nullptr};
  const int status = RunViewer(2, viewerArgs);
#else
  // The viewer takes the file as its first argument, as it always did.
  char* viewerArgs[] = {argc > 0 ? argv[0] : nullptr, file.data(), nullptr};
  const int viewerArgCount = command.file ? 2 : 1;
  if (!command.file) viewerArgs[1] = nullptr;

  kelm::port::TerminalConsole console;
  kelm::port::SetPort(&console);
  const int status = RunViewer(viewerArgCount, viewerArgs);
#endif
  console.Restore();
  return status;
}
