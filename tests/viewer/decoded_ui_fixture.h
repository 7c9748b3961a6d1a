// Test fixture for the inspector panel and the Seek / selection-length forms:
// the viewer on a console of 119 x 30 cells (the engine draws 118 columns,
// which gives 20 bytes per grid row), with helpers that type keys and read
// the panel and the status fields.
#pragma once

#include <cctype>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "engine/port/utf.h"
#include "viewer/decoded_values.h"
#include "viewer/values_panel.h"
#include "viewer/viewer_state.h"
#include "viewer_harness.h"

namespace inspector_ui_test {

using namespace KelmCEngineV2;
using kelm::port::VirtualConsole;

// Screen geometry: 118 drawn columns give (118 - 18) / 5 = 20 bytes per row;
// the hex pair of byte k of a row starts at column 18 + 3k; the grid's first
// row is screen row 2. The panel's top-left corner is at column 118 / 2.
inline constexpr int kConsoleColumns = 119;
inline constexpr int kConsoleRows = 30;
inline constexpr int kBytesPerRow = 20;
inline constexpr int kHexColumnX = 18;
inline constexpr int kFirstGridRow = 2;
inline constexpr int kPanelLeft = 59;
inline constexpr int kPanelTop = 2;
inline constexpr int kPanelWidth = 32;
inline constexpr int kPanelHeight = 18;

// The most frames a test waits for the screen to show what it expects.
inline constexpr int kFrameBudget = 10;

class InspectorUiTest : public viewer_harness::ViewerHarness {
 protected:
  InspectorUiTest() : ViewerHarness("kelmhex-inspector-") {}

 public:
  // `size` bytes counting up from 0 (wrapping at 256).
  static std::vector<uint8_t> CountingBytes(size_t size) { return Counting(size); }

  // The viewer on `path` (which may name no file at all), after one frame.
  void StartOn(const std::string& path) {
    StartViewer(path, kConsoleColumns, kConsoleRows);
    ASSERT_EQ(bytesPerRow, kBytesPerRow);
  }
  void Start(const std::vector<uint8_t>& bytes) { StartOn(WriteFile(bytes)); }
  // No file: a path that does not exist (the open failure shows a pop-up,
  // which is closed here so that it does not cover the screen).
  void StartWithoutFile() {
    StartOn((directory / "missing.bin").string());
    CloseAllMenus();
    Frame();
    console->messageBoxes.clear();
  }

  // Also forgets the inspector's own state.
  void Stop() override {
    ViewerHarness::Stop();
    ClearInspectorValues();
    selectedValue = &leUnsigned;
    inspectorButtons.clear();
    draggingPanel = false;
  }

  // Runs frames until `done` holds, at most kFrameBudget of them.
  bool FramesUntil(const std::function<bool()>& done) {
    for (int i = 0; i < kFrameBudget; ++i) {
      if (done()) return true;
      if (!engine->RunFrame()) return false;
    }
    return done();
  }

  // A key with the given control-key state, then one frame.
  void Key(uint16_t virtualKey, uint32_t controlState = 0, char16_t ch = 0) {
    console->PushKey(virtualKey, ch, controlState);
    Frame();
  }
  void CtrlKey(char letter) {
    Key(static_cast<uint16_t>(letter), kelm::port::LEFT_CTRL_PRESSED,
        static_cast<char16_t>(letter - 'A' + 1));
  }
  void Escape() { Key(kelm::port::VK_ESCAPE, 0, u'\x1b'); }
  void Enter() { Key(kelm::port::VK_RETURN, 0, u'\r'); }
  // Types the characters one key each (letters by their upper-case key code,
  // with Shift for upper-case letters), one frame per key.
  void Type(const std::string& text) {
    for (const char c : text) {
      const bool upper = std::isupper(static_cast<unsigned char>(c)) != 0;
      const auto key = static_cast<uint16_t>(std::toupper(static_cast<unsigned char>(c)));
      Key(key, upper ? kelm::port::SHIFT_PRESSED : 0, static_cast<char16_t>(c));
    }
  }

  // `count` cells of a row as UTF-8 text.
  std::string Cells(int row, int column, int count) const {
    std::u16string text;
    for (int c = column; c < column + count; ++c) text += console->CharAt(c, row);
    return kelm::port::ToUtf8(text);
  }
  int BackgroundAt(int column, int row) const { return (console->AttributeAt(column, row) >> 4) & 0xF; }
  int ForegroundAt(int column, int row) const { return console->AttributeAt(column, row) & 0xF; }

  // The panel's picture: kPanelHeight rows of kPanelWidth cells whose
  // top-left cell is at (column, row).
  std::vector<std::string> PanelAt(int column, int row) const {
    std::vector<std::string> lines;
    for (int r = row; r < row + kPanelHeight; ++r) lines.push_back(Cells(r, column, kPanelWidth));
    return lines;
  }

  std::vector<Object*> OpenBoxes() const { return LiveBoxes(); }

  const StatusField* FindField(const std::u16string& key) const {
    for (const StatusField& field : statusFields) {
      if (field.key == key) return &field;
    }
    return nullptr;
  }
  // The text of a status field while it is visible, else "(hidden)".
  std::string FieldText(const std::u16string& key) const {
    const StatusField* field = FindField(key);
    if (field == nullptr) return "(missing)";
    return field->visible ? kelm::port::ToUtf8(field->value) : "(hidden)";
  }
};

// One row of the panel: the frame's bars around 30 inner cells.
inline std::string PanelLine(const std::string& inside) {
  return "|" + inside + std::string(30 - inside.size(), ' ') + "|";
}
inline std::string PanelBorder() { return "+" + std::string(30, '-') + "+"; }

}  // namespace inspector_ui_test
