// The program's console on Windows: the Win32 console.
#include "engine/port/program_console.h"

#include <cstdio>

#include "engine/port/windows/windows_console.h"
#include "engine/port/windows/windows_startup.h"

namespace kelm::port {

std::vector<std::string> ProgramArguments(int argc, char** argv) {
  std::vector<std::string> arguments = CommandLineArgumentsUtf8();
  if (!arguments.empty()) return arguments;
  for (int i = 0; i < argc && argv[i] != nullptr; ++i) arguments.emplace_back(argv[i]);
  return arguments;
}

ProgramStart StartProgram(const std::optional<std::string>& file, bool readStandardInput) {
  ProgramStart start;
  // The console's keys come from standard input: a pipe there leaves none.
  if (readStandardInput || (!file && StandardInputIsPipe())) {
    start.console = std::make_unique<WindowsConsole>();
    SetPort(start.console.get());
    start.failure =
        "kelmhex: reading standard input is not supported on Windows; save the data to a file and name it";
    return start;
  }
  // A relative name is made absolute first, so that it still means what it
  // meant where the user stood.
  if (file) start.file = AbsolutePath(*file);
  EnterProgramFolder();
  auto console = std::make_unique<WindowsConsole>();
  WindowsConsole& windows = *console;
  start.console = std::move(console);
  SetPort(start.console.get());
  if (start.file) return start;
  // The open dialog until a file is chosen. A dialog that cannot be shown at
  // all (no desktop, as in a session without a display) would fail the same
  // way forever: then the program says so and ends.
  for (;;) {
    std::optional<std::string> chosen = windows.OpenFileDialog(std::string());
    if (chosen && !chosen->empty()) {
      start.file = std::move(*chosen);
      return start;
    }
    if (windows.LastDialogError() != 0) {
      char text[160];
      std::snprintf(text, sizeof text,
                    "kelmhex: the open dialog cannot be shown (error 0x%X); name the file: kelmhex FILE",
                    windows.LastDialogError());
      start.failure = text;
      return start;
    }
  }
}

}  // namespace kelm::port
