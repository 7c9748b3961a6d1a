// The viewer's test harness: the whole viewer built on a virtual console of
// the fixture's size, run one frame at a time without the frame thread, with
// files made in the test's own temporary folder, keys and mouse input, and
// the screen read back as text rows and colour digits. Below it, the three
// fixtures (viewer_test, inspector_ui_test, marks_copy_test) add only their
// geometry and the helpers of their area.
#pragma once

#include <gtest/gtest.h>

#include <cctype>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/hex_digits.h"
#include "engine/port/utf.h"
#include "engine/port/virtual/virtual_console.h"
#include "tests/support/expect_screen.h"
#include "viewer/decoded_values.h"
#include "viewer/scroll_bar.h"
#include "viewer/marks_store.h"
#include "app/startup.h"
#include "viewer/values_panel.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

namespace viewer_harness {

class ViewerHarness : public ::testing::Test {
 protected:
  // `folderPrefix` names the test's temporary folder (with the test's name).
  explicit ViewerHarness(std::string folderPrefix) : folderPrefix_(std::move(folderPrefix)) {}

  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                (folderPrefix_ + std::to_string(std::random_device{}()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
    // Marks are kept in the test's folder, never the user's state folder.
    SetMarksFolderForTests((directory / "state" / "marks").string());
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
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  std::string PathOf(const std::string& name) const { return (directory / name).string(); }

  // A sparse file of `size` bytes, all zero except the given bytes.
  std::string SparseFile(uint64_t size, uint64_t at = 0, const std::vector<uint8_t>& bytes = {},
                         const std::string& name = "sparse.bin") {
    const std::string path = PathOf(name);
    { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
    std::filesystem::resize_file(path, size);
    if (!bytes.empty()) {
      std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
      out.seekp(static_cast<std::streamoff>(at));
      out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }
    return path;
  }

  // Bytes 0, 1, 2, ... (mod 256).
  static std::vector<uint8_t> Counting(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
  }

  // The viewer on `path` on a console of `columns` x `rows` cells (the
  // engine draws columns - 1 of them), after its first frame.
  void StartViewer(const std::string& path, int columns, int rows) {
    Stop();
    showFileMap = fileMapShown;
    console = std::make_unique<kelm::port::VirtualConsole>(columns, rows);
    kelm::port::SetPort(console.get());
    engine = new KelmCEngineV2::Engine(false, /*startThread=*/false);
    engine->SetupConsole();
    BuildViewer(*engine, path);
    Frame();
  }

  // Ends the viewer and forgets every global it set.
  virtual void Stop() {
    delete engine;
    engine = nullptr;
    KelmCEngineV2::ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
  }

  void Frame(int count = 1) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(engine->RunFrame());
  }

  // Runs frames until `done` holds, at most `budget` of them.
  bool FramesUntil(const std::function<bool()>& done, int budget = 10) {
    for (int i = 0; i < budget; ++i) {
      if (done()) return true;
      if (!engine->RunFrame()) return false;
    }
    return done();
  }

  // --- keys ------------------------------------------------------------------------------
  // One rule for every key: it is handled in one frame and shown in the
  // next (the key handler runs after the grid was drawn in its frame), so
  // each key runs two frames.
  void Key(uint16_t virtualKey, uint32_t controlState = 0, char16_t ch = 0) {
    console->PushKey(virtualKey, ch, controlState);
    Frame(2);
  }
  void ShiftKey(uint16_t virtualKey) { Key(virtualKey, kelm::port::SHIFT_PRESSED); }
  // Ctrl with a key; a letter carries its control character.
  void CtrlKey(uint16_t virtualKey) {
    const bool letter = virtualKey >= 'A' && virtualKey <= 'Z';
    Key(virtualKey, kelm::port::LEFT_CTRL_PRESSED, letter ? static_cast<char16_t>(virtualKey - 'A' + 1) : 0);
  }
  void Escape() { Key(kelm::port::VK_ESCAPE, 0, u'\x1b'); }
  void Enter() { Key(kelm::port::VK_RETURN, 0, u'\r'); }
  // Types the characters one key each (letters by their upper-case key code,
  // with Shift for upper-case letters).
  void Type(const std::string& text) {
    for (const char c : text) {
      const bool upper = std::isupper(static_cast<unsigned char>(c)) != 0;
      const auto key = static_cast<uint16_t>(std::toupper(static_cast<unsigned char>(c)));
      Key(key, upper ? kelm::port::SHIFT_PRESSED : 0, static_cast<char16_t>(c));
    }
  }

  // --- mouse, one frame each ---------------------------------------------------------
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
  void ShiftClick(int column, int row) {
    console->SetKeyDown(kelm::port::VK_SHIFT, true);
    Click(column, row);
    console->SetKeyDown(kelm::port::VK_SHIFT, false);
  }
  void RightClick(int column, int row) {
    console->PushMouseMove(column, row);
    console->PushMouseButtons(column, row, kelm::port::RIGHTMOST_BUTTON_PRESSED);
    Frame();
    console->PushMouseButtons(column, row, 0);
    Frame();
  }

  // An active selection set directly, painted and shown at once.
  void Select(uint64_t start, uint64_t length) {
    selection.start = start;
    selection.length = length;
    selectionAnchor = start;
    selectionActive = true;
    RecolourGrid();
    ShowSelectionOffset();
  }

  // --- the screen ----------------------------------------------------------------------
  // Screen row without its trailing spaces.
  std::string Row(int row) const {
    std::string text = console->RowText(row);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
  // The whole screen, rows without their trailing spaces.
  std::vector<std::string> Screen() const {
    std::vector<std::string> rows;
    for (int r = 0; r < console->frameHeight; ++r) rows.push_back(Row(r));
    return rows;
  }
  // `count` cells of a row as UTF-8 text.
  std::string Cells(int row, int column, int count) const {
    std::u16string text;
    for (int c = column; c < column + count; ++c) text += console->CharAt(c, row);
    return kelm::port::ToUtf8(text);
  }
  // Colour digits of a row segment, one hexadecimal digit per cell.
  std::string Foreground(int row, int column, int count) const { return Digits(row, column, count, 0); }
  std::string Background(int row, int column, int count) const { return Digits(row, column, count, 4); }

  // Root objects of the "Menus" layer still alive.
  std::vector<KelmCEngineV2::Object*> LiveBoxes() const {
    std::vector<KelmCEngineV2::Object*> boxes;
    for (KelmCEngineV2::Object* object : KelmCEngineV2::menusLayer->GetObjects()) {
      if (object != nullptr && !object->IsDestroyed()) boxes.push_back(object);
    }
    return boxes;
  }

  size_t OpenBoxes() const { return LiveBoxes().size(); }

  std::unique_ptr<kelm::port::VirtualConsole> console;
  KelmCEngineV2::Engine* engine = nullptr;
  std::filesystem::path directory;
  // Whether the viewer starts with the file map at the grid's right edge
  // (the program's default). Off for the fixtures whose pictures show the
  // grid alone, so that their byte columns stay those of the whole width;
  // the file map's own tests turn it on.
  bool fileMapShown = false;

 private:
  std::string Digits(int row, int column, int count, int shift) const {
    std::string digits;
    for (int c = column; c < column + count; ++c) {
      digits += kelm::port::HexDigit(static_cast<unsigned>(console->AttributeAt(c, row) >> shift));
    }
    return digits;
  }

  std::string folderPrefix_;
};

}  // namespace viewer_harness

// --- the hex viewer on a console the test sizes: the grid's geometry on screen ----------
namespace viewer_test {

using namespace KelmCEngineV2;
using kelm::port::VirtualConsole;
using screen_test::ExpectScreen;

// The grid's first screen row and the column of the first hex pair.
inline constexpr int kFirstGridRow = 2;
inline constexpr int kHexX = 18;

class ViewerTest : public viewer_harness::ViewerHarness {
 protected:
  ViewerTest() : ViewerHarness("kelmhex-viewer-") {}

  void StartOn(const std::string& path, int columns = 119, int rows = 30) { StartViewer(path, columns, rows); }
  void Start(const std::vector<uint8_t>& bytes, int columns = 119, int rows = 30) {
    StartOn(WriteFile(bytes), columns, rows);
  }

  // Screen cells of a byte that is on screen.
  int HexX(uint64_t offset) const { return kHexX + 3 * static_cast<int>(offset % PerRow()); }
  int CharX(uint64_t offset) const { return 3 * PerRow() + 19 + 2 * static_cast<int>(offset % PerRow()); }
  int RowOf(uint64_t offset) const {
    const uint64_t first = static_cast<uint64_t>(topRow) * static_cast<uint64_t>(PerRow());
    return kFirstGridRow + static_cast<int>((offset - first) / static_cast<uint64_t>(PerRow()));
  }
  static int PerRow() { return bytesPerRow; }

  // A byte selected by clicking its hex pair.
  void ClickByte(uint64_t offset) { Click(HexX(offset), RowOf(offset)); }
  void ShiftClickByte(uint64_t offset) { ShiftClick(HexX(offset), RowOf(offset)); }

  // The status row's fields as shown (the part after the offset display).
  std::string StatusText() const {
    std::string text = console->RowText(console->frameHeight - 1);
    text = text.size() > 18 ? text.substr(18) : std::string();
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
};

}  // namespace viewer_test

// --- the inspector panel and the Seek / selection-length forms ---------------------------
// The viewer on a console of 119 x 30 cells (the engine draws 118 columns,
// which gives 20 bytes per grid row), with helpers that read the panel and
// the status fields.
namespace inspector_ui_test {

using namespace KelmCEngineV2;
using kelm::port::VirtualConsole;
using screen_test::ExpectScreen;

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

  int BackgroundAt(int column, int row) const { return (console->AttributeAt(column, row) >> 4) & 0xF; }
  int ForegroundAt(int column, int row) const { return console->AttributeAt(column, row) & 0xF; }

  // The panel's picture: kPanelHeight rows of kPanelWidth cells whose
  // top-left cell is at (column, row).
  std::vector<std::string> PanelAt(int column, int row) const {
    std::vector<std::string> lines;
    for (int r = row; r < row + kPanelHeight; ++r) lines.push_back(Cells(r, column, kPanelWidth));
    return lines;
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
};

// One row of the panel: the frame's bars around 30 inner cells.
inline std::string PanelLine(const std::string& inside) {
  return "|" + inside + std::string(30 - inside.size(), ' ') + "|";
}
inline std::string PanelBorder() { return "+" + std::string(30, '-') + "+"; }

}  // namespace inspector_ui_test

// --- the colour marks and the copy ----------------------------------------------------
// The viewer on a small console (41 x 20 cells: 4 bytes per grid row), with
// helpers that find a byte's cells on screen, select and mark.
namespace marks_copy_test {

using namespace KelmCEngineV2;
using kelm::port::VirtualConsole;
using screen_test::ExpectScreen;

// Grid geometry of the 41-column console: the hex pair of byte k of a row
// starts at column 18 + 3k, its character at column 31 + 2k; the grid's
// first row is screen row 2.
inline constexpr int kConsoleColumns = 41;
inline constexpr int kConsoleRows = 20;
inline constexpr int kBytesPerRow = 4;
inline constexpr int kHexColumnX = 18;
inline constexpr int kCharColumnX = 3 * kBytesPerRow + 19;
inline constexpr int kFirstGridRow = 2;

class ViewerTest : public viewer_harness::ViewerHarness {
 protected:
  ViewerTest() : ViewerHarness("kelmhex-marks-copy-") {}

  // The viewer on `path`, after its first frame.
  void StartOn(const std::string& path) { StartViewer(path, kConsoleColumns, kConsoleRows); }
  void Start(const std::vector<uint8_t>& bytes) { StartOn(WriteFile(bytes)); }

  // Screen cells of a byte of the first screen (topRow 0).
  static int HexX(uint64_t offset) { return kHexColumnX + 3 * static_cast<int>(offset % kBytesPerRow); }
  static int CharX(uint64_t offset) { return kCharColumnX + 2 * static_cast<int>(offset % kBytesPerRow); }
  static int RowOf(uint64_t offset) { return kFirstGridRow + static_cast<int>(offset / kBytesPerRow); }

  // A one-byte selection made by clicking the byte's hex pair.
  void SelectByClick(uint64_t offset) {
    Click(HexX(offset), RowOf(offset));
    ASSERT_TRUE(selectionActive);
    ASSERT_EQ(selection.start, offset);
  }

  void AddMark(char foreground, char background, std::u16string name, uint64_t start, uint64_t length) {
    MarkedRange mark;
    mark.foreground = foreground;
    mark.background = background;
    mark.name = std::move(name);
    mark.start = start;
    mark.length = length;
    markedRanges.push_back(mark);
    RecolourGrid();
  }
};

}  // namespace marks_copy_test
