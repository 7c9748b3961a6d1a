// The menu bar on the top row and the File drop-down.
#include <string>

#include "tests/viewer/viewer_harness.h"
#include "ui/menu_bar.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

using MenuBar = ViewerTest;

TEST_F(MenuBar, ButtonsOnTheTopRow) {
  Start(Counting(10), 39, 10);
  // "[ File ]" centred on column 8, "[ Settings ]" centred on column 22,
  // their brackets in light red.
  ExpectScreen(*console,
               {
                   "     [ File ]    [ Settings ]",
                   "----------------+-------------+-------",
                   "0000000000000000| 00 01 02 03 |. . . .",
                   "0000000000000004| 04 05 06 07 |. . . .",
                   "0000000000000008| 08 09       |. .",
                   "000000000000000C|             |",
                   "0000000000000010|             |",
                   "0000000000000014|             |",
                   "----------------+-------------+-------",
                   "----------------",
               },
               {".....C777777C....C7777777777C"});
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
  Start(Counting(10), 39, 14);
  Click(7, 0);
  ASSERT_EQ(OpenBoxes(), 1u);
  // The box's top-left corner at the button's left column, one row below;
  // the entries that open another box end in ">".
  ExpectScreen(*console, {
                             "     [ File ]    [ Settings ]",
                             "-----+----------------+-------+-------",
                             "00000| Open           | 02 03 |. . . .",
                             "00000| Open With      | 06 07 |. . . .",
                             "00000| Reload         |       |. .",
                             "00000| Export         |       |",
                             "00000| Export as    > |       |",
                             "00000| Copy as      > |       |",
                             "00000| Marks          |       |",
                             "00000| Export marks   |       |",
                             "00000| Import marks   |       |",
                             "00000+----------------+       |",
                             "----------------+-------------+-------",
                             "----------------",
                         });
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
