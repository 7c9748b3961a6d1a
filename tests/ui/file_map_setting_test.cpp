// "Show file map" in the Settings panel: the box shows the setting, and a
// click turns the bar off or on with the grid laid out again. On the 119 x 30
// console the engine draws 118 columns: 20 bytes per row without the bar, 19
// with it. The panel's second checkbox stands under the first, at column 65
// of row 10.
#include <string>

#include "tests/viewer/viewer_harness.h"
#include "viewer/scroll_bar.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

constexpr int kMapCheckboxColumn = 65;
constexpr int kMapCheckboxRow = 10;

class FileMapSetting : public ViewerTest {
 protected:
  void OpenPanel() {
    Click(22, 0);
    ASSERT_EQ(OpenBoxes(), 1u);
  }
  std::string Checkbox() const { return Cells(kMapCheckboxRow, kMapCheckboxColumn, 1); }
};

TEST_F(FileMapSetting, TheCheckboxTurnsTheBarOffAndOn) {
  fileMapShown = true;
  Start(Counting(1000));
  ASSERT_EQ(bytesPerRow, 19);
  EXPECT_EQ(Cells(kFirstGridRow, 117, 1), "\u2503");
  OpenPanel();
  EXPECT_EQ(Checkbox(), "\u25A0");

  Click(kMapCheckboxColumn, kMapCheckboxRow);
  EXPECT_FALSE(showFileMap);
  EXPECT_EQ(Checkbox(), "\u25A1");
  EXPECT_EQ(bytesPerRow, 20) << "the grid takes the column back";
  EXPECT_EQ(OpenBoxes(), 1u) << "the panel stays open";
  Escape();
  EXPECT_EQ(Cells(kFirstGridRow, 115, 3), ". .") << "the twentieth byte's character where the bar was";

  OpenPanel();
  EXPECT_EQ(Checkbox(), "\u25A1") << "a new panel shows the setting as it is";
  Click(kMapCheckboxColumn, kMapCheckboxRow);
  EXPECT_TRUE(showFileMap);
  EXPECT_EQ(bytesPerRow, 19);
  Escape();
  EXPECT_EQ(Cells(kFirstGridRow, 117, 1), "\u2503");
}

}  // namespace
}  // namespace viewer_test
