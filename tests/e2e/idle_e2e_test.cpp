// The real program idling in tmux: how often its threads wake up while
// nothing on screen changes or another window has the focus (none at all),
// and while a focused field's caret blinks (twice a second). Counted from the scheduler's context switches of
// every thread over a stretch of time, which the measurement itself needs;
// every wait for the screen still polls it.
#include <dirent.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <string>
#include <thread>

#include "tmux_terminal.h"

namespace kelm::e2e {
namespace {

constexpr const char* kBinary = KELMHEX_BINARY;
constexpr auto kStretch = std::chrono::seconds(2);

// Times the threads of `pid` went to sleep and were woken (voluntary
// context switches), all threads together.
long Wakeups(int pid) {
  long total = 0;
  const std::string dir = "/proc/" + std::to_string(pid) + "/task";
  DIR* tasks = opendir(dir.c_str());
  if (tasks == nullptr) return -1;
  while (const dirent* entry = readdir(tasks)) {
    if (entry->d_name[0] == '.') continue;
    std::ifstream status(dir + "/" + entry->d_name + "/status");
    std::string line;
    while (std::getline(status, line)) {
      if (line.rfind("voluntary_ctxt_switches:", 0) == 0) total += std::stol(line.substr(line.find(':') + 1));
    }
  }
  closedir(tasks);
  return total;
}

long WakeupsOver(int pid) {
  const long before = Wakeups(pid);
  std::this_thread::sleep_for(kStretch);
  return Wakeups(pid) - before;
}

class IdleEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TmuxTerminal::Available()) GTEST_SKIP() << "tmux is not installed";
    char pattern[] = "/tmp/kelmhex-idle-XXXXXX";
    const int fd = mkstemp(pattern);
    ASSERT_GE(fd, 0);
    file = pattern;
    const std::string bytes(4096, 'k');
    ASSERT_EQ(write(fd, bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    close(fd);
  }
  void TearDown() override {
    if (!file.empty()) unlink(file.c_str());
  }
  std::string file;
};

TEST_F(IdleEndToEnd, AStillScreenSleepsAndABlinkingCaretWakesTwiceASecond) {
  TmuxTerminal term({kBinary, file});
  ASSERT_TRUE(term.Started()) << term.Error();
  ASSERT_TRUE(term.WaitForText("0000000000000000|")) << term.ScreenText();
  const int pid = term.PanePid();
  ASSERT_GT(pid, 0);
  // Start-up settles (the keyboard query's answer, the first frames).
  ASSERT_TRUE(term.WaitForText("[ File ]"));
  WakeupsOver(pid);

  EXPECT_LE(WakeupsOver(pid), 1) << "the plain view wakes up while nothing changes";

  // Another window has the focus: the loop waits for the focus-in report.
  term.SendBytes("\x1b[O");
  WakeupsOver(pid);
  EXPECT_LE(WakeupsOver(pid), 1) << "in the background the loop looks for the focus again and again";
  term.SendBytes("\x1b[I");

  term.SendBytes("\x04");  // Ctrl+D: the inspector panel
  ASSERT_TRUE(term.WaitForText("Characters")) << term.ScreenText();
  WakeupsOver(pid);
  EXPECT_LE(WakeupsOver(pid), 1) << "the inspector panel wakes up while nothing changes";
  term.SendBytes("\x04");
  ASSERT_TRUE(term.WaitForTextGone("Characters")) << term.ScreenText();

  term.SendBytes("\x07");  // Ctrl+G: the Seek form, its field focused
  ASSERT_TRUE(term.WaitForText("Seek")) << term.ScreenText();
  const long blinking = WakeupsOver(pid);
  // 2 s at a toggle every 500 ms: 4 wake-ups (one more for a toggle that
  // falls on the edge of the stretch).
  EXPECT_GE(blinking, 3);
  EXPECT_LE(blinking, 6);
}

}  // namespace
}  // namespace kelm::e2e
