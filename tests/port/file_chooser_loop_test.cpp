// The modal loop around the file chooser, on a scripted terminal.
#include "tests/port/file_chooser_support.h"

#include <deque>
#include <string>
#include <vector>

#include "engine/port/terminal/dialogs/file_chooser_loop.h"
#include "tests/port/scripted_dialog_terminal.h"

namespace {

namespace fs = std::filesystem;
using namespace kelm::port;
using namespace chooser_test;

// Keys as a terminal sends them for `text` (the chooser tests' key codes).
void PushText(ScriptedTerminal& terminal, const std::string& text) {
  for (char c : text) terminal.Key(VirtualKeyOf(c), static_cast<unsigned char>(c));
}

TEST_F(ChooserFolderTest, LoopReturnsTheChosenPath) {
  ScriptedTerminal terminal(50, 12);
  PushText(terminal, "Docs/readme");
  terminal.Key(VK_RETURN, '\r');
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, root.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (root / "Docs" / "readme.md").string());
  EXPECT_GE(terminal.shows, 12);  // drawn before every event
}

TEST_F(ChooserFolderTest, LoopPastesFromTheTerminalsClipboard) {
  ScriptedTerminal terminal(50, 12);
  terminal.clipboard = FromUtf8((root / "beta.bin").string());
  terminal.Key('V', 0x16, LEFT_CTRL_PRESSED);
  terminal.Key(VK_RETURN, '\r');
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, "/");
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (root / "beta.bin").string());
}

TEST_F(ChooserFolderTest, LoopOutcomesOfCancelQuitAndEnd) {
  ScriptedTerminal cancel(50, 12);
  cancel.Key(VK_ESCAPE, 0x1B);
  EXPECT_EQ(RunFileChooser(cancel, PathPromptKind::Open, root.string()).outcome, ChooserOutcome::Cancelled);
  ScriptedTerminal quit(50, 12);
  quit.Key(VK_F10);
  EXPECT_EQ(RunFileChooser(quit, PathPromptKind::Save, root.string()).outcome, ChooserOutcome::Quit);
  ScriptedTerminal ended(50, 12);
  const ChooserResult result = RunFileChooser(ended, PathPromptKind::Open, root.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Ended);
  EXPECT_EQ(RowText(ended.screen, 0), " Open file");
}

TEST_F(ChooserFolderTest, LoopClicksSelectEntries) {
  ScriptedTerminal terminal(50, 12);
  // Rows from 3: "..", Docs, zeta, Alpha.txt: a double click on Alpha.txt.
  terminal.script.push_back(DialogEvent{DialogEvent::Kind::Click, {}, COORD{4, 6}});
  terminal.script.push_back(DialogEvent{DialogEvent::Kind::Redraw, {}, {}});
  terminal.script.push_back(DialogEvent{DialogEvent::Kind::Click, {}, COORD{4, 6}});
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, root.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (root / "Alpha.txt").string());
}

TEST(ChooserLoop, WheelTurnsMoveThroughTheListing) {
  ScriptedTerminal terminal(50, 12);
  DialogEvent down{DialogEvent::Kind::Wheel, {}, COORD{5, 5}};
  down.wheel = -1;
  DialogEvent up = down;
  up.wheel = 1;
  terminal.script = {down, down, up};  // from "f0": 3 + 3 - 3 rows down
  terminal.Key(VK_RETURN, '\r');
  char pattern[] = "/tmp/kelmhex-chooser-wheel-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path folder = pattern;
  for (int i = 0; i < 10; ++i) std::ofstream(folder / ("f" + std::to_string(i))) << i;
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, folder.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (folder / "f3").string());
  fs::remove_all(folder);
}

}  // namespace
