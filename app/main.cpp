// kelmhex: the hex viewer on a terminal or a Windows console.
//
//   kelmhex [-w N|fit] [--] [FILE | -]
//   kelmhex --help | --version
//   kelmhex --show-screenshot FILE.ss
//   kelmhex --screenshot-to-html FILE.ss [OUT.html]
//
// Without FILE the open dialog asks for one; "-", or no FILE while standard
// input is not a terminal (`cmd | kelmhex`), views standard input. The console is given back as
// it was found when the viewer ends (q or F10, a quit signal, or the
// terminal going away). The options are handled before the console is
// touched: help, version, the screenshot tools and usage errors never change
// the console's modes.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/startup.h"
#include "engine/port/program_console.h"
#include "viewer/display_settings.h"

using namespace kelm::viewer;

int main(int argc, char** argv) {
  // The arguments as UTF-8, the encoding of every path inside the program.
  std::vector<std::string> arguments = kelm::port::ProgramArguments(argc, argv);
  std::vector<char*> argumentPointers;
  for (std::string& argument : arguments) argumentPointers.push_back(argument.data());
  argumentPointers.push_back(nullptr);
  if (!arguments.empty()) {
    argc = static_cast<int>(arguments.size());
    argv = argumentPointers.data();
  }
  const CommandLine command = ParseCommandLine(argc, argv);
  if (command.action != CommandAction::View) {
    return RunCommandLineAction(command, std::cout, std::cerr, std::getenv("COLORTERM"), std::getenv("NO_COLOR"));
  }

  if (command.bytesPerRow) {
    SetCommandLineSetting("bytes-per-row", *command.bytesPerRow == 0 ? std::string("fit")
                                                                      : std::to_string(*command.bytesPerRow));
  }

  // The platform's console as the port, and the file to view (the viewer
  // asks for one itself when there is none yet).
  kelm::port::ProgramStart start = kelm::port::StartProgram(command.file, command.standardInput);
  if (!start.failure.empty()) {
    std::fprintf(stderr, "%s\n", start.failure.c_str());
    return kExitFailure;
  }
  if (start.standardInput) {
    const int status = RunViewerOnStandardInput();
    start.console->Restore();
    return status;
  }
  // The viewer takes the file as its first argument.
  std::string file = start.file.value_or(std::string());
  char* viewerArgs[] = {argc > 0 ? argv[0] : nullptr, start.file ? file.data() : nullptr, nullptr};
  const int status = RunViewer(start.file ? 2 : 1, viewerArgs);
  start.console->Restore();
  return status;
}
