// The grid's texts, colours and layout for small files and screen sizes.
#include <limits>
#include <string>

#include "tests/viewer/viewer_harness.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

// On a 39-column console the engine draws 38 columns: 4 bytes per row, the
// character column at x 31 and the right bar at x 30; 10 rows leave 6 grid
// rows (screen rows 2 to 7).
constexpr int kNarrowColumns = 39;
constexpr int kNarrowRows = 10;

std::string Spaces(size_t n) { return std::string(n, ' '); }

using GridRender = ViewerTest;

TEST_F(GridRender, FiveByteFileOnNarrowScreen) {
  Start({'H', 'e', 'l', 'l', 'o'}, kNarrowColumns, kNarrowRows);
  EXPECT_EQ(bytesPerRow, 4);
  ExpectScreen(*console, {
      "     [ File ]    [ Settings ]",
      "----------------+-------------+-------",
      "0000000000000000| 48 65 6C 6C |H e l l",
      "0000000000000004| 6F          |o",
      "0000000000000008|             |",
      "000000000000000C|             |",
      "0000000000000010|             |",
      "0000000000000014|             |",
      "----------------+-------------+-------",
      "----------------",
  });
}

TEST_F(GridRender, FiveByteFileWithTwentyBytesPerRow) {
  Start({0x10, 0x20, 0x30, 0x40, 0x50});
  ASSERT_EQ(bytesPerRow, 20);
  const std::string first = console->RowText(2);
  EXPECT_EQ(first.substr(0, 18), "0000000000000000| ");
  EXPECT_EQ(first.substr(18, 15), "10 20 30 40 50 ");
  EXPECT_EQ(first.substr(33, 78 - 33), Spaces(78 - 33)) << "blank cells after the end";
  EXPECT_EQ(first.substr(78, 10), "|.   0 @ P");
  EXPECT_EQ(Row(3), "0000000000000014|" + Spaces(61) + "|");
  EXPECT_EQ(Row(27), "00000000000001F4|" + Spaces(61) + "|") << "26 grid rows on a 30-row screen";
  EXPECT_EQ(Row(28)[16], '+');
}

TEST_F(GridRender, PrintableNonPrintableAndHighBytes) {
  Start({0x41, 0x7F, 0xE9, 0x20, 0x7E, 0x1F}, kNarrowColumns, kNarrowRows);
  EXPECT_EQ(Row(2), "0000000000000000| 41 7F E9 20 |A . .");
  EXPECT_EQ(Cells(3, 18, 5), "7E 1F");
  EXPECT_EQ(Cells(3, 31, 3), "~ .");

  // Hex pairs and printable characters in '7' on '0'; the full stops that
  // stand for non-printable bytes in '8'.
  EXPECT_EQ(Foreground(2, 18, 11), "77777777777");
  EXPECT_EQ(Background(2, 18, 11), "00000000000");
  EXPECT_EQ(Foreground(2, 31, 7), "7787877");
  EXPECT_EQ(Background(2, 31, 7), "0000000");
  EXPECT_EQ(Foreground(3, 31, 3), "778");
}

TEST_F(GridRender, NonPrintableStaysGreyInsideSelection) {
  Start({0x41, 0x7F, 0x42}, kNarrowColumns, kNarrowRows);
  ClickByte(0);
  ShiftClickByte(2);
  ASSERT_TRUE(selectionActive);
  ASSERT_EQ(selection.length, 3u);
  EXPECT_EQ(Cells(2, 31, 5), "A . B");
  EXPECT_EQ(Foreground(2, 31, 5), "77877");
  EXPECT_EQ(Background(2, 31, 5), "44444");
}

TEST_F(GridRender, LayoutAtWidth118) {
  Start(Counting(64));  // 119 columns: the engine's width is 118
  EXPECT_EQ(bytesPerRow, 20);
  EXPECT_EQ(charColumn->position.x, 79.0f);
  EXPECT_EQ(rightSeparator->position.x, 78.0f);
  for (int row = kFirstGridRow; row < 28; ++row) {
    EXPECT_EQ(console->CharAt(16, row), u'|') << "row " << row;
    EXPECT_EQ(console->CharAt(78, row), u'|') << "row " << row;
  }
  const std::string rule = console->RowText(1);
  ASSERT_EQ(rule.size(), 118u);
  for (size_t i = 0; i < rule.size(); ++i) {
    EXPECT_EQ(rule[i], i == 16 || i == 78 ? '+' : '-') << "column " << i;
  }
  EXPECT_EQ(console->RowText(28), rule) << "bottom rule on the second-last row";
  EXPECT_EQ(Cells(29, 0, 16), "----------------") << "offset display on the last row";
  EXPECT_EQ(Cells(2, 117, 1), ".") << "byte 19 (0x13, shown as '.') ends at the last column";
}

TEST_F(GridRender, NarrowerThanThirtyKeepsTheLayout) {
  Start(Counting(64));
  ASSERT_EQ(bytesPerRow, 20);
  console->SetWindowSize(30, 30);  // engine width 29
  Frame(2);
  EXPECT_EQ(bytesPerRow, 20);
  EXPECT_EQ(charColumn->position.x, 79.0f);
  console->SetWindowSize(39, 4);  // height below 5
  Frame(2);
  EXPECT_EQ(bytesPerRow, 20);
  console->SetWindowSize(kNarrowColumns, kNarrowRows);
  Frame(2);
  EXPECT_EQ(bytesPerRow, 4);
  EXPECT_EQ(Row(2), "0000000000000000| 00 01 02 03 |. . . .");
}

TEST_F(GridRender, SizesOutsideInt32AreRefused) {
  Start(Counting(64));
  LayoutGrid(Vector2(1e12f, 30.0f));
  LayoutGrid(Vector2(60.0f, -1e12f));
  LayoutGrid(Vector2(std::numeric_limits<float>::quiet_NaN(), 30.0f));
  LayoutGrid(Vector2(std::numeric_limits<float>::infinity(), 30.0f));
  EXPECT_EQ(bytesPerRow, 20);
  EXPECT_EQ(charColumn->position.x, 79.0f);
}

TEST_F(GridRender, RefusedFirstLayoutKeepsCreationPositions) {
  const std::string path = WriteFile(Counting(8));
  StartOn(path, 30, 20);  // engine width 29: refused
  EXPECT_EQ(bytesPerRow, 20);
  EXPECT_EQ(charColumn->position.x, 0.0f);
  EXPECT_TRUE(leftSeparator->text.empty());
}

TEST_F(GridRender, ResizeReflowsTheGrid) {
  Start(Counting(40), kNarrowColumns, kNarrowRows);
  EXPECT_EQ(Row(3), "0000000000000004| 04 05 06 07 |. . . .");
  console->SetWindowSize(49, 12);  // width 48: 6 bytes per row, 8 grid rows
  Frame(2);
  EXPECT_EQ(bytesPerRow, 6);
  ExpectScreen(*console, {
      "     [ File ]    [ Settings ]",
      "----------------+-------------------+-----------",
      "0000000000000000| 00 01 02 03 04 05 |. . . . . .",
      "0000000000000006| 06 07 08 09 0A 0B |. . . . . .",
      "000000000000000C| 0C 0D 0E 0F 10 11 |. . . . . .",
      "0000000000000012| 12 13 14 15 16 17 |. . . . . .",
      "0000000000000018| 18 19 1A 1B 1C 1D |. . . . . .",
      "000000000000001E| 1E 1F 20 21 22 23 |. .   ! \" #",
      "0000000000000024| 24 25 26 27       |$ % & '",
      "000000000000002A|                   |",
      "----------------+-------------------+-----------",
      "----------------",
  });
}

TEST_F(GridRender, EmptyFileShowsAnEmptyGrid) {
  Start({}, kNarrowColumns, kNarrowRows);
  EXPECT_EQ(fileSize, 0u);
  EXPECT_TRUE(fileLoaded);
  EXPECT_EQ(OpenBoxes(), 0u) << "an empty file is no failure";
  EXPECT_TRUE(hexColumn->text.empty());
  EXPECT_TRUE(charColumn->text.empty());
  EXPECT_TRUE(offsetColumn->text.empty());
  EXPECT_EQ(Row(2), Spaces(16) + "|" + Spaces(13) + "|");
}

TEST_F(GridRender, HexOffsetTextIsSixteenUppercaseDigits) {
  EXPECT_EQ(HexOffsetText(0), u"0000000000000000");
  EXPECT_EQ(HexOffsetText(0xABCDEF), u"0000000000ABCDEF");
  EXPECT_EQ(HexOffsetText(0x123456789ABCDEF0ULL), u"123456789ABCDEF0");
  EXPECT_EQ(HexOffsetText(~0ULL), u"FFFFFFFFFFFFFFFF");
}

TEST_F(GridRender, BytesAndOffsetsPastFourGibibytes) {
  constexpr uint64_t kAt = 5ULL << 30;  // 5 GiB
  const std::string path = SparseFile((6ULL << 30), kAt, {0xDE, 0xAD, 0x4B, 0x21});
  StartOn(path, kNarrowColumns, kNarrowRows);
  ASSERT_EQ(fileSize, 6ULL << 30);
  topRow = static_cast<int64_t>(kAt / 4) - 1;
  RefreshGrid();
  Frame();
  EXPECT_EQ(Row(2), "000000013FFFFFFC| 00 00 00 00 |. . . .");
  EXPECT_EQ(Row(3), "0000000140000000| DE AD 4B 21 |. . K !");
  EXPECT_EQ(Row(4), "0000000140000004| 00 00 00 00 |. . . .");
}

TEST_F(GridRender, RowsPastTheEndOfTheOffsetSpaceShowNoOffset) {
  Start(Counting(8), kNarrowColumns, kNarrowRows);
  topRow = INT64_MAX;  // clamped to the last row that has an offset
  RefreshGrid();
  Frame();
  EXPECT_EQ(topRow, static_cast<int64_t>(~0ULL / 4));
  EXPECT_EQ(Row(2), "FFFFFFFFFFFFFFFC|" + Spaces(13) + "|");
  EXPECT_EQ(Row(3), Spaces(16) + "|" + Spaces(13) + "|");
}

}  // namespace
}  // namespace viewer_test
