// Every way a process can end gives the terminal back: exit(), an uncaught
// exception, a crash, an abort, a second quit signal. Each case runs in a
// child process (a death test) on a pseudo-terminal whose other side this
// test reads. The pseudo-terminal's reader starts after the child ended, so
// that each fork copies a process of one thread; and each child ends itself
// by SIGALRM if it ever hangs, which fails its test at once instead of
// holding the suite until its time-out.
#include <gtest/gtest.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdlib>
#include <stdexcept>
#include <string>
#include <thread>

#include "engine/port/terminal/terminal_modes.h"
#include "engine/port/terminal/terminal_session.h"
#include "engine/port/terminal/terminal_signals.h"
#include "terminal_pty.h"

namespace kelm::port {
namespace {

using testing::PtyTerminal;

class TerminalExitPaths : public ::testing::Test {
 protected:
  void SetUp() override {
    GTEST_FLAG_SET(death_test_style, "fast");
    original = pty.Settings();
  }

  // In the child: a session with the process-wide signal handling, in the
  // alternate screen with the mouse on.
  void EnterSession() {
    alarm(kChildSeconds);
    TerminalSessionOptions options;
    options.fd = pty.TerminalFd();
    options.requireStdioTerminals = false;
    options.handleSignals = true;
    session = new TerminalSession(options);  // never destroyed: the process ends
    uint32_t error = 0;
    if (!session->Open(error)) std::_Exit(90);
    session->Enter(kModeAlternateScreen);
    session->Enter(kModeMouse);
  }

  // In the parent, after the child ended: the restore string came after the
  // modes and the line settings are back.
  void ExpectRestored() {
    ModeStack modes;
    modes.Push(kModeAlternateScreen);
    modes.Push(kModeMouse);
    const std::string enter = std::string(kModeAlternateScreen.enter) + kModeMouse.enter;
    const size_t entered = pty.WaitForOutput(enter);
    ASSERT_NE(entered, std::string::npos) << pty.Output();
    EXPECT_NE(pty.WaitForOutput(modes.RestoreString(), entered), std::string::npos) << pty.Output();
    const termios now = pty.Settings();
    EXPECT_EQ(now.c_lflag, original.c_lflag);
    EXPECT_EQ(now.c_iflag, original.c_iflag);
    EXPECT_EQ(now.c_oflag, original.c_oflag);
  }

  static constexpr unsigned kChildSeconds = 30;

  PtyTerminal pty{40, 10, PtyTerminal::ReadFrom::FirstUse};
  termios original{};
  TerminalSession* session = nullptr;
};

TEST_F(TerminalExitPaths, ExitRestores) {
  EXPECT_EXIT(
      {
        EnterSession();
        std::exit(3);
      },
      ::testing::ExitedWithCode(3), "");
  ExpectRestored();
}

TEST_F(TerminalExitPaths, UncaughtExceptionRestores) {
  EXPECT_DEATH(
      {
        EnterSession();
        // Escapes the thread's function: std::terminate.
        std::thread([] { throw std::runtime_error("unexpected"); }).join();
      },
      "");
  ExpectRestored();
}

TEST_F(TerminalExitPaths, SegmentationFaultRestoresAndDiesByTheSignal) {
  EXPECT_EXIT(
      {
        EnterSession();
        raise(SIGSEGV);
      },
      ::testing::KilledBySignal(SIGSEGV), "");
  ExpectRestored();
}

TEST_F(TerminalExitPaths, AbortRestoresAndDiesByTheSignal) {
  EXPECT_EXIT(
      {
        EnterSession();
        std::abort();
      },
      ::testing::KilledBySignal(SIGABRT), "");
  ExpectRestored();
}

TEST_F(TerminalExitPaths, FirstQuitSignalAsksSecondEndsAtOnce) {
  EXPECT_EXIT(
      {
        EnterSession();
        raise(SIGTERM);
        // The first one only asks the frame loop to end.
        if (terminal_signals::QuitSignal() != SIGTERM) std::_Exit(91);
        raise(SIGTERM);
        std::_Exit(92);  // not reached
      },
      ::testing::KilledBySignal(SIGTERM), "");
  ExpectRestored();
}

TEST_F(TerminalExitPaths, NormalCloseDisarmsTheEmergencyRestore) {
  // Closed first, then exit: the restore string is written once only.
  EXPECT_EXIT(
      {
        EnterSession();
        session->Close();
        std::exit(0);
      },
      ::testing::ExitedWithCode(0), "");
  ExpectRestored();
  ModeStack modes;
  modes.Push(kModeAlternateScreen);
  modes.Push(kModeMouse);
  const std::string out = pty.Output();
  const size_t first = out.find(modes.RestoreString());
  EXPECT_EQ(out.find(modes.RestoreString(), first + 1), std::string::npos);
}

}  // namespace
}  // namespace kelm::port
