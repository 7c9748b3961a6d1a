// Painting the selection and the colour marks into the grid's colours.
#include <chrono>
#include <random>
#include <string>

#include "tests/viewer/viewer_harness.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

// 39 x 10 cells: 4 bytes per row, 6 grid rows (screen rows 2 to 7); hex
// pairs at columns 18, 21, 24, 27 and characters at 31, 33, 35, 37.
constexpr int kColumns = 39;
constexpr int kRows = 10;

MarkedRange Range(uint64_t start, uint64_t length, char foreground = '7', char background = '4') {
  MarkedRange range;
  range.start = start;
  range.length = length;
  range.foreground = foreground;
  range.background = background;
  return range;
}

class GridPaint : public ViewerTest {
 protected:
  void StartNarrow(size_t bytes) { Start(Counting(bytes), kColumns, kRows); }

  void Select(uint64_t start, uint64_t length) {
    selection.start = start;
    selection.length = length;
    selectionAnchor = start;
    selectionActive = true;
    RecolourGrid();
    Frame();
  }

  void Mark(const MarkedRange& range) {
    markedRanges.push_back(range);
    RecolourGrid();
    Frame();
  }
};

TEST_F(GridPaint, SelectionAcrossARowEnd) {
  StartNarrow(24);
  Select(3, 3);  // the last byte of row 0 and the first two of row 1
  // Row 0: only byte 3's pair (the cell after it ends the hex text).
  EXPECT_EQ(Background(2, 18, 11), "00000000044");
  EXPECT_EQ(Background(2, 31, 7), "0000004");
  // Row 1: bytes 4 and 5 and the one space between them, not the space after.
  EXPECT_EQ(Background(3, 18, 11), "44444000000");
  EXPECT_EQ(Background(3, 31, 7), "4440000");
  EXPECT_EQ(Foreground(3, 18, 5), "77777");
  // Nothing else is painted.
  EXPECT_EQ(Background(4, 18, 11), "00000000000");
}

TEST_F(GridPaint, MarkUnderTheSelection) {
  StartNarrow(24);
  Mark(Range(0, 8, 'E', '2'));
  Select(2, 2);
  EXPECT_EQ(Background(2, 18, 11), "22222244444");
  EXPECT_EQ(Foreground(2, 18, 11), "EEEEEE77777");
  EXPECT_EQ(Background(3, 18, 11), "22222222222");
  EXPECT_EQ(Background(2, 31, 7), "2222444");

  selectionActive = false;
  RecolourGrid();
  Frame();
  EXPECT_EQ(Background(2, 18, 11), "22222222222") << "the mark shows again without the selection";
}

TEST_F(GridPaint, LaterMarksPaintOverEarlierOnes) {
  StartNarrow(24);
  Mark(Range(0, 4, 'F', '1'));
  Mark(Range(2, 4, 'E', '6'));
  EXPECT_EQ(Background(2, 18, 11), "11111166666");
  EXPECT_EQ(Foreground(2, 18, 11), "FFFFFFEEEEE");
  EXPECT_EQ(Background(3, 18, 11), "66666000000");
}

TEST_F(GridPaint, EmptyRangePaintsNothing) {
  StartNarrow(24);
  Mark(Range(5, 0, 'E', '2'));
  Select(9, 0);
  for (int row = 2; row < 8; ++row) {
    EXPECT_EQ(Background(row, 18, 11), "00000000000") << "row " << row;
    EXPECT_EQ(Background(row, 31, 7), "0000000") << "row " << row;
  }
}

TEST_F(GridPaint, OnlyTheVisiblePartOfARangeIsPainted) {
  StartNarrow(200);
  topRow = 10;  // window 40 .. 63
  RefreshGrid();
  Mark(Range(30, 14, 'E', '2'));  // 30 .. 43: the first row and byte 43
  EXPECT_EQ(Background(2, 18, 11), "22222222222");
  EXPECT_EQ(Background(3, 18, 11), "00000000000");
  Mark(Range(62, 10, 'A', '5'));  // 62 .. 71: the last two bytes of the window
  EXPECT_EQ(Background(7, 18, 11), "00000055555");
}

TEST_F(GridPaint, SelectionOfTwoToTheSixtyFourBytesIsCheap) {
  StartNarrow(24);
  const auto began = std::chrono::steady_clock::now();
  Select(0, ~0ULL);
  Mark(Range(1, ~0ULL, 'E', '2'));  // runs past the end of the offset space
  const auto took = std::chrono::steady_clock::now() - began;
  for (int row = 2; row < 8; ++row) {
    EXPECT_EQ(Background(row, 18, 11), "44444444444") << "row " << row;
  }
  // A walk over the whole range would take centuries; the visible part is
  // a few dozen bytes.
  EXPECT_LT(took, std::chrono::seconds(5));
  EXPECT_EQ(statusLine->text, u"len: FFFFFFFFFFFFFFFF 1844674407370955") << "cut at the screen width";
}

TEST_F(GridPaint, RangesThatWouldWrapAreNotShownAtTheStart) {
  StartNarrow(24);
  Mark(Range(~0ULL - 3, 10, 'E', '2'));  // start + length wraps past 2^64
  EXPECT_FALSE(RangeIsVisible(markedRanges.back()));
  for (int row = 2; row < 8; ++row) EXPECT_EQ(Background(row, 18, 11), "00000000000");
}

TEST_F(GridPaint, RangeIsVisibleUsesClosedIntervals) {
  StartNarrow(200);
  topRow = 2;  // window starts at 8; 6 rows of 4: [8, 32]
  RefreshGrid();
  EXPECT_TRUE(RangeIsVisible(Range(4, 4)));    // [4, 8] touches 8
  EXPECT_FALSE(RangeIsVisible(Range(4, 3)));   // [4, 7]
  EXPECT_TRUE(RangeIsVisible(Range(32, 1)));   // touches the end point
  EXPECT_FALSE(RangeIsVisible(Range(33, 1)));
  EXPECT_TRUE(RangeIsVisible(Range(0, ~0ULL)));
  EXPECT_TRUE(RangeIsVisible(Range(20, 0)));
}

TEST_F(GridPaint, PaintRangeWritesOnlyVisibleCellsOfTheStrings) {
  StartNarrow(24);
  std::string hexBackground(hexColumn->text.size(), '0');
  std::string hexForeground(hexColumn->text.size(), '7');
  std::string charBackground(charColumn->text.size(), '0');
  std::string charForeground(charColumn->text.size(), '7');
  PaintRange(Range(22, 100, 'C', '3'), hexBackground, hexForeground, charBackground, charForeground);
  // Bytes 22 and 23 of the last row, and the space between them.
  const size_t hexRow = 5 * 12;
  EXPECT_EQ(hexBackground.substr(hexRow), "00000033333");
  EXPECT_EQ(charBackground.substr(5 * 8), "0000333");
  EXPECT_EQ(hexBackground.size(), hexColumn->text.size()) << "nothing written past the string";
}

// The painting rule byte by byte, as a reference: both cells of each visible
// byte, and the space after it unless the byte ends the range.
void PaintByteByByte(const MarkedRange& range, uint64_t windowFirst, uint64_t perRow, uint64_t rows,
                     size_t hexStride, size_t charStride, std::string& hex, std::string& chars) {
  for (uint64_t index = 0; index < rows * perRow; ++index) {
    const uint64_t offset = windowFirst + index;
    if (offset < range.start || offset - range.start >= range.length) continue;
    const bool last = offset - range.start == range.length - 1;
    const size_t hexCell = static_cast<size_t>(index / perRow) * hexStride + 3 * static_cast<size_t>(index % perRow);
    const size_t charCell = static_cast<size_t>(index / perRow) * charStride + 2 * static_cast<size_t>(index % perRow);
    for (size_t k = 0; k < (last ? 2u : 3u); ++k) {
      if (hexCell + k < hex.size()) hex[hexCell + k] = range.background;
    }
    for (size_t k = 0; k < (last ? 1u : 2u); ++k) {
      if (charCell + k < chars.size()) chars[charCell + k] = range.background;
    }
  }
}

TEST_F(GridPaint, PaintRangeMatchesTheByteByByteRule) {
  StartNarrow(200);
  topRow = 7;  // window 28 .. 51
  RefreshGrid();
  std::mt19937_64 random(12345);
  for (int round = 0; round < 500; ++round) {
    const MarkedRange range = Range(random() % 70, random() % 40, 'E', static_cast<char>('1' + round % 9));
    std::string hexBackground(hexColumn->text.size(), '0');
    std::string hexForeground(hexColumn->text.size(), '7');
    std::string charBackground(charColumn->text.size(), '0');
    std::string charForeground(charColumn->text.size(), '7');
    PaintRange(range, hexBackground, hexForeground, charBackground, charForeground);

    std::string hexExpected(hexColumn->text.size(), '0');
    std::string charExpected(charColumn->text.size(), '0');
    PaintByteByByte(range, 28, 4, 6, 12, 8, hexExpected, charExpected);
    ASSERT_EQ(hexBackground, hexExpected) << "range " << range.start << " + " << range.length;
    ASSERT_EQ(charBackground, charExpected) << "range " << range.start << " + " << range.length;
    for (size_t i = 0; i < hexBackground.size(); ++i) {
      ASSERT_EQ(hexForeground[i] == 'E', hexBackground[i] != '0') << "cell " << i;
    }
  }
}

}  // namespace
}  // namespace viewer_test
