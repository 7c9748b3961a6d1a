// Test fixture for the colour marks and the copy: the whole viewer built on a
// small virtual console (41 x 20 cells: 4 bytes per grid row), run one frame
// at a time, with helpers that find a byte's cells on screen and read them
// back as text and colour digits.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/virtual/virtual_console.h"
#include "viewer/startup.h"
#include "viewer/viewer_state.h"

namespace marks_copy_test {

using namespace KelmCEngineV2;
using kelm::port::VirtualConsole;

// Grid geometry of the 41-column console: the hex pair of byte k of a row
// starts at column 18 + 3k, its character at column 31 + 2k; the grid's
// first row is screen row 2.
inline constexpr int kConsoleColumns = 41;
inline constexpr int kConsoleRows = 20;
inline constexpr int kBytesPerRow = 4;
inline constexpr int kHexColumnX = 18;
inline constexpr int kCharColumnX = 3 * kBytesPerRow + 19;
inline constexpr int kFirstGridRow = 2;

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                ("kelmhex-marks-copy-" + std::to_string(std::random_device{}()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
  }

  void TearDown() override {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  // A file of these bytes in the test's own folder.
  std::string WriteFile(const std::vector<uint8_t>& bytes, const std::string& name = "data.bin") {
    const std::filesystem::path path = directory / name;
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  // A sparse file of `size` bytes (all zero unless written to).
  std::string SparseFile(uint64_t size, const std::string& name = "sparse.bin") {
    const std::filesystem::path path = directory / name;
    { std::ofstream create(path, std::ios::binary); }
    std::filesystem::resize_file(path, size);
    return path.string();
  }

  // The viewer on `path`, after its first frame.
  void StartOn(const std::string& path) {
    Stop();
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
    console = std::make_unique<VirtualConsole>(kConsoleColumns, kConsoleRows);
    kelm::port::SetPort(console.get());
    engine = new Engine(false, /*startThread=*/false);
    engine->SetupConsole();
    BuildViewer(*engine, path);
    Frame();
  }

  void Start(const std::vector<uint8_t>& bytes) { StartOn(WriteFile(bytes)); }

  void Stop() {
    delete engine;
    engine = nullptr;
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
  }

  void Frame(int count = 1) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(engine->RunFrame());
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

  void MoveMouse(int column, int row) {
    console->PushMouseMove(column, row);
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

  // An active selection set directly, painted at once.
  void Select(uint64_t start, uint64_t length) {
    selection.start = start;
    selection.length = length;
    selectionAnchor = start;
    selectionActive = true;
    RecolourGrid();
    ShowSelectionOffset();
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

  // Screen row without its trailing spaces.
  std::string Row(int row) const {
    std::string text = console->RowText(row);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
  std::vector<std::string> Screen() const {
    std::vector<std::string> rows;
    for (int r = 0; r < console->frameHeight; ++r) rows.push_back(Row(r));
    return rows;
  }
  // `count` cells of a row as text.
  std::string Cells(int row, int column, int count) const {
    return console->RowText(row).substr(static_cast<size_t>(column), static_cast<size_t>(count));
  }
  // Colour digits of a row segment, one hexadecimal digit per cell.
  std::string Foreground(int row, int column, int count) const { return Digits(row, column, count, 0); }
  std::string Background(int row, int column, int count) const { return Digits(row, column, count, 4); }

  // Root objects of the "Menus" layer still alive.
  size_t OpenBoxes() const {
    size_t count = 0;
    for (Object* object : menusLayer->GetObjects()) {
      if (object != nullptr && !object->IsDestroyed()) ++count;
    }
    return count;
  }

  std::unique_ptr<VirtualConsole> console;
  Engine* engine = nullptr;
  std::filesystem::path directory;

 private:
  std::string Digits(int row, int column, int count, int shift) const {
    static const char kHex[] = "0123456789ABCDEF";
    std::string digits;
    for (int c = column; c < column + count; ++c) digits += kHex[(console->AttributeAt(c, row) >> shift) & 0xF];
    return digits;
  }
};

}  // namespace marks_copy_test
