// End to end in tmux: the viewer on a real file, every grid row compared
// with the file's bytes, paging, jumping to the end, selecting with the
// mouse, resizing, and quitting.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/tmux_terminal.h"

namespace {

using kelm::e2e::TmuxTerminal;

constexpr int kFirstGridRow = 2;

std::string OffsetText(uint64_t offset) {
  char text[20];
  std::snprintf(text, sizeof text, "%016llX", static_cast<unsigned long long>(offset));
  return text;
}

// What a grid row of `perRow` bytes from `first` must show for `bytes`,
// trailing blanks removed (as the harness reads the screen).
std::string ExpectedRow(const std::vector<uint8_t>& bytes, uint64_t first, int perRow) {
  std::string hex;
  std::string chars;
  for (int k = 0; k < perRow; ++k) {
    const uint64_t offset = first + static_cast<uint64_t>(k);
    if (k > 0) {
      hex += ' ';
      chars += ' ';
    }
    if (offset < bytes.size()) {
      char pair[4];
      std::snprintf(pair, sizeof pair, "%02X", bytes[offset]);
      hex += pair;
      const uint8_t byte = bytes[offset];
      chars += byte >= 0x20 && byte <= 0x7E ? static_cast<char>(byte) : '.';
    } else {
      hex += "  ";
      chars += ' ';
    }
  }
  std::string row = OffsetText(first) + "| " + hex + " |" + chars;
  row.erase(row.find_last_not_of(' ') + 1);
  return row;
}

// The thumb of the file map at the right edge, in a row that shows it.
constexpr char kThumb[] = "\u2503";

// A screen row without the file map's column: the thumb and the blanks
// before it go, so the rest compares with ExpectedRow.
std::string GridPartOf(std::string row) {
  const std::string thumb = kThumb;
  if (row.size() >= thumb.size() && row.compare(row.size() - thumb.size(), thumb.size(), thumb) == 0) {
    row.erase(row.size() - thumb.size());
    row.erase(row.find_last_not_of(' ') + 1);
  }
  return row;
}

class ViewerEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef KELMHEX_BINARY
    GTEST_SKIP() << "the kelmhex program is not built";
#else
    if (!TmuxTerminal::Available()) GTEST_SKIP() << "tmux is not installed";
    directory = std::filesystem::temp_directory_path() /
                ("kelmhex-viewer-e2e-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(directory);
#endif
  }
  void TearDown() override {
    terminal.reset();
    if (!directory.empty()) {
      std::error_code ignored;
      std::filesystem::remove_all(directory, ignored);
    }
  }

  // Bytes of every value, in a shuffled but fixed order.
  static std::vector<uint8_t> MixedBytes(size_t count) {
    std::vector<uint8_t> bytes(count);
    std::mt19937 random(2024);
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
    return bytes;
  }

  std::string WriteFile(const std::vector<uint8_t>& bytes, const std::string& name = "data.bin") {
    const std::string path = (directory / name).string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path;
  }

  void Open(const std::string& path, int columns = 120, int rows = 30, const std::vector<std::string>& arguments = {}) {
#ifdef KELMHEX_BINARY
    TmuxTerminal::Options options;
    options.columns = columns;
    options.rows = rows;
    std::vector<std::string> command{KELMHEX_BINARY};
    command.insert(command.end(), arguments.begin(), arguments.end());
    command.push_back(path);
    terminal = std::make_unique<TmuxTerminal>(command, options);
    ASSERT_TRUE(terminal->Started()) << terminal->Error();
#else
    (void)path;
    (void)columns;
    (void)rows;
    (void)arguments;
#endif
  }

  // Waits until the grid shows the window from `first` with `perRow` bytes
  // per row in `gridRows` rows, exactly as the bytes say.
  void ExpectGrid(const std::vector<uint8_t>& bytes, uint64_t first, int perRow, int gridRows) {
    std::vector<std::string> expected;
    for (int r = 0; r < gridRows; ++r) {
      expected.push_back(ExpectedRow(bytes, first + static_cast<uint64_t>(r * perRow), perRow));
    }
    const bool shown = terminal->WaitForScreen([&](const std::vector<std::string>& screen) {
      if (screen.size() < static_cast<size_t>(kFirstGridRow + gridRows)) return false;
      for (int r = 0; r < gridRows; ++r) {
        if (GridPartOf(screen[static_cast<size_t>(kFirstGridRow + r)]) != expected[static_cast<size_t>(r)]) {
          return false;
        }
      }
      return true;
    });
    if (!shown) {
      const std::vector<std::string> screen = terminal->Screen();
      for (int r = 0; r < gridRows && static_cast<size_t>(kFirstGridRow + r) < screen.size(); ++r) {
        EXPECT_EQ(GridPartOf(screen[static_cast<size_t>(kFirstGridRow + r)]), expected[static_cast<size_t>(r)])
            << "grid row " << r;
      }
      FAIL() << "the grid never showed the window from " << first << "\n" << terminal->ScreenText();
    }
  }

  std::filesystem::path directory;
  std::unique_ptr<TmuxTerminal> terminal;
};

TEST_F(ViewerEndToEnd, EveryRowMatchesTheFileWhilePagingAndJumping) {
  const std::vector<uint8_t> bytes = MixedBytes(1500);
  Open(WriteFile(bytes));
  // 120 columns: the engine uses 119, so 20 bytes per row; 26 grid rows.
  ExpectGrid(bytes, 0, 20, 26);
  EXPECT_TRUE(terminal->WaitUntil([&] { return terminal->Format("#{pane_title}") == "KelmHex Viewer - data.bin"; }))
      << terminal->Format("#{pane_title}");

  terminal->SendKeys({"PageDown"});
  ExpectGrid(bytes, 520, 20, 26);
  terminal->SendKeys({"PageDown"});
  ExpectGrid(bytes, 1040, 20, 26);  // the last bytes, then blank rows
  terminal->SendKeys({"PageUp"});
  ExpectGrid(bytes, 520, 20, 26);
  terminal->SendKeys({"End"});
  ExpectGrid(bytes, 1480, 20, 26);
  terminal->SendKeys({"Home"});
  ExpectGrid(bytes, 0, 20, 26);
  terminal->SendKeys({"C-Down"});
  ExpectGrid(bytes, 20, 20, 26);
  terminal->Wheel(40, 10, /*up=*/true);
  ExpectGrid(bytes, 0, 20, 26);
}

TEST_F(ViewerEndToEnd, ClickAndDragSelect) {
  const std::vector<uint8_t> bytes = MixedBytes(400);
  Open(WriteFile(bytes));
  ExpectGrid(bytes, 0, 20, 26);

  // Byte 10: hex pair at column 18 + 3 * 10 on the first grid row.
  terminal->Click(48, kFirstGridRow);
  ASSERT_TRUE(terminal->WaitForText("000000000000000A  len: 0000000000000001 1")) << terminal->ScreenText();

  // Drag from byte 2 to byte 25 (row 1, byte 5), over the character column.
  terminal->Press(24, kFirstGridRow);
  ASSERT_TRUE(terminal->WaitForText("0000000000000002  len: 0000000000000001 1")) << terminal->ScreenText();
  terminal->SendBytes("\x1b[<32;" + std::to_string(79 + 2 * 5 + 1) + ";" + std::to_string(kFirstGridRow + 2) + "M");
  ASSERT_TRUE(terminal->WaitForText("len: 0000000000000018 24")) << terminal->ScreenText();
  terminal->Release(79 + 2 * 5, kFirstGridRow + 1);

  // Shift+Right extends, Right collapses.
  terminal->SendKeys({"S-Right"});
  ASSERT_TRUE(terminal->WaitForText("len: 0000000000000019 25")) << terminal->ScreenText();
  terminal->SendKeys({"Right"});
  ASSERT_TRUE(terminal->WaitForText("000000000000001B  len: 0000000000000001 1")) << terminal->ScreenText();

  // The right button deselects.
  terminal->Click(48, kFirstGridRow, 2);
  ASSERT_TRUE(terminal->WaitForTextGone("len:")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("----------------"));
}

TEST_F(ViewerEndToEnd, ResizingReflowsTheGrid) {
  const std::vector<uint8_t> bytes = MixedBytes(600);
  Open(WriteFile(bytes));
  ExpectGrid(bytes, 0, 20, 26);
  terminal->Resize(80, 20);  // 79 columns used: 12 bytes per row; 16 grid rows
  ExpectGrid(bytes, 0, 12, 16);
  terminal->Resize(150, 40);  // 149 columns: 26 bytes per row; 36 grid rows
  ExpectGrid(bytes, 0, 26, 36);
  EXPECT_TRUE(terminal->WaitForScreen([](const std::vector<std::string>& screen) {
    return screen.size() >= 39 && screen[38].size() == 149 && screen[38][16] == '+' && screen[38][96] == '+';
  })) << terminal->ScreenText();
}

TEST_F(ViewerEndToEnd, FixedWidthThroughATooSmallTerminalAndBack) {
  const std::vector<uint8_t> bytes = MixedBytes(600);
  Open(WriteFile(bytes), 120, 30, {"-w", "16"});
  ExpectGrid(bytes, 0, 16, 26);
  terminal->Resize(20, 5);
  EXPECT_TRUE(terminal->WaitForScreen([](const std::vector<std::string>& screen) {
    if (screen.empty() || screen[0] != "needs 31 x 5") return false;
    for (size_t r = 1; r < screen.size(); ++r) {
      if (!screen[r].empty()) return false;
    }
    return true;
  })) << "one line and nothing stale\n" << terminal->ScreenText();
  terminal->Resize(120, 30);
  ExpectGrid(bytes, 0, 16, 26);
}

TEST_F(ViewerEndToEnd, QuitsWithQAndF10) {
  const std::string path = WriteFile(MixedBytes(10));
  Open(path);
  ASSERT_TRUE(terminal->WaitForText("0000000000000000|")) << terminal->ScreenText();
  terminal->SendText("q");
  ASSERT_TRUE(terminal->WaitForExit()) << terminal->ScreenText();
  // tmux may report the pane dead a moment before its exit status.
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return terminal->ExitStatus().has_value(); }));
  EXPECT_EQ(terminal->ExitStatus(), 0);

  Open(path);
  ASSERT_TRUE(terminal->WaitForText("0000000000000000|")) << terminal->ScreenText();
  terminal->SendKeys({"F10"});
  ASSERT_TRUE(terminal->WaitForExit()) << terminal->ScreenText();
  // tmux may report the pane dead a moment before its exit status.
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return terminal->ExitStatus().has_value(); }));
  EXPECT_EQ(terminal->ExitStatus(), 0);
}

TEST_F(ViewerEndToEnd, MissingFileIsReportedAndTheViewerKeepsRunning) {
  Open((directory / "missing.bin").string());
  ASSERT_TRUE(terminal->WaitForText("Failed to open: \"missing.bin\"")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("No such file or directory"));
  EXPECT_FALSE(terminal->PaneDead());
}

TEST_F(ViewerEndToEnd, BytesPastFiveGibibytesInASparseFile) {
  const std::string path = (directory / "sparse.bin").string();
  { std::ofstream create(path, std::ios::binary); }
  constexpr uint64_t kAt = (5ULL << 30) + 7;
  std::filesystem::resize_file(path, kAt + 13);
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(static_cast<std::streamoff>(kAt));
    out.write("KelmHex!", 8);
  }
  Open(path);
  ASSERT_TRUE(terminal->WaitForText("0000000000000000|")) << terminal->ScreenText();
  terminal->SendKeys({"End"});  // the last row starts at 5 GiB exactly
  ASSERT_TRUE(terminal->WaitForText("0000000140000000| 00 00 00 00 00 00 00 4B 65 6C 6D 48 65 78 21 00 00 00 00 00"))
      << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText(". . . . . . . K e l m H e x ! . . . . ."));
}

}  // namespace
