// The grid in each display mode: bytes per row (fit and fixed), the compact
// and UTF-8 character columns, byte-class colours, and a screen too small
// for the grid and back.
#include <string>

#include "tests/viewer/viewer_harness.h"
#include "viewer/char_cells.h"
#include "viewer/display_options.h"
#include "viewer/display_settings.h"
#include "viewer/too_small_screen.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

class DisplayModes : public ViewerTest {
 protected:
  // The options a test sets before Start stay for its viewer.
  void TearDown() override {
    ViewerTest::TearDown();
    ResetDisplaySettingsForTests();
  }
  void Apply() {
    ApplyDisplayOptions();
    Frame(2);
  }
};

TEST_F(DisplayModes, CompactCharactersTakeOneCellAByte) {
  displayOptions.spacing = CharSpacing::Compact;
  // 39 columns: the engine draws 38, which hold (38 - 19) / 4 = 4 bytes a row.
  Start({'H', 'e', 'l', 'l', 'o', 0x00, 0x7F}, 39, 7);
  ASSERT_EQ(bytesPerRow, 4);
  ExpectScreen(*console, {"     [ File ]    [ Settings ]", "----------------+-------------+-------",
                          "0000000000000000| 48 65 6C 6C |Hell", "0000000000000004| 6F 00 7F    |o..",
                          "0000000000000008|             |", "----------------+-------------+-------",
                          "----------------"});
  EXPECT_EQ(Foreground(3, 31, 3), "788") << "the stand-ins of bytes without a character are grey";

  // A click on a character selects its byte; the selection paints one cell
  // a byte, with no blank after the last.
  Click(32, 3);
  ASSERT_TRUE(selectionActive);
  EXPECT_EQ(selection.start, 5u);
  ShiftClick(33, 3);
  EXPECT_EQ(selection.length, 2u);
  EXPECT_EQ(Background(3, 30, 5), "00440");
  EXPECT_EQ(Background(3, 18, 9), "000444440");
}

TEST_F(DisplayModes, FixedBytesPerRowAndTheNarrowWindowNote) {
  displayOptions.bytesPerRow = 2;
  Start(Counting(6), 39, 7);
  ASSERT_EQ(bytesPerRow, 2);
  ExpectScreen(*console, {"     [ File ]    [ Settings ]", "----------------+-------+-------------",
                          "0000000000000000| 00 01 |. .", "0000000000000002| 02 03 |. .",
                          "0000000000000004| 04 05 |. .", "----------------+-------+-------------",
                          "----------------"});

  // More than the window holds: as many as fit, and the reason below.
  displayOptions.bytesPerRow = 16;
  Apply();
  EXPECT_EQ(bytesPerRow, 4);
  EXPECT_EQ(StatusText(), "width: 4 of 16 bytes");
  console->SetWindowSize(119, 7);
  Frame(2);
  EXPECT_EQ(bytesPerRow, 16) << "a wide enough window shows them all";
  EXPECT_EQ(StatusText(), "") << "and the note goes";
}

TEST_F(DisplayModes, Utf8CharactersAtTheirFirstByteAndAWideOneAtARowEnd) {
  displayOptions.utf8 = true;
  displayOptions.spacing = CharSpacing::Compact;
  // A, the euro sign (3 bytes), B C D, a wide CJK character (3 bytes) that
  // starts on a row's last byte, E, an ill-formed byte.
  Start({0x41, 0xE2, 0x82, 0xAC, 0x42, 0x43, 0x44, 0xE4, 0xB8, 0xAD, 0x45, 0xFF}, 39, 7);
  ASSERT_EQ(bytesPerRow, 4);
  EXPECT_EQ(Cells(2, 31, 4), "A\u20AC\u00B7\u00B7");
  EXPECT_EQ(Cells(3, 31, 4), "BCD\uFFFD") << "the wide character's stand-in keeps its one cell";
  EXPECT_EQ(Cells(4, 31, 4), "\u00B7\u00B7E.");
  EXPECT_EQ(Foreground(2, 31, 4), "7788");
  EXPECT_EQ(Foreground(4, 31, 4), "8878");
  EXPECT_EQ(Cells(3, 35, 3), "   ") << "nothing shifted past the row";

  // Scrolled so that the window starts inside the character: its
  // continuation bytes still show as such.
  ScrollRows(2);
  Frame(2);
  EXPECT_EQ(Cells(2, 31, 4), "\u00B7\u00B7E.");
}

TEST_F(DisplayModes, Utf8WithSpacedCharacters) {
  displayOptions.utf8 = true;
  Start({0xC3, 0xA9, 0x21, 0x0A}, 39, 7);
  EXPECT_EQ(Cells(2, 31, 7), "\u00E9 \u00B7 ! .");
}

TEST_F(DisplayModes, ByteClassColoursLieUnderTheSelection) {
  displayOptions.byteClassColours = true;
  Start({0x00, 0x41, 0x20, 0x01, 0x80, 0x7F}, 39, 7);
  // zero, printable, whitespace, control, non-ASCII: hex digits and characters.
  EXPECT_EQ(Foreground(2, 18, 2) + Foreground(2, 21, 2) + Foreground(2, 24, 2) + Foreground(2, 27, 2),
            "88BBAADD");
  EXPECT_EQ(Foreground(2, 31, 1) + Foreground(2, 33, 1) + Foreground(2, 35, 1) + Foreground(2, 37, 1), "8BAD");
  EXPECT_EQ(Foreground(3, 18, 2) + Foreground(3, 31, 1), "EEE");
  EXPECT_EQ(Foreground(3, 21, 2), "DD") << "DEL is a control";
  Select(1, 1);
  Frame(2);
  EXPECT_EQ(Foreground(2, 21, 2), "77") << "the selection's colours win";
  EXPECT_EQ(Background(2, 21, 2), "44");
}

TEST_F(DisplayModes, TooSmallShowsOneLineAndGrowingBackRestoresTheView) {
  Start(Counting(4096), 39, 10);
  ScrollRows(3);
  Select(14, 3);
  Frame(2);
  const std::vector<std::string> before = Screen();

  console->SetWindowSize(21, 5);  // the engine draws 20 columns
  Frame(2);
  ExpectScreen(*console, {"needs 31 x 5", "", "", "", ""});
  console->SetWindowSize(60, 4);
  Frame(2);
  ExpectScreen(*console, {"Terminal too small: needs at least 31 x 5", "", "", ""});

  console->SetWindowSize(39, 10);
  Frame(2);
  EXPECT_EQ(Screen(), before) << "top row, selection and its colours as they were";
  EXPECT_EQ(topRow, 3);
  EXPECT_EQ(Background(2, 24, 5), "44444");
  EXPECT_EQ(Background(3, 18, 3), "440");
}

TEST(TooSmallText, FitsTheWidth) {
  EXPECT_EQ(kelm::port::ToUtf8(TooSmallText(41)), "Terminal too small: needs at least 31 x 5");
  EXPECT_EQ(kelm::port::ToUtf8(TooSmallText(12)), "needs 31 x 5");
  EXPECT_EQ(kelm::port::ToUtf8(TooSmallText(4)), "31x5");
  EXPECT_EQ(kelm::port::ToUtf8(TooSmallText(2)), "31");
}

TEST(CharCells, ContextAroundTheWindow) {
  std::vector<CharCell> cells;
  CharContext context;
  // The window starts on the last byte of a 4-byte character and ends on
  // the first byte of a 2-byte one.
  context.before[0] = 0x9F;
  context.before[1] = 0x9F;
  context.before[2] = 0xF0;
  context.beforeCount = 3;
  context.after[0] = 0xA9;
  context.afterCount = 1;
  const uint8_t bytes[] = {0x98, 0x41, 0xC3};
  BuildCharCells(bytes, 3, context, true, cells);
  ASSERT_EQ(cells.size(), 3u);
  EXPECT_EQ(cells[0].ch, kContinuationCell);
  EXPECT_EQ(cells[1].ch, u'A');
  EXPECT_EQ(cells[2].ch, u'\u00E9');
  // Without the context the same bytes are stand-ins.
  BuildCharCells(bytes, 3, CharContext{}, true, cells);
  EXPECT_EQ(cells[0].ch, u'.');
  EXPECT_EQ(cells[2].ch, u'.');
  EXPECT_TRUE(cells[2].faint);
}

}  // namespace
}  // namespace viewer_test
