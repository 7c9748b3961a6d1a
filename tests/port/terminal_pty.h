// A pseudo-terminal for tests of the terminal backend: the backend gets the
// terminal side, the test plays the terminal emulator on the other side. It
// collects everything the backend writes (on a reader thread), types bytes,
// answers queries, and waits on the output with a deadline.
#pragma once

#include <termios.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

namespace kelm::port::testing {

class PtyTerminal {
 public:
  PtyTerminal(int columns = 40, int rows = 10);
  PtyTerminal(const PtyTerminal&) = delete;
  PtyTerminal& operator=(const PtyTerminal&) = delete;
  ~PtyTerminal();

  // The terminal side, for the code under test.
  int TerminalFd() const { return slave_; }
  // Types bytes, as a terminal sends keys.
  void Send(std::string_view bytes);
  // Once `query` appears in the output, `reply` is sent (once per query).
  void AnswerQuery(std::string query, std::string reply);
  void SetSize(int columns, int rows);
  // Closes our side: the terminal hangs up.
  void HangUp();

  // Everything written so far.
  std::string Output() const;
  size_t OutputSize() const;
  // Waits until `needle` appears in the output at or after `from`; yields
  // the position after it, or std::string::npos at the deadline.
  size_t WaitForOutput(std::string_view needle, size_t from = 0, int timeoutMs = 5000) const;

  termios Settings() const;

 private:
  void ReadLoop();

  int master_ = -1;
  int slave_ = -1;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  mutable std::condition_variable changed_;
  std::string output_;
  struct Answer {
    std::string query;
    std::string reply;
    size_t searchFrom = 0;  // output before this was already answered
  };
  std::vector<Answer> answers_;
  std::thread reader_;
};

}  // namespace kelm::port::testing
