// The real program on piped input, in tmux: `printf ... | kelmhex`,
// `kelmhex -` fed slowly through a FIFO (bytes and the size show as they
// come, then the end), and 2 GiB streamed through with private memory
// flat and the last bytes exact.
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <string>

#include "tests/e2e/viewer_on_tmux.h"
#include "tests/support/process_memory.h"

namespace kelm::e2e {
namespace {

class PipeEndToEnd : public ViewerOnTmux {
 protected:
  PipeEndToEnd() : ViewerOnTmux("kelmhex-pipe-e2e-") {}

  // `script` run by sh in tmux; "$KELMHEX" names the program.
  void RunShell(const std::string& script) {
#ifdef KELMHEX_BINARY
    TmuxTerminal::Options options;
    options.workingDirectory = directory.string();
    options.env["KELMHEX"] = KELMHEX_BINARY;
    terminal = std::make_unique<TmuxTerminal>(std::vector<std::string>{"sh", "-c", script}, options);
    ASSERT_TRUE(terminal->Started()) << terminal->Error();
#else
    (void)script;
#endif
  }

  // The viewer's process among the pane's descendants, 0 when not found.
  int ViewerPid() {
    std::vector<int> pending = {terminal->PanePid()};
    while (!pending.empty()) {
      const int pid = pending.back();
      pending.pop_back();
      std::ifstream comm("/proc/" + std::to_string(pid) + "/comm");
      std::string name;
      std::getline(comm, name);
      if (name == "kelmhex") return pid;
      for (int child : TmuxTerminal::ChildrenOf(pid)) pending.push_back(child);
    }
    return 0;
  }
};

TEST_F(PipeEndToEnd, PrintfIntoThePipeShowsTheBytesAndTheEnd) {
  RunShell("printf 'Hello, pipe!\\001' | \"$KELMHEX\"");
  ASSERT_TRUE(terminal->WaitForText("0000000000000000| 48 65 6C 6C 6F 2C 20 70 69 70 65 21 01")) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("input: ended, 13 bytes")) << terminal->ScreenText();
  // Keys come from the terminal: a click selects, q quits.
  terminal->Click(HexX(0), kFirstGridRow);
  ASSERT_TRUE(terminal->WaitForText("len: 0000000000000001 1  dec: 72")) << terminal->ScreenText();
  terminal->SendText("q");
  ASSERT_TRUE(terminal->WaitForExit());
  EXPECT_EQ(terminal->ExitStatus(), 0);
}

TEST_F(PipeEndToEnd, DashReadsAFifoFedSlowlyAndReloadSaysWhyNot) {
  const std::string fifo = (directory / "feed").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  RunShell("exec \"$KELMHEX\" - < feed");
  // Opens once the shell opened its end.
  const int feed = open(fifo.c_str(), O_WRONLY | O_CLOEXEC);
  ASSERT_GE(feed, 0);
  ASSERT_TRUE(terminal->WaitForText("input: arriving, 0 bytes so far")) << terminal->ScreenText();
  ASSERT_EQ(write(feed, "ABCD", 4), 4);
  ASSERT_TRUE(terminal->WaitForText("0000000000000000| 41 42 43 44 ")) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("input: arriving, 4 bytes so far")) << terminal->ScreenText();
  ASSERT_EQ(write(feed, std::string(40, 'z').data(), 40), 40);
  ASSERT_TRUE(terminal->WaitForText("input: arriving, 44 bytes so far")) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("0000000000000014| 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A 7A"))
      << terminal->ScreenText();
  terminal->SendKeys({"C-r"});
  ASSERT_TRUE(terminal->WaitForText("Reload needs a file")) << terminal->ScreenText();
  terminal->SendKeys({"Escape"});
  ASSERT_TRUE(terminal->WaitForTextGone("Reload needs a file")) << terminal->ScreenText();
  close(feed);
  ASSERT_TRUE(terminal->WaitForText("input: ended, 44 bytes")) << terminal->ScreenText();
  terminal->SendText("q");
  ASSERT_TRUE(terminal->WaitForExit());
  EXPECT_EQ(terminal->ExitStatus(), 0);
}

TEST_F(PipeEndToEnd, DashOnATerminalOrAClosedInputIsRefusedAndWithoutATerminalTheSetupFailureStands) {
#ifdef KELMHEX_BINARY
  RunShell("\"$KELMHEX\" -; echo \"exit status $?\"; read wait");
  ASSERT_TRUE(terminal->WaitForText("exit status 1")) << terminal->ScreenText();
  EXPECT_NE(terminal->ScreenText().find("standard input is a terminal, not data"), std::string::npos)
      << terminal->ScreenText();

  RunShell("\"$KELMHEX\" <&-; echo \"exit status $?\"; read wait");
  ASSERT_TRUE(terminal->WaitForText("exit status 1")) << terminal->ScreenText();
  EXPECT_NE(terminal->ScreenText().find("standard input is closed"), std::string::npos) << terminal->ScreenText();

  // Piped input with no terminal for the keys (nor for the screen).
  const ProgramRun run = RunWithoutTerminal({KELMHEX_BINARY, "-"}, "/dev/null");
  EXPECT_EQ(run.output, "FATAL ERROR IN SETTING UP CONSOLE. Code: 25");
  EXPECT_EQ(run.exitStatus, 1);
#endif
}

// Under the sanitizers the allocator keeps freed blocks in quarantine and
// adds its own bookkeeping, so private memory measures the sanitizer, not
// the viewer: the bound is checked in the ordinary build, and the bytes in
// both.
#ifdef KELMHEX_SANITIZED
constexpr bool kMemoryMeasured = false;
#else
constexpr bool kMemoryMeasured = true;
#endif

// 2 GiB of 32-byte lines: 20 bytes per row at 120 columns, so the last row
// holds the last 8 bytes, "89abcde\n", at offset 0x7FFFFFF8.
TEST_F(PipeEndToEnd, TwoGibibytesStreamThroughWithPrivateMemoryFlat) {
  RunShell("yes 0123456789abcdef0123456789abcde | head -c 2147483648 | \"$KELMHEX\"");
  ASSERT_TRUE(terminal->WaitForText("input: arriving")) << terminal->ScreenText();
  const int pid = ViewerPid();
  ASSERT_NE(pid, 0);
  // The first sample once the viewer runs with the stream under way.
  const int64_t early = process_memory::RssAnonKiB(std::to_string(pid));
  ASSERT_GT(early, 0);
  int64_t highest = early;
  ASSERT_TRUE(TmuxTerminal::WaitUntil(
      [&] {
        highest = std::max(highest, process_memory::RssAnonKiB(std::to_string(pid)));
        for (const std::string& row : terminal->Screen()) {
          if (row.find("input: ended, 2147483648 bytes") != std::string::npos) return true;
        }
        return false;
      },
      600000))
      << terminal->ScreenText();
  terminal->SendKeys({"End"});
  ASSERT_TRUE(terminal->WaitForText("000000007FFFFFF8| 38 39 61 62 63 64 65 0A ")) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("|8 9 a b c d e .")) << terminal->ScreenText();
  highest = std::max(highest, process_memory::RssAnonKiB(std::to_string(pid)));
  if (kMemoryMeasured) {
    EXPECT_LT(highest - early, 1024) << "RssAnon grew from " << early << " KiB to " << highest << " KiB";
  }
  terminal->SendText("q");
  ASSERT_TRUE(terminal->WaitForExit());
  EXPECT_EQ(terminal->ExitStatus(), 0);
}

}  // namespace
}  // namespace kelm::e2e
