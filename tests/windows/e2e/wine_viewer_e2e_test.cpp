// End to end: the Windows program (kelmhex.exe) under wine in tmux, beside
// the Linux program on the same file in a terminal of the same size. Wine
// turns the terminal into a Windows console, so this runs the real Win32
// console backend: the grids must show the same rows, Page Down must scroll
// both alike, the keyboard selection must give the same status line, and q
// must end the program with status 0. Wine starts slowly: the waits allow a
// minute.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/tmux_terminal.h"

namespace {

using kelm::e2e::TmuxTerminal;

constexpr int kWineTimeoutMs = 60000;
constexpr int kColumns = 100;
constexpr int kRows = 30;

std::string Wine() {
  const char* wine = std::getenv("KELMHEX_WINE");
  if (wine != nullptr && wine[0] != '\0') return wine;
  for (const char* candidate : {"/usr/bin/wine64", "/usr/bin/wine", "/usr/lib/wine/wine64"}) {
    if (std::filesystem::exists(candidate)) return candidate;
  }
  return "wine";
}

// The rows of the hex grid: a 16-digit offset followed by '|'.
std::vector<std::string> GridRows(const std::vector<std::string>& screen) {
  std::vector<std::string> rows;
  for (const std::string& row : screen) {
    if (row.size() > 17 && row[16] == '|' && row.find_first_not_of("0123456789ABCDEF") == 16) rows.push_back(row);
  }
  return rows;
}

class WineViewerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TmuxTerminal::Available()) GTEST_SKIP() << "tmux is not installed";
    directory = std::filesystem::temp_directory_path() /
                ("kelmhex-wine-e2e-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(directory);
    options.columns = kColumns;
    options.rows = kRows;
    options.workingDirectory = directory.string();
    options.env["WINEDEBUG"] = "-all";
    if (const char* prefix = std::getenv("WINEPREFIX"); prefix != nullptr) options.env["WINEPREFIX"] = prefix;
  }
  void TearDown() override {
    wine.reset();
    native.reset();
    std::error_code ignored;
    if (!directory.empty()) std::filesystem::remove_all(directory, ignored);
  }

  // A file of every byte value in a shuffled but fixed order.
  std::string WriteSample(const std::string& name, size_t count) {
    std::vector<char> bytes(count);
    std::mt19937 random(77);
    for (char& byte : bytes) byte = static_cast<char>(random());
    std::ofstream(directory / name, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(count));
    return name;
  }

  // Starts both programs on `file` (a name relative to the folder, as a
  // user would type it).
  void StartBoth(const std::string& file) {
    native = std::make_unique<TmuxTerminal>(std::vector<std::string>{KELMHEX_BINARY, file}, options);
    wine = std::make_unique<TmuxTerminal>(std::vector<std::string>{Wine(), KELMHEX_WINDOWS_EXE, file}, options);
    ASSERT_TRUE(native->Started()) << native->Error();
    ASSERT_TRUE(wine->Started()) << wine->Error();
  }

  // Waits until the Windows program's grid shows exactly the Linux one's
  // rows (which must show a grid starting at `firstOffset`).
  void ExpectSameGrid(const std::string& firstOffset) {
    ASSERT_TRUE(native->WaitForScreen([&](const std::vector<std::string>& screen) {
      const std::vector<std::string> rows = GridRows(screen);
      return rows.size() > 5 && rows.front().starts_with(firstOffset);
    })) << native->ScreenText();
    const std::vector<std::string> expected = GridRows(native->Screen());
    const bool same = wine->WaitForScreen(
        [&](const std::vector<std::string>& screen) { return GridRows(screen) == expected; }, kWineTimeoutMs);
    EXPECT_TRUE(same) << "Linux:\n" << native->ScreenText() << "\nWindows under wine:\n" << wine->ScreenText();
  }

  std::filesystem::path directory;
  TmuxTerminal::Options options;
  std::unique_ptr<TmuxTerminal> native;
  std::unique_ptr<TmuxTerminal> wine;
};

TEST_F(WineViewerEndToEnd, GridRowsMatchTheLinuxProgramAndPageDownScrollsAlike) {
  StartBoth(WriteSample("sample.bin", 5000));
  ExpectSameGrid("0000000000000000|");
  // The whole screen is the same: menu bar, grid frame, blank status line.
  EXPECT_EQ(wine->Screen(), native->Screen());

  native->SendKeys({"PageDown"});
  wine->SendKeys({"PageDown"});
  ASSERT_TRUE(native->WaitForTextGone("0000000000000000|")) << native->ScreenText();
  ExpectSameGrid(GridRows(native->Screen()).front().substr(0, 17));
  EXPECT_EQ(GridRows(wine->Screen()).front().substr(0, 16), GridRows(native->Screen()).front().substr(0, 16));

  // Waits for the Linux program to leave the page both showed; the Windows
  // one may get there first, so its screen is no sign of either.
  const std::string before = GridRows(native->Screen()).front();
  native->SendKeys({"PageDown"});
  wine->SendKeys({"PageDown"});
  ASSERT_TRUE(native->WaitForScreen([&](const std::vector<std::string>& screen) {
    const std::vector<std::string> rows = GridRows(screen);
    return !rows.empty() && rows.front() != before;
  })) << native->ScreenText();
  ExpectSameGrid(GridRows(native->Screen()).front().substr(0, 17));
}

TEST_F(WineViewerEndToEnd, KeyboardSelectionShowsTheSameStatusLine) {
  StartBoth(WriteSample("select.bin", 700));
  ExpectSameGrid("0000000000000000|");
  // Ctrl+A selects the whole file; the status line shows its length.
  native->SendKeys({"C-a"});
  wine->SendKeys({"C-a"});
  ASSERT_TRUE(native->WaitForText("len: 00000000000002BC")) << native->ScreenText();
  ASSERT_TRUE(wine->WaitForText("len: 00000000000002BC", kWineTimeoutMs)) << wine->ScreenText();
  EXPECT_TRUE(wine->WaitForScreen([&](const std::vector<std::string>& screen) { return screen == native->Screen(); },
                                  kWineTimeoutMs))
      << "Linux:\n" << native->ScreenText() << "\nWindows under wine:\n" << wine->ScreenText();
}

TEST_F(WineViewerEndToEnd, MouseClickSelectsAByte) {
  StartBoth(WriteSample("mouse.bin", 700));
  ExpectSameGrid("0000000000000000|");
  // Wine's console on a terminal only gets mouse reports when it asks the
  // terminal for them.
  if (wine->Format("#{mouse_any_flag}#{mouse_button_flag}#{mouse_standard_flag}") == "000") {
    GTEST_SKIP() << "wine's console did not turn on mouse reporting in the terminal";
  }
  native->Click(48, 2);
  wine->Click(48, 2);
  ASSERT_TRUE(native->WaitForText("len: 0000000000000001 1")) << native->ScreenText();
  EXPECT_TRUE(wine->WaitForText("len: 0000000000000001 1", kWineTimeoutMs)) << wine->ScreenText();
}

TEST_F(WineViewerEndToEnd, QuitsWithQAndStatusZero) {
  StartBoth(WriteSample("quit.bin", 64));
  ExpectSameGrid("0000000000000000|");
  wine->SendText("q");
  ASSERT_TRUE(wine->WaitForExit(kWineTimeoutMs)) << wine->ScreenText();
  EXPECT_EQ(wine->ExitStatus(), 0);
}

TEST_F(WineViewerEndToEnd, MissingFileShowsTheOpenFailure) {
  StartBoth("no-such-file.bin");
  ASSERT_TRUE(native->WaitForText("Failed to open")) << native->ScreenText();
  EXPECT_TRUE(wine->WaitForText("Failed to open", kWineTimeoutMs)) << wine->ScreenText();
  wine->SendText("q");
  EXPECT_TRUE(wine->WaitForExit(kWineTimeoutMs));
}

TEST_F(WineViewerEndToEnd, WithoutAFileAndWithoutADisplayItEndsWithAMessage) {
  // The open dialog cannot be shown without a display; asking again would
  // never end.
  wine = std::make_unique<TmuxTerminal>(std::vector<std::string>{Wine(), KELMHEX_WINDOWS_EXE}, options);
  ASSERT_TRUE(wine->Started()) << wine->Error();
  EXPECT_TRUE(wine->WaitForText("the open dialog cannot be shown", kWineTimeoutMs)) << wine->ScreenText();
  ASSERT_TRUE(wine->WaitForExit(kWineTimeoutMs)) << wine->ScreenText();
  EXPECT_EQ(wine->ExitStatus(), 1);
}

}  // namespace
