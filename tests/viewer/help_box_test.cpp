// The help box (F1) in the running viewer: it opens on the "Menus" layer
// listing the key table, scrolls with the arrows, the page keys and the
// wheel without moving the selection or the grid underneath, fits small and
// large screens, and closes on Esc, F1 or a press outside, taking the Esc
// before the viewer or a box below it sees it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "viewer/help_box.h"
#include "viewer/help_text.h"
#include "tests/viewer/viewer_harness.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

using kelm::port::VK_DOWN;
using kelm::port::VK_END;
using kelm::port::VK_ESCAPE;
using kelm::port::VK_F1;
using kelm::port::VK_HOME;
using kelm::port::VK_NEXT;
using kelm::port::VK_PRIOR;
using kelm::port::VK_UP;

class HelpBoxTest : public ViewerTest {
 protected:
  // Esc as terminals report it: the key with its character.
  void Esc() { Key(VK_ESCAPE, 0, 0x1B); }

  HelpBox* Box() const { return FindHelpBox(); }

  int BoxLeft() const { return static_cast<int>(Box()->position.x); }
  int BoxTop() const { return -static_cast<int>(Box()->position.y); }
  int InnerWidth() const { return Box()->GetWidth() - 2; }

  // Text of content row `row` of the box as shown on screen.
  std::string ShownLine(int row) const {
    std::string text = Cells(BoxTop() + 1 + row, BoxLeft() + 1, InnerWidth());
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }

  // What content row `row` should show when the table starts at `first`.
  std::string ExpectedLine(int first, int row) const {
    const std::vector<HelpLine>& lines = Box()->Lines();
    const size_t index = static_cast<size_t>(first + row);
    return index < lines.size() && !lines[index].text.empty() ? " " + lines[index].text : std::string();
  }

  // Every content row shows the table from line `first` on.
  void ExpectShownFrom(int first) const {
    ASSERT_EQ(Box()->FirstLine(), first);
    for (int row = 0; row < Box()->VisibleLines(); ++row) {
      ASSERT_EQ(ShownLine(row), ExpectedLine(first, row)) << "row " << row;
    }
  }

  std::string BottomEdge() const { return Cells(BoxTop() + Box()->GetHeight() - 1, BoxLeft(), Box()->GetWidth()); }

  size_t HelpBoxes() const {
    size_t count = 0;
    for (Object* object : menusLayer->GetObjects()) {
      if (dynamic_cast<HelpBox*>(object) != nullptr && !object->IsDestroyed()) ++count;
    }
    return count;
  }
};

TEST_F(HelpBoxTest, F1OpensTheKeyTableOnTheMenusLayer) {
  Start(Counting(4096));
  ASSERT_EQ(OpenBoxes(), 0u);
  Key(VK_F1);
  ASSERT_NE(Box(), nullptr);
  EXPECT_EQ(OpenBoxes(), 1u);
  EXPECT_EQ(Box()->layer, menusLayer);

  // The table is the one --help prints, laid out for the box's width.
  const std::vector<HelpLine> table = FormatKeyTable(KeySections(), InnerWidth() - 2);
  ASSERT_EQ(Box()->Lines().size(), table.size());
  for (size_t i = 0; i < table.size(); ++i) EXPECT_EQ(Box()->Lines()[i].text, table[i].text);

  // Below the menu bar, above the status row, framed, with its title.
  EXPECT_GE(BoxTop(), 1);
  EXPECT_LE(BoxTop() + Box()->GetHeight(), console->frameHeight - 1);
  EXPECT_NE(Row(BoxTop()).find("Help: keys and mouse"), std::string::npos);
  ExpectShownFrom(0);
  EXPECT_EQ(ShownLine(0), " Hex view");
  EXPECT_EQ(Foreground(BoxTop() + 1, BoxLeft() + 2, 8), "EEEEEEEE");  // a heading
  // The table does not fit 30 rows: the bottom edge says where we are.
  const std::string range = " 1-" + std::to_string(Box()->VisibleLines()) + " of " + std::to_string(table.size()) + " ";
  EXPECT_NE(BottomEdge().find(range), std::string::npos) << BottomEdge();
}

TEST_F(HelpBoxTest, ArrowsScrollTheBoxAndLeaveTheSelectionAlone) {
  Start(Counting(4096));
  ClickByte(5);
  ASSERT_TRUE(selectionActive);
  Key(VK_F1);
  Key(VK_DOWN);
  ExpectShownFrom(1);
  Key(VK_DOWN);
  ExpectShownFrom(2);
  Key(VK_UP);
  ExpectShownFrom(1);
  Key(VK_UP);
  Key(VK_UP);  // stays at the top
  ExpectShownFrom(0);
  EXPECT_EQ(selection.start, 5u);
  EXPECT_EQ(selection.length, 1u);
  EXPECT_EQ(topRow, 0);
}

TEST_F(HelpBoxTest, PageKeysHomeAndEndScrollByPagesAndToTheEnds) {
  Start(Counting(4096));
  Key(VK_F1);
  const int visible = Box()->VisibleLines();
  const int last = static_cast<int>(Box()->Lines().size()) - visible;
  ASSERT_GT(last, visible) << "the table should need more than two pages here";

  Key(VK_NEXT);
  ExpectShownFrom(visible - 1);  // a page keeps one line of the last one
  Key(VK_END);
  ExpectShownFrom(last);
  EXPECT_EQ(ShownLine(visible - 1), " " + Box()->Lines().back().text);
  const std::string range = " " + std::to_string(last + 1) + "-" + std::to_string(last + visible) + " of ";
  EXPECT_NE(BottomEdge().find(range), std::string::npos) << BottomEdge();
  Key(VK_NEXT);  // nothing beyond the end
  ExpectShownFrom(last);
  Key(VK_PRIOR);
  ExpectShownFrom(last - (visible - 1));
  Key(VK_HOME);
  ExpectShownFrom(0);
  EXPECT_EQ(topRow, 0);
}

TEST_F(HelpBoxTest, WheelScrollsTheBoxNotTheGrid) {
  Start(Counting(64 * 1024));
  Key(VK_F1);
  console->PushWheel(60, 10, -1);  // towards the user: down
  Frame(2);
  ExpectShownFrom(kHelpWheelLines);
  console->PushWheel(60, 10, 1);
  Frame(2);
  ExpectShownFrom(0);
  EXPECT_EQ(topRow, 0);
  EXPECT_EQ(Row(kFirstGridRow).substr(0, 16), "0000000000000000");
}

TEST_F(HelpBoxTest, EscClosesTheHelpBoxOnlyAndNotTheBoxBelow) {
  Start(Counting(4096));
  CtrlKey('D');  // the inspector panel, which closes itself on Esc
  ASSERT_EQ(OpenBoxes(), 1u);
  Key(VK_F1);
  ASSERT_EQ(OpenBoxes(), 2u);
  Esc();
  EXPECT_EQ(Box(), nullptr);
  EXPECT_EQ(OpenBoxes(), 1u);  // the panel is still there
  Esc();
  EXPECT_EQ(OpenBoxes(), 0u);
}

TEST_F(HelpBoxTest, F1AgainClosesIt) {
  Start(Counting(256));
  Key(VK_F1);
  ASSERT_NE(Box(), nullptr);
  Key(VK_F1);
  EXPECT_EQ(Box(), nullptr);
  EXPECT_EQ(OpenBoxes(), 0u);
  Key(VK_F1);
  EXPECT_NE(Box(), nullptr);
}

TEST_F(HelpBoxTest, APressOutsideClosesItAndIsUsedUp) {
  Start(Counting(4096));
  Key(VK_F1);
  // A press inside keeps it open and never reaches the grid below.
  const int insideRow = BoxTop() + 3;
  const int insideColumn = BoxLeft() + 10;
  Click(insideColumn, insideRow);
  EXPECT_NE(Box(), nullptr);
  EXPECT_FALSE(selectionActive);
  // A press on the frame counts as outside, as for every box.
  Click(BoxLeft(), insideRow);
  EXPECT_EQ(Box(), nullptr);

  Key(VK_F1);
  ASSERT_GT(BoxLeft(), HexX(0)) << "byte 0 should lie left of the box";
  ClickByte(0);  // outside: closes the box, and the press selects nothing
  EXPECT_EQ(Box(), nullptr);
  EXPECT_FALSE(selectionActive);
  ClickByte(0);
  EXPECT_TRUE(selectionActive);
}

TEST_F(HelpBoxTest, ABoxOpenedAboveTakesTheKeys) {
  Start(Counting(4096));
  Key(VK_F1);
  CtrlKey('G');  // the Seek form opens above the help box
  ASSERT_EQ(OpenBoxes(), 2u);
  Key(VK_DOWN);
  EXPECT_EQ(Box()->FirstLine(), 0);
  Esc();  // leaves the Seek field
  Esc();  // closes the Seek form
  EXPECT_EQ(OpenBoxes(), 1u);
  ASSERT_NE(Box(), nullptr);
  Key(VK_DOWN);
  EXPECT_EQ(Box()->FirstLine(), 1);
}

TEST_F(HelpBoxTest, F1UnderAnotherBoxOpensNoSecondHelpBox) {
  Start(Counting(4096));
  Key(VK_F1);
  CtrlKey('D');  // the inspector panel above the help box
  ASSERT_EQ(OpenBoxes(), 2u);
  Key(VK_F1);
  EXPECT_EQ(HelpBoxes(), 1u);
  EXPECT_EQ(OpenBoxes(), 2u);
}

TEST_F(HelpBoxTest, FitsASmallScreenAndStillReachesTheLastLine) {
  StartOn(WriteFile(Counting(300)), 40, 12);
  Key(VK_F1);
  ASSERT_NE(Box(), nullptr);
  EXPECT_LE(BoxLeft() + Box()->GetWidth(), console->frameWidth);
  EXPECT_GE(BoxTop(), 1);
  EXPECT_LE(BoxTop() + Box()->GetHeight(), console->frameHeight - 1);
  for (const HelpLine& line : Box()->Lines()) EXPECT_LE(static_cast<int>(line.text.size()), InnerWidth() - 2);
  ExpectShownFrom(0);
  Key(VK_END);
  const int last = static_cast<int>(Box()->Lines().size()) - Box()->VisibleLines();
  ExpectShownFrom(last);
}

TEST_F(HelpBoxTest, OnALargeScreenEverythingShowsAndNothingScrolls) {
  StartOn(WriteFile(Counting(300)), 200, 120);
  ClickByte(3);
  Key(VK_F1);
  ASSERT_EQ(Box()->VisibleLines(), static_cast<int>(Box()->Lines().size()));
  EXPECT_EQ(InnerWidth(), kHelpBoxMaxInnerWidth);
  Key(VK_DOWN);
  ExpectShownFrom(0);
  EXPECT_EQ(selection.start, 3u);  // the arrow went to the box all the same
  EXPECT_NE(BottomEdge().find(" Esc: close "), std::string::npos);
  EXPECT_EQ(BottomEdge().find(" of "), std::string::npos);
}

TEST_F(HelpBoxTest, FollowsAResize) {
  Start(Counting(4096));
  Key(VK_F1);
  Key(VK_DOWN);
  Key(VK_DOWN);
  console->SetWindowSize(50, 16);
  Frame(2);
  ASSERT_NE(Box(), nullptr);
  EXPECT_LE(BoxLeft() + Box()->GetWidth(), console->frameWidth);
  EXPECT_LE(BoxTop() + Box()->GetHeight(), console->frameHeight - 1);
  ExpectShownFrom(2);  // the place in the table is kept
}

}  // namespace
}  // namespace viewer_test
