// End to end in tmux: marks made in one run are there in the next (after q,
// and after a SIGTERM), the list of marks jumps to one, and the selection
// copied as a C array reaches the terminal's clipboard through OSC 52
// (tmux keeps it in its paste buffer when set-clipboard is on).
#include <gtest/gtest.h>

#include <signal.h>

#include <string>
#include <vector>

#include "tests/e2e/tmux_terminal.h"
#include "tests/e2e/viewer_on_tmux.h"

namespace {

using kelm::e2e::TmuxTerminal;
using kelm::e2e::ViewerOnTmux;

constexpr char kFirstRow[] = "0000000000000000| 41 42 43 44 45";

class MarksPersistEndToEnd : public ViewerOnTmux {
 protected:
  MarksPersistEndToEnd() : ViewerOnTmux("kelmhex-marks-persist-e2e-") {}

  void OpenAlphabet() {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 60; ++i) bytes.push_back(static_cast<uint8_t>(0x41 + i % 26));
    Open(bytes, kFirstRow);
  }
  void Reopen() {
    terminal.reset();
    OpenPath((directory / "data.bin").string(), kFirstRow);
  }
  // Bytes first..last selected and quick-marked (Ctrl+Q).
  void QuickMark(int first, int last) {
    SelectByDrag(first, last);
    terminal->SendBytes("\x11");
  }
};

TEST_F(MarksPersistEndToEnd, MarksSurviveQuitAndTheListJumpsToOneCopiedAsACArray) {
  OpenAlphabet();
  QuickMark(2, 5);
  QuickMark(8, 9);
  terminal->SendText("q");
  ASSERT_TRUE(terminal->WaitForExit());

  Reopen();
  terminal->Tmux({"set-option", "-s", "set-clipboard", "on"});
  terminal->SendBytes("\x0c");  // Ctrl+L: the list of marks
  ASSERT_TRUE(terminal->WaitForText("Marks: 2 of 2")) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("Ab (no name)            0000000000000002 4")) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("Ab (no name)            0000000000000008 2")) << terminal->ScreenText();
  terminal->SendKeys({"Down"});
  terminal->SendKeys({"Enter"});
  ASSERT_TRUE(terminal->WaitForTextGone("Marks: 2 of 2")) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("len: 0000000000000002 2")) << terminal->ScreenText();

  terminal->SendBytes("\x05");  // Ctrl+E: copy as
  ASSERT_TRUE(terminal->WaitForText("C array")) << terminal->ScreenText();
  terminal->SendText("c");
  const std::string expected = "unsigned char data[2] = {\n    0x49, 0x4a\n};";
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return terminal->Tmux({"show-buffer"}) == expected; }))
      << terminal->Tmux({"show-buffer"});

  terminal->SendText("q");
  EXPECT_TRUE(terminal->WaitForExit());
}

TEST_F(MarksPersistEndToEnd, MarksSurviveASigterm) {
  OpenAlphabet();
  QuickMark(3, 4);
  // Right (which collapses the selection to one byte) comes after Ctrl+Q:
  // once it shows, the mark was made.
  terminal->SendKeys({"Right"});
  ASSERT_TRUE(terminal->WaitForText("len: 0000000000000001 1")) << terminal->ScreenText();
  const int pid = terminal->PanePid();
  ASSERT_GT(pid, 0);
  ASSERT_EQ(kill(pid, SIGTERM), 0);
  ASSERT_TRUE(terminal->WaitForExit()) << pid << "\n" << terminal->ScreenText();
  EXPECT_EQ(terminal->ExitStatus(), 128 + SIGTERM);

  Reopen();
  terminal->SendBytes("\x0c");
  ASSERT_TRUE(terminal->WaitForText("Marks: 1 of 1")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("Ab (no name)            0000000000000003 2")) << terminal->ScreenText();
  // A letter typed in the list filters it: Esc closes it before q quits.
  terminal->SendKeys({"Escape"});
  ASSERT_TRUE(terminal->WaitForTextGone("Marks: 1 of 1")) << terminal->ScreenText();
  terminal->SendText("q");
  EXPECT_TRUE(terminal->WaitForExit());
}

}  // namespace
