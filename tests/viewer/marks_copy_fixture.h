// Test fixture for the colour marks and the copy: the viewer on a small
// console (41 x 20 cells: 4 bytes per grid row), with helpers that find a
// byte's cells on screen, select and mark.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "viewer/viewer_state.h"
#include "viewer_harness.h"

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

class ViewerTest : public viewer_harness::ViewerHarness {
 protected:
  ViewerTest() : ViewerHarness("kelmhex-marks-copy-") {}

  // A sparse file of `size` bytes (all zero unless written to).
  std::string SparseFile(uint64_t size, const std::string& name = "sparse.bin") {
    const std::filesystem::path path = directory / name;
    { std::ofstream create(path, std::ios::binary); }
    std::filesystem::resize_file(path, size);
    return path.string();
  }

  // The viewer on `path`, after its first frame.
  void StartOn(const std::string& path) { StartViewer(path, kConsoleColumns, kConsoleRows); }
  void Start(const std::vector<uint8_t>& bytes) { StartOn(WriteFile(bytes)); }

  // A key with the given control-key state, then one frame.
  void Key(uint16_t virtualKey, uint32_t controlState = 0, char16_t ch = 0) {
    console->PushKey(virtualKey, ch, controlState);
    Frame();
  }
  void CtrlKey(char letter) {
    Key(static_cast<uint16_t>(letter), kelm::port::LEFT_CTRL_PRESSED,
        static_cast<char16_t>(letter - 'A' + 1));
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

  std::vector<std::string> Screen() const {
    std::vector<std::string> rows;
    for (int r = 0; r < console->frameHeight; ++r) rows.push_back(Row(r));
    return rows;
  }
  // `count` cells of a row as text.
  std::string Cells(int row, int column, int count) const {
    return console->RowText(row).substr(static_cast<size_t>(column), static_cast<size_t>(count));
  }
  size_t OpenBoxes() const { return LiveBoxes().size(); }
};

}  // namespace marks_copy_test
