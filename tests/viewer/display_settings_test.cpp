// The settings file: its text, a round trip through the file, lines it does
// not understand, the command line over it, and a folder it cannot write.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>

#include "engine/port/utf.h"
#include "tests/support/read_file.h"
#include "viewer/display_options.h"
#include "viewer/display_settings.h"

using namespace kelm::viewer;

namespace {

class DisplaySettingsFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetDisplaySettingsForTests();
    folder = std::filesystem::temp_directory_path() /
             ("kelmhex-settings-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    path = (folder / "kelmhex" / "config").string();
  }
  void TearDown() override {
    ResetDisplaySettingsForTests();
    std::error_code ignored;
    std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ignored);
    std::filesystem::remove_all(folder, ignored);
  }
  void Write(const std::string& text) {
    std::filesystem::create_directories(std::filesystem::path(path).parent_path());
    std::ofstream(path, std::ios::binary) << text;
  }
  std::string Note() const { return kelm::port::ToUtf8(SettingsNote()); }

  std::filesystem::path folder;
  std::string path;
};

TEST_F(DisplaySettingsFile, RoundTripThroughTheFile) {
  displayOptions.bytesPerRow = 16;
  displayOptions.spacing = CharSpacing::Compact;
  displayOptions.utf8 = true;
  displayOptions.byteClassColours = true;
  displayOptions.theme = ColourTheme::Terminal;
  LoadDisplaySettings(path);  // nothing there yet: no note, the values stay
  EXPECT_EQ(Note(), "");
  EXPECT_EQ(displayOptions.bytesPerRow, 16);
  ASSERT_TRUE(SaveDisplaySettings()) << "the missing folders are made";
  const std::string text = test_support::ReadFile(path);
  EXPECT_NE(text.find("\nbytes-per-row = 16\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\ncharacters = compact\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\ntheme = terminal\n"), std::string::npos) << text;

  displayOptions = DisplayOptions{};
  LoadDisplaySettings(path);
  EXPECT_EQ(Note(), "");
  EXPECT_EQ(displayOptions.bytesPerRow, 16);
  EXPECT_EQ(displayOptions.spacing, CharSpacing::Compact);
  EXPECT_TRUE(displayOptions.utf8);
  EXPECT_TRUE(displayOptions.byteClassColours);
  EXPECT_EQ(displayOptions.theme, ColourTheme::Terminal);
  EXPECT_EQ(FormatSettingsText(), text) << "written again the same";
}

TEST_F(DisplaySettingsFile, UnknownAndBrokenLinesAreSkippedAndTheFirstIsNamed) {
  Write("# a comment\n\n  characters = compact  \ncolour = red\nbytes-per-row = 300\nno equals sign\r\n"
        "utf8=on\n");
  LoadDisplaySettings(path);
  EXPECT_EQ(displayOptions.spacing, CharSpacing::Compact);
  EXPECT_TRUE(displayOptions.utf8) << "blanks around '=' are optional";
  EXPECT_EQ(displayOptions.bytesPerRow, 0) << "300 is out of range: fit stays";
  EXPECT_EQ(Note(), "line 4 ignored: colour = red (and 2 more)");
}

TEST_F(DisplaySettingsFile, AControlCharacterInALineIsEscapedInTheNote) {
  Write("the\x1b[31mkey = 1\n");
  LoadDisplaySettings(path);
  EXPECT_EQ(Note().find('\x1b'), std::string::npos) << Note();
  EXPECT_EQ(Note().rfind("line 1 ignored: the", 0), 0u) << Note();
}

TEST_F(DisplaySettingsFile, TheCommandLineWinsAndIsNotWrittenBack) {
  Write("bytes-per-row = 8\ntheme = terminal\n");
  SetCommandLineSetting("bytes-per-row", "32");
  LoadDisplaySettings(path);
  EXPECT_EQ(displayOptions.bytesPerRow, 32);
  EXPECT_EQ(displayOptions.theme, ColourTheme::Terminal);
  displayOptions.utf8 = true;  // as the Settings panel would change it
  ASSERT_TRUE(SaveDisplaySettings());
  const std::string text = test_support::ReadFile(path);
  EXPECT_NE(text.find("\nbytes-per-row = 8\n"), std::string::npos) << "the file's own value: " << text;
  EXPECT_NE(text.find("\nutf8 = on\n"), std::string::npos) << text;

  // Once the panel changes it, the new value is the file's.
  ForgetCommandLineSetting("bytes-per-row");
  ASSERT_TRUE(SaveDisplaySettings());
  EXPECT_NE(test_support::ReadFile(path).find("\nbytes-per-row = 32\n"), std::string::npos);
}

TEST_F(DisplaySettingsFile, UnreadableOrUnwritablePlacesAreReportedNotFatal) {
  std::filesystem::create_directories(path);  // a folder where the file should be
  LoadDisplaySettings(path);
  EXPECT_NE(Note().find("cannot read"), std::string::npos) << Note();
  EXPECT_EQ(displayOptions.bytesPerRow, 0) << "the defaults";
  EXPECT_FALSE(SaveDisplaySettings());
  EXPECT_NE(Note().find("cannot write"), std::string::npos) << Note();

  // A folder that cannot be written to.
  const std::filesystem::path locked = folder / "locked";
  std::filesystem::create_directories(locked);
  std::filesystem::permissions(locked, std::filesystem::perms::owner_read | std::filesystem::perms::owner_exec);
  if (std::ofstream(locked / "probe")) GTEST_SKIP() << "running with rights that ignore permissions";
  LoadDisplaySettings((locked / "config").string());
  EXPECT_EQ(Note(), "") << "nothing there is the first run";
  EXPECT_FALSE(SaveDisplaySettings());
  EXPECT_NE(Note().find("cannot write"), std::string::npos) << Note();
  std::filesystem::permissions(locked, std::filesystem::perms::owner_all);
}

TEST(SettingsText, LinesAreCutAndCounted) {
  const std::string longLine = "k = " + std::string(2 * kMaxSettingsLineLength, 'v');
  const std::vector<SettingsLine> lines = ParseSettingsText(longLine + "\n#c\nx\n");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].value.size(), kMaxSettingsLineLength - 4);
  EXPECT_EQ(lines[1].number, 3u);
  EXPECT_TRUE(lines[1].key.empty());
  std::string many;
  for (size_t i = 0; i < kMaxSettingsLines + 10; ++i) many += "a = b\n";
  EXPECT_EQ(ParseSettingsText(many).size(), kMaxSettingsLines);
}

}  // namespace
