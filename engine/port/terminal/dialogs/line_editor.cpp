#include "engine/port/terminal/dialogs/line_editor.h"

#include "engine/port/utf.h"

namespace kelm::port {

bool LineEditor::Insert(std::u16string_view units) {
  bool changed = false;
  for (const char16_t unit : units) {
    if (unit < 0x20 || unit == 0x7F) continue;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      highSurrogate_ = unit;
      continue;
    }
    std::u16string character;
    if (unit >= 0xDC00 && unit <= 0xDFFF) {
      if (highSurrogate_ == 0) continue;
      character = {highSurrogate_, unit};
    } else {
      character = {unit};
    }
    highSurrogate_ = 0;
    text_ += ToUtf8(character);
    changed = true;
  }
  return changed;
}

bool LineEditor::Handle(const KEY_EVENT_RECORD& key, DialogTerminal& terminal) {
  const uint32_t state = key.dwControlKeyState;
  const bool ctrl = HasCtrl(state) && !HasAlt(state);
  if (key.wVirtualKeyCode == VK_BACK) {
    if (ctrl) {
      PopWord();
    } else {
      PopUtf8Character(text_);
    }
    return true;
  }
  if (ctrl) {
    switch (key.wVirtualKeyCode) {
      case 'U':
        text_.clear();
        return true;
      case 'W':
        PopWord();
        return true;
      case 'V':
        Insert(terminal.ClipboardText());
        return true;
      default:
        return false;
    }
  }
  if (HasAlt(state)) return false;
  const char16_t ch = key.UnicodeChar;
  if (ch < 0x20 || ch == 0x7F) return false;
  Insert(std::u16string_view(&ch, 1));
  return true;
}

void LineEditor::PopWord() {
  while (!text_.empty() && text_.back() == ' ') text_.pop_back();
  while (!text_.empty() && text_.back() != ' ') text_.pop_back();
}

void PopUtf8Character(std::string& text) {
  if (text.empty()) return;
  size_t end = text.size() - 1;
  // Step back over up to three continuation bytes to the lead byte.
  size_t back = 0;
  while (back < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
    ++back;
  }
  const unsigned char lead = static_cast<unsigned char>(text[end]);
  const size_t expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (back + 1 == expected) {
    text.erase(end);
  } else {
    text.pop_back();  // not a whole character: remove one stray byte
  }
}

}  // namespace kelm::port
