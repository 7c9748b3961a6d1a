// Selecting bytes with the mouse and the arrow keys.
#include "tests/viewer/viewer_harness.h"
#include "viewer/decoded_values.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

using kelm::port::VK_LEFT;
using kelm::port::VK_RIGHT;
using kelm::port::VK_UP;
using kelm::port::VK_DOWN;

class Selection : public ViewerTest {
 protected:
  void ExpectSelection(uint64_t start, uint64_t length, bool active = true) {
    EXPECT_EQ(selection.start, start);
    EXPECT_EQ(selection.length, length);
    EXPECT_EQ(selectionActive, active);
  }
};

TEST_F(Selection, ClickSelectsOneByte) {
  Start(Counting(100));
  ClickByte(10);
  ExpectSelection(10, 1);
  EXPECT_EQ(selectionAnchor, 10u);
  EXPECT_EQ(Cells(29, 0, 16), "000000000000000A");
  EXPECT_EQ(Background(2, HexX(10), 3), "440");
  EXPECT_EQ(Background(2, CharX(10), 2), "40");
}

TEST_F(Selection, ClickAndShiftClickSelectTenToFourteen) {
  Start(Counting(100));
  ClickByte(10);
  ShiftClickByte(14);
  ExpectSelection(10, 5);
  EXPECT_EQ(Background(2, HexX(10), 15), "444444444444440");

  ShiftKey(VK_LEFT);
  ExpectSelection(10, 4);
  for (int i = 0; i < 4; ++i) ShiftKey(VK_LEFT);
  ExpectSelection(9, 2);  // flipped around the anchor
  EXPECT_EQ(selectionAnchor, 10u);
  ShiftKey(VK_RIGHT);
  ExpectSelection(10, 1);
  ShiftKey(VK_RIGHT);
  ExpectSelection(10, 2);
}

TEST_F(Selection, ShiftClickBeforeTheAnchor) {
  Start(Counting(100));
  ClickByte(30);
  ShiftClickByte(22);
  ExpectSelection(22, 9);
  EXPECT_EQ(selectionAnchor, 30u);
}

TEST_F(Selection, ShiftClickWithoutSelectionKeepsItInactive) {
  Start(Counting(100));
  ShiftClickByte(5);
  ExpectSelection(0, 6, false);
}

TEST_F(Selection, RightCollapsesAndLeftMovesBack) {
  Start(Counting(100));
  ClickByte(10);
  ShiftClickByte(14);
  Key(VK_RIGHT);
  ExpectSelection(15, 1);
  EXPECT_EQ(selectionAnchor, 15u);
  Key(VK_LEFT);
  ExpectSelection(14, 1);
  Key(VK_DOWN);
  ExpectSelection(34, 1);
  Key(VK_UP);
  ExpectSelection(14, 1);
}

TEST_F(Selection, LeftCollapsesToTheStart) {
  Start(Counting(100));
  ClickByte(10);
  ShiftClickByte(14);
  Key(VK_LEFT);
  ExpectSelection(9, 1);
}

TEST_F(Selection, ArrowsWithoutSelectionDoNothing) {
  Start(Counting(100));
  Key(VK_RIGHT);
  Key(VK_DOWN);
  ExpectSelection(0, 0, false);
}

TEST_F(Selection, MovesBeforeOffsetZeroStopAtZero) {
  Start(Counting(100));
  ClickByte(3);
  Key(VK_LEFT);
  Key(VK_LEFT);
  Key(VK_LEFT);
  ExpectSelection(0, 1);
  Key(VK_LEFT);
  ExpectSelection(0, 1);
  Key(VK_UP);
  ExpectSelection(0, 1);
  ShiftKey(VK_LEFT);
  ExpectSelection(0, 1);
  ShiftKey(VK_UP);
  ExpectSelection(0, 1);
}

TEST_F(Selection, MovesPastTheEndAreAllowed) {
  Start(Counting(5));
  ClickByte(4);
  Key(VK_RIGHT);
  Key(VK_RIGHT);
  ExpectSelection(6, 1);
  EXPECT_EQ(Background(2, HexX(6), 2), "44") << "the blank cell past the end is selected";
  EXPECT_EQ(leUnsigned.value, u"---") << "nothing can be read there";
}

TEST_F(Selection, ClickOnFirstSelectedByteDeselects) {
  Start(Counting(100));
  ClickByte(10);
  ShiftClickByte(14);
  ClickByte(12);
  ExpectSelection(12, 1);
  ClickByte(12);
  ExpectSelection(12, 1, false);
  EXPECT_EQ(Cells(29, 0, 16), "----------------");
  EXPECT_EQ(Background(2, HexX(12), 2), "00");
  ClickByte(12);
  ExpectSelection(12, 1);
}

TEST_F(Selection, SpaceAfterAPairOrCharacterBelongsToTheNextByte) {
  Start(Counting(100));
  Click(HexX(3) + 2, RowOf(3));
  ExpectSelection(4, 1);
  Click(HexX(7) + 1, RowOf(7));
  ExpectSelection(7, 1);
  Click(CharX(8), RowOf(8));
  ExpectSelection(8, 1);
  Click(CharX(8) + 1, RowOf(8));
  ExpectSelection(9, 1);
}

TEST_F(Selection, ClickPastTheEndSelectsAnOffsetWithNoBytes) {
  Start(Counting(5));
  ClickByte(27);
  ExpectSelection(27, 1);
}

TEST_F(Selection, DragFollowsTheMouseFromTheAnchor) {
  Start(Counting(100));
  Press(HexX(2), RowOf(2));
  ExpectSelection(2, 1);
  EXPECT_TRUE(dragSelecting);
  console->PushMouseMove(HexX(25), RowOf(25), kelm::port::FROM_LEFT_1ST_BUTTON_PRESSED);
  Frame();
  ExpectSelection(2, 24);
  console->PushMouseMove(CharX(0), RowOf(0), kelm::port::FROM_LEFT_1ST_BUTTON_PRESSED);
  Frame();
  ExpectSelection(0, 3);
  console->PushMouseMove(3, 3, kelm::port::FROM_LEFT_1ST_BUTTON_PRESSED);  // over the offsets
  Frame();
  ExpectSelection(0, 3);
  Release(HexX(40), RowOf(40));
  EXPECT_FALSE(dragSelecting);
  MoveMouse(HexX(50), RowOf(50));
  ExpectSelection(0, 3);
}

TEST_F(Selection, RightClickDeselects) {
  Start(Counting(100));
  ClickByte(10);
  RightClick(5, 20);
  ExpectSelection(10, 1, false);
  EXPECT_EQ(Cells(29, 0, 16), "----------------");
  EXPECT_EQ(Background(2, HexX(10), 2), "00");
}

TEST_F(Selection, CtrlRightAndLeftMoveByTheLength) {
  Start(Counting(100));
  ClickByte(10);
  ShiftClickByte(14);
  CtrlKey(VK_RIGHT);
  ExpectSelection(15, 5) ;  // not collapsed: the plain Right never saw the key
  CtrlKey(VK_LEFT);
  CtrlKey(VK_LEFT);
  ExpectSelection(5, 5);
  CtrlKey(VK_LEFT);
  CtrlKey(VK_LEFT);
  ExpectSelection(0, 5);
  EXPECT_EQ(Cells(29, 0, 16), "0000000000000000");
}

TEST_F(Selection, CtrlRightWithoutSelectionIsConsumed) {
  Start(Counting(100));
  ClickByte(10);
  RightClick(5, 20);
  CtrlKey(VK_RIGHT);
  ExpectSelection(10, 1, false);
}

TEST_F(Selection, CtrlASelectsAndShowsTheWholeFile) {
  Start(Counting(100));
  ClickByte(40);
  CtrlKey('A');
  ExpectSelection(0, 100);
  EXPECT_EQ(selectionAnchor, 0u);
  EXPECT_EQ(StatusText(), "len: 0000000000000064 100");
  EXPECT_EQ(Cells(29, 0, 16), "0000000000000000");
  EXPECT_EQ(Background(2, 18, 59), std::string(59, '4'));
}

TEST_F(Selection, CtrlAOnEmptyFileSelectsNothing) {
  Start({});
  CtrlKey('A');
  ExpectSelection(0, 0, false);
}

TEST_F(Selection, SelectionFeedsTheInspector) {
  Start({0x41, 0xFF, 0x7F, 0x00});
  ClickByte(1);
  ShiftClickByte(2);
  EXPECT_EQ(leUnsigned.value, u"32767");
  EXPECT_EQ(beSigned.value, u"-129");
  EXPECT_EQ(StatusText(), "len: 0000000000000002 2  dec: 32767 LE u16");
}

TEST_F(Selection, ClickRemovesTheSeekMark) {
  Start(Counting(100));
  MarkedRange other;
  other.start = 1;
  other.length = 1;
  MarkedRange found;
  found.name = u"SearchResult";
  found.start = 50;
  found.length = 1;
  markedRanges = {other, found, other};
  seekMark = 1;
  ClickByte(5);
  EXPECT_EQ(markedRanges.size(), 2u);
  EXPECT_FALSE(seekMark.has_value());
  ClickByte(6);
  EXPECT_EQ(markedRanges.size(), 2u) << "other marks stay";
}

}  // namespace
}  // namespace viewer_test
