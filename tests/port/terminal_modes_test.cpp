// The terminal modes and the restore string that undoes them, and the
// session that enters and leaves them on a real (pseudo-)terminal.
#include <gtest/gtest.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/port/terminal/terminal_modes.h"
#include "engine/port/terminal/terminal_session.h"
#include "terminal_pty.h"

namespace kelm::port {
namespace {

using testing::PtyTerminal;

const std::vector<const TerminalMode*> kAllModes = {
    &kModeSaveTitle, &kModeAlternateScreen, &kModeHiddenCursor,   &kModeNoAutowrap,   &kModeKittyKeyboard,
    &kModeMouse,     &kModeBracketedPaste,  &kModeFocusReports,
};

ModeStack AllEntered() {
  ModeStack stack;
  for (const TerminalMode* mode : kAllModes) stack.Push(*mode);
  return stack;
}

TEST(TerminalModesRestoreString, TurnsOffEveryModeThatWasTurnedOn) {
  const std::string restore = AllEntered().RestoreString();
  for (const char* off : {"\x1b[?1049l", "\x1b[?25h", "\x1b[?7h", "\x1b[<u", "\x1b[?1000l", "\x1b[?1003l",
                          "\x1b[?1006l", "\x1b[?2004l", "\x1b[?1004l", "\x1b[23;2t", "\x1b[0m", "\x1b[?2026l"}) {
    EXPECT_NE(restore.find(off), std::string::npos) << "missing " << off + 1;
  }
}

TEST(TerminalModesRestoreString, EveryDecModeChangedIsChangedBackByItsOwnLeaveSequence) {
  // Every "CSI ? n h" in a mode's enter sequence has "CSI ? n l" in its leave
  // sequence and the other way round (DEC modes are not undone by anything
  // else).
  for (const TerminalMode* mode : kAllModes) {
    const std::string enter = mode->enter;
    for (size_t at = enter.find("\x1b[?"); at != std::string::npos; at = enter.find("\x1b[?", at + 1)) {
      const size_t end = enter.find_first_of("hl", at);
      ASSERT_NE(end, std::string::npos) << mode->name;
      const std::string undo = enter.substr(at, end - at) + (enter[end] == 'h' ? "l" : "h");
      EXPECT_NE(std::string(mode->leave).find(undo), std::string::npos) << mode->name << ": " << undo.substr(1);
    }
  }
}

TEST(TerminalModesRestoreString, UndoesInReverseOrder) {
  const std::string restore = AllEntered().RestoreString();
  // Mouse off before anything else of the input modes' neighbours, keyboard
  // protocol popped while still on the alternate screen, main screen last
  // but the title.
  const size_t focus = restore.find("\x1b[?1004l");
  const size_t mouse = restore.find("\x1b[?1000l");
  const size_t kitty = restore.find("\x1b[<u");
  const size_t wrap = restore.find("\x1b[?7h");
  const size_t screen = restore.find("\x1b[?1049l");
  const size_t title = restore.find("\x1b[23;2t");
  EXPECT_LT(focus, mouse);
  EXPECT_LT(mouse, kitty);
  EXPECT_LT(kitty, wrap);
  EXPECT_LT(wrap, screen);
  EXPECT_LT(screen, title);
  EXPECT_EQ(restore.rfind("\x1b[0m", screen), screen - 4) << "colours reset right before leaving the screen";
}

TEST(TerminalModesRestoreString, OnlyModesEnteredAreUndone) {
  ModeStack stack;
  stack.Push(kModeAlternateScreen);
  stack.Push(kModeModifyOtherKeys);
  const std::string restore = stack.RestoreString();
  EXPECT_NE(restore.find("\x1b[>4m"), std::string::npos);
  EXPECT_EQ(restore.find("\x1b[<u"), std::string::npos) << "no kitty pop without a push";
  EXPECT_EQ(restore.find("\x1b[23;2t"), std::string::npos) << "no title restore without a save";
  EXPECT_EQ(ModeStack().RestoreString(), std::string(kEndSynchronizedOutput));
}

TEST(TerminalModesRestoreString, ReassertLeavesOutStackedModes) {
  const ModeStack stack = AllEntered();
  const std::string again = stack.ReassertString();
  EXPECT_EQ(again.find(kModeKittyKeyboard.enter), std::string::npos) << "a second push would need a second pop";
  EXPECT_EQ(again.find(kModeSaveTitle.enter), std::string::npos);
  EXPECT_NE(again.find(kModeMouse.enter), std::string::npos);
  EXPECT_NE(again.find(kModeAlternateScreen.enter), std::string::npos);
  const std::string enter = stack.EnterString();
  EXPECT_LT(enter.find(kModeAlternateScreen.enter), enter.find(kModeKittyKeyboard.enter))
      << "kitty flags are pushed on the alternate screen's stack";
}

// --- the session on a pseudo-terminal -----------------------------------------------

TerminalSessionOptions OnPty(const PtyTerminal& pty) {
  TerminalSessionOptions options;
  options.fd = pty.TerminalFd();
  options.requireStdioTerminals = false;
  options.handleSignals = false;
  return options;
}

TEST(TerminalSessionRawMode, OpenSwitchesToRawModeAndCloseRestoresTheSettings) {
  PtyTerminal pty;
  const termios before = pty.Settings();
  ASSERT_NE(before.c_lflag & ICANON, 0u) << "a fresh terminal starts in line mode";
  {
    TerminalSession session(OnPty(pty));
    uint32_t error = 0;
    ASSERT_TRUE(session.Open(error)) << error;
    const termios raw = pty.Settings();
    EXPECT_EQ(raw.c_lflag & (ECHO | ICANON | ISIG | IEXTEN), 0u) << "no echo, line editing, key signals, Ctrl+V";
    EXPECT_EQ(raw.c_iflag & (IXON | ICRNL | INLCR | ISTRIP), 0u) << "Ctrl+S/Ctrl+Q arrive, CR stays CR";
    EXPECT_EQ(raw.c_oflag & OPOST, 0u);
    EXPECT_EQ(raw.c_cc[VMIN], 1);
    EXPECT_EQ(raw.c_cc[VTIME], 0);
    session.Close();
    const termios after = pty.Settings();
    EXPECT_EQ(after.c_lflag, before.c_lflag);
    EXPECT_EQ(after.c_iflag, before.c_iflag);
    EXPECT_EQ(after.c_oflag, before.c_oflag);
    EXPECT_EQ(after.c_cflag, before.c_cflag);
  }
}

TEST(TerminalSessionRawMode, CloseWritesTheRestoreStringOnce) {
  PtyTerminal pty;
  TerminalSession session(OnPty(pty));
  uint32_t error = 0;
  ASSERT_TRUE(session.Open(error));
  session.Enter(kModeAlternateScreen);
  session.Enter(kModeMouse);
  ASSERT_NE(pty.WaitForOutput(kModeMouse.enter), std::string::npos);
  const std::string restore = session.Modes().RestoreString();
  session.Close();
  session.Close();  // a second close does nothing
  // A marker written on the terminal side after the closes: once it arrives,
  // everything the closes wrote has arrived too.
  ASSERT_EQ(write(pty.TerminalFd(), "<end>", 5), 5);
  ASSERT_NE(pty.WaitForOutput("<end>"), std::string::npos);
  const std::string expected = std::string(kModeAlternateScreen.enter) + kModeMouse.enter + restore + "<end>";
  EXPECT_EQ(pty.Output(), expected);
}

TEST(TerminalSessionRawMode, SuspendAndResumeLeaveAndEnterAgain) {
  PtyTerminal pty;
  TerminalSession session(OnPty(pty));
  uint32_t error = 0;
  ASSERT_TRUE(session.Open(error));
  session.Enter(kModeAlternateScreen);
  session.Enter(kModeKittyKeyboard);
  const termios raw = pty.Settings();
  session.Suspend();
  EXPECT_FALSE(session.IsActive());
  EXPECT_NE(pty.Settings().c_lflag & ICANON, 0u) << "the shell's settings while suspended";
  session.Resume();
  EXPECT_TRUE(session.IsActive());
  EXPECT_EQ(pty.Settings().c_lflag, raw.c_lflag);
  const std::string expected = std::string(kModeAlternateScreen.enter) + kModeKittyKeyboard.enter +
                               std::string(kEndSynchronizedOutput) + kModeKittyKeyboard.leave +
                               kModeAlternateScreen.leave + kModeAlternateScreen.enter +
                               kModeKittyKeyboard.enter;
  EXPECT_NE(pty.WaitForOutput(expected), std::string::npos) << pty.Output();
}

TEST(TerminalSessionIo, ReadsWhatIsTypedWithoutBlocking) {
  PtyTerminal pty;
  TerminalSession session(OnPty(pty));
  uint32_t error = 0;
  ASSERT_TRUE(session.Open(error));
  char buffer[16];
  EXPECT_EQ(session.Read(buffer, sizeof buffer), 0) << "nothing typed: no wait, no bytes";
  pty.Send("xy\r");
  ASSERT_TRUE(session.WaitReadable(5000));
  std::string got;
  while (got.size() < 3 && session.WaitReadable(5000)) {
    const ssize_t n = session.Read(buffer, sizeof buffer);
    ASSERT_GT(n, 0);
    got.append(buffer, static_cast<size_t>(n));
  }
  EXPECT_EQ(got, "xy\r") << "raw mode: carriage return kept, no line buffering";
}

TEST(TerminalSessionIo, HangUpIsNoticedAndWritesStop) {
  PtyTerminal pty;
  TerminalSession session(OnPty(pty));
  uint32_t error = 0;
  ASSERT_TRUE(session.Open(error));
  pty.HangUp();
  ASSERT_TRUE(session.WaitReadable(5000)) << "a hang-up wakes the wait";
  char buffer[16];
  EXPECT_EQ(session.Read(buffer, sizeof buffer), -1);
  EXPECT_TRUE(session.Gone());
  EXPECT_FALSE(session.Write("more"));
  session.Close();  // must not block on the dead terminal
}

TEST(TerminalSessionIo, SizeFollowsTheTerminal) {
  PtyTerminal pty(50, 12);
  TerminalSession session(OnPty(pty));
  uint32_t error = 0;
  ASSERT_TRUE(session.Open(error));
  int columns = 0;
  int rows = 0;
  session.Size(columns, rows);
  EXPECT_EQ(columns, 50);
  EXPECT_EQ(rows, 12);
  pty.SetSize(70, 20);
  session.Size(columns, rows);
  EXPECT_EQ(columns, 70);
  EXPECT_EQ(rows, 20);
}

TEST(TerminalSessionOpen, StandardInputThatIsNotATerminalFails) {
  // The test runner's standard input may or may not be a terminal; with a
  // pipe as standard input the check must fail with ENOTTY.
  int fds[2];
  ASSERT_EQ(pipe(fds), 0);
  const int savedStdin = dup(STDIN_FILENO);
  dup2(fds[0], STDIN_FILENO);
  TerminalSession session;  // requires terminals on standard input and output
  uint32_t error = 0;
  const bool opened = session.Open(error);
  dup2(savedStdin, STDIN_FILENO);
  close(savedStdin);
  close(fds[0]);
  close(fds[1]);
  EXPECT_FALSE(opened);
  EXPECT_EQ(error, static_cast<uint32_t>(ENOTTY));
  EXPECT_FALSE(session.IsOpen());
}

}  // namespace
}  // namespace kelm::port
