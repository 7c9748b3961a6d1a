// Colour marks: the mark command and its form, the quick mark, painting order,
// removal under the pointer, and the tooltip over named marks.
#include <string>
#include <vector>

#include "engine/widgets/menu_object.h"
#include "tests/viewer/viewer_harness.h"
#include "viewer/mark_list.h"
#include "viewer/marks.h"

using namespace kelm::viewer;

namespace marks_copy_test {
namespace {

using kelm::port::LEFT_CTRL_PRESSED;
using kelm::port::VK_ESCAPE;

// 40 bytes "ABC...": ten rows of four on the 41-column console.
std::vector<uint8_t> Letters() {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<uint8_t>(0x41 + i));
  return bytes;
}

// Where the form's pieces land on the 41 x 20 console: the form is centred on
// (20, row 10); its children sit at fixed offsets from that centre.
constexpr int kFormTop = 6;
constexpr int kForegroundSliderRow = 8;
constexpr int kBackgroundSliderRow = 10;
constexpr int kSliderFirstBarCell = 8;  // after "[ " at columns 6 and 7
constexpr int kSampleX = 26;
constexpr int kSampleRow = 7;
constexpr int kNameX = 17;
constexpr int kNameRow = 11;
constexpr int kOkX = 19;
constexpr int kOkRow = 12;

class MarksTest : public ViewerTest {
 protected:
  void OpenForm() {
    CtrlKey('M');
    // The form is drawn from the next frame on; its sliders and field make
    // their pictures in their first update, so they show one frame later.
    Frame(2);
    ASSERT_EQ(OpenBoxes(), 1u);
  }
  // Drags a slider so that `value` cells are filled.
  void SetSlider(int row, int value) {
    Press(kSliderFirstBarCell + value - 1, row);
    Release(kSliderFirstBarCell + value - 1, row);
  }
  void Esc() { Key(VK_ESCAPE, 0, 0x1B); }
  void ClickOk() { Click(kOkX + 1, kOkRow); }
  void TypeName(const std::u16string& name) {
    Click(kNameX + 2, kNameRow);
    for (char16_t ch : name) Key(static_cast<uint16_t>(ch >= u'a' ? ch - 32 : ch), 0, ch);
  }
};

// --- the colour-range form -------------------------------------------------------

TEST_F(MarksTest, FormShowsItsSevenChildrenAroundTheScreenCentre) {
  Start(Letters());
  SelectByClick(5);
  OpenForm();
  const std::vector<std::string> expected = {
      "00000+------------------------------+",
      "00000| Foreground         T e x T   |",
      "00000|[ |||||||-------- ] 64 0A 0D  |",
      "00000| Background         E . d m   |",
      "00000|[ ||||----------- ] D4 FF FF  |",
      "00000|           [ Name ]           |",
      "00000|             [OK]             |",
      "00000+------------------------------+",
  };
  for (int i = 0; i < 8; ++i) {
    EXPECT_EQ(Row(kFormTop + i).substr(0, 37), expected[static_cast<size_t>(i)]) << "row " << kFormTop + i;
  }
  // The sample shows the chosen pair (defaults 7 on 4) in all four lines.
  for (int line = 0; line < 4; ++line) {
    EXPECT_EQ(Foreground(kSampleRow + line, kSampleX, 8), "77777777");
    EXPECT_EQ(Background(kSampleRow + line, kSampleX, 8), "44444444");
  }
}

TEST_F(MarksTest, MarkKeyWithoutSelectionSaysSoAndOpensNoForm) {
  Start(Letters());
  CtrlKey('M');
  Frame();
  ASSERT_EQ(OpenBoxes(), 1u);
  EXPECT_EQ(Cells(9, 5, 32), "+------------------------------+");
  EXPECT_EQ(Cells(10, 5, 32), "| You need to select a range!  |");
  EXPECT_EQ(Cells(11, 5, 32), "+------------------------------+");
  EXPECT_TRUE(markedRanges.empty());
  Esc();
  EXPECT_EQ(OpenBoxes(), 0u);
}

TEST_F(MarksTest, CtrlKIsTheMarkCommandToo) {
  Start(Letters());
  SelectByClick(2);
  CtrlKey('K');
  Frame();
  ASSERT_EQ(OpenBoxes(), 1u);
  EXPECT_NE(Row(kFormTop + 1).find("Foreground"), std::string::npos);
}

TEST_F(MarksTest, SlidersSetTheColoursAndTheSampleFollows) {
  Start(Letters());
  SelectByClick(0);
  OpenForm();
  SetSlider(kForegroundSliderRow, 10);
  SetSlider(kBackgroundSliderRow, 2);
  EXPECT_EQ(markForeground, 10);
  EXPECT_EQ(markBackground, 2);
  Frame();
  EXPECT_EQ(Foreground(kSampleRow, kSampleX, 8), "AAAAAAAA");
  EXPECT_EQ(Background(kSampleRow + 3, kSampleX, 8), "22222222");
  EXPECT_EQ(Cells(kForegroundSliderRow, 6, 19), "[ ||||||||||----- ]");
}

TEST_F(MarksTest, OkMarksTheSelectionWithTheChosenColoursAndName) {
  Start(Letters());
  Select(4, 6);
  OpenForm();
  SetSlider(kForegroundSliderRow, 14);
  SetSlider(kBackgroundSliderRow, 1);
  TypeName(u"hdr");
  ClickOk();
  ASSERT_EQ(markedRanges.size(), 1u);
  const MarkedRange& mark = markedRanges[0];
  EXPECT_EQ(mark.foreground, 'E');
  EXPECT_EQ(mark.background, '1');
  EXPECT_EQ(mark.name, u"hdr");
  EXPECT_EQ(mark.start, 4u);
  EXPECT_EQ(mark.length, 6u);
  EXPECT_EQ(lastMarkForeground, 14);
  EXPECT_EQ(lastMarkBackground, 1);
  EXPECT_FALSE(selectionActive);
  EXPECT_EQ(OpenBoxes(), 0u);
  // Painted now that the selection is gone: bytes 4..9, rows 1 and 2.
  Frame();
  EXPECT_EQ(Background(RowOf(4), HexX(4), 11), "11111111111");
  EXPECT_EQ(Foreground(RowOf(4), HexX(4), 11), "EEEEEEEEEEE");
  EXPECT_EQ(Background(RowOf(8), HexX(8), 6), "111110");  // no colour after the last byte
  EXPECT_EQ(Row(19).substr(0, 16), "----------------");  // no selection offset any more
}

TEST_F(MarksTest, OkWithAnEmptyNameMakesAMarkWithoutTooltip) {
  Start(Letters());
  Select(0, 4);
  OpenForm();
  ClickOk();
  ASSERT_EQ(markedRanges.size(), 1u);
  EXPECT_TRUE(markedRanges[0].name.empty());
  EXPECT_EQ(markedRanges[0].foreground, '7');
  EXPECT_EQ(markedRanges[0].background, '4');
  Frame();
  const std::vector<std::string> before = Screen();
  MoveMouse(HexX(1), RowOf(1));
  Frame();
  EXPECT_FALSE(tipObject->visible);
  EXPECT_EQ(Screen(), before);
}

TEST_F(MarksTest, FormValuesPersistBetweenFormsEvenWithoutOk) {
  Start(Letters());
  SelectByClick(3);
  OpenForm();
  SetSlider(kForegroundSliderRow, 3);
  SetSlider(kBackgroundSliderRow, 12);
  TypeName(u"abc");
  EXPECT_EQ(rangeName, u"abc");
  Esc();  // leaves the field
  Esc();  // closes the form
  ASSERT_EQ(OpenBoxes(), 0u);
  ASSERT_TRUE(selectionActive);

  OpenForm();
  EXPECT_EQ(Cells(kForegroundSliderRow, 6, 19), "[ |||------------ ]");
  EXPECT_EQ(Cells(kBackgroundSliderRow, 6, 19), "[ ||||||||||||--- ]");
  EXPECT_EQ(Cells(kNameRow, 16, 9), " [ abc ] ");
  EXPECT_EQ(Foreground(kSampleRow, kSampleX, 1), "3");
  EXPECT_EQ(Background(kSampleRow, kSampleX, 1), "C");
}

TEST_F(MarksTest, NextFormOpensWithThePreviousMarksColoursAndName) {
  Start(Letters());
  Select(0, 2);
  OpenForm();
  SetSlider(kForegroundSliderRow, 9);
  TypeName(u"one");
  ClickOk();
  Select(8, 2);
  OpenForm();
  EXPECT_EQ(Cells(kForegroundSliderRow, 6, 19), "[ |||||||||------ ]");
  EXPECT_EQ(Cells(kNameRow, 16, 9), " [ one ] ");
  ClickOk();
  ASSERT_EQ(markedRanges.size(), 2u);
  EXPECT_EQ(markedRanges[1].name, u"one");
  EXPECT_EQ(markedRanges[1].foreground, '9');
  EXPECT_EQ(markedRanges[1].start, 8u);
}

TEST_F(MarksTest, OkClosesItsOwnFormNotABoxAboveIt) {
  Start(Letters());
  Select(0, 2);
  OpenForm();
  // A box that lets presses through lies on top of the form.
  auto* panel = new MenuObject(Vector2(2, -15), 2, 1);
  panel->closeOnOutsideClick = false;
  menusLayer->AddObject(panel);
  Frame();
  ClickOk();
  ASSERT_EQ(markedRanges.size(), 1u);
  EXPECT_FALSE(panel->IsDestroyed());
  EXPECT_EQ(OpenBoxes(), 1u);
}

// --- quick marks -----------------------------------------------------------------

TEST_F(MarksTest, ThreeQuickMarksStepTheColoursFromTheDefaults) {
  Start(Letters());
  Select(0, 3);
  CtrlKey('Q');
  CtrlKey('Q');
  CtrlKey('Q');
  ASSERT_EQ(markedRanges.size(), 3u);
  const std::vector<std::pair<char, char>> expected = {{'8', '5'}, {'9', '6'}, {'A', '7'}};
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(markedRanges[i].foreground, expected[i].first) << i;
    EXPECT_EQ(markedRanges[i].background, expected[i].second) << i;
    EXPECT_TRUE(markedRanges[i].name.empty());
    EXPECT_EQ(markedRanges[i].start, 0u);
    EXPECT_EQ(markedRanges[i].length, 3u);
  }
  // The selection stays and hides the marks until it goes.
  EXPECT_TRUE(selectionActive);
  EXPECT_EQ(Background(RowOf(0), HexX(0), 2), "44");
  Click(HexX(0), RowOf(0));  // a click on the first selected byte deselects
  ASSERT_FALSE(selectionActive);
  EXPECT_EQ(Background(RowOf(0), HexX(0), 8), "77777777");
  EXPECT_EQ(Foreground(RowOf(0), HexX(0), 8), "AAAAAAAA");
}

TEST_F(MarksTest, QuickMarkWrapsFromFToZeroAndNeedsASelection) {
  Start(Letters());
  CtrlKey('Q');
  EXPECT_TRUE(markedRanges.empty());
  lastMarkForeground = 15;
  lastMarkBackground = 14;
  Select(1, 1);
  CtrlKey('Q');
  CtrlKey('Q');
  ASSERT_EQ(markedRanges.size(), 2u);
  EXPECT_EQ(markedRanges[0].foreground, '0');
  EXPECT_EQ(markedRanges[0].background, 'F');
  EXPECT_EQ(markedRanges[1].foreground, '1');
  EXPECT_EQ(markedRanges[1].background, '0');
}

TEST_F(MarksTest, QuickMarkStepsFromTheLastFormMark) {
  Start(Letters());
  Select(0, 1);
  OpenForm();
  SetSlider(kForegroundSliderRow, 2);
  SetSlider(kBackgroundSliderRow, 11);
  ClickOk();
  Select(4, 1);
  CtrlKey('Q');
  ASSERT_EQ(markedRanges.size(), 2u);
  EXPECT_EQ(markedRanges[1].foreground, '3');
  EXPECT_EQ(markedRanges[1].background, 'C');
}

// --- overlapping marks -----------------------------------------------------------

TEST_F(MarksTest, LaterMarkWinsWhereTwoMarksOverlap) {
  Start(Letters());
  AddMark('1', '2', u"first", 0, 6);
  AddMark('3', 'E', u"second", 3, 6);
  Frame();
  EXPECT_EQ(Background(RowOf(0), HexX(0), 11), "222222222EE");
  EXPECT_EQ(Foreground(RowOf(4), HexX(4), 11), "33333333333");
  EXPECT_EQ(Background(RowOf(0), CharX(0), 7), "222222E");

  MoveMouse(HexX(1), RowOf(1));
  Frame();
  EXPECT_EQ(tipText, u"first");
  MoveMouse(HexX(4), RowOf(4));
  Frame();
  EXPECT_EQ(tipText, u"second");
  EXPECT_NE(Row(RowOf(4)).find("|second|"), std::string::npos);
}

// --- removing a mark -------------------------------------------------------------

TEST_F(MarksTest, MarkKeyOverAMarkRemovesItEvenWithASelection) {
  Start(Letters());
  AddMark('1', '2', u"", 8, 4);
  Select(0, 2);
  MoveMouse(HexX(9), RowOf(9));
  CtrlKey('M');
  EXPECT_TRUE(markedRanges.empty());
  EXPECT_EQ(OpenBoxes(), 0u);
  EXPECT_TRUE(selectionActive);
  Frame();
  EXPECT_EQ(Background(RowOf(8), HexX(8), 11), "00000000000");
}

TEST_F(MarksTest, MarkKeyOutsideTheGridNeverRemovesAMark) {
  Start(Letters());
  AddMark('1', '2', u"", 0, 40);
  Select(0, 2);
  MoveMouse(3, RowOf(4));  // over the offset column
  CtrlKey('M');
  EXPECT_EQ(markedRanges.size(), 1u);
  EXPECT_EQ(OpenBoxes(), 1u);  // the form instead
}

TEST_F(MarksTest, MarkKeyRemovesOnlyTheFirstOfOverlappingMarks) {
  Start(Letters());
  AddMark('1', '2', u"a", 0, 6);
  AddMark('3', '5', u"b", 2, 6);
  MoveMouse(CharX(3), RowOf(3));  // the character column counts too
  CtrlKey('M');
  ASSERT_EQ(markedRanges.size(), 1u);
  EXPECT_EQ(markedRanges[0].name, u"b");
  CtrlKey('M');
  EXPECT_TRUE(markedRanges.empty());
}

TEST_F(MarksTest, RemovingAnEarlierMarkKeepsTheSeekMark) {
  Start(Letters());
  AddMark('1', '2', u"x", 0, 2);
  AddMark('3', '4', u"y", 4, 2);
  AddMark('0', 'E', u"SearchResult", 12, 1);
  seekMark = 2;
  Select(20, 1);
  CtrlKey('Q');  // adding marks leaves the seek mark alone
  ASSERT_EQ(seekMark, std::optional<size_t>(2));
  MoveMouse(HexX(0), RowOf(0));
  CtrlKey('M');
  ASSERT_EQ(markedRanges.size(), 3u);
  ASSERT_TRUE(seekMark.has_value());
  EXPECT_EQ(markedRanges[*seekMark].name, u"SearchResult");
  EXPECT_EQ(*seekMark, 1u);

  // Removing the seek mark itself forgets it; the others stay.
  MoveMouse(HexX(12), RowOf(12));
  CtrlKey('M');
  EXPECT_FALSE(seekMark.has_value());
  ASSERT_EQ(markedRanges.size(), 2u);
  EXPECT_EQ(markedRanges[0].name, u"y");
  EXPECT_EQ(markedRanges[1].start, 20u);
}

TEST_F(MarksTest, RemoveMarkShiftsOrClearsTheSeekMark) {
  markedRanges.resize(4);
  markedRanges[3].name = u"SearchResult";
  seekMark = 3;
  RemoveMark(1);
  EXPECT_EQ(seekMark, std::optional<size_t>(2));
  RemoveMark(2);
  EXPECT_FALSE(seekMark.has_value());
  RemoveMark(7);  // past the end: nothing
  EXPECT_EQ(markedRanges.size(), 2u);
}

// --- a mark of length 0 ----------------------------------------------------------

TEST_F(MarksTest, MarkOfLengthZeroIsKeptButNeverPaintedOrShown) {
  Start(Letters());
  Select(6, 0);
  CtrlKey('Q');
  ASSERT_EQ(markedRanges.size(), 1u);
  EXPECT_EQ(markedRanges[0].length, 0u);
  selectionActive = false;
  AddMark('2', '3', u"empty", 6, 0);
  Frame();
  EXPECT_EQ(Background(RowOf(4), HexX(4), 11), "00000000000");
  const std::vector<std::string> before = Screen();
  MoveMouse(HexX(6), RowOf(6));
  Frame();
  EXPECT_FALSE(tipObject->visible);
  EXPECT_TRUE(tipText.empty());
  EXPECT_EQ(Screen(), before);
  CtrlKey('M');  // nothing under the pointer to remove: the no-selection box
  EXPECT_EQ(markedRanges.size(), 2u);
}

TEST_F(MarksTest, RangeContainsHandlesEmptyAndHugeRanges) {
  MarkedRange range;
  range.start = 0;
  range.length = 0;
  EXPECT_FALSE(RangeContains(range, 0));
  EXPECT_FALSE(RangeContains(range, UINT64_MAX));
  range.start = 10;
  range.length = 3;
  EXPECT_FALSE(RangeContains(range, 9));
  EXPECT_TRUE(RangeContains(range, 10));
  EXPECT_TRUE(RangeContains(range, 12));
  EXPECT_FALSE(RangeContains(range, 13));
  range.start = UINT64_MAX - 1;
  range.length = UINT64_MAX;  // runs past the end of the offset space
  EXPECT_TRUE(RangeContains(range, UINT64_MAX));
  EXPECT_FALSE(RangeContains(range, 0));
}

// --- the tooltip -----------------------------------------------------------------

TEST_F(MarksTest, TipBoxFramesTheText) {
  EXPECT_EQ(BuildTipBox(3), "+---+\n|   |\n+---+");
  EXPECT_EQ(BuildTipBox(0), "++\n||\n++");
  EXPECT_EQ(BuildTipBox(-4), "++\n||\n++");
}

TEST_F(MarksTest, TooltipForAbcIsFiveByThreeNextToThePointer) {
  Start(Letters());
  AddMark('1', '2', u"abc", 8, 8);
  const int x = HexX(13);
  const int y = RowOf(13);
  MoveMouse(x, y);
  Frame();
  EXPECT_EQ(Cells(y - 1, x + 1, 5), "+---+");
  EXPECT_EQ(Cells(y, x + 1, 5), "|abc|");
  EXPECT_EQ(Cells(y + 1, x + 1, 5), "+---+");
  EXPECT_EQ(Foreground(y, x + 1, 5), "77777");
  EXPECT_EQ(Background(y, x + 1, 5), "00000");
  EXPECT_EQ(Cells(y, x, 1), "4");  // the pointer's own cell stays uncovered
  ASSERT_NE(tipObject, nullptr);
  EXPECT_EQ(tipObject->GetWidth(), 5);
  EXPECT_EQ(tipObject->GetHeight(), 3);

  // It follows the pointer over the mark and goes when the pointer leaves it.
  MoveMouse(CharX(9), RowOf(9));
  Frame();
  EXPECT_EQ(Cells(RowOf(9), CharX(9) + 1, 5), "|abc|");
  MoveMouse(HexX(0), RowOf(0));
  Frame();
  EXPECT_EQ(Row(RowOf(0) - 1).find('+'), 16u);  // only the grid's rule
  EXPECT_EQ(Cells(RowOf(0), HexX(0), 5), "41 42");
  EXPECT_EQ(Cells(RowOf(9), CharX(9) + 1, 5), " K L ");
}

TEST_F(MarksTest, NoTooltipWhereABoxCoversTheMark) {
  Start(Letters());
  AddMark('1', '2', u"under", 0, 26);
  // A small box over bytes 5 to 7 and 9 to 11 (frame included): columns 22
  // to 26, screen rows 3 to 5.
  auto* box = new MenuObject(Vector2(24.0f, -4.0f), 3, 1);
  menusLayer->AddObject(box);
  Frame();
  ASSERT_EQ(Cells(3, 22, 5), "+---+");

  // Pointing at the box, inside or on its frame, over a marked byte: no tip.
  for (const auto& [x, y] : {std::pair{HexX(6), RowOf(6)}, std::pair{22, RowOf(10)}, std::pair{26, RowOf(6)}}) {
    MoveMouse(x, y);
    Frame();
    EXPECT_FALSE(tipObject->visible) << x << "," << y;
    EXPECT_EQ(Row(y).find("under"), std::string::npos) << Row(y);
  }
  // Beside it, the same mark shows its tip.
  MoveMouse(HexX(4), RowOf(4));
  Frame();
  EXPECT_TRUE(tipObject->visible);
  EXPECT_EQ(Cells(RowOf(4), HexX(4) + 1, 7), "|under|");

  // The help box covers the grid: no mark shows through it.
  box->Destroy();
  Key(kelm::port::VK_F1);
  for (uint64_t offset : {0u, 13u, 25u}) {
    MoveMouse(HexX(offset), RowOf(offset));
    Frame();
    EXPECT_FALSE(tipObject->visible) << offset;
    EXPECT_EQ(Row(RowOf(offset)).find("under"), std::string::npos) << Row(RowOf(offset));
  }
  // Closed, the tips come back.
  Key(VK_ESCAPE, 0, 0x1B);
  MoveMouse(HexX(13), RowOf(13));
  Frame();
  EXPECT_EQ(Cells(RowOf(13), HexX(13) + 1, 7), "|under|");
}

}  // namespace
}  // namespace marks_copy_test
