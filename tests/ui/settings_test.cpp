// The Settings panel: its picture, the checkbox that registers and
// unregisters the desktop entry (against a temporary XDG_DATA_HOME), the
// state read again on every opening, and the failure report.
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/port/desktop_registration.h"
#include "engine/port/process_path.h"
#include "engine/port/utf.h"
#include "engine/widgets/menu_object.h"
#include "tests/support/read_file.h"
#include "viewer/display_settings.h"
#include "tests/viewer/viewer_harness.h"
#include "ui/settings_panel.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

namespace fs = std::filesystem;

// The panel on a 119 x 30 console: the box is 42 x 17 around (59, -15), so
// its frame spans columns 39 to 80 and rows 7 to 23, and children are
// placed from column 59. The title sits on row 8 from column 41 (59 - 18),
// the label on row 9 from column 43 (59 - 16) to 63, and the checkbox two
// cells right of the label's local right edge (4), at column 65.
constexpr int kTitleRow = 8;
constexpr int kSettingRow = 9;
constexpr int kCheckboxColumn = 65;

using test_support::ReadFile;

class SettingsPanel : public ViewerTest {
 protected:
  void SetUp() override {
    ViewerTest::SetUp();
    const char* saved = std::getenv("XDG_DATA_HOME");
    hadDataHome = saved != nullptr;
    if (hadDataHome) savedDataHome = saved;
    setenv("XDG_DATA_HOME", (directory / "data").c_str(), 1);
  }
  void TearDown() override {
    if (hadDataHome) {
      setenv("XDG_DATA_HOME", savedDataHome.c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
    ViewerTest::TearDown();
  }

  fs::path EntryPath() const { return directory / "data" / "applications" / kelm::port::kDesktopEntryFileName; }

  // Clicks the "Settings" button on the menu bar.
  void OpenPanel() {
    Click(22, 0);
    ASSERT_EQ(OpenBoxes(), 1u);
  }
  // Cells of a row as UTF-8 text (the checkbox is not ASCII).
  std::string Span(int row, int column, int count) const {
    std::u16string text;
    for (int c = column; c < column + count; ++c) text += console->CharAt(c, row);
    return kelm::port::ToUtf8(text);
  }
  std::string Checkbox() const { return Span(kSettingRow, kCheckboxColumn, 1); }
  void ClickCheckbox() { Click(kCheckboxColumn, kSettingRow); }

  std::string savedDataHome;
  bool hadDataHome = false;
};

// A display setting's row: its label, its value at the value column.
std::string DisplayRow(const std::string& label, const std::string& value) {
  std::string row = "|   " + label;
  row.resize(24, ' ');
  row += value;
  row.resize(41, ' ');
  return row + "|";
}

TEST_F(SettingsPanel, PictureWithTitleLabelsAndEmptyBoxes) {
  Start(Counting(10));
  OpenPanel();
  EXPECT_EQ(Span(7, 39, 42), "+" + std::string(40, '-') + "+");
  EXPECT_EQ(Span(kTitleRow, 39, 42), "| Register" + std::string(31, ' ') + "|");
  EXPECT_EQ(Span(kSettingRow, 39, 42), "|   Show in context menu: \u25A1" + std::string(14, ' ') + "|");
  EXPECT_EQ(Span(kSettingRow + 1, 39, 42), "|" + std::string(40, ' ') + "|");
  EXPECT_EQ(Span(11, 39, 42), "| Display" + std::string(32, ' ') + "|");
  EXPECT_EQ(Span(12, 39, 42), DisplayRow("Bytes per row:", "fit"));
  EXPECT_EQ(Span(13, 39, 42), DisplayRow("Characters:", "spaced"));
  EXPECT_EQ(Span(14, 39, 42), DisplayRow("UTF-8 characters:", "off"));
  EXPECT_EQ(Span(15, 39, 42), DisplayRow("Byte-class colours:", "off"));
  EXPECT_EQ(Span(16, 39, 42), DisplayRow("Theme:", "classic"));
  EXPECT_EQ(Span(17, 39, 42), DisplayRow("File map:", "off")) << "the harness starts without the bar";
  for (int row = 18; row < 23; ++row) EXPECT_EQ(Span(row, 39, 42), "|" + std::string(40, ' ') + "|");
  EXPECT_EQ(Span(23, 39, 42), "+" + std::string(40, '-') + "+");
  EXPECT_EQ(Checkbox(), "\u25A1");
}

TEST_F(SettingsPanel, AClickOnAValueStepsItAppliesItAndSavesTheFile) {
  const std::string config = PathOf("config-home/kelmhex/config");
  LoadDisplaySettings(config);
  Start(Counting(64));
  OpenPanel();
  Click(63, 12);  // bytes per row: fit -> 8
  EXPECT_EQ(Span(12, 39, 42), DisplayRow("Bytes per row:", "8"));
  EXPECT_EQ(bytesPerRow, 8) << "applied at once";
  EXPECT_NE(ReadFile(config).find("\nbytes-per-row = 8\n"), std::string::npos) << ReadFile(config);
  Click(63, 16);  // theme: classic -> terminal
  EXPECT_EQ(Span(16, 39, 42), DisplayRow("Theme:", "terminal"));
  EXPECT_TRUE(engine->TerminalColours());
  EXPECT_NE(console->AttributeAt(0, 5) & kelm::port::kTerminalDefaultColours, 0)
      << "cells ask for the terminal's own colours";
  EXPECT_NE(ReadFile(config).find("\ntheme = terminal\n"), std::string::npos);
  EXPECT_EQ(OpenBoxes(), 1u) << "the panel stays open";
  ResetDisplaySettingsForTests();
}

TEST_F(SettingsPanel, TickingRegistersAndShowsTheFullBox) {
  Start(Counting(10));
  OpenPanel();
  ClickCheckbox();
  EXPECT_EQ(Checkbox(), "\u25A0");
  EXPECT_TRUE(kelm::port::IsRegistered());
  EXPECT_EQ(ReadFile(EntryPath()), kelm::port::DesktopEntryText(kelm::port::ProgramPath()));
  EXPECT_EQ(OpenBoxes(), 1u) << "the press on the checkbox does not close the panel";
  EXPECT_EQ(console->pauses, 0);
}

TEST_F(SettingsPanel, UntickingDeletesTheEntry) {
  Start(Counting(10));
  ASSERT_TRUE(kelm::port::RegisterVerb("/usr/bin/kelmhex").ok);
  OpenPanel();
  EXPECT_EQ(Checkbox(), "\u25A0");
  ClickCheckbox();
  EXPECT_EQ(Checkbox(), "\u25A1");
  EXPECT_FALSE(fs::exists(EntryPath()));
}

TEST_F(SettingsPanel, ReopeningShowsTheStateOnDiskNotARememberedOne) {
  Start(Counting(10));
  OpenPanel();
  EXPECT_EQ(Checkbox(), "\u25A1");
  KelmCEngineV2::CloseAllMenus();
  Frame();
  // Someone else writes the entry while the panel is closed.
  fs::create_directories(EntryPath().parent_path());
  std::ofstream(EntryPath()) << "[Desktop Entry]\n";
  OpenPanel();
  EXPECT_EQ(Checkbox(), "\u25A0");
  KelmCEngineV2::CloseAllMenus();
  Frame();
  fs::remove(EntryPath());
  OpenPanel();
  EXPECT_EQ(Checkbox(), "\u25A1");
}

TEST_F(SettingsPanel, ClickBesideTheCheckboxChangesNothing) {
  Start(Counting(10));
  OpenPanel();
  Click(kCheckboxColumn + 2, kSettingRow);
  EXPECT_EQ(Checkbox(), "\u25A1");
  EXPECT_FALSE(kelm::port::IsRegistered());
  EXPECT_EQ(OpenBoxes(), 1u);
}

TEST_F(SettingsPanel, FailureIsReportedWithItsStepAndTheBoxStaysEmpty) {
  Start(Counting(10));
  std::ofstream(directory / "plain") << "x";
  setenv("XDG_DATA_HOME", (directory / "plain" / "data").c_str(), 1);
  OpenPanel();
  ClickCheckbox();
  EXPECT_EQ(console->reports, "1Not a directory\n");
  EXPECT_EQ(console->pauses, 1);
  EXPECT_EQ(Checkbox(), "\u25A1");
  EXPECT_FALSE(kelm::port::IsRegistered());
}

TEST_F(SettingsPanel, UnregisterFailureIsStepFourAndTheBoxStaysFull) {
  Start(Counting(10));
  // A folder full of files in the entry's place cannot be deleted.
  fs::create_directories(EntryPath() / "inside");
  OpenPanel();
  EXPECT_EQ(Checkbox(), "\u25A0");
  ClickCheckbox();
  ASSERT_FALSE(console->reports.empty());
  EXPECT_EQ(console->reports.front(), '4');
  EXPECT_EQ(console->pauses, 1);
  EXPECT_EQ(Checkbox(), "\u25A0");
}

TEST_F(SettingsPanel, ReportWritesStepAndSystemTextThenPauses) {
  Start(Counting(10));
  ReportRegistryError("3", ENOSPC);
  EXPECT_EQ(console->reports, "3No space left on device\n");
  EXPECT_EQ(console->pauses, 1);
}

}  // namespace
}  // namespace viewer_test
