// What the viewer's end-to-end fixtures share: the built kelmhex program
// started on a file in a private tmux terminal, with a temporary folder for
// the test's files. Tests are skipped when the program or tmux is missing.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/tmux_terminal.h"

namespace kelm::e2e {

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
    terminal = std::make_unique<TmuxTerminal>(std::vector<std::string>{KELMHEX_BINARY, path});
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

  std::filesystem::path directory;
  std::unique_ptr<TmuxTerminal> terminal;

 private:
  std::string folderPrefix_;
};

}  // namespace kelm::e2e
