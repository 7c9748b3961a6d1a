// Test fixture for the hex viewer: the whole viewer built on a virtual
// console the test sizes, run one frame at a time without the frame thread,
// with files made in the test's own temporary folder and helpers that read
// the screen back as text rows and colour digits.
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

namespace viewer_test {

using namespace KelmCEngineV2;
using kelm::port::VirtualConsole;

// The grid's first screen row and the column of the first hex pair.
inline constexpr int kFirstGridRow = 2;
inline constexpr int kHexX = 18;

class ViewerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = std::filesystem::temp_directory_path() /
                ("kelmhex-viewer-" + std::to_string(std::random_device{}()) + "-" +
                 ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::remove_all(directory);
    std::filesystem::create_directories(directory);
  }

  void TearDown() override {
    Stop();
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  // --- files ---------------------------------------------------------------------
  std::string PathOf(const std::string& name) const { return (directory / name).string(); }

  std::string WriteFile(const std::vector<uint8_t>& bytes, const std::string& name = "data.bin") {
    const std::string path = PathOf(name);
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  // Bytes 0, 1, 2, ... (mod 256).
  static std::vector<uint8_t> Counting(size_t count) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i);
    return bytes;
  }

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

  // --- the viewer ------------------------------------------------------------------
  // The viewer on `path` on a console of `columns` x `rows` cells (the
  // engine draws columns - 1 of them), after its first frame.
  void StartOn(const std::string& path, int columns = 119, int rows = 30) {
    Stop();
    console = std::make_unique<VirtualConsole>(columns, rows);
    kelm::port::SetPort(console.get());
    engine = new Engine(false, /*startThread=*/false);
    engine->SetupConsole();
    BuildViewer(*engine, path);
    Frame();
  }

  void Start(const std::vector<uint8_t>& bytes, int columns = 119, int rows = 30) {
    StartOn(WriteFile(bytes), columns, rows);
  }

  void Stop() {
    delete engine;
    engine = nullptr;
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
  }

  void Frame(int count = 1) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(engine->RunFrame());
  }

  // --- input -------------------------------------------------------------------------
  // A key, handled in one frame and shown in the next: the key handler runs
  // after the grid was drawn in its frame.
  void Key(uint16_t virtualKey, uint32_t controlState = 0, char16_t ch = 0) {
    console->PushKey(virtualKey, ch, controlState);
    Frame(2);
  }
  void ShiftKey(uint16_t virtualKey) { Key(virtualKey, kelm::port::SHIFT_PRESSED); }
  void CtrlKey(uint16_t virtualKey) {
    const bool letter = virtualKey >= 'A' && virtualKey <= 'Z';
    Key(virtualKey, kelm::port::LEFT_CTRL_PRESSED, letter ? static_cast<char16_t>(virtualKey - 'A' + 1) : 0);
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

  // --- the grid on screen ------------------------------------------------------------------
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

  // Screen row without its trailing spaces.
  std::string Row(int row) const {
    std::string text = console->RowText(row);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
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

  // The status row's fields as shown (the part after the offset display).
  std::string StatusText() const {
    std::string text = console->RowText(console->frameHeight - 1);
    text = text.size() > 18 ? text.substr(18) : std::string();
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
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

}  // namespace viewer_test
