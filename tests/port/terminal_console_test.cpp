// The terminal console port on a pseudo-terminal: set-up and the keyboard
// protocol query, input records, pacing, frames, clipboard, dialogs, and
// giving the terminal back.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/terminal/terminal_console.h"
#include "engine/port/terminal/terminal_modes.h"
#include "terminal_console_fixture.h"
#include "terminal_pty.h"

namespace kelm::port {
namespace {

// --- set-up and restore --------------------------------------------------------------

TEST_F(TerminalConsoleTest, SetupEntersTheModesInOrder) {
  SetUpConsole();
  const std::string out = pty.Output();
  size_t at = 0;
  for (const char* sequence : {"\x1b[22;2t", "\x1b[?1049h", "\x1b[?25l", "\x1b[?7l", "\x1b[?u\x1b[c", "\x1b[>4;2m",
                               "\x1b[?1000h\x1b[?1003h\x1b[?1006h", "\x1b[?2004h", "\x1b[?1004h"}) {
    const size_t found = out.find(sequence, at);
    ASSERT_NE(found, std::string::npos) << "missing or out of order: " << sequence + 1;
    at = found;
  }
  EXPECT_FALSE(console.KittyKeyboardActive());
}

TEST_F(TerminalConsoleTest, KittyProtocolWhenTheTerminalAnswersItsQuery) {
  SetUpConsole(true);
  EXPECT_TRUE(console.KittyKeyboardActive());
  const std::string out = pty.Output();
  EXPECT_NE(out.find("\x1b[>1u"), std::string::npos);
  EXPECT_EQ(out.find("\x1b[>4;2m"), std::string::npos);
  console.Restore();
  const size_t end = Sync();
  const std::string all = pty.Output().substr(0, end);
  EXPECT_LT(all.find("\x1b[<u"), all.find("\x1b[?1049l")) << "popped before leaving the alternate screen";
}

TEST_F(TerminalConsoleTest, NoAnswerAtAllFallsBackAfterTheTimeOut) {
  uint32_t error = 0;
  const auto start = Clock::now();
  ASSERT_TRUE(console.Setup(error));
  EXPECT_GE(ElapsedMs(start), TerminalConsole::kQueryTimeoutMs - 5);
  Sync();
  EXPECT_FALSE(console.KittyKeyboardActive());
  EXPECT_NE(pty.Output().find("\x1b[>4;2m"), std::string::npos);
}

TEST_F(TerminalConsoleTest, RepliesNeverBecomeKeys) {
  SetUpConsole(true);
  pty.Send("\x1b[?62;22c\x1b[12;5R" "a");
  const auto keys = KeyDowns(ReadRecords(2));
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].second, u'a');
}

TEST_F(TerminalConsoleTest, SetupTwiceDoesNothingMore) {
  SetUpConsole();
  const size_t before = Sync();
  uint32_t error = 0;
  EXPECT_TRUE(console.Setup(error));
  const size_t after = Sync();
  EXPECT_EQ(pty.Output().substr(before, after - before).find("\x1b[?1049h"), std::string::npos);
}

TEST_F(TerminalConsoleTest, RestoreGivesTheTerminalBackOnce) {
  const termios original = pty.Settings();
  SetUpConsole();
  console.Restore();
  console.Restore();
  const size_t end = Sync();
  const std::string out = pty.Output().substr(0, end);
  EXPECT_EQ(pty.Settings().c_lflag, original.c_lflag);
  EXPECT_EQ(pty.Settings().c_iflag, original.c_iflag);
  for (const char* off : {"\x1b[?1000l", "\x1b[?1003l", "\x1b[?1006l", "\x1b[?2004l", "\x1b[?1004l", "\x1b[>4m",
                          "\x1b[?7h", "\x1b[?25h", "\x1b[?1049l", "\x1b[23;2t"}) {
    const size_t first = out.find(off);
    EXPECT_NE(first, std::string::npos) << off + 1;
    EXPECT_EQ(out.find(off, first + 1), std::string::npos) << "twice: " << off + 1;
  }
}

// --- window -----------------------------------------------------------------------------

TEST_F(TerminalConsoleTest, WindowRectLeavesTheLastColumnOut) {
  SetUpConsole();
  SMALL_RECT window;
  ASSERT_TRUE(console.GetWindowRect(window));
  EXPECT_EQ(window.Left, 0);
  EXPECT_EQ(window.Top, 0);
  EXPECT_EQ(window.Right, 39);  // 40 columns: the engine draws 39
  EXPECT_EQ(window.Bottom, 9);
  pty.SetSize(81, 25);
  ASSERT_TRUE(console.GetWindowRect(window));
  EXPECT_EQ(window.Right, 80);
  EXPECT_EQ(window.Bottom, 24);
}

// --- input ------------------------------------------------------------------------------

TEST_F(TerminalConsoleTest, TypedKeysArriveAsKeyDownUpPairs) {
  SetUpConsole();
  pty.Send("hi\r");
  const std::vector<INPUT_RECORD> records = ReadRecords(6);
  ASSERT_EQ(records.size(), 6u);
  EXPECT_EQ(KeyDowns(records), (std::vector<std::pair<uint16_t, char16_t>>{{'H', u'h'}, {'I', u'i'}, {VK_RETURN, u'\r'}}));
  for (size_t i = 0; i < records.size(); ++i) {
    EXPECT_EQ(records[i].Event.KeyEvent.bKeyDown, i % 2 == 0 ? 1 : 0) << i;
  }
}

TEST_F(TerminalConsoleTest, ReadInputGivesAtMostTheAskedNumber) {
  SetUpConsole();
  pty.Send("abcdef");
  const auto start = Clock::now();
  while (console.PendingInputCount() < 12 && ElapsedMs(start) < 5000) console.WaitForInput(50);
  INPUT_RECORD records[5];
  EXPECT_EQ(console.ReadInput(records, 5), 5u);
  EXPECT_EQ(console.PendingInputCount(), 7u) << "the rest stays queued";
}

TEST_F(TerminalConsoleTest, MouseReportsArriveAsMouseRecords) {
  SetUpConsole();
  pty.Send("\x1b[<0;5;3M");
  const std::vector<INPUT_RECORD> records = ReadRecords(2);
  bool moved = false;
  bool pressed = false;
  for (const INPUT_RECORD& r : records) {
    ASSERT_EQ(r.EventType, MOUSE_EVENT);
    EXPECT_EQ(r.Event.MouseEvent.dwMousePosition.X, 4);
    EXPECT_EQ(r.Event.MouseEvent.dwMousePosition.Y, 2);
    if (r.Event.MouseEvent.dwEventFlags == MOUSE_MOVED) moved = true;
    if (r.Event.MouseEvent.dwEventFlags == 0 && (r.Event.MouseEvent.dwButtonState & FROM_LEFT_1ST_BUTTON_PRESSED)) {
      pressed = true;
    }
  }
  EXPECT_TRUE(moved);
  EXPECT_TRUE(pressed);
}

TEST_F(TerminalConsoleTest, PressAndReleaseInOneReadReachSeparatePolls) {
  SetUpConsole();
  pty.Send("\x1b[<0;5;3M\x1b[<0;5;3m" "k");
  const auto start = Clock::now();
  while (console.PendingInputCount() < 6 && ElapsedMs(start) < 5000) console.WaitForInput(50);
  std::vector<uint32_t> batches;  // the button state at the end of each read
  for (int poll = 0; poll < 4 && console.PendingInputCount() > 0; ++poll) {
    INPUT_RECORD records[32];
    const uint32_t n = console.ReadInput(records, 32);
    ASSERT_GT(n, 0u);
    const INPUT_RECORD& last = records[n - 1];
    if (last.EventType == MOUSE_EVENT && last.Event.MouseEvent.dwEventFlags == 0) {
      batches.push_back(last.Event.MouseEvent.dwButtonState);
    }
  }
  ASSERT_EQ(batches.size(), 2u) << "the press and the release each end a read";
  EXPECT_EQ(batches[0], FROM_LEFT_1ST_BUTTON_PRESSED);
  EXPECT_EQ(batches[1], 0u);
  EXPECT_EQ(console.PendingInputCount(), 0u);
}

TEST_F(TerminalConsoleTest, EscAloneArrivesOnceItsTimeOutPassedWithoutWaitingTheFullDelay) {
  SetUpConsole();
  pty.Send("\x1b");
  const auto start = Clock::now();
  std::vector<std::pair<uint16_t, char16_t>> keys;
  while (keys.empty() && ElapsedMs(start) < 5000) {
    console.WaitForInput(2000);
    std::vector<INPUT_RECORD> records(8);
    records.resize(console.ReadInput(records.data(), 8));
    keys = KeyDowns(records);
  }
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].first, VK_ESCAPE);
  EXPECT_LT(ElapsedMs(start), 1500) << "the wait ended at the Esc deadline, not after the full 2000 ms";
}

TEST_F(TerminalConsoleTest, WaitForInputEndsWhenInputArrives) {
  SetUpConsole();
  pty.Send("k");
  const auto start = Clock::now();
  console.WaitForInput(3000);
  EXPECT_LT(ElapsedMs(start), 1500);
  EXPECT_GT(console.PendingInputCount(), 0u);
}

TEST_F(TerminalConsoleTest, WaitForInputWaitsWhenNothingHappens) {
  SetUpConsole();
  const auto start = Clock::now();
  console.WaitForInput(60);
  EXPECT_GE(ElapsedMs(start), 55);
}

TEST_F(TerminalConsoleTest, NoWaitRightAfterAKeyWasRead) {
  // The key's effect is drawn in the frame after the one that handles it:
  // that frame must not wait for the frame delay.
  SetUpConsole();
  pty.Send("k");
  ReadRecords(2);
  auto start = Clock::now();
  console.WaitForInput(3000);
  EXPECT_LT(ElapsedMs(start), 1500);
  start = Clock::now();
  console.WaitForInput(60);
  EXPECT_GE(ElapsedMs(start), 55) << "only the one frame after the input is hurried";
}

TEST_F(TerminalConsoleTest, PasteGoesToTheClipboardAndArrivesAsCtrlV) {
  SetUpConsole();
  pty.Send("\x1b[200~pasted text\x1b[201~");
  const std::vector<INPUT_RECORD> records = ReadRecords(4);
  EXPECT_EQ(console.GetClipboardText(), u"pasted text");
  const auto keys = KeyDowns(records);
  ASSERT_EQ(keys.size(), 2u);
  EXPECT_EQ(keys[0].first, VK_CONTROL);
  EXPECT_EQ(keys[1], (std::pair<uint16_t, char16_t>{'V', 0x16}));
  for (const INPUT_RECORD& r : records) {
    if (r.Event.KeyEvent.wVirtualKeyCode == 'V') {
      EXPECT_NE(r.Event.KeyEvent.dwControlKeyState & LEFT_CTRL_PRESSED, 0u);
    }
  }
}

TEST_F(TerminalConsoleTest, FocusReportsDecideTheForeground) {
  SetUpConsole();
  EXPECT_TRUE(console.IsForeground()) << "foreground until a focus-out report";
  pty.Send("\x1b[O" "a");
  ReadRecords(2);
  EXPECT_FALSE(console.IsForeground());
  pty.Send("\x1b[I" "b");
  ReadRecords(2);
  EXPECT_TRUE(console.IsForeground());
}

TEST_F(TerminalConsoleTest, FocusOutReleasesAHeldMouseButton) {
  SetUpConsole();
  pty.Send("\x1b[<0;2;2M");
  ReadRecords(2);
  EXPECT_NE(console.GetAsyncKeyState(VK_LBUTTON) & 0x8000, 0);
  pty.Send("\x1b[O");
  const std::vector<INPUT_RECORD> records = ReadRecords(1);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].EventType, MOUSE_EVENT);
  EXPECT_EQ(records[0].Event.MouseEvent.dwEventFlags, 0u);
  EXPECT_EQ(records[0].Event.MouseEvent.dwButtonState, 0u);
  EXPECT_EQ(console.GetAsyncKeyState(VK_LBUTTON) & 0x8000, 0);
}

TEST_F(TerminalConsoleTest, KeyboardStateFollowsTheInput) {
  SetUpConsole();
  pty.Send("\r\x1b[1;2C");  // Enter, Shift+Right
  ReadRecords(6);
  EXPECT_EQ(console.GetAsyncKeyState(VK_RETURN) & 1, 1);
  EXPECT_EQ(console.GetAsyncKeyState(VK_RETURN) & 1, 0);
  EXPECT_NE(console.GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
  pty.Send("z");
  ReadRecords(2);
  EXPECT_EQ(console.KeyToChar('Z'), u'z');
  EXPECT_EQ(console.GetAsyncKeyState(VK_SHIFT) & 0x8000, 0);
}

TEST_F(TerminalConsoleTest, CtrlZSuspendsAndResumesInsteadOfArriving) {
  SetUpConsole();
  const size_t before = Sync();
  pty.Send("\x1a" "x");
  const auto keys = KeyDowns(ReadRecords(2));
  ASSERT_FALSE(keys.empty());
  for (const auto& key : keys) EXPECT_NE(key.first, 'Z');
  EXPECT_EQ(keys.back(), (std::pair<uint16_t, char16_t>{'X', u'x'}));
  // The terminal was given back and taken again.
  const size_t after = Sync();
  const std::string out = pty.Output().substr(before, after - before);
  const size_t left = out.find("\x1b[?1049l");
  ASSERT_NE(left, std::string::npos);
  EXPECT_NE(out.find("\x1b[?1049h", left), std::string::npos);
}

TEST_F(TerminalConsoleTest, HangUpAsksToQuit) {
  SetUpConsole();
  int status = 0;
  EXPECT_FALSE(console.TakeQuitRequest(status));
  pty.HangUp();
  const auto start = Clock::now();
  while (!console.TakeQuitRequest(status) && ElapsedMs(start) < 5000) {
    console.WaitForInput(50);
    console.PendingInputCount();
  }
  EXPECT_EQ(status, 129);
  CHAR_INFO cell;
  console.WriteFrame(&cell, 1, 1);  // must not block or fail loudly
  console.Restore();
}

// --- output -----------------------------------------------------------------------------

TEST_F(TerminalConsoleTest, AnUnchangedFrameWritesNothing) {
  SetUpConsole();
  std::vector<CHAR_INFO> frame(39 * 10);
  for (size_t i = 0; i < frame.size(); ++i) frame[i] = CHAR_INFO{static_cast<char16_t>(u'a' + i % 26), 0x1E};
  const size_t before = Sync();
  console.WriteFrame(frame.data(), 39, 10);
  const size_t first = Sync();
  EXPECT_GT(first - before, 390u) << "the first frame draws every cell";
  console.WriteFrame(frame.data(), 39, 10);
  console.WriteSameFrame(frame.data(), 39, 10);
  const size_t second = Sync();
  EXPECT_EQ(pty.Output().substr(first, second - first), lastMarker) << "only the marker arrived";
  frame[5].UnicodeChar = u'#';
  console.WriteFrame(frame.data(), 39, 10);
  const size_t third = Sync();
  const std::string change = pty.Output().substr(second, third - second);
  EXPECT_NE(change.find('#'), std::string::npos);
  EXPECT_LT(change.size(), 60u) << "one changed cell writes a few bytes";
}

TEST_F(TerminalConsoleTest, TheSameFrameIsDrawnAgainAfterADialogCoveredIt) {
  SetUpConsole();
  std::vector<CHAR_INFO> frame(39 * 10, CHAR_INFO{u'Z', 0x07});
  console.WriteFrame(frame.data(), 39, 10);
  pty.Send("\r");
  console.MessageBox(u"covering", u"box");
  const size_t before = Sync();
  // The engine passes an unchanged frame this way.
  console.WriteSameFrame(frame.data(), 39, 10);
  const size_t after = Sync();
  const std::string redraw = pty.Output().substr(before, after - before);
  EXPECT_NE(redraw.find("ZZZ"), std::string::npos) << "the cells under the box are drawn again";
}

TEST_F(TerminalConsoleTest, TitleIsSanitisedAndSentWhenSetUp) {
  console.SetTitle(u"before\x1b]0;x\x07set-up");
  SetUpConsole();
  const size_t end = Sync();
  const std::string out = pty.Output().substr(0, end);
  const size_t at = out.find("\x1b]2;");
  ASSERT_NE(at, std::string::npos);
  const std::string title = out.substr(at, out.find("\x1b\\", at) - at);
  EXPECT_NE(title.find("before"), std::string::npos);
  EXPECT_EQ(title.find('\x07'), std::string::npos);
  EXPECT_EQ(title.find('\x1b', 1), std::string::npos);
}

TEST_F(TerminalConsoleTest, ColourTableIsTheConsolePalette) {
  ColourTable table;
  ASSERT_TRUE(console.GetColourTable(table));
  const uint8_t expected[16][3] = {{0, 0, 0},     {0, 0, 128},   {0, 128, 0},     {0, 128, 128},
                                   {128, 0, 0},   {128, 0, 128}, {128, 128, 0},   {192, 192, 192},
                                   {128, 128, 128}, {0, 0, 255}, {0, 255, 0},     {0, 255, 255},
                                   {255, 0, 0},   {255, 0, 255}, {255, 255, 0},   {255, 255, 255}};
  for (int i = 0; i < 16; ++i) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(table.rgb[i][c], expected[i][c]) << i << "," << c;
  }
}

// --- clipboard -----------------------------------------------------------------------

TEST_F(TerminalConsoleTest, CopiedTextIsKeptAndSentWithOsc52) {
  SetUpConsole();
  ClipboardEnvironment remote;
  remote.display = ":0";
  remote.remote = true;  // over SSH no desktop tool is used
  console.SetClipboardEnvironment(remote);
  EXPECT_EQ(console.GetClipboardText(), std::nullopt);
  EXPECT_EQ(console.SetClipboardText(u"foobar"), ClipboardTarget::TerminalOsc52);
  EXPECT_EQ(console.GetClipboardText(), u"foobar");
  EXPECT_NE(pty.WaitForOutput("\x1b]52;c;Zm9vYmFy\x1b\\"), std::string::npos);
}

TEST_F(TerminalConsoleTest, TextTooLargeForOsc52WithoutAToolStaysInProcessOnly) {
  SetUpConsole();
  console.SetClipboardEnvironment(ClipboardEnvironment{});  // no display
  const std::u16string huge(kMaxOsc52Payload, u'x');  // base64 makes it a third longer
  EXPECT_EQ(console.SetClipboardText(huge), ClipboardTarget::ProcessOnly);
  EXPECT_EQ(console.GetClipboardText(), huge);
  const size_t end = Sync();
  EXPECT_EQ(pty.Output().substr(0, end).find("\x1b]52;"), std::string::npos) << "nothing goes to the terminal";
}

TEST_F(TerminalConsoleTest, CopyHandedToTheDesktopToolReachesTheSystemClipboard) {
  // A stand-in xclip in PATH that keeps what it is given.
  const std::filesystem::path folder =
      std::filesystem::temp_directory_path() / ("kelmhex-xclip-" + std::to_string(getpid()));
  std::filesystem::create_directories(folder);
  const std::filesystem::path kept = folder / "kept";
  {
    std::ofstream tool(folder / "xclip");
    tool << "#!/bin/sh\ncat > '" << kept.string() << ".part' && mv '" << kept.string() << ".part' '"
         << kept.string() << "'\n";
  }
  std::filesystem::permissions(folder / "xclip", std::filesystem::perms::owner_all);
  const char* oldPath = std::getenv("PATH");
  const std::string path = folder.string() + ":" + (oldPath ? oldPath : "/usr/bin:/bin");
  setenv("PATH", path.c_str(), 1);

  SetUpConsole();
  ClipboardEnvironment local;
  local.display = ":0";
  console.SetClipboardEnvironment(local);
  EXPECT_EQ(console.SetClipboardText(u"foobar"), ClipboardTarget::System);
  EXPECT_NE(pty.WaitForOutput("\x1b]52;c;Zm9vYmFy\x1b\\"), std::string::npos) << "OSC 52 is sent as well";
  const auto start = Clock::now();
  while (!std::filesystem::exists(kept) && ElapsedMs(start) < 5000) console.WaitForInput(20);
  std::ifstream in(kept);
  std::string got((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(got, "foobar");
  std::filesystem::remove_all(folder);
}

// --- dialogs and reports ----------------------------------------------------------------

TEST_F(TerminalConsoleTest, MessageBoxWaitsForEnter) {
  SetUpConsole();
  pty.Send("x\r");
  console.MessageBox(u"Something happened", u"Caption");
  const size_t end = Sync();
  const std::string out = pty.Output().substr(0, end);
  EXPECT_NE(out.find("Something happened"), std::string::npos);
  EXPECT_NE(out.find("Caption"), std::string::npos);
  EXPECT_EQ(console.GetAsyncKeyState(VK_RETURN) & 1, 0) << "the key that closed the box is not seen again";
}

TEST_F(TerminalConsoleTest, PauseWritesItsPromptAndWaitsForAKey) {
  SetUpConsole();
  console.WriteReport("Step 2\nAccess denied\x1b[31m");
  pty.Send("q");
  console.Pause();
  const size_t end = Sync();
  const std::string out = pty.Output().substr(0, end);
  const size_t report = out.find("Step 2\x1b[K\r\nAccess denied");
  ASSERT_NE(report, std::string::npos) << "line breaks as CR LF, over the picture";
  EXPECT_EQ(out.find("\x1b[31m"), std::string::npos) << "no control sequence from the report text";
  EXPECT_NE(out.find("Press any key to continue . . .", report), std::string::npos);
}

TEST_F(TerminalConsoleTest, OpenFileDialogReturnsTheTypedPath) {
  SetUpConsole();
  char pattern[] = "/tmp/kelmhex-console-dialog-XXXXXX";
  const int fd = mkstemp(pattern);
  ASSERT_GE(fd, 0);
  close(fd);
  const std::string name = std::string(pattern).substr(5);
  pty.Send(name + "\r");
  const auto path = console.OpenFileDialog("/tmp");
  unlink(pattern);
  EXPECT_EQ(path, std::string(pattern));
  const size_t end = Sync();
  EXPECT_NE(pty.Output().substr(0, end).find("Open file"), std::string::npos);
}

TEST_F(TerminalConsoleTest, SaveDialogCancelledByEsc) {
  SetUpConsole();
  pty.Send("abc\x1b");
  EXPECT_EQ(console.SaveFileDialog("/tmp"), std::nullopt);
}

class OpenWithTest : public TerminalConsoleTest {
 protected:
  OpenWithTest() {
    char pattern[] = "/tmp/kelmhex-openwith-XXXXXX";
    dir = mkdtemp(pattern);
    file = dir + "/data file.bin";
    std::ofstream(file) << "data";
  }
  ~OpenWithTest() override { std::system(("rm -rf '" + dir + "'").c_str()); }
  std::string dir;
  std::string file;
};

TEST_F(OpenWithTest, RunsTheCommandWithThePathAsOneArgument) {
  SetUpConsole();
  const std::string out = dir + "/args";
  // Ctrl+U clears the suggested command first.
  pty.Send("\x15sh -c 'printf \"%s|\" \"$@\" > \"" + out + "\"' sh one\r");
  EXPECT_EQ(console.OpenWithDialog(file), kOpenWithOk);
  std::ifstream in(out);
  std::string args((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  EXPECT_EQ(args, "one|" + file + "|");
  EXPECT_TRUE(console.Session().IsActive()) << "the screen is taken back after the program";
}

TEST_F(OpenWithTest, RemembersTheLastCommand) {
  SetUpConsole();
  pty.Send("\x15true\r");
  ASSERT_EQ(console.OpenWithDialog(file), kOpenWithOk);
  const size_t before = Sync();
  pty.Send("\x1b");
  EXPECT_EQ(console.OpenWithDialog(file), kOpenWithCancelled);
  const size_t after = Sync();
  EXPECT_NE(pty.Output().substr(before, after - before).find("true"), std::string::npos);
}

TEST_F(OpenWithTest, MissingProgramIsFileNotFound) {
  SetUpConsole();
  pty.Send("\x15kelmhex-no-such-program-here\r");
  EXPECT_EQ(console.OpenWithDialog(file), kOpenWithFileNotFound);
}

TEST_F(OpenWithTest, ProgramThatMayNotRunIsAccessDenied) {
  SetUpConsole();
  const std::string program = dir + "/not-executable";
  std::ofstream(program) << "#!/bin/sh\n";
  chmod(program.c_str(), 0644);
  pty.Send("\x15" + program + "\r");
  EXPECT_EQ(console.OpenWithDialog(file), kOpenWithAccessDenied);
}

TEST_F(OpenWithTest, EmptyCommandOrEscIsCancelled) {
  SetUpConsole();
  pty.Send("\x15\r");
  EXPECT_EQ(console.OpenWithDialog(file), kOpenWithCancelled);
  pty.Send("\x1b");
  EXPECT_EQ(console.OpenWithDialog(file), kOpenWithCancelled);
}

}  // namespace
}  // namespace kelm::port
