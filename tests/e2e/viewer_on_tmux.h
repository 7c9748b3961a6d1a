// What the viewer's end-to-end fixtures share: the built kelmhex program
// started on a file in a private tmux terminal, with a temporary folder for
// the test's files. Tests are skipped when the program or tmux is missing.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/tmux_terminal.h"

namespace kelm::e2e {

// The grid on screen: the hex pair of byte k of a row starts at column
// 18 + 3k, and the grid's first row is screen row 2.
inline constexpr int kHexColumnX = 18;
inline constexpr int kFirstGridRow = 2;

inline int HexX(int byteInRow) { return kHexColumnX + 3 * byteInRow; }

// SGR mouse report of a left-button motion (the button held).
inline std::string DragTo(int column, int row) {
  return "\x1b[<32;" + std::to_string(column + 1) + ";" + std::to_string(row + 1) + "M";
}

class ViewerOnTmux : public ::testing::Test {
 protected:
  // `folderPrefix` names the test's temporary folder.
  explicit ViewerOnTmux(std::string folderPrefix) : folderPrefix_(std::move(folderPrefix)) {}

  void SetUp() override {
#ifndef KELMHEX_BINARY
    GTEST_SKIP() << "the kelmhex program is not built";
#else
    if (!TmuxTerminal::Available()) GTEST_SKIP() << "tmux is not installed";
    directory = std::filesystem::temp_directory_path() / (folderPrefix_ + std::to_string(std::random_device{}()));
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

  // The viewer on `path`, once `firstRow` is on screen.
  void OpenPath(const std::string& path, const std::string& firstRow) {
#ifdef KELMHEX_BINARY
    // The program's state (marks) and settings in the test's folder, not
    // the user's.
    TmuxTerminal::Options options;
    options.env["XDG_STATE_HOME"] = (directory / "state").string();
    options.env["XDG_CONFIG_HOME"] = (directory / "config").string();
    terminal = std::make_unique<TmuxTerminal>(std::vector<std::string>{KELMHEX_BINARY, path}, options);
    ASSERT_TRUE(terminal->Started()) << terminal->Error();
    ASSERT_TRUE(terminal->WaitForText(firstRow)) << terminal->ScreenText();
#else
    (void)path;
    (void)firstRow;
#endif
  }

  // The viewer on a file of these bytes, its first grid row on screen.
  void Open(const std::vector<uint8_t>& bytes, const std::string& firstRow) {
    const std::string path = (directory / "data.bin").string();
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    OpenPath(path, firstRow);
  }

  // Selects bytes first..last of the first grid row by dragging, waiting for
  // each step to show in the "len" field.
  void SelectByDrag(int first, int last) {
    terminal->Press(HexX(first), kFirstGridRow);
    ASSERT_TRUE(terminal->WaitForText("len: 0000000000000001 1")) << terminal->ScreenText();
    const int length = last - first + 1;
    char expected[40];
    std::snprintf(expected, sizeof expected, "len: %016X %d", length, length);
    terminal->SendBytes(DragTo(HexX(last), kFirstGridRow));
    ASSERT_TRUE(terminal->WaitForText(expected)) << terminal->ScreenText();
    terminal->Release(HexX(last), kFirstGridRow);
  }

  // Row and column where `text` is first seen on screen, or (-1, -1).
  std::pair<int, int> Find(const std::string& text) {
    const std::vector<std::string> rows = terminal->Screen();
    for (size_t r = 0; r < rows.size(); ++r) {
      const size_t at = rows[r].find(text);
      if (at != std::string::npos) return {static_cast<int>(r), static_cast<int>(at)};
    }
    return {-1, -1};
  }

  std::filesystem::path directory;
  std::unique_ptr<TmuxTerminal> terminal;

 private:
  std::string folderPrefix_;
};

}  // namespace kelm::e2e
