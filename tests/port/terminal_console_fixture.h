// The terminal console on one end of a pseudo-terminal, the test playing
// the terminal on the other: set-up with the answers a terminal gives,
// reading records through the port's own waits, and syncing on what the
// console wrote.
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/terminal/terminal_console.h"
#include "terminal_pty.h"

namespace kelm::port {

using testing::PtyTerminal;
using Clock = std::chrono::steady_clock;

constexpr const char* kDeviceAttributesQuery = "\x1b[c";
constexpr const char* kDeviceAttributesReply = "\x1b[?62;22c";
constexpr const char* kKittyQuery = "\x1b[?u";
constexpr const char* kKittyReply = "\x1b[?0u";

inline TerminalSessionOptions OnPty(const PtyTerminal& pty) {
  TerminalSessionOptions options;
  options.fd = pty.TerminalFd();
  options.requireStdioTerminals = false;
  options.handleSignals = false;
  return options;
}

inline long ElapsedMs(Clock::time_point since) {
  return static_cast<long>(std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - since).count());
}

class TerminalConsoleTest : public ::testing::Test {
 protected:
  TerminalConsoleTest() : pty(40, 10), console(OnPty(pty)) {}

  void SetUpConsole(bool kitty = false) {
    if (kitty) pty.AnswerQuery(kKittyQuery, kKittyReply);
    pty.AnswerQuery(kDeviceAttributesQuery, kDeviceAttributesReply);
    uint32_t error = 0;
    ASSERT_TRUE(console.Setup(error)) << error;
    Sync();
  }

  // Waits (through the port's own pacing) until at least `count` records are
  // queued, then reads them all.
  std::vector<INPUT_RECORD> ReadRecords(size_t count) {
    const auto start = Clock::now();
    while (console.PendingInputCount() < count && ElapsedMs(start) < 5000) console.WaitForInput(50);
    std::vector<INPUT_RECORD> records(64);
    const uint32_t n = console.ReadInput(records.data(), static_cast<uint32_t>(records.size()));
    records.resize(n);
    return records;
  }

  // The key-down records among `records`, as (virtual key, character).
  static std::vector<std::pair<uint16_t, char16_t>> KeyDowns(const std::vector<INPUT_RECORD>& records) {
    std::vector<std::pair<uint16_t, char16_t>> keys;
    for (const INPUT_RECORD& r : records) {
      if (r.EventType == KEY_EVENT && r.Event.KeyEvent.bKeyDown) {
        keys.emplace_back(r.Event.KeyEvent.wVirtualKeyCode, r.Event.KeyEvent.UnicodeChar);
      }
    }
    return keys;
  }

  // Everything written so far has been read by the terminal side once this
  // marker (written after it) has arrived.
  size_t Sync() {
    static int counter = 0;
    const std::string marker = "<sync" + std::to_string(++counter) + ">";
    EXPECT_EQ(write(pty.TerminalFd(), marker.data(), marker.size()), static_cast<ssize_t>(marker.size()));
    const size_t end = pty.WaitForOutput(marker);
    EXPECT_NE(end, std::string::npos);
    lastMarker = marker;
    return end;
  }

  std::string lastMarker;

  PtyTerminal pty;
  TerminalConsole console;
};

}  // namespace kelm::port
