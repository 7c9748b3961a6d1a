// kelmhex: the hex viewer on a terminal.
//
//   kelmhex [FILE]
//
// Without FILE the open dialog asks for one. The terminal is given back as
// it was found when the viewer ends (q or F10, a quit signal, or the
// terminal going away).
#include "engine/port/console_port.h"
#include "engine/port/terminal/terminal_console.h"
#include "viewer/startup.h"

int main(int argc, char** argv) {
  kelm::port::TerminalConsole console;
  kelm::port::SetPort(&console);
  const int status = RunViewer(argc, argv);
  console.Restore();
  return status;
}
