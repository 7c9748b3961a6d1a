// The terminal's own modal dialogs (command prompt, message box) and their
// line editor, driven by scripted keys on a scripted terminal.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <deque>
#include <fstream>
#include <string>
#include <vector>

#include "engine/port/terminal/dialogs/chooser_paths.h"
#include "engine/port/terminal/dialogs/dialog_canvas.h"
#include "engine/port/terminal/dialogs/line_editor.h"
#include "engine/port/terminal/dialogs/line_prompt.h"
#include "engine/port/terminal/dialogs/message_box.h"
#include "engine/port/terminal/dialogs/run_dialog.h"
#include "engine/port/utf.h"
#include "tests/port/scripted_dialog_terminal.h"

namespace kelm::port {
namespace {

// A temporary directory with a few entries, removed at the end.
class TempTree {
 public:
  TempTree() {
    char pattern[] = "/tmp/kelmhex-dialog-XXXXXX";
    root = mkdtemp(pattern);
    Dir("alpha");
    Dir("alpine");
    File("beta.bin");
    File("bravo.txt");
    File(".hidden");
  }
  ~TempTree() { std::system(("rm -rf '" + root + "'").c_str()); }
  void Dir(const std::string& name) { mkdir((root + "/" + name).c_str(), 0755); }
  void File(const std::string& name) { std::ofstream(root + "/" + name) << "x"; }
  std::string root;
};

constexpr uint32_t kCtrl = LEFT_CTRL_PRESSED;

// --- pieces -----------------------------------------------------------------------

TEST(TerminalDialogPaths, HomeIsExpanded) {
  TempTree tree;
  const char* oldHome = std::getenv("HOME");
  const std::string saved = oldHome ? oldHome : "";
  setenv("HOME", tree.root.c_str(), 1);
  EXPECT_EQ(ExpandHome("~"), tree.root);
  EXPECT_EQ(ExpandHome("~/x"), tree.root + "/x");
  EXPECT_EQ(ExpandHome("~user/x"), "~user/x");
  EXPECT_EQ(ExpandHome("a/~/x"), "a/~/x");
  setenv("HOME", saved.c_str(), 1);
}

TEST(TerminalDialogEditing, BackspaceRemovesWholeUtf8Characters) {
  std::string text = "a\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80";  // a é € 😀
  PopUtf8Character(text);
  EXPECT_EQ(text, "a\xc3\xa9\xe2\x82\xac");
  PopUtf8Character(text);
  EXPECT_EQ(text, "a\xc3\xa9");
  PopUtf8Character(text);
  EXPECT_EQ(text, "a");
  PopUtf8Character(text);
  EXPECT_EQ(text, "");
  PopUtf8Character(text);
  EXPECT_EQ(text, "");
  std::string stray = "ab\x80\x80";  // bytes of a file name that are not UTF-8
  PopUtf8Character(stray);
  EXPECT_EQ(stray, "ab\x80");
}

// --- the modal loop -----------------------------------------------------------------------

TEST(TerminalRunDialog, DrawsEachRoundAtTheScreensSizeUntilTheDialogIsDone) {
  ScriptedTerminal terminal(20, 4);
  terminal.Resize(12, 3);
  terminal.Key(VK_SPACE, u' ');
  terminal.Key(VK_RETURN, u'\r');
  std::vector<DialogEvent::Kind> seen;
  int rounds = 0;
  RunDialog(
      terminal, DialogBackdrop::Blank,
      [&](DialogCanvas& canvas) {
        ++rounds;
        canvas.Text(0, 0, u"round " + std::u16string(1, static_cast<char16_t>(u'0' + rounds)), 0x1F);
      },
      [&](const DialogEvent& event) {
        seen.push_back(event.kind);
        return event.kind == DialogEvent::Kind::Key && event.key.wVirtualKeyCode == VK_RETURN;
      });
  EXPECT_EQ(seen, (std::vector<DialogEvent::Kind>{DialogEvent::Kind::Redraw, DialogEvent::Kind::Key,
                                                  DialogEvent::Kind::Key}));
  EXPECT_EQ(terminal.shows, 3);
  EXPECT_EQ(terminal.screen.Columns(), 12);
  EXPECT_EQ(terminal.RowText(0), "round 3     ");
  EXPECT_EQ(terminal.RowText(2), "            ") << "a blank backdrop, not the picture";
  EXPECT_EQ(terminal.screen.At(11, 2).Attributes, 0x07);
}

TEST(TerminalRunDialog, APictureBackdropDrawsOverWhatTheTerminalShows) {
  ScriptedTerminal terminal(6, 2);
  RunDialog(
      terminal, DialogBackdrop::Picture, [](DialogCanvas& canvas) { canvas.Put(1, 1, u'x', 0x70); },
      [](const DialogEvent&) { return true; });
  EXPECT_EQ(terminal.RowText(0), "######");
  EXPECT_EQ(terminal.RowText(1), "#x####");
}

// --- line prompt ------------------------------------------------------------------------

TEST(TerminalLinePrompt, StartsWithTheLastLineAndYieldsTheEditedOne) {
  ScriptedTerminal terminal;
  terminal.Key(VK_BACK, 8);
  terminal.Key(VK_BACK, 8);
  terminal.Type(u"ew");
  terminal.Key(VK_RETURN, u'\r');
  EXPECT_EQ(LinePrompt(terminal, kOpenWithTitle, kOpenWithLabel, u"File: a.bin", "xdg-open"), "xdg-opew");
  EXPECT_TRUE(terminal.ScreenContains("Open with:"));
  EXPECT_TRUE(terminal.ScreenContains("File: a.bin"));
}

TEST(TerminalLinePrompt, CtrlBackspaceRemovesAWord) {
  ScriptedTerminal terminal;
  terminal.Key(VK_BACK, 0x7f, kCtrl);
  terminal.Key(VK_RETURN, u'\r');
  EXPECT_EQ(LinePrompt(terminal, kOpenWithTitle, kOpenWithLabel, u"", "less -R"), "less ");
}

TEST(TerminalLinePrompt, EscapeYieldsNothing) {
  ScriptedTerminal terminal;
  terminal.Type(u"vim");
  terminal.Key(VK_ESCAPE, 0x1b);
  EXPECT_EQ(LinePrompt(terminal, kOpenWithTitle, kOpenWithLabel, u"", ""), std::nullopt);
}

// --- line editor ------------------------------------------------------------------------

TEST(TerminalLineEditor, EditingKeysOnThePromptLine) {
  ScriptedTerminal terminal;
  terminal.Ctrl('U');  // clears the last line
  terminal.Type(u"less -R x");
  terminal.Key(VK_BACK, 8);            // "less -R "
  terminal.Key(VK_BACK, 0x7f, kCtrl);  // Ctrl+Backspace: "less "
  terminal.Type(u"-S zz");
  terminal.Ctrl('W');                  // "less -S "
  terminal.Key(VK_RETURN, u'\r');
  EXPECT_EQ(LinePrompt(terminal, kOpenWithTitle, kOpenWithLabel, u"", "xdg-open"), "less -S ");
}

TEST(TerminalLineEditor, CtrlVInsertsTheClipboardWithoutControls) {
  ScriptedTerminal terminal;
  terminal.clipboard = u"vi\nm\x1b -R";
  terminal.Ctrl('V');
  terminal.Key(VK_RETURN, u'\r');
  EXPECT_EQ(LinePrompt(terminal, kOpenWithTitle, kOpenWithLabel, u"", ""), "vim -R");
}

TEST(TerminalLineEditor, ControlAndAltKeysTypeNothingAndNonAsciiBecomesUtf8) {
  ScriptedTerminal terminal;
  terminal.Key('B', u'b', LEFT_ALT_PRESSED);
  terminal.Key('X', 0x18, kCtrl);
  terminal.Type(u"\u00e9d");
  terminal.Key(VK_RETURN, u'\r');
  EXPECT_EQ(LinePrompt(terminal, kOpenWithTitle, kOpenWithLabel, u"", ""), "\xc3\xa9" "d");
}

TEST(TerminalLineEditor, SurrogatePairsJoinAcrossInsertsAndLoneHalvesAreDropped) {
  LineEditor editor;
  EXPECT_FALSE(editor.Insert(u"\xD83D"));  // the high half waits
  EXPECT_TRUE(editor.Insert(u"\xDE00"));   // U+1F600
  EXPECT_FALSE(editor.Insert(u"\xDC00\n\x7f"));
  EXPECT_TRUE(editor.Insert(u"\xD83D" u"a"));  // a high half not followed by its low one
  EXPECT_EQ(editor.Text(), "\xf0\x9f\x98\x80" "a");
}

// --- message box ------------------------------------------------------------------------

TEST(TerminalMessageBox, DrawsACentredFramedBoxOverThePicture) {
  ScriptedTerminal terminal(40, 11);
  terminal.Key(VK_RETURN, u'\r');
  MessageBoxScreen(terminal, u"Number too long", u"Error");
  // Inner width: the longest of text (15), caption + 2 and "[ OK ]": 15; box 19 x 5.
  const int x = (40 - 19) / 2;
  const int y = (11 - 5) / 2;
  EXPECT_EQ(terminal.screen.At(0, 0).UnicodeChar, u'#') << "the picture stays around the box";
  EXPECT_EQ(terminal.screen.At(x, y).UnicodeChar, u'\u250C');
  EXPECT_EQ(terminal.screen.At(x + 18, y + 4).UnicodeChar, u'\u2518');
  EXPECT_EQ(terminal.screen.At(x - 1, y).UnicodeChar, u'#');
  EXPECT_NE(terminal.RowText(y).find(" Error "), std::string::npos);
  EXPECT_NE(terminal.RowText(y + 1).find("Number too long"), std::string::npos);
  EXPECT_NE(terminal.RowText(y + 3).find("[ OK ]"), std::string::npos);
}

TEST(TerminalMessageBox, WrapsLongTextInsideTheScreen) {
  ScriptedTerminal terminal(30, 12);
  terminal.Key(VK_ESCAPE, 0x1b);
  MessageBoxScreen(terminal, u"one two three four five six seven eight nine ten", u"Note");
  // Every word is on screen, whole, and the text took several lines.
  for (const char* word : {"one", "two", "three", "four", "five", "six", "seven", "eight", "nine", "ten"}) {
    EXPECT_TRUE(terminal.ScreenContains(std::string(" ") + word + " ") ||
                terminal.ScreenContains(std::string(" ") + word + "\u2502"))
        << word;
  }
  int textRows = 0;
  for (int y = 0; y < 12; ++y) {
    const std::string row = terminal.RowText(y);
    if (row.find("one") != std::string::npos || row.find("ten") != std::string::npos ||
        row.find("five") != std::string::npos) {
      ++textRows;
    }
  }
  EXPECT_GE(textRows, 2);
}

TEST(TerminalMessageBox, DismissedByEnterEscOrAClickButNotOtherKeys) {
  for (int way = 0; way < 3; ++way) {
    ScriptedTerminal terminal;
    terminal.Type(u"x");
    if (way == 0) terminal.Key(VK_RETURN, u'\r');
    if (way == 1) terminal.Key(VK_ESCAPE, 0x1b);
    if (way == 2) terminal.Click(3, 3);
    MessageBoxScreen(terminal, u"text", u"caption");
    EXPECT_TRUE(terminal.script.empty()) << way;
    EXPECT_EQ(terminal.readsPastEnd, 0) << way;
    EXPECT_EQ(terminal.shows, 2) << "drawn again after the ignored key";
  }
}

}  // namespace
}  // namespace kelm::port
