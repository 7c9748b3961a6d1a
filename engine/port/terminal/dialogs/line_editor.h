// The editable line of the terminal's dialogs: the chooser's name line and
// the command prompt. The text is raw bytes (file names need not be UTF-8);
// typed and pasted characters are added as UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "engine/port/console_types.h"
#include "engine/port/terminal/dialogs/dialog_terminal.h"

namespace kelm::port {

class LineEditor {
 public:
  explicit LineEditor(std::string initial = {}) : text_(std::move(initial)) {}
  std::string& Text() { return text_; }
  const std::string& Text() const { return text_; }

  // Adds typed or pasted text, leaving out line breaks and other controls
  // (none belongs in a name or a command). A high surrogate waits for the
  // low one that follows it, even across calls; a lone low one is dropped.
  // Yields whether anything was added.
  bool Insert(std::u16string_view units);

  // Applies an editing key of a prompt line: Backspace removes a character,
  // Ctrl+Backspace or Ctrl+W a word, Ctrl+U clears, Ctrl+V inserts the
  // terminal's clipboard; a printable character (without Ctrl or Alt) is
  // typed. Yields whether the key was one of these.
  bool Handle(const KEY_EVENT_RECORD& key, DialogTerminal& terminal);

 private:
  void PopWord();

  std::string text_;
  char16_t highSurrogate_ = 0;
};

// Removes the last UTF-8 character (or stray byte) of `text`.
void PopUtf8Character(std::string& text);

}  // namespace kelm::port
