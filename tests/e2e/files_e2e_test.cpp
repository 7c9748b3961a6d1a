// End to end in tmux: the file chooser at start-up and through Ctrl+N and
// the File menu, exporting a selection through the save dialog, a
// screenshot with F2, the Settings panel's registration, and the "Open With"
// error box.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/tmux_terminal.h"

namespace {

namespace fs = std::filesystem;
using kelm::e2e::TmuxTerminal;

constexpr int kFirstGridRow = 2;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FilesEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
#ifndef KELMHEX_BINARY
    GTEST_SKIP() << "the kelmhex program is not built";
#else
    if (!TmuxTerminal::Available()) GTEST_SKIP() << "tmux is not installed";
    directory = fs::temp_directory_path() / ("kelmhex-files-e2e-" + std::to_string(std::random_device{}()));
    fs::create_directories(directory);
#endif
  }
  void TearDown() override {
    terminal.reset();
    if (!directory.empty()) {
      std::error_code ignored;
      fs::remove_all(directory, ignored);
    }
  }

  std::string WriteFile(const std::string& name, const std::vector<uint8_t>& bytes) {
    const fs::path path = directory / name;
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    return path.string();
  }

  static std::vector<uint8_t> Counting(size_t count, uint8_t first = 0) {
    std::vector<uint8_t> bytes(count);
    for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(first + i);
    return bytes;
  }

  // The program in the test's folder, with `arguments` after its name.
  void Run(const std::vector<std::string>& arguments, std::map<std::string, std::string> env = {}) {
#ifdef KELMHEX_BINARY
    TmuxTerminal::Options options;
    options.workingDirectory = directory.string();
    options.env = std::move(env);
    std::vector<std::string> command{KELMHEX_BINARY};
    command.insert(command.end(), arguments.begin(), arguments.end());
    terminal = std::make_unique<TmuxTerminal>(command, options);
    ASSERT_TRUE(terminal->Started()) << terminal->Error();
#else
    (void)arguments;
    (void)env;
#endif
  }

  bool WaitForFirstRow(const std::string& start) {
    return terminal->WaitForScreen([&](const std::vector<std::string>& screen) {
      return screen.size() > kFirstGridRow && screen[kFirstGridRow].rfind(start, 0) == 0;
    });
  }

  fs::path directory;
  std::unique_ptr<TmuxTerminal> terminal;
};

TEST_F(FilesEndToEnd, StartWithoutAFileShowsTheChooserAgainAfterEscThenOpensTheChoice) {
  WriteFile("first.bin", Counting(64, 0x10));
  Run({});
  ASSERT_TRUE(terminal->WaitForText("Open file")) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("first.bin")) << terminal->ScreenText();
  terminal->SendText("x");
  ASSERT_TRUE(terminal->WaitForText("Name: x")) << terminal->ScreenText();
  terminal->SendKeys({"Escape"});
  // Cancelled at start-up: the chooser comes back, its name line empty.
  ASSERT_TRUE(terminal->WaitForTextGone("Name: x")) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("Open file")) << terminal->ScreenText();
  terminal->SendText("fir");
  ASSERT_TRUE(terminal->WaitForText("Name: fir")) << terminal->ScreenText();
  terminal->SendKeys({"Enter"});
  ASSERT_TRUE(WaitForFirstRow("0000000000000000| 10 11 12 13")) << terminal->ScreenText();
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return terminal->Format("#{pane_title}") == "KelmHex Viewer - first.bin"; }));
}

TEST_F(FilesEndToEnd, F10InTheStartUpChooserQuitsAndRestoresTheTerminal) {
  Run({});
  ASSERT_TRUE(terminal->WaitForText("Open file")) << terminal->ScreenText();
  terminal->SendKeys({"F10"});
  ASSERT_TRUE(terminal->WaitForExit()) << terminal->ScreenText();
  EXPECT_EQ(terminal->ExitStatus(), 0);
  EXPECT_EQ(terminal->Format("#{alternate_on}"), "0");
}

TEST_F(FilesEndToEnd, CtrlNOpensASecondFileChosenWithTheKeys) {
  const std::string first = WriteFile("first.bin", Counting(64, 0x10));
  WriteFile("second.bin", Counting(64, 0xA0));
  fs::create_directories(directory / "folder");
  Run({first});
  ASSERT_TRUE(WaitForFirstRow("0000000000000000| 10 11")) << terminal->ScreenText();
  terminal->SendKeys({"C-n"});
  ASSERT_TRUE(terminal->WaitForText("Folder: " + directory.string() + "/")) << terminal->ScreenText();
  // "..", folder/, first.bin, second.bin: the highlight starts on folder/.
  terminal->SendKeys({"Down", "Down", "Enter"});
  ASSERT_TRUE(WaitForFirstRow("0000000000000000| A0 A1 A2")) << terminal->ScreenText();
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return terminal->Format("#{pane_title}") == "KelmHex Viewer - second.bin"; }));
}

TEST_F(FilesEndToEnd, OpenFromTheFileMenuWithTheMouse) {
  const std::string first = WriteFile("first.bin", Counting(64, 0x10));
  WriteFile("second.bin", Counting(64, 0xA0));
  Run({first});
  ASSERT_TRUE(WaitForFirstRow("0000000000000000| 10 11")) << terminal->ScreenText();
  terminal->Click(7, 0);
  ASSERT_TRUE(terminal->WaitForText("| Open With      |")) << terminal->ScreenText();
  terminal->Click(8, 2);
  ASSERT_TRUE(terminal->WaitForText("Open file")) << terminal->ScreenText();
  // Rows from 3: "..", first.bin, second.bin. A click highlights, a second
  // click opens.
  terminal->Click(3, 5);
  ASSERT_TRUE(terminal->WaitForText("3 of 3")) << terminal->ScreenText();
  terminal->Click(3, 5);
  ASSERT_TRUE(WaitForFirstRow("0000000000000000| A0 A1 A2")) << terminal->ScreenText();
}

TEST_F(FilesEndToEnd, ExportASelectionThroughTheSaveDialog) {
  const std::vector<uint8_t> bytes = Counting(200, 0x30);
  const std::string path = WriteFile("data.bin", bytes);
  Run({path});
  ASSERT_TRUE(WaitForFirstRow("0000000000000000| 30 31")) << terminal->ScreenText();
  // Byte 4 (hex pair at column 18 + 3 * 4), then 15 more with Shift+Right.
  terminal->Click(30, kFirstGridRow);
  ASSERT_TRUE(terminal->WaitForText("0000000000000004  len: 0000000000000001 1")) << terminal->ScreenText();
  // One key at a time: the viewer takes one arrow key per frame.
  for (int length = 2; length <= 16; ++length) {
    terminal->SendKeys({"S-Right"});
    char expected[40];
    std::snprintf(expected, sizeof expected, "len: %016X %d", length, length);
    ASSERT_TRUE(terminal->WaitForText(expected)) << terminal->ScreenText();
  }

  terminal->Click(7, 0);
  ASSERT_TRUE(terminal->WaitForText("| Export         |")) << terminal->ScreenText();
  terminal->Click(8, 5);
  ASSERT_TRUE(terminal->WaitForText("Save file as")) << terminal->ScreenText();
  terminal->SendText("part.bin");
  terminal->SendKeys({"Enter"});
  const fs::path target = directory / "part.bin";
  ASSERT_TRUE(TmuxTerminal::WaitUntil([&] { return fs::exists(target); })) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("0000000000000000| 30 31")) << terminal->ScreenText();
  EXPECT_EQ(ReadBytes(target), std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 20));

  // Exporting again onto the same name asks first; "y" replaces it.
  terminal->SendKeys({"S-Right"});
  ASSERT_TRUE(terminal->WaitForText("len: 0000000000000011 17")) << terminal->ScreenText();
  terminal->Click(7, 0);
  ASSERT_TRUE(terminal->WaitForText("| Export         |")) << terminal->ScreenText();
  terminal->Click(8, 5);
  ASSERT_TRUE(terminal->WaitForText("Save file as")) << terminal->ScreenText();
  terminal->SendText("part.bin");
  terminal->SendKeys({"Enter"});
  ASSERT_TRUE(terminal->WaitForText("\"part.bin\" exists. Replace it?")) << terminal->ScreenText();
  terminal->SendText("y");
  ASSERT_TRUE(TmuxTerminal::WaitUntil([&] { return fs::file_size(target) == 17; })) << terminal->ScreenText();
  EXPECT_EQ(ReadBytes(target), std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 21));
}

TEST_F(FilesEndToEnd, F2WritesAScreenshotOfTheFrame) {
  Run({WriteFile("data.bin", Counting(32))});
  ASSERT_TRUE(WaitForFirstRow("0000000000000000| 00 01")) << terminal->ScreenText();
  terminal->SendKeys({"F2"});
  fs::path shot;
  ASSERT_TRUE(TmuxTerminal::WaitUntil([&] {
    for (const auto& item : fs::directory_iterator(directory)) {
      const std::string name = item.path().filename().string();
      if (name.rfind("screenshot-", 0) == 0 && name.size() > 3 && name.substr(name.size() - 3) == ".ss" &&
          fs::file_size(item.path()) == 59u + 4u * 119u * 30u) {
        shot = item.path();
        return true;
      }
    }
    return false;
  })) << "no complete screenshot in " << directory;
  const std::vector<uint8_t> bytes = ReadBytes(shot);
  ASSERT_EQ(bytes.size(), 14339u);
  EXPECT_EQ(std::string(bytes.begin(), bytes.begin() + 6), "kelmsh");
  EXPECT_EQ(bytes[6], 1);
  EXPECT_EQ(std::vector<uint8_t>(bytes.begin() + 55, bytes.begin() + 59), (std::vector<uint8_t>{0x77, 0x00, 0x1E, 0x00}));
  // The first cell of the first grid row is the offset's first digit, '0'.
  const size_t cell = 2 * 119;
  EXPECT_EQ(bytes[59 + 2 * cell], '0');
  EXPECT_EQ(bytes[59 + 2 * cell + 1], 0);
}

TEST_F(FilesEndToEnd, SettingsRegistersTheDesktopEntry) {
  const fs::path data = directory / "data-home";
  Run({WriteFile("data.bin", Counting(16))}, {{"XDG_DATA_HOME", data.string()}});
  ASSERT_TRUE(WaitForFirstRow("0000000000000000| 00 01")) << terminal->ScreenText();
  terminal->Click(22, 0);
  ASSERT_TRUE(terminal->WaitForText("Show in context menu: \u25A1")) << terminal->ScreenText();
  // 120 columns: the panel's children are placed from column 59; the
  // checkbox is at column 65 on row 9.
  terminal->Click(65, 9);
  ASSERT_TRUE(terminal->WaitForText("Show in context menu: \u25A0")) << terminal->ScreenText();
  const fs::path entry = data / "applications" / "kelmhex-hex-editor.desktop";
  ASSERT_TRUE(fs::exists(entry));
  std::ifstream in(entry);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_NE(text.str().find("\nExec=" + fs::canonical(KELMHEX_BINARY).string() + " %f\n"), std::string::npos)
      << text.str();
  EXPECT_NE(text.str().find("\nName=Hex Editor\n"), std::string::npos);

  terminal->Click(65, 9);
  ASSERT_TRUE(terminal->WaitForText("Show in context menu: \u25A1")) << terminal->ScreenText();
  EXPECT_FALSE(fs::exists(entry));
}

TEST_F(FilesEndToEnd, OpenWithAProgramThatDoesNotExistShowsTheErrorBox) {
  Run({WriteFile("data.bin", Counting(16))});
  ASSERT_TRUE(WaitForFirstRow("0000000000000000| 00 01")) << terminal->ScreenText();
  terminal->SendKeys({"C-o"});
  ASSERT_TRUE(terminal->WaitForText("Open with:")) << terminal->ScreenText();
  terminal->SendKeys({"C-u"});
  terminal->SendText("kelmhex-no-such-program");
  terminal->SendKeys({"Enter"});
  ASSERT_TRUE(terminal->WaitForText("|nknown error: 2147942402) when opening o|")) << terminal->ScreenText();
  // The viewer goes on with the same file.
  EXPECT_TRUE(WaitForFirstRow("0000000000000000| 00 01"));
}

}  // namespace
