// A terminal for the dialogs' tests: a fixed screen size (changed by a
// scripted Redraw), a picture of '#' cells to draw boxes over, the screen
// last shown, and a script of events; past its end the dialog is told to end.
#pragma once

#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "engine/port/terminal/dialogs/dialog_canvas.h"
#include "engine/port/terminal/dialogs/dialog_terminal.h"
#include "engine/port/utf.h"

namespace kelm::port {

class ScriptedTerminal : public DialogTerminal {
 public:
  ScriptedTerminal(int columns = 60, int rows = 16) : columns_(columns), rows_(rows) {}

  void ScreenSize(int& columns, int& rows) override {
    columns = columns_;
    rows = rows_;
  }
  std::vector<CHAR_INFO> Background(int columns, int rows) override {
    return std::vector<CHAR_INFO>(static_cast<size_t>(columns) * static_cast<size_t>(rows),
                                  CHAR_INFO{u'#', 0x02});
  }
  void Show(const std::vector<CHAR_INFO>& cells, int columns, int rows) override {
    screen = DialogCanvas(cells, columns, rows);
    ++shows;
  }
  DialogEvent Next() override {
    if (script.empty()) {
      ++readsPastEnd;
      return DialogEvent{DialogEvent::Kind::End, {}, {}};
    }
    DialogEvent event = script.front();
    script.pop_front();
    if (event.kind == DialogEvent::Kind::Redraw && pendingSize.first > 0) {
      columns_ = pendingSize.first;
      rows_ = pendingSize.second;
    }
    return event;
  }
  std::u16string ClipboardText() override { return clipboard; }

  // --- scripting ----------------------------------------------------------------
  void Key(uint16_t vk, char16_t ch = 0, uint32_t state = 0) {
    DialogEvent event{DialogEvent::Kind::Key, {}, {}};
    event.key.bKeyDown = 1;
    event.key.wVirtualKeyCode = vk;
    event.key.UnicodeChar = ch;
    event.key.dwControlKeyState = state;
    script.push_back(event);
  }
  void Type(const std::u16string& text) {
    for (char16_t ch : text) Key(ch >= u'a' && ch <= u'z' ? static_cast<uint16_t>(ch - 32) : VK_PACKET, ch);
  }
  void Ctrl(char letter) { Key(static_cast<uint16_t>(letter), static_cast<char16_t>(letter - '@'), LEFT_CTRL_PRESSED); }
  void Click(int x, int y) {
    script.push_back(DialogEvent{DialogEvent::Kind::Click, {}, COORD{static_cast<int16_t>(x), static_cast<int16_t>(y)}});
  }
  // The terminal takes the new size with the Redraw event.
  void Resize(int columns, int rows) {
    pendingSize = {columns, rows};
    script.push_back(DialogEvent{DialogEvent::Kind::Redraw, {}, {}});
  }
  std::string RowText(int y) const { return ToUtf8(screen.Row(y)); }
  bool ScreenContains(const std::string& text) const {
    for (int y = 0; y < screen.Rows(); ++y) {
      if (RowText(y).find(text) != std::string::npos) return true;
    }
    return false;
  }

  std::deque<DialogEvent> script;
  DialogCanvas screen{0, 0};
  int shows = 0;
  int readsPastEnd = 0;
  std::u16string clipboard;
  std::pair<int, int> pendingSize{0, 0};
  int columns_;
  int rows_;
};

}  // namespace kelm::port
