// End to end in tmux: Ctrl+F with hex bytes and with non-ASCII text, F3 and
// Shift+F3 as the terminal sends them, the wrap note, the not-found pop-up,
// and a long search on a sparse 1 TiB file that shows its progress and
// stops on Esc while the screen keeps answering.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <random>
#include <string>
#include <vector>
#include <vector>

#include "tests/e2e/tmux_terminal.h"
#include "tests/e2e/viewer_on_tmux.h"

namespace {

using kelm::e2e::TmuxTerminal;
using kelm::e2e::ViewerOnTmux;

// The 120 x 30 pane: the grid's first row is screen row 2; the status row
// (the selection's offset in its first 16 cells) is the last one.
constexpr int kFirstGridRow = 2;
constexpr int kStatusRow = 29;

std::string Ctrl(char letter) { return std::string(1, static_cast<char>(letter - 'A' + 1)); }

bool RowStartsWith(const std::vector<std::string>& rows, int row, const std::string& text) {
  return rows.size() > static_cast<size_t>(row) && rows[static_cast<size_t>(row)].rfind(text, 0) == 0;
}

class SearchEndToEnd : public ViewerOnTmux {
 protected:
  SearchEndToEnd() : ViewerOnTmux("kelmhex-search-e2e-") {}

  // Waits until the status row shows the selection at `offset`.
  bool WaitForSelectionAt(const std::string& offset) {
    return terminal->WaitForScreen(
        [&](const std::vector<std::string>& rows) { return RowStartsWith(rows, kStatusRow, offset); });
  }

  void Search(const std::string& typed) {
    terminal->SendBytes(Ctrl('F'));
    ASSERT_TRUE(terminal->WaitForText("Find hex bytes")) << terminal->ScreenText();
    terminal->SendText(typed);
    ASSERT_TRUE(terminal->WaitForText("[ " + typed)) << terminal->ScreenText();
    terminal->SendKeys({"Enter"});
  }
};

TEST_F(SearchEndToEnd, HexAndTextSearchesNextPreviousWrapAndNotFound) {
  // 8 KiB of 0x2E with DE AD BE EF at 0x1000 and 0x1800 and "Köln" at 0x300.
  std::vector<uint8_t> bytes(8192, 0x2E);
  const uint8_t pattern[] = {0xDE, 0xAD, 0xBE, 0xEF};
  std::copy(std::begin(pattern), std::end(pattern), bytes.begin() + 0x1000);
  std::copy(std::begin(pattern), std::end(pattern), bytes.begin() + 0x1800);
  const std::string city = "K\xC3\xB6ln";
  std::copy(city.begin(), city.end(), bytes.begin() + 0x300);
  const std::string path = (directory / "data.bin").string();
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  OpenPath(path, "0000000000000000| 2E 2E");
  if (HasFatalFailure()) return;

  // The first match is off screen: its row comes to the top, selected.
  Search("de ad be ef");
  ASSERT_TRUE(WaitForSelectionAt("0000000000001000")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForScreen([](const std::vector<std::string>& rows) {
    return RowStartsWith(rows, kFirstGridRow, "0000000000000FF0| 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E 2E DE AD BE EF");
  })) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("len: 0000000000000004 4")) << terminal->ScreenText();

  // F3: the next one; F3 again wraps to the first and says so.
  terminal->SendKeys({"F3"});
  ASSERT_TRUE(WaitForSelectionAt("0000000000001800")) << terminal->ScreenText();
  terminal->SendKeys({"F3"});
  ASSERT_TRUE(WaitForSelectionAt("0000000000001000")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("find: wrapped to the start")) << terminal->ScreenText();
  // Shift+F3 from the first wraps to the last.
  terminal->SendKeys({"S-F3"});
  ASSERT_TRUE(WaitForSelectionAt("0000000000001800")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("find: wrapped to the end")) << terminal->ScreenText();

  // Text with a non-ASCII letter, found as its UTF-8 bytes (wrapping).
  Search("\"K\xC3\xB6ln");
  ASSERT_TRUE(WaitForSelectionAt("0000000000000300")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("len: 0000000000000005 5")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("find: wrapped to the start")) << terminal->ScreenText();

  // An invalid pattern is explained in the form; Esc twice leaves it.
  Search("de a");
  EXPECT_TRUE(terminal->WaitForText("Each byte needs two hex digits")) << terminal->ScreenText();
  // The first Esc takes the keyboard from the field (its caret goes), the
  // second closes the box.
  terminal->SendKeys({"Escape"});
  EXPECT_TRUE(terminal->WaitForText("[ de a ]")) << terminal->ScreenText();
  terminal->SendKeys({"Escape"});
  EXPECT_TRUE(terminal->WaitForTextGone("Find hex bytes")) << terminal->ScreenText();

  // A pattern that is not there: the pop-up.
  Search("ca fe");
  EXPECT_TRUE(terminal->WaitForText("Pattern not found: CA FE")) << terminal->ScreenText();

  terminal->SendKeys({"Escape"});
  EXPECT_TRUE(terminal->WaitForTextGone("Pattern not found")) << terminal->ScreenText();
  terminal->SendText("q");
  ASSERT_TRUE(terminal->WaitForExit());
  EXPECT_EQ(terminal->ExitStatus(), std::optional<int>(0));
}

TEST_F(SearchEndToEnd, ALongSearchShowsProgressKeepsTheScreenLiveAndStopsOnEsc) {
  // Holes are skipped, so a long search needs bytes that are really there:
  // 2 GiB of blanks, through which a missing pattern takes seconds.
  const std::string path = (directory / "huge.bin").string();
  {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    const std::vector<char> block(size_t{1} << 20, ' ');
    bool written = true;
    for (int i = 0; i < 2048 && written; ++i) {
      written = ::write(fd, block.data(), block.size()) == static_cast<ssize_t>(block.size());
    }
    ::close(fd);
    if (!written) GTEST_SKIP() << "no room for a 2 GiB file";
  }
  OpenPath(path, "0000000000000000| 20 20");
  if (HasFatalFailure()) return;

  Search("12 34 56");
  ASSERT_TRUE(terminal->WaitForText("(Esc stops)")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("% at 0000000")) << terminal->ScreenText();

  // The screen answers while the search runs: Page Down scrolls.
  terminal->SendKeys({"PageDown"});
  EXPECT_TRUE(terminal->WaitForScreen([](const std::vector<std::string>& rows) {
    return RowStartsWith(rows, kFirstGridRow, "0000000000000208| 20");
  })) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("(Esc stops)")) << terminal->ScreenText();

  terminal->SendKeys({"Escape"});
  EXPECT_TRUE(terminal->WaitForText("find: stopped at 0000")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForTextGone("(Esc stops)")) << terminal->ScreenText();

  terminal->SendText("q");
  ASSERT_TRUE(terminal->WaitForExit());
  EXPECT_EQ(terminal->ExitStatus(), std::optional<int>(0));
}

TEST_F(SearchEndToEnd, ATebibyteOfHolesIsSearchedAtOnceAndItsMatchCounted) {
  // 8 bytes 4 KiB before the end of a sparse 1 TiB file: the search skips
  // the holes, so the match shows as soon as the keys are read; the count
  // of its matches passes the holes as well.
  const std::string path = (directory / "sparse.bin").string();
  const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
  ASSERT_GE(fd, 0);
  const uint8_t pattern[] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67};
  const uint64_t at = (uint64_t{1} << 40) - 4096;
  const bool made = ::ftruncate(fd, static_cast<off_t>(uint64_t{1} << 40)) == 0 &&
                    ::pwrite(fd, pattern, sizeof pattern, static_cast<off_t>(at)) == 8;
  ::close(fd);
  if (!made) GTEST_SKIP() << "this file system cannot hold a sparse 1 TiB file";
  OpenPath(path, "0000000000000000| 00 00");
  if (HasFatalFailure()) return;

  Search("de ad be ef 01 23 45 67");
  EXPECT_TRUE(WaitForSelectionAt("000000FFFFFFF000")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("match: 1 of 1")) << terminal->ScreenText();
  terminal->SendText("q");
  ASSERT_TRUE(terminal->WaitForExit());
  EXPECT_EQ(terminal->ExitStatus(), std::optional<int>(0));
}

}  // namespace
