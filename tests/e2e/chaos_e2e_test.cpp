// Chaos in a real terminal emulator: random keys (plain, with Ctrl and Alt,
// function keys, every form's keys) and random SGR mouse reports for a
// bounded time, then Esc a few times and q. The program must still quit
// with status 0 and leave the terminal as it found it.
//
// KELMHEX_CHAOS_SECONDS sets the time (default 10) and KELMHEX_CHAOS_SEED
// the stream (printed on failure).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/tmux_terminal.h"

namespace {

using kelm::e2e::TmuxTerminal;
using Clock = std::chrono::steady_clock;

uint64_t EnvNumber(const char* name, uint64_t fallback) {
  const char* text = std::getenv(name);
  return text != nullptr && *text != '\0' ? std::strtoull(text, nullptr, 0) : fallback;
}

std::string SgrMouse(int button, int column, int row, bool release) {
  return "\x1b[<" + std::to_string(button) + ";" + std::to_string(column + 1) + ";" + std::to_string(row + 1) +
         (release ? "m" : "M");
}

class Chaos : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TmuxTerminal::Available()) GTEST_SKIP() << "tmux is not installed";
    directory = std::filesystem::temp_directory_path() /
                ("kelmhex-chaos-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(directory);
    file = (directory / "data.bin").string();
    std::ofstream out(file, std::ios::binary);
    for (int i = 0; i < 5000; ++i) out.put(static_cast<char>((i * 131) ^ (i >> 3)));
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }

  std::filesystem::path directory;
  std::string file;
};

TEST_F(Chaos, RandomKeysAndMouseThenQuitRestoresTheTerminal) {
  const uint64_t seed = EnvNumber("KELMHEX_CHAOS_SEED", 424242);
  const uint64_t seconds = EnvNumber("KELMHEX_CHAOS_SECONDS", 10);
  SCOPED_TRACE("KELMHEX_CHAOS_SEED=" + std::to_string(seed));
  std::mt19937_64 random(seed);
  const auto below = [&random](uint64_t bound) { return static_cast<int>(random() % bound); };

  TmuxTerminal::Options options;
  options.columns = 110;
  options.rows = 32;
  // Screenshots (F2) and exports land in the test's folder.
  options.workingDirectory = directory.string();
  // The settings' desktop registration, if clicked, writes here.
  options.env["HOME"] = directory.string();
  options.env["XDG_DATA_HOME"] = (directory / "share").string();
  // Nothing the "Open With" prompt may be given (random text) can be
  // found on the PATH.
  options.env["PATH"] = directory.string();
  // A shell runs the program and stays, so that the terminal's state after
  // the program is what the program left (a dead pane is tmux's to draw).
  TmuxTerminal term({"/bin/sh", "-c", "'" + std::string(KELMHEX_BINARY) + "' '" + file +
                                          "'; echo \"chaos done, status $?\"; read line"},
                    options);
  ASSERT_TRUE(term.Started()) << term.Error();
  ASSERT_TRUE(term.WaitForText("0000000000000000"));
  ASSERT_EQ(term.Format("#{alternate_on}"), "1");

  // tmux key names: navigation, function keys (not F10: it quits), Ctrl
  // letters the viewer binds, and Alt forms.
  const std::vector<std::string> keys = {
      "Up",   "Down", "Left",  "Right", "PPage", "NPage", "Home", "End",  "Enter", "Tab",  "BSpace", "DC",
      "F1",   "F2",   "F3",    "S-F3",  "F4",    "F5",    "F12",  "C-a",  "C-b",   "C-c",  "C-d",    "C-f",
      "C-g",  "C-k",  "C-m",   "C-n",   "C-o",   "C-q",   "C-r",   "C-y",  "C-v",  "C-Up",  "C-Down", "C-Left", "C-Right",
      "S-Up", "S-Down", "S-Left", "S-Right", "M-a", "M-x", "M-[", "Escape", "Space", "C-Space"};
  const std::string typed = "0123456789abcdefABCDEF\" .xyz";

  const auto until = Clock::now() + std::chrono::seconds(seconds);
  int actions = 0;
  const auto ended = [&term] { return term.ScreenText().find("chaos done") != std::string::npos; };
  while (Clock::now() < until) {
    // Now and then: the program must still be running.
    if (actions % 50 == 49 && ended()) break;
    const int roll = below(100);
    if (roll < 45) {
      term.SendKeys({keys[static_cast<size_t>(below(keys.size()))]});
    } else if (roll < 60) {
      std::string text;
      for (int i = 0, n = 1 + below(8); i < n; ++i) text += typed[static_cast<size_t>(below(typed.size()))];
      term.SendText(text);
    } else {
      const int column = below(static_cast<uint64_t>(options.columns));
      const int row = below(static_cast<uint64_t>(options.rows));
      switch (below(6)) {
        case 0:
          term.Click(column, row, below(3));
          break;
        case 1:
          term.MoveMouse(column, row);
          break;
        case 2:
          term.Wheel(column, row, below(2) == 0);
          break;
        case 3: {  // a drag
          std::string drag = SgrMouse(0, column, row, false);
          for (int i = 0; i < 4; ++i) drag += SgrMouse(32, below(options.columns), below(options.rows), false);
          drag += SgrMouse(0, below(options.columns), below(options.rows), true);
          term.SendBytes(drag);
          break;
        }
        case 4:  // modifiers on a click: Shift (4), Alt (8), Ctrl (16)
          term.SendBytes(SgrMouse(4 << below(3), column, row, false) + SgrMouse(4 << below(3), column, row, true));
          break;
        default:  // a report outside the window and a button never released
          term.SendBytes(SgrMouse(1, options.columns + 5, options.rows + 5, false));
          break;
      }
    }
    ++actions;
  }
  ASSERT_FALSE(ended()) << "the program ended during the run, after " << actions << " actions:\n"
                                << term.ScreenText();

  // Close whatever is open, then quit; an Esc still held by the decoder
  // when q arrives makes Alt+Q, so both are repeated until the end.
  for (int attempt = 0; attempt < 20 && !ended(); ++attempt) {
    term.SendKeys({"Escape"});
    TmuxTerminal::WaitUntil(ended, 100);
    if (ended()) break;
    term.SendKeys({attempt % 2 == 0 ? "q" : "F10"});
    TmuxTerminal::WaitUntil(ended, 500);
  }
  ASSERT_TRUE(term.WaitForText("chaos done")) << "the program did not quit after " << actions << " actions:\n"
                                              << term.ScreenText();
  EXPECT_TRUE(term.WaitForText("chaos done, status 0")) << term.ScreenText();
  EXPECT_EQ(term.Format("#{alternate_on}"), "0") << "back on the main screen";
  EXPECT_EQ(term.Format("#{mouse_any_flag}"), "0") << "mouse reports off";
  EXPECT_EQ(term.Format("#{mouse_all_flag}"), "0");
  EXPECT_EQ(term.Format("#{mouse_sgr_flag}"), "0");
  EXPECT_EQ(term.Format("#{mouse_button_flag}"), "0");
  EXPECT_EQ(term.Format("#{cursor_flag}"), "1") << "cursor shown";
  EXPECT_EQ(term.Format("#{keypad_cursor_flag}"), "0");
  std::printf("chaos: seed %llu, %d actions in %llu s\n", static_cast<unsigned long long>(seed), actions,
              static_cast<unsigned long long>(seconds));
}

}  // namespace
