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

#include "engine/port/utf.h"
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

// The file's bytes are i * 7: the first row of the grid begins so.
constexpr const char* kFirstRow = "0000000000000000| 00 07 0E 15 1C 23 2A 31";

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

  // The program started from an interactive shell with job control, showing
  // its first row; null (with the failure recorded) when it did not get there.
  std::unique_ptr<TmuxTerminal> StartFromShell() {
    TmuxTerminal::Options options;
    options.env["PS1"] = "prompt$ ";
    options.env["HISTFILE"] = "/dev/null";
    auto term = std::make_unique<TmuxTerminal>(std::vector<std::string>{"bash", "--norc", "--noprofile", "-i"}, options);
    if (!term->Started()) {
      ADD_FAILURE() << term->Error();
      return nullptr;
    }
    if (!term->WaitForText("prompt$")) {
      ADD_FAILURE() << "no prompt: " << term->ScreenText();
      return nullptr;
    }
    term->SendText(std::string("'") + kBinary + "' '" + file + "'");
    term->SendKeys({"Enter"});
    if (!term->WaitForText(kFirstRow)) {
      ADD_FAILURE() << term->ScreenText();
      return nullptr;
    }
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
    EXPECT_EQ(screen.find("0000000000000000|"), std::string::npos) << "the program's screen is gone:\n" << screen;
  }

  std::string file;
};

// --- what the screen shows, what reaches the program ------------------------------

// The screen cell of byte `index` of the grid's first row (offset column of
// 16 digits and '|', then "XX " per byte), found on the screen.
bool ByteCell(TmuxTerminal& term, int index, int& column, int& row) {
  const std::vector<std::string> rows = term.Screen();
  for (size_t r = 0; r < rows.size(); ++r) {
    if (rows[r].rfind("0000000000000000|", 0) == 0) {
      column = 18 + 3 * index;
      row = static_cast<int>(r);
      return true;
    }
  }
  return false;
}

TEST_F(TerminalEndToEnd, ShowsTheFileOnTheAlternateScreen) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.Started()) << term.Error();
  ASSERT_TRUE(term.WaitForText(kFirstRow)) << term.ScreenText();
  EXPECT_EQ(term.Format("#{alternate_on}"), "1");
  EXPECT_EQ(term.Format("#{cursor_flag}"), "0");
  EXPECT_EQ(term.Format("#{mouse_any_flag}"), "1");
  EXPECT_EQ(term.Format("#{mouse_sgr_flag}"), "1");
  EXPECT_EQ(term.Format("#{pane_title}").rfind("KelmHex Viewer - ", 0), 0u) << term.Format("#{pane_title}");
  // The rightmost column is never drawn (the file map's thumb is one
  // character of three UTF-8 bytes).
  for (const std::string& row : term.Screen()) EXPECT_LT(kelm::port::FromUtf8(row).size(), 120u) << row;
}

TEST_F(TerminalEndToEnd, AClickSelectsAByteAndKeysMoveTheSelection) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.WaitForText(kFirstRow)) << term.ScreenText();
  int column = 0;
  int row = 0;
  ASSERT_TRUE(ByteCell(term, 3, column, row));
  term.Click(column, row);
  ASSERT_TRUE(term.WaitForText("0000000000000003  len: 0000000000000001")) << term.ScreenText();
  term.SendBytes("\x1b[C");  // Right, CSI form
  EXPECT_TRUE(term.WaitForText("0000000000000004  len:")) << term.ScreenText();
  term.SendBytes("\x1bOC");  // Right, SS3 form
  EXPECT_TRUE(term.WaitForText("0000000000000005  len:")) << term.ScreenText();
  term.SendBytes("\x1b[1;5C");  // Ctrl+Right: by the selection's length
  EXPECT_TRUE(term.WaitForText("0000000000000006  len:")) << term.ScreenText();
  term.SendBytes("\x01");  // Ctrl+A: the whole file (1234 bytes)
  EXPECT_TRUE(term.WaitForText("len: 00000000000004D2")) << term.ScreenText();
  EXPECT_FALSE(term.PaneDead());
}

TEST_F(TerminalEndToEnd, NavigationKeysInTheirTmuxForms) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.WaitForText(kFirstRow)) << term.ScreenText();
  // End as tmux sends it (CSI 4 ~): the last row (offset 1220 = 0x4C4) on top.
  term.SendBytes("\x1b[4~");
  ASSERT_TRUE(term.WaitForText("00000000000004C4|")) << term.ScreenText();
  EXPECT_TRUE(term.WaitForTextGone(kFirstRow));
  term.SendBytes("\x1b[1~");  // Home
  EXPECT_TRUE(term.WaitForText(kFirstRow)) << term.ScreenText();
  term.SendBytes("\x1b[1;5B");  // Ctrl+Down scrolls one row
  EXPECT_TRUE(term.WaitForTextGone(kFirstRow)) << term.ScreenText();
}

TEST_F(TerminalEndToEnd, EscapeAloneClosesAMenuAfterItsTimeOut) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.WaitForText("[ File ]")) << term.ScreenText();
  const std::vector<std::string> rows = term.Screen();
  const int fileColumn = static_cast<int>(rows[0].find("[ File ]")) + 2;
  term.Click(fileColumn, 0);
  ASSERT_TRUE(term.WaitForText("Open With")) << term.ScreenText();
  term.SendBytes("\x1b");
  EXPECT_TRUE(term.WaitForTextGone("Open With")) << term.ScreenText();
}

TEST_F(TerminalEndToEnd, FollowsAResizeOfTheWindow) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.WaitForText(kFirstRow));
  ASSERT_TRUE(term.WaitForText("0000000000000014|")) << "20 bytes a row at 120 columns";
  term.Resize(80, 20);
  EXPECT_TRUE(term.WaitForTextGone("0000000000000014|")) << term.ScreenText();
  EXPECT_TRUE(term.WaitForText("0000000000000000|")) << "redrawn at the new size";
  for (const std::string& row : term.Screen()) EXPECT_LT(kelm::port::FromUtf8(row).size(), 80u) << row;
}

// --- quitting and giving the terminal back -----------------------------------------------

TEST_F(TerminalEndToEnd, QKeyQuitsAndRestoresTheTerminal) {
  auto term = StartReported();
  ASSERT_TRUE(term->WaitForText(kFirstRow)) << term->ScreenText();
  term->SendText("q");
  ASSERT_TRUE(term->WaitForText("exit=0")) << term->ScreenText();
  ExpectRestored(*term);
}

TEST_F(TerminalEndToEnd, F10QuitsAndRestoresTheTerminal) {
  auto term = StartReported();
  ASSERT_TRUE(term->WaitForText(kFirstRow)) << term->ScreenText();
  term->SendBytes("\x1b[21~");
  ASSERT_TRUE(term->WaitForText("exit=0")) << term->ScreenText();
  ExpectRestored(*term);
}

TEST_F(TerminalEndToEnd, ExitStatusIsZeroAfterQuitting) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.WaitForText(kFirstRow)) << term.ScreenText();
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
  ASSERT_TRUE(term->WaitForText(kFirstRow)) << term->ScreenText();
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
  std::unique_ptr<TmuxTerminal> shell = StartFromShell();
  ASSERT_TRUE(shell) << "the viewer did not start from the shell";
  TmuxTerminal& term = *shell;
  int column = 0;
  int row = 0;
  ASSERT_TRUE(ByteCell(term, 2, column, row));
  term.Click(column, row);
  ASSERT_TRUE(term.WaitForText("0000000000000002  len:")) << term.ScreenText();

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
  ASSERT_TRUE(term.WaitForText(kFirstRow)) << term.ScreenText();
  EXPECT_TRUE(term.WaitForText("0000000000000002  len:")) << "everything drawn again";
  EXPECT_EQ(term.Format("#{alternate_on}"), "1");
  EXPECT_EQ(term.Format("#{mouse_any_flag}"), "1");
  term.SendBytes("\x1b[C");
  EXPECT_TRUE(term.WaitForText("0000000000000003  len:")) << "keys arrive after resuming";

  term.SendText("q");
  ASSERT_TRUE(term.WaitForText("prompt$")) << term.ScreenText();
  EXPECT_EQ(term.Format("#{alternate_on}"), "0");
  EXPECT_EQ(term.Format("#{mouse_any_flag}"), "0");
}

TEST_F(TerminalEndToEnd, StoppedAndContinuedFromOutsideDrawsEverythingAgain) {
  auto term = StartReported();
  ASSERT_TRUE(term->WaitForText(kFirstRow)) << term->ScreenText();
  const int pid = ProgramPid(*term);
  ASSERT_GT(pid, 0);
  ASSERT_EQ(kill(pid, SIGSTOP), 0);
  // While it is stopped, reset the terminal behind its back (screen cleared,
  // modes off), as a shell or another program may do.
  term->Tmux({"send-keys", "-R", "-t", "e2e"});
  ASSERT_TRUE(term->WaitForTextGone(kFirstRow));
  ASSERT_EQ(kill(pid, SIGCONT), 0);
  EXPECT_TRUE(term->WaitForText(kFirstRow)) << term->ScreenText();
  EXPECT_TRUE(term->WaitForText("[ File ]")) << "the whole screen is drawn again";
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return term->Format("#{mouse_any_flag}") == "1"; }))
      << "the modes are on again";
  EXPECT_EQ(term->Format("#{alternate_on}"), "1");
  term->SendText("q");
  ASSERT_TRUE(term->WaitForText("exit=0")) << term->ScreenText();
  ExpectRestored(*term);
}

TEST_F(TerminalEndToEnd, SigtstpFromOutsideSuspendsLikeCtrlZ) {
  std::unique_ptr<TmuxTerminal> shell = StartFromShell();
  ASSERT_TRUE(shell) << "the viewer did not start from the shell";
  TmuxTerminal& term = *shell;
  std::vector<int> children;
  ASSERT_TRUE(TmuxTerminal::WaitUntil([&] {
    children = TmuxTerminal::ChildrenOf(term.PanePid());
    return !children.empty();
  }));
  ASSERT_EQ(kill(children.front(), SIGTSTP), 0);
  ASSERT_TRUE(term.WaitForText("Stopped")) << term.ScreenText();
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return term.Format("#{alternate_on}") == "0"; }));
  EXPECT_EQ(term.Format("#{mouse_any_flag}"), "0");
  term.SendText("fg");
  term.SendKeys({"Enter"});
  ASSERT_TRUE(term.WaitForText(kFirstRow)) << term.ScreenText();
  EXPECT_EQ(term.Format("#{mouse_any_flag}"), "1");
  term.SendText("q");
  ASSERT_TRUE(term.WaitForText("prompt$")) << term.ScreenText();
  EXPECT_EQ(term.Format("#{alternate_on}"), "0");
}

// The state letter of /proc/PID/stat ('T' while stopped), or 0.
char ProcessState(int pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string line;
  std::getline(stat, line);
  const size_t paren = line.rfind(')');
  return paren != std::string::npos && paren + 2 < line.size() ? line[paren + 2] : '\0';
}

// A suspend is never lost, whatever came just before it: a hundred stops,
// by turns Ctrl+Z right behind a click and SIGTSTP from outside after a click
// and a key, each resumed with fg and drawn again whole.
TEST_F(TerminalEndToEnd, AHundredSuspendsBetweenClicksAndKeysAllStopAndResume) {
  std::unique_ptr<TmuxTerminal> shell = StartFromShell();
  ASSERT_TRUE(shell) << "the viewer did not start from the shell";
  TmuxTerminal& term = *shell;
  int pid = 0;
  ASSERT_TRUE(TmuxTerminal::WaitUntil([&] {
    const std::vector<int> children = TmuxTerminal::ChildrenOf(term.PanePid());
    pid = children.empty() ? 0 : children.front();
    return pid != 0;
  }));
  int column = 0;
  int row = 0;
  ASSERT_TRUE(ByteCell(term, 0, column, row));
  // The selection's offset in the status row, for byte `index` (< 16).
  auto offsetShown = [](int index) { return std::string("000000000000000") + "0123456789ABCDEF"[index] + "  len:"; };

  for (int cycle = 0; cycle < 100; ++cycle) {
    const bool byKey = cycle % 2 == 0;
    // Ctrl+Z cycles select bytes 10-13, the others 1-8: a screen left from
    // the cycle before never passes for this one.
    int shown = 0;
    if (byKey) {
      shown = 10 + (cycle / 2) % 4;
      term.Click(column + 3 * shown, row);
      term.SendBytes("\x1a");  // at once behind the click
    } else {
      const int clicked = (cycle / 2) % 8;
      shown = clicked + 1;
      term.Click(column + 3 * clicked, row);
      term.SendBytes("\x1b[C");
      ASSERT_TRUE(term.WaitForText(offsetShown(shown))) << "cycle " << cycle << "\n" << term.ScreenText();
      ASSERT_EQ(kill(pid, SIGTSTP), 0);
    }
    ASSERT_TRUE(TmuxTerminal::WaitUntil([&] { return ProcessState(pid) == 'T'; }))
        << "cycle " << cycle << ": not stopped\n" << term.ScreenText();
    ASSERT_TRUE(TmuxTerminal::WaitUntil([&] { return term.Format("#{alternate_on}") == "0"; })) << "cycle " << cycle;
    EXPECT_EQ(term.Format("#{mouse_any_flag}"), "0") << "cycle " << cycle;
    term.SendText("fg");
    term.SendKeys({"Enter"});
    ASSERT_TRUE(TmuxTerminal::WaitUntil([&] { return term.Format("#{alternate_on}") == "1"; })) << "cycle " << cycle;
    ASSERT_TRUE(term.WaitForText(offsetShown(shown))) << "cycle " << cycle << ": drawn again\n" << term.ScreenText();
    ASSERT_TRUE(term.WaitForText(kFirstRow)) << "cycle " << cycle;
    EXPECT_EQ(term.Format("#{mouse_any_flag}"), "1") << "cycle " << cycle;
  }
  term.SendText("q");
  ASSERT_TRUE(term.WaitForText("prompt$")) << term.ScreenText();
  EXPECT_EQ(term.Format("#{alternate_on}"), "0");
}

// --- not a terminal -------------------------------------------------------------------------

TEST(TerminalSetupFailure, StandardInputThatIsNotATerminalGivesTheMessageAndAFailureStatus) {
  const ProgramRun run = RunWithoutTerminal({kBinary, "/dev/null"}, "/dev/null");
  EXPECT_EQ(run.output, "FATAL ERROR IN SETTING UP CONSOLE. Code: 25");
  EXPECT_NE(run.exitStatus, 0);
  EXPECT_NE(run.exitStatus, -1) << "it exits by itself";
  EXPECT_EQ(run.output.find('\x1b'), std::string::npos) << "no escape sequence reaches a non-terminal";
}

TEST(TerminalSetupFailure, WithoutAFileTheOpenDialogFailsTheSameWay) {
  // The open dialog comes before the engine runs: it must not wait for a
  // choice that can never be made.
  const ProgramRun run = RunWithoutTerminal({kBinary}, "/dev/null");
  EXPECT_EQ(run.output, "FATAL ERROR IN SETTING UP CONSOLE. Code: 25");
  EXPECT_NE(run.exitStatus, 0);
  EXPECT_NE(run.exitStatus, -1) << "it exits by itself";
}

}  // namespace
}  // namespace kelm::e2e
