// A pseudo-terminal for tests of the terminal backend: the backend gets the
// terminal side, the test plays the terminal emulator on the other side. It
// collects everything the backend writes (on a reader thread), types bytes,
// answers queries, and waits on the output with a deadline.
//
// Tests that fork (death tests) make it with ReadFrom::FirstUse: the reader
// thread then starts only when the output is first looked at, after the
// child has ended, so that the fork copies a process with one thread (a
// fork beside a running thread can leave the child on a lock that thread
// held). The child's output waits in the pseudo-terminal meanwhile, which
// holds a few KiB.
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
  enum class ReadFrom { Start, FirstUse };

  PtyTerminal(int columns = 40, int rows = 10, ReadFrom readFrom = ReadFrom::Start);
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
  // Starts the reader thread if it has not started yet.
  void StartReader() const;

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
  mutable std::once_flag readerStarted_;
  mutable std::thread reader_;
};

}  // namespace kelm::port::testing
