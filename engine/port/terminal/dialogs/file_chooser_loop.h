// The modal loop of the terminal's open and save dialogs around the file
// chooser (file_chooser.h).
#pragma once

#include <string>

#include "engine/port/terminal/dialogs/dialog_terminal.h"
#include "engine/port/terminal/dialogs/file_chooser.h"

namespace kelm::port {

enum class ChooserOutcome {
  Chosen,     // `path` holds the choice
  Cancelled,  // Esc
  Quit,       // the user asked the program to quit (F10)
  Ended,      // the terminal asked the dialog to end (quit signal, hang-up)
};

struct ChooserResult {
  ChooserOutcome outcome = ChooserOutcome::Cancelled;
  std::string path;
};

// Shows the chooser until the user chooses, cancels or quits. Modal: blocks
// the calling thread, reading events from `terminal`.
ChooserResult RunFileChooser(DialogTerminal& terminal, PathPromptKind kind, const std::string& startDir);

}  // namespace kelm::port
