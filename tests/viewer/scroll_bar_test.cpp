// The scrollbar that maps the file, on a 41 x 12 console: the engine draws 40
// columns, the grid keeps 4 bytes per row in columns 0 to 37 and the bar
// takes column 39 over the 8 grid rows (screen rows 2 to 9), one cell per
// eighth of the file.
#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "tests/viewer/viewer_harness.h"
#include "viewer/bar_geometry.h"
#include "viewer/scroll_bar.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

constexpr int kColumns = 41;
constexpr int kRows = 12;
constexpr int kBarX = 39;
constexpr int kBarCells = 8;
constexpr uint64_t kShare = 64 * 1024;
const std::string kThumb = "\u2503";

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator());
  return bytes;
}

class FileMapBar : public ViewerTest {
 protected:
  FileMapBar() { fileMapShown = true; }

  void StartSmall(const std::string& path) { StartOn(path, kColumns, kRows); }

  // Frames until the map is complete (and its last slice shown).
  void MapFully() {
    ASSERT_TRUE(FramesUntil([] { return ViewedFileMap().Complete(); }, 20));
    Frame(2);
  }

  // The bar top to bottom: its characters, and its background digits.
  std::string BarText() const { return Column(true); }
  std::string BarColours() const { return Column(false); }

  // The grid's first offset shown.
  std::string TopOffset() const { return Cells(kFirstGridRow, 0, 16); }

  void PressBar(int cell) { Press(kBarX, kFirstGridRow + cell); }
  // A wheel notch at a cell, after the move a terminal reports with it;
  // `notches` > 0 turns away from the user.
  void WheelAt(int column, int row, int notches) {
    console->PushMouseMove(column, row);
    console->PushWheel(column, row, notches);
    Frame(2);
  }
  void DragTo(int row) { MoveMouse(kBarX, row, /*leftHeld=*/true); }

 private:
  std::string Column(bool text) const {
    std::string out;
    for (int cell = 0; cell < kBarCells; ++cell) {
      const int row = kFirstGridRow + cell;
      out += text ? Cells(row, kBarX, 1) : Background(row, kBarX, 1);
    }
    return out;
  }
};

// Eight shares of 64 KiB: written zeros, text, random bytes, a hole, a table
// of small numbers, text, random bytes, and a hole to the end.
TEST_F(FileMapBar, EachShareIsColouredByWhatItHolds) {
  std::vector<uint8_t> bytes(8 * kShare, 0);
  const auto put = [&bytes](int share, const std::vector<uint8_t>& content) {
    std::copy(content.begin(), content.end(), bytes.begin() + static_cast<std::ptrdiff_t>(share * kShare));
  };
  std::string text;
  while (text.size() < kShare) text += "The quick brown fox jumps over the lazy dog.\n";
  text.resize(kShare);
  std::vector<uint8_t> table(kShare, 0);
  for (size_t i = 0; i < table.size(); i += 4) table[i] = static_cast<uint8_t>(i / 4 % 200 + 1);
  put(1, {text.begin(), text.end()});
  put(2, RandomBytes(kShare, 11));
  put(4, table);
  put(5, {text.begin(), text.end()});
  put(6, RandomBytes(kShare, 12));
  // Shares 3 and 7 become holes: only the written parts are written.
  const std::string path = SparseFile(8 * kShare);
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    for (const int share : {0, 1, 2, 4, 5, 6}) {
      out.seekp(static_cast<std::streamoff>(share * kShare));
      out.write(reinterpret_cast<const char*>(bytes.data() + share * kShare), static_cast<std::streamsize>(kShare));
    }
  }
  StartSmall(path);
  MapFully();
  ExpectScreen(*console,
               {"     [ File ]    [ Settings ]",
                "----------------+-------------+---------",
                "0000000000000000| 00 00 00 00 |. . . . " + kThumb,
                "0000000000000004| 00 00 00 00 |. . . .",
                "0000000000000008| 00 00 00 00 |. . . .",
                "000000000000000C| 00 00 00 00 |. . . .",
                "0000000000000010| 00 00 00 00 |. . . .",
                "0000000000000014| 00 00 00 00 |. . . .",
                "0000000000000018| 00 00 00 00 |. . . .",
                "000000000000001C| 00 00 00 00 |. . . .",
                "----------------+-------------+---------",
                "----------------"});
  // Grey for zeros and holes, green text, magenta random, blue the rest.
  EXPECT_EQ(BarColours(), "82581258");
  EXPECT_EQ(Foreground(kFirstGridRow, kBarX, 1), "F") << "the thumb's line is bright";
  // Once the map is complete nothing asks for another frame.
  Frame(3);
  EXPECT_EQ(engine->LastWaitMs(), kelm::port::kWaitForever);
}

TEST_F(FileMapBar, ATebibyteWithDataAtAFewPlacesIsMappedInAFewFrames) {
  constexpr uint64_t kTebibyte = uint64_t{1} << 40;
  const std::string path = SparseFile(kTebibyte, kTebibyte / 8 * 5 + 4096, RandomBytes(8192, 13));
  StartSmall(path);
  // Holes cost no reads: the whole map fits in the first frame's budget.
  EXPECT_TRUE(ViewedFileMap().Complete());
  Frame();
  EXPECT_EQ(BarColours(), "88888588");
  EXPECT_EQ(BarText(), kThumb + "       ");
}

TEST_F(FileMapBar, AClickJumpsToTheCellsShare) {
  StartSmall(SparseFile(8 * kShare));
  MapFully();
  Click(kBarX, kFirstGridRow + 5);
  EXPECT_EQ(TopOffset(), "0000000000050000") << "the first row of the sixth share";
  EXPECT_EQ(BarText(), "     " + kThumb + "  ");
  Click(kBarX, kFirstGridRow + 7);
  EXPECT_EQ(TopOffset(), "0000000000070000");
  EXPECT_EQ(BarText(), "       " + kThumb);
  Click(kBarX, kFirstGridRow);
  EXPECT_EQ(TopOffset(), "0000000000000000");
  EXPECT_EQ(BarText(), kThumb + "       ");
  EXPECT_FALSE(selectionActive) << "a click on the bar selects nothing";
}

TEST_F(FileMapBar, ADragMovesTheViewWithThePointer) {
  StartSmall(SparseFile(8 * kShare));
  MapFully();
  PressBar(0);
  EXPECT_EQ(TopOffset(), "0000000000000000") << "a press on the thumb does not jump";
  DragTo(kFirstGridRow + 3);
  EXPECT_EQ(TopOffset(), "0000000000030000");
  EXPECT_EQ(BarText(), "   " + kThumb + "    ");
  DragTo(kRows - 1);
  EXPECT_EQ(TopOffset(), "0000000000070000") << "below the bar: the last cell";
  DragTo(0);
  EXPECT_EQ(TopOffset(), "0000000000000000") << "above the bar: the first cell";
  DragTo(kFirstGridRow + 2);
  Release(kBarX, kFirstGridRow + 2);
  EXPECT_EQ(TopOffset(), "0000000000020000");
  MoveMouse(kBarX, kFirstGridRow + 6);
  EXPECT_EQ(TopOffset(), "0000000000020000") << "released: moving no longer scrolls";
}

TEST_F(FileMapBar, ADragKeepsHoldOfTheThumbWhereItWasPressed) {
  // 80 bytes: the 32 shown are two fifths of the file, cells 0 to 3.
  StartSmall(WriteFile(Counting(80)));
  MapFully();
  EXPECT_EQ(BarText(), kThumb + kThumb + kThumb + kThumb + "    ");
  PressBar(2);
  DragTo(kFirstGridRow + 4);
  EXPECT_EQ(BarText(), "  " + kThumb + kThumb + kThumb + kThumb + "  ") << "the held cell follows the pointer";
  EXPECT_EQ(TopOffset(), "0000000000000014");
  Release(kBarX, kFirstGridRow + 4);
}

TEST_F(FileMapBar, TheWheelOverTheBarMovesOneCellAndElsewhereOneRow) {
  StartSmall(SparseFile(8 * kShare));
  MapFully();
  WheelAt(kBarX, kFirstGridRow + 1, -1);
  EXPECT_EQ(TopOffset(), "0000000000010000");
  WheelAt(kBarX, kFirstGridRow + 4, -1);
  EXPECT_EQ(TopOffset(), "0000000000020000");
  EXPECT_EQ(BarText(), "  " + kThumb + "     ");
  WheelAt(20, kFirstGridRow + 1, -1);
  EXPECT_EQ(TopOffset(), "0000000000020004") << "over the grid: one row";
  WheelAt(kBarX, kFirstGridRow, 1);
  EXPECT_EQ(TopOffset(), "0000000000010000") << "up: the start of the cell before";
  WheelAt(kBarX, kFirstGridRow, 1);
  WheelAt(kBarX, kFirstGridRow, 1);
  EXPECT_EQ(TopOffset(), "0000000000000000") << "never above the first row";
}

TEST_F(FileMapBar, ReloadAndResizeMapAgain) {
  const std::string path = WriteFile(std::vector<uint8_t>(8 * kShare, 0));
  StartSmall(path);
  MapFully();
  EXPECT_EQ(BarColours(), "88888888");
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    const std::vector<uint8_t> noise = RandomBytes(kShare, 14);
    out.seekp(static_cast<std::streamoff>(3 * kShare));
    out.write(reinterpret_cast<const char*>(noise.data()), static_cast<std::streamsize>(noise.size()));
  }
  CtrlKey('R');
  MapFully();
  EXPECT_EQ(BarColours(), "88858888") << "Ctrl+R samples the file again";

  console->SetWindowSize(kColumns, kRows + 8);
  Frame();
  MapFully();
  EXPECT_EQ(ViewedFileMap().Cells(), 16);
  EXPECT_EQ(Background(kFirstGridRow + 6, kBarX, 1) + Background(kFirstGridRow + 7, kBarX, 1), "55");
  EXPECT_EQ(Background(kFirstGridRow + 5, kBarX, 1) + Background(kFirstGridRow + 8, kBarX, 1), "88");
}

TEST_F(FileMapBar, TurnedOffTheGridTakesTheColumnBack) {
  // 38 drawn columns: 4 bytes per row without the bar, 3 with it.
  StartOn(WriteFile(Counting(100)), 39, kRows);
  EXPECT_EQ(bytesPerRow, 3);
  EXPECT_EQ(Cells(kFirstGridRow, 37, 1), kThumb);
  SetShowFileMap(false);
  Frame(2);
  EXPECT_EQ(bytesPerRow, 4);
  EXPECT_EQ(Row(kFirstGridRow), "0000000000000000| 00 01 02 03 |. . . .");
  SetShowFileMap(true);
  Frame(2);
  EXPECT_EQ(bytesPerRow, 3);
  EXPECT_EQ(Cells(kFirstGridRow, 37, 1), kThumb);
}

TEST_F(FileMapBar, AnEmptyOrMissingFileShowsNoThumb) {
  StartSmall(WriteFile({}));
  Frame(2);
  EXPECT_EQ(BarText(), "        ");
  EXPECT_EQ(BarColours(), "00000000");
  Click(kBarX, kFirstGridRow + 3);
  EXPECT_EQ(topRow, 0);
}

}  // namespace
}  // namespace viewer_test
