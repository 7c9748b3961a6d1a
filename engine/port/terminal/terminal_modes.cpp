#include "engine/port/terminal/terminal_modes.h"

#include <algorithm>

namespace kelm::port {

const TerminalMode kModeSaveTitle{"save title", "\x1b[22;2t", "\x1b[23;2t", false};
const TerminalMode kModeAlternateScreen{"alternate screen", "\x1b[?1049h", "\x1b[0m\x1b[?1049l", true};
const TerminalMode kModeHiddenCursor{"hidden cursor", "\x1b[?25l", "\x1b[?25h", true};
const TerminalMode kModeNoAutowrap{"no autowrap", "\x1b[?7l", "\x1b[?7h", true};
const TerminalMode kModeKittyKeyboard{"kitty keyboard", "\x1b[>1u", "\x1b[<u", false};
const TerminalMode kModeModifyOtherKeys{"modifyOtherKeys", "\x1b[>4;2m", "\x1b[>4m", true};
const TerminalMode kModeMouse{"mouse", "\x1b[?1000h\x1b[?1003h\x1b[?1006h",
                              "\x1b[?1006l\x1b[?1003l\x1b[?1002l\x1b[?1000l", true};
const TerminalMode kModeBracketedPaste{"bracketed paste", "\x1b[?2004h", "\x1b[?2004l", true};
const TerminalMode kModeFocusReports{"focus reports", "\x1b[?1004h", "\x1b[?1004l", true};

bool ModeStack::Contains(const TerminalMode& mode) const {
  return std::find(modes_.begin(), modes_.end(), &mode) != modes_.end();
}

std::string ModeStack::RestoreString() const {
  std::string out(kEndSynchronizedOutput);
  for (auto it = modes_.rbegin(); it != modes_.rend(); ++it) out += (*it)->leave;
  return out;
}

std::string ModeStack::ReassertString() const {
  std::string out;
  for (const TerminalMode* mode : modes_) {
    if (mode->idempotent) out += mode->enter;
  }
  return out;
}

std::string ModeStack::EnterString() const {
  std::string out;
  for (const TerminalMode* mode : modes_) out += mode->enter;
  return out;
}

}  // namespace kelm::port
