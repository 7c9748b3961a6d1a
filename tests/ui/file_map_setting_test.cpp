// "File map:" in the Settings panel's display rows: the value shows the
// setting, and a click turns the bar off or on with the grid laid out again
// and the settings file written. On the 119 x 30 console the engine draws 118
// columns: 20 bytes per row without the bar, 19 with it. The value stands
// at column 63 of row 17.
#include <fstream>
#include <sstream>
#include <string>

#include "tests/viewer/viewer_harness.h"
#include "viewer/display_settings.h"
#include "viewer/scroll_bar.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

constexpr int kMapValueColumn = 63;
constexpr int kMapValueRow = 17;

class FileMapSetting : public ViewerTest {
 protected:
  void OpenPanel() {
    Click(22, 0);
    ASSERT_EQ(OpenBoxes(), 1u);
  }
  std::string Value() const { return Cells(kMapValueRow, kMapValueColumn, 3); }
};

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

TEST_F(FileMapSetting, TheValueTurnsTheBarOffAndOnAndIsSaved) {
  const std::string config = PathOf("map-config/kelmhex/config");
  LoadDisplaySettings(config);
  fileMapShown = true;
  Start(Counting(1000));
  ASSERT_EQ(bytesPerRow, 19);
  EXPECT_EQ(Cells(kFirstGridRow, 117, 1), "\u2503");
  OpenPanel();
  EXPECT_EQ(Value(), "on ");

  Click(kMapValueColumn, kMapValueRow);
  EXPECT_FALSE(showFileMap);
  EXPECT_EQ(Value(), "off");
  EXPECT_EQ(bytesPerRow, 20) << "the grid takes the column back";
  EXPECT_EQ(OpenBoxes(), 1u) << "the panel stays open";
  EXPECT_NE(ReadAll(config).find("\nfile-map = off\n"), std::string::npos) << ReadAll(config);
  Escape();
  EXPECT_EQ(Cells(kFirstGridRow, 115, 3), ". .") << "the twentieth byte's character where the bar was";

  OpenPanel();
  EXPECT_EQ(Value(), "off") << "a new panel shows the setting as it is";
  Click(kMapValueColumn, kMapValueRow);
  EXPECT_TRUE(showFileMap);
  EXPECT_EQ(bytesPerRow, 19);
  EXPECT_NE(ReadAll(config).find("\nfile-map = on\n"), std::string::npos);
  Escape();
  EXPECT_EQ(Cells(kFirstGridRow, 117, 1), "\u2503");
  ResetDisplaySettingsForTests();
}

TEST_F(FileMapSetting, TheFileTurnsTheBarOffAtStart) {
  const std::vector<SettingsLine> ignored = ApplySettingsLines(ParseSettingsText("file-map = off\nfile-map = maybe\n"));
  ASSERT_EQ(ignored.size(), 1u) << "a value the key does not take is named";
  EXPECT_EQ(ignored.front().number, 2u);
  EXPECT_FALSE(showFileMap) << "and changes nothing";
  showFileMap = true;
  ResetDisplaySettingsForTests();
}

}  // namespace
}  // namespace viewer_test
