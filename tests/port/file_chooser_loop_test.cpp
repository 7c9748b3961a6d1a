// The modal loop around the file chooser, on a scripted terminal.
#include "tests/port/file_chooser_support.h"

#include <deque>
#include <string>
#include <vector>

#include "engine/port/terminal/dialogs/file_chooser_loop.h"

namespace {

namespace fs = std::filesystem;
using namespace kelm::port;
using namespace chooser_test;

class ScriptedTerminal : public DialogTerminal {
 public:
  void ScreenSize(int& columns, int& rows) override {
    columns = 50;
    rows = 12;
  }
  std::vector<CHAR_INFO> Background(int columns, int rows) override {
    return std::vector<CHAR_INFO>(static_cast<size_t>(columns * rows));
  }
  void Show(const std::vector<CHAR_INFO>& cells, int columns, int rows) override {
    ++shows;
    last = DialogCanvas(cells, columns, rows);
  }
  DialogEvent Next() override {
    if (events.empty()) return DialogEvent{DialogEvent::Kind::End, {}, {}};
    DialogEvent event = events.front();
    events.pop_front();
    return event;
  }
  std::u16string ClipboardText() override { return clipboard; }

  void PushKey(uint16_t vk, char16_t ch = 0, uint32_t state = 0) {
    events.push_back(DialogEvent{DialogEvent::Kind::Key, Key(vk, ch, state), {}});
  }
  void PushText(const std::string& text) {
    for (char c : text) PushKey(VirtualKeyOf(c), static_cast<unsigned char>(c));
  }

  std::deque<DialogEvent> events;
  std::u16string clipboard;
  int shows = 0;
  DialogCanvas last{0, 0};
};

TEST_F(ChooserFolderTest, LoopReturnsTheChosenPath) {
  ScriptedTerminal terminal;
  terminal.PushText("Docs/readme");
  terminal.PushKey(VK_RETURN, '\r');
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, root.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (root / "Docs" / "readme.md").string());
  EXPECT_GE(terminal.shows, 12);  // drawn before every event
}

TEST_F(ChooserFolderTest, LoopPastesFromTheTerminalsClipboard) {
  ScriptedTerminal terminal;
  terminal.clipboard = FromUtf8((root / "beta.bin").string());
  terminal.PushKey('V', 0x16, LEFT_CTRL_PRESSED);
  terminal.PushKey(VK_RETURN, '\r');
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, "/");
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (root / "beta.bin").string());
}

TEST_F(ChooserFolderTest, LoopOutcomesOfCancelQuitAndEnd) {
  ScriptedTerminal cancel;
  cancel.PushKey(VK_ESCAPE, 0x1B);
  EXPECT_EQ(RunFileChooser(cancel, PathPromptKind::Open, root.string()).outcome, ChooserOutcome::Cancelled);
  ScriptedTerminal quit;
  quit.PushKey(VK_F10);
  EXPECT_EQ(RunFileChooser(quit, PathPromptKind::Save, root.string()).outcome, ChooserOutcome::Quit);
  ScriptedTerminal ended;
  const ChooserResult result = RunFileChooser(ended, PathPromptKind::Open, root.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Ended);
  EXPECT_EQ(RowText(ended.last, 0), " Open file");
}

TEST_F(ChooserFolderTest, LoopClicksSelectEntries) {
  ScriptedTerminal terminal;
  // Rows from 3: "..", Docs, zeta, Alpha.txt: a double click on Alpha.txt.
  terminal.events.push_back(DialogEvent{DialogEvent::Kind::Click, {}, COORD{4, 6}});
  terminal.events.push_back(DialogEvent{DialogEvent::Kind::Redraw, {}, {}});
  terminal.events.push_back(DialogEvent{DialogEvent::Kind::Click, {}, COORD{4, 6}});
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, root.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (root / "Alpha.txt").string());
}

TEST(ChooserLoop, WheelTurnsMoveThroughTheListing) {
  ScriptedTerminal terminal;
  DialogEvent down{DialogEvent::Kind::Wheel, {}, COORD{5, 5}};
  down.wheel = -1;
  DialogEvent up = down;
  up.wheel = 1;
  terminal.events = {down, down, up};  // from "f0": 3 + 3 - 3 rows down
  terminal.PushKey(VK_RETURN, '\r');
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
