// The menu bar on the top row and the File drop-down.
#include <string>

#include "tests/viewer/viewer_harness.h"
#include "ui/menu_bar.h"

namespace viewer_test {
namespace {

using MenuBar = ViewerTest;

TEST_F(MenuBar, ButtonsOnTheTopRow) {
  Start(Counting(10), 39, 10);
  // "[ File ]" centred on column 8, "[ Settings ]" centred on column 22.
  EXPECT_EQ(Row(0), "     [ File ]    [ Settings ]");
  EXPECT_EQ(Foreground(0, 5, 8), "C777777C") << "brackets in light red";
  EXPECT_EQ(Foreground(0, 17, 12), "C7777777777C");
}

TEST_F(MenuBar, ScreenObjectsAtTheirPlaces) {
  Start(Counting(10), 39, 10);
  EXPECT_EQ(offsetColumn->position.x, 0.0f);
  EXPECT_EQ(offsetColumn->position.y, -2.0f);
  EXPECT_EQ(hexColumn->position.x, 18.0f);
  EXPECT_EQ(leftSeparator->position.x, 16.0f);
  EXPECT_EQ(topRule->position.y, -1.0f);
  EXPECT_EQ(bottomRule->position.y, -8.0f);
  EXPECT_EQ(statusLine->position.x, 18.0f);
  EXPECT_EQ(statusLine->position.y, -9.0f);
  EXPECT_EQ(statusOffset->position.y, -9.0f);
  EXPECT_EQ(statusOffset->text, u"----------------");
  EXPECT_TRUE(offsetColumn->opaqueMask.empty());
  EXPECT_EQ(hexColumn->opaqueMask, std::string(hexColumn->text.size(), '#'));
  EXPECT_EQ(charColumn->opaqueMask, std::string(charColumn->text.size(), '#'));
}

TEST_F(MenuBar, FileOpensTheDropDownBelowTheButton) {
  Start(Counting(10), 39, 10);
  Click(7, 0);
  ASSERT_EQ(OpenBoxes(), 1u);
  // The box's top-left corner at the button's left column, one row below.
  EXPECT_EQ(Row(1).substr(5, 15), "+-------------+");
  EXPECT_EQ(Row(2).substr(5, 15), "| Open        |");
  EXPECT_EQ(Row(3).substr(5, 15), "| Open With   |");
  EXPECT_EQ(Row(4).substr(5, 15), "| Reload      |");
  EXPECT_EQ(Row(5).substr(5, 15), "| Export      |");
  EXPECT_EQ(Row(6).substr(5, 15), "+-------------+");
  EXPECT_EQ(selectionActive, false) << "the press did not reach the grid";
}

TEST_F(MenuBar, ClickOnFileWhileOpenOnlyCloses) {
  Start(Counting(10), 39, 10);
  Click(7, 0);
  ASSERT_EQ(OpenBoxes(), 1u);
  Click(7, 0);
  EXPECT_EQ(OpenBoxes(), 0u);
  Click(7, 0);
  EXPECT_EQ(OpenBoxes(), 1u);
}

TEST_F(MenuBar, PressOutsideTheDropDownClosesItWithoutSelecting) {
  Start(Counting(40), 39, 10);
  Click(7, 0);
  ASSERT_EQ(OpenBoxes(), 1u);
  Click(HexX(30), RowOf(30));
  EXPECT_EQ(OpenBoxes(), 0u);
  EXPECT_FALSE(selectionActive) << "the box took the press";
}

}  // namespace
}  // namespace viewer_test
