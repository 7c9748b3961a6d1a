// Test fixture for the hex viewer on a console the test sizes: keys, clicks
// and the grid's geometry on screen.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "viewer/viewer_state.h"
#include "viewer_harness.h"

namespace viewer_test {

using namespace KelmCEngineV2;
using kelm::port::VirtualConsole;

// The grid's first screen row and the column of the first hex pair.
inline constexpr int kFirstGridRow = 2;
inline constexpr int kHexX = 18;

class ViewerTest : public viewer_harness::ViewerHarness {
 protected:
  ViewerTest() : ViewerHarness("kelmhex-viewer-") {}

  // --- files ---------------------------------------------------------------------
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

  // --- the viewer ------------------------------------------------------------------
  void StartOn(const std::string& path, int columns = 119, int rows = 30) { StartViewer(path, columns, rows); }
  void Start(const std::vector<uint8_t>& bytes, int columns = 119, int rows = 30) {
    StartOn(WriteFile(bytes), columns, rows);
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

  // `count` cells of a row as text.
  std::string Cells(int row, int column, int count) const {
    return console->RowText(row).substr(static_cast<size_t>(column), static_cast<size_t>(count));
  }
  size_t OpenBoxes() const { return LiveBoxes().size(); }

  // The status row's fields as shown (the part after the offset display).
  std::string StatusText() const {
    std::string text = console->RowText(console->frameHeight - 1);
    text = text.size() > 18 ? text.substr(18) : std::string();
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
};

}  // namespace viewer_test
