// The real program in a real terminal emulator (tmux): what its screen shows,
// keys and mouse clicks reaching it, quitting, and the terminal given back as
// it was found on every way out (quit key, signals, crash, suspend).
#include <gtest/gtest.h>
#include <signal.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "tmux_terminal.h"

namespace kelm::e2e {
namespace {

constexpr const char* kBinary = KELMHEX_BINARY;

// Runs the program on FILE in a shell that, once it ended, prints its exit
// status and the terminal's line settings, so the test can see both, and then
// stays (a dead pane is changed by tmux itself: it hides the cursor and
// scrolls for its "Pane is dead" line).
const char* kReportAfterExit =
    "\"$0\" \"$@\"; status=$?; printf 'exit=%s\\n' \"$status\"; "
    "printf 'settings: '; "
    "stty -a | tr -s ' ;' '\\n\\n' | grep -E '^-?(icanon|echo|isig|ixon|icrnl|opost|iexten)$' | tr '\\n' ' '; "
    "echo; echo done; exec sleep 100000";

class TerminalEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TmuxTerminal::Available()) GTEST_SKIP() << "tmux is not installed";
    char pattern[] = "/tmp/kelmhex-e2e-XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    file = pattern;
    std::string bytes(1234, '\0');
    for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<char>(i * 7);
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
  }
  void TearDown() override {
    if (!file.empty()) unlink(file.c_str());
  }

  // The program in a shell that reports how it ended.
  std::unique_ptr<TmuxTerminal> StartReported() {
    auto term = std::make_unique<TmuxTerminal>(std::vector<std::string>{"sh", "-c", kReportAfterExit, kBinary, file});
    EXPECT_TRUE(term->Started()) << term->Error();
    return term;
  }

  // The program's process (the child of the reporting shell).
  static int ProgramPid(TmuxTerminal& term) {
    int pid = 0;
    TmuxTerminal::WaitUntil([&] {
      const std::vector<int> children = TmuxTerminal::ChildrenOf(term.PanePid());
      if (children.empty()) return false;
      pid = children.front();
      return true;
    });
    return pid;
  }

  // Everything the program switched on is off again, and the line settings
  // are the shell's again.
  static void ExpectRestored(TmuxTerminal& term) {
    ASSERT_TRUE(term.WaitForText("done"));
    EXPECT_EQ(term.Format("#{alternate_on}"), "0") << "back on the main screen";
    EXPECT_EQ(term.Format("#{mouse_any_flag}"), "0") << "mouse reports off";
    EXPECT_EQ(term.Format("#{mouse_all_flag}"), "0");
    EXPECT_EQ(term.Format("#{mouse_sgr_flag}"), "0");
    EXPECT_EQ(term.Format("#{cursor_flag}"), "1") << "cursor shown";
    EXPECT_EQ(term.Format("#{wrap_flag}"), "1") << "autowrap on";
    const std::string screen = term.ScreenText();
    const size_t line = screen.find("settings: ");
    ASSERT_NE(line, std::string::npos) << screen;
    // Each setting on (named without a '-' in front).
    const std::string settings = " " + screen.substr(line + 10, screen.find('\n', line) - line - 10) + " ";
    for (const char* setting : {"icanon", "echo", "isig", "ixon", "icrnl", "opost", "iexten"}) {
      EXPECT_NE(settings.find(std::string(" ") + setting + " "), std::string::npos) << settings;
    }
    EXPECT_EQ(screen.find("kelmhex"), std::string::npos) << "the program's screen is gone:\n" << screen;
  }

  std::string file;
};

// --- what the screen shows, what reaches the program ------------------------------

TEST_F(TerminalEndToEnd, ShowsTheFileAndItsSizeOnTheAlternateScreen) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.Started()) << term.Error();
  ASSERT_TRUE(term.WaitForText("(1234 bytes)")) << term.ScreenText();
  EXPECT_TRUE(term.WaitForText("Screen: 119x30")) << "the rightmost column is never drawn";
  EXPECT_EQ(term.Format("#{alternate_on}"), "1");
  EXPECT_EQ(term.Format("#{cursor_flag}"), "0");
  EXPECT_EQ(term.Format("#{mouse_any_flag}"), "1");
  EXPECT_EQ(term.Format("#{mouse_sgr_flag}"), "1");
  EXPECT_EQ(term.Format("#{pane_title}").rfind("KelmHex Viewer - ", 0), 0u);
}

TEST_F(TerminalEndToEnd, KeysArrive) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.WaitForText("Key: none"));
  term.SendText("a");
  EXPECT_TRUE(term.WaitForText("Key: vk=0x41 ch=U+0061 state=0x0000 'a'")) << term.ScreenText();
  term.SendBytes("\x1b[1;5C");  // Ctrl+Right, xterm form
  EXPECT_TRUE(term.WaitForText("Key: vk=0x27 ch=U+0000 state=0x0108")) << term.ScreenText();
  term.SendBytes("\x1bOQ");  // F2 in its SS3 form
  EXPECT_TRUE(term.WaitForText("Key: vk=0x71")) << term.ScreenText();
  term.SendBytes("\x13");  // Ctrl+S: no flow control in raw mode
  EXPECT_TRUE(term.WaitForText("Key: vk=0x53 ch=U+0013 state=0x0008")) << term.ScreenText();
  term.SendBytes("\x03");  // Ctrl+C: a key, not a signal
  EXPECT_TRUE(term.WaitForText("Key: vk=0x43 ch=U+0003 state=0x0008")) << term.ScreenText();
  EXPECT_FALSE(term.PaneDead());
}

TEST_F(TerminalEndToEnd, EscapeAloneArrivesAfterItsTimeOut) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.WaitForText("Key: none"));
  term.SendBytes("\x1b");
  EXPECT_TRUE(term.WaitForText("Key: vk=0x1B ch=U+001B state=0x0000")) << term.ScreenText();
}

TEST_F(TerminalEndToEnd, MouseMovesAndClicksArrive) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.WaitForText("Mouse: 0,0"));
  term.MoveMouse(30, 12);
  EXPECT_TRUE(term.WaitForText("Mouse: 30,12 buttons=00000")) << term.ScreenText();
  term.Click(10, 5);
  EXPECT_TRUE(term.WaitForText("Click: left at 10,5")) << term.ScreenText();
  term.Press(40, 20, 2);
  EXPECT_TRUE(term.WaitForText("Click: right at 40,20")) << term.ScreenText();
  EXPECT_TRUE(term.WaitForText("buttons=01000")) << "the right button is held";
  term.Release(40, 20, 2);
  EXPECT_TRUE(term.WaitForText("Mouse: 40,20 buttons=00000")) << term.ScreenText();
}

TEST_F(TerminalEndToEnd, FollowsAResizeOfTheWindow) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.WaitForText("Screen: 119x30"));
  term.Resize(80, 20);
  EXPECT_TRUE(term.WaitForText("Screen: 79x20")) << term.ScreenText();
  EXPECT_TRUE(term.WaitForText("(1234 bytes)")) << "redrawn at the new size";
}

// --- quitting and giving the terminal back -----------------------------------------------

TEST_F(TerminalEndToEnd, QKeyQuitsAndRestoresTheTerminal) {
  auto term = StartReported();
  ASSERT_TRUE(term->WaitForText("(1234 bytes)"));
  term->SendText("q");
  ASSERT_TRUE(term->WaitForText("exit=0")) << term->ScreenText();
  ExpectRestored(*term);
}

TEST_F(TerminalEndToEnd, F10QuitsAndRestoresTheTerminal) {
  auto term = StartReported();
  ASSERT_TRUE(term->WaitForText("(1234 bytes)"));
  term->SendBytes("\x1b[21~");
  ASSERT_TRUE(term->WaitForText("exit=0")) << term->ScreenText();
  ExpectRestored(*term);
}

TEST_F(TerminalEndToEnd, ExitStatusIsZeroAfterQuitting) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.WaitForText("(1234 bytes)"));
  term.SendText("q");
  ASSERT_TRUE(term.WaitForExit());
  EXPECT_EQ(term.ExitStatus(), 0);
}

struct SignalCase {
  int signal;
  int status;  // as the shell reports it
};

class TerminalSignalEndToEnd : public TerminalEndToEnd, public ::testing::WithParamInterface<SignalCase> {};

TEST_P(TerminalSignalEndToEnd, SignalEndsTheProgramAndRestoresTheTerminal) {
  auto term = StartReported();
  ASSERT_TRUE(term->WaitForText("(1234 bytes)"));
  const int pid = ProgramPid(*term);
  ASSERT_GT(pid, 0);
  ASSERT_EQ(kill(pid, GetParam().signal), 0);
  ASSERT_TRUE(term->WaitForText("exit=" + std::to_string(GetParam().status))) << term->ScreenText();
  ExpectRestored(*term);
}

// Quit signals end the frame loop (status 128 + signal); crashes restore in
// the handler and die by the signal (the shell reports 128 + signal too).
INSTANTIATE_TEST_SUITE_P(Signals, TerminalSignalEndToEnd,
                         ::testing::Values(SignalCase{SIGTERM, 143}, SignalCase{SIGHUP, 129},
                                           SignalCase{SIGINT, 130}, SignalCase{SIGQUIT, 131},
                                           SignalCase{SIGSEGV, 139}, SignalCase{SIGABRT, 134},
                                           SignalCase{SIGBUS, 135}),
                         [](const ::testing::TestParamInfo<SignalCase>& param) {
                           return std::string(sigabbrev_np(param.param.signal));
                         });

TEST_F(TerminalEndToEnd, CtrlZSuspendsAndFgResumesWithAFullRedraw) {
  TmuxTerminal::Options options;
  options.env["PS1"] = "prompt$ ";
  options.env["HISTFILE"] = "/dev/null";
  TmuxTerminal term({"bash", "--norc", "--noprofile", "-i"}, options);
  ASSERT_TRUE(term.Started()) << term.Error();
  ASSERT_TRUE(term.WaitForText("prompt$"));
  term.SendText(std::string("'") + kBinary + "' '" + file + "'");
  term.SendKeys({"Enter"});
  ASSERT_TRUE(term.WaitForText("(1234 bytes)")) << term.ScreenText();
  term.SendText("x");
  ASSERT_TRUE(term.WaitForText("'x'"));

  term.SendBytes("\x1a");  // Ctrl+Z
  ASSERT_TRUE(term.WaitForText("Stopped")) << term.ScreenText();
  EXPECT_TRUE(term.WaitUntil([&] { return term.Format("#{alternate_on}") == "0"; }));
  EXPECT_EQ(term.Format("#{mouse_any_flag}"), "0");
  EXPECT_EQ(term.Format("#{cursor_flag}"), "1");
  term.SendText("stty -a | grep -o -- '-icanon' ; echo checked");
  term.SendKeys({"Enter"});
  ASSERT_TRUE(term.WaitForText("checked")) << term.ScreenText();
  EXPECT_EQ(term.ScreenText().find("-icanon\n"), std::string::npos) << "line mode is back while stopped";

  term.SendText("fg");
  term.SendKeys({"Enter"});
  ASSERT_TRUE(term.WaitForText("(1234 bytes)")) << term.ScreenText();
  EXPECT_TRUE(term.WaitForText("Press q or F10 to quit.")) << "everything drawn again";
  EXPECT_EQ(term.Format("#{alternate_on}"), "1");
  EXPECT_EQ(term.Format("#{mouse_any_flag}"), "1");
  term.SendText("b");
  EXPECT_TRUE(term.WaitForText("'b'")) << "keys arrive after resuming";

  term.SendText("q");
  ASSERT_TRUE(term.WaitForText("prompt$")) << term.ScreenText();
  EXPECT_EQ(term.Format("#{alternate_on}"), "0");
  EXPECT_EQ(term.Format("#{mouse_any_flag}"), "0");
}

// --- not a terminal -------------------------------------------------------------------------

TEST(TerminalSetupFailure, StandardInputThatIsNotATerminalGivesTheMessageAndAFailureStatus) {
  const ProgramRun run = RunWithoutTerminal({kBinary, "/dev/null"}, "/dev/null");
  EXPECT_EQ(run.output, "FATAL ERROR IN SETTING UP CONSOLE. Code: 25");
  EXPECT_NE(run.exitStatus, 0);
  EXPECT_NE(run.exitStatus, -1) << "it exits by itself";
  EXPECT_EQ(run.output.find('\x1b'), std::string::npos) << "no escape sequence reaches a non-terminal";
}

}  // namespace
}  // namespace kelm::e2e
