// The terminal console's waits without a time-out (frames on demand): what
// ends them (input, a wake from another thread, a lone Esc's time-out), and
// looking for waiting input without reading it.
#include <gtest/gtest.h>

#include <thread>

#include "terminal_console_fixture.h"

namespace kelm::port {
namespace {

class TerminalWaitTest : public TerminalConsoleTest {
 protected:
  // A wait without a time-out, ended after 5 s at the latest by a watchdog
  // thread, so that a failing test does not hang. Yields its length in ms.
  long WaitForever() {
    std::atomic<bool> done{false};
    std::thread watchdog([&] {
      const auto start = Clock::now();
      while (!done.load() && ElapsedMs(start) < 5000) std::this_thread::sleep_for(std::chrono::milliseconds(5));
      if (!done.load()) console.WakeWaiter();
    });
    const auto start = Clock::now();
    console.WaitForInput(kWaitForever);
    const long elapsed = ElapsedMs(start);
    done.store(true);
    watchdog.join();
    return elapsed;
  }
};

TEST_F(TerminalWaitTest, AWakeFromAnotherThreadEndsTheWaitAndAnEarlierOneTheNextWait) {
  SetUpConsole();
  std::thread waker([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    console.WakeWaiter();
  });
  const long woken = WaitForever();
  waker.join();
  EXPECT_GE(woken, 90);
  EXPECT_LT(woken, 2000);
  // A wake that came before the wait: the wait ends at once, and only once.
  console.WakeWaiter();
  console.WakeWaiter();
  EXPECT_LT(WaitForever(), 1000);
  const auto start = Clock::now();
  console.WaitForInput(80);
  EXPECT_GE(ElapsedMs(start), 75) << "the wakes were used up by the wait before";
}

TEST_F(TerminalWaitTest, InputEndsAWaitWithoutATimeOut) {
  SetUpConsole();
  std::thread typist([&] {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    pty.Send("k");
  });
  const long waited = WaitForever();
  typist.join();
  EXPECT_LT(waited, 2000);
  EXPECT_EQ(KeyDowns(ReadRecords(2)).size(), 1u);
}

TEST_F(TerminalWaitTest, ALoneEscEndsAWaitWithoutATimeOutWhenItsTimeOutPassed) {
  SetUpConsole();
  pty.Send("\x1b");
  // Read but not yet decided: an Esc, or the start of a sequence.
  const auto start = Clock::now();
  while (!console.InputWaiting() && ElapsedMs(start) < 2000) {
  }
  EXPECT_EQ(console.PendingInputCount(), 0u);
  EXPECT_TRUE(console.InputWaiting()) << "an undecided Esc is a key on its way";
  EXPECT_LT(WaitForever(), 1000) << "the wait ends at the Esc time-out";
  const std::vector<std::pair<uint16_t, char16_t>> keys = KeyDowns(ReadRecords(2));
  ASSERT_EQ(keys.size(), 1u);
  EXPECT_EQ(keys[0].first, VK_ESCAPE);
}

TEST_F(TerminalWaitTest, WaitingInputIsSeenWithoutBeingRead) {
  SetUpConsole();
  EXPECT_FALSE(console.InputWaiting());
  pty.Send("xy");
  const auto start = Clock::now();
  while (!console.InputWaiting() && ElapsedMs(start) < 2000) {
  }
  EXPECT_TRUE(console.InputWaiting());
  EXPECT_TRUE(console.InputWaiting()) << "looking reads nothing";
  EXPECT_EQ(KeyDowns(ReadRecords(4)).size(), 2u);
  EXPECT_FALSE(console.InputWaiting());
}

}  // namespace
}  // namespace kelm::port
