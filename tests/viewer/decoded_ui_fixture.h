// Test fixture for the inspector panel and the Seek / selection-length forms:
// the whole viewer built on a virtual console of 119 x 30 cells (the engine
// draws 118 columns, which gives 20 bytes per grid row), run one frame at a
// time, with helpers that type keys, press the mouse and read the screen.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/utf.h"
#include "engine/port/virtual/virtual_console.h"
#include "viewer/values_panel.h"
#include "viewer/decoded_values.h"
#include "viewer/startup.h"
#include "viewer/viewer_state.h"

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

class InspectorUiTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                ("kelmhex-inspector-" + std::to_string(std::random_device{}()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
  }

  void TearDown() override {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

 public:
  // A file of these bytes in the test's own folder.
  std::string WriteFile(const std::vector<uint8_t>& bytes, const std::string& name = "data.bin") {
    const std::filesystem::path path = directory / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  // `size` bytes counting up from 0 (wrapping at 256).
  static std::vector<uint8_t> CountingBytes(size_t size) {
    std::vector<uint8_t> bytes(size);
    for (size_t i = 0; i < size; ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
  }

  // The viewer on `path` (which may name no file at all), after one frame.
  void StartOn(const std::string& path) {
    Stop();
    console = std::make_unique<VirtualConsole>(kConsoleColumns, kConsoleRows);
    kelm::port::SetPort(console.get());
    engine = new Engine(false, /*startThread=*/false);
    engine->SetupConsole();
    BuildViewer(*engine, path);
    Frame();
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

  void Stop() {
    delete engine;
    engine = nullptr;
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
    ClearInspectorValues();
    selectedValue = &leUnsigned;
    inspectorButtons.clear();
    draggingPanel = false;
  }

  void Frame(int count = 1) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(engine->RunFrame());
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

  void MoveMouse(int column, int row, bool leftHeld = false) {
    console->PushMouseMove(column, row, leftHeld ? kelm::port::FROM_LEFT_1ST_BUTTON_PRESSED : 0);
    Frame();
  }
  void Press(int column, int row) {
    console->PushLeftPress(column, row);
    Frame();
  }
  void Release(int column, int row) {
    console->PushLeftRelease(column, row);
    Frame();
  }
  void Click(int column, int row) {
    Press(column, row);
    Release(column, row);
  }

  // An active selection set directly, painted and decoded at once.
  void Select(uint64_t start, uint64_t length) {
    selection.start = start;
    selection.length = length;
    selectionAnchor = start;
    selectionActive = true;
    RecolourGrid();
    ShowSelectionOffset();
  }

  // `count` cells of a row as UTF-8 text.
  std::string Cells(int row, int column, int count) const {
    std::u16string text;
    for (int c = column; c < column + count; ++c) text += console->CharAt(c, row);
    return kelm::port::ToUtf8(text);
  }
  // Screen row without its trailing spaces.
  std::string Row(int row) const {
    std::string text = console->RowText(row);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
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

  // Root objects of the "Menus" layer still alive.
  std::vector<Object*> OpenBoxes() const {
    std::vector<Object*> boxes;
    for (Object* object : menusLayer->GetObjects()) {
      if (object != nullptr && !object->IsDestroyed()) boxes.push_back(object);
    }
    return boxes;
  }

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

  std::unique_ptr<VirtualConsole> console;
  Engine* engine = nullptr;
  std::filesystem::path directory;
};

// One row of the panel: the frame's bars around 30 inner cells.
inline std::string PanelLine(const std::string& inside) {
  return "|" + inside + std::string(30 - inside.size(), ' ') + "|";
}
inline std::string PanelBorder() { return "+" + std::string(30, '-') + "+"; }

}  // namespace inspector_ui_test
