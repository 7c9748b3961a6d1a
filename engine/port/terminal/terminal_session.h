// The terminal session: owns the tty for the program's run. Opens it, saves
// its settings, switches to raw mode, enters the screen and input modes (each
// pushed on an undo stack), and gives everything back exactly on every exit
// path (see terminal_signals.h). Also the session's byte I/O: non-blocking
// reads, whole writes that never block for long, waiting for input, the
// window size, and stopping the process on Ctrl+Z.
//
// Used from one thread at a time (the frame thread once the engine runs).
#pragma once

#include <sys/types.h>
#include <termios.h>

#include <atomic>
#include <cstdint>
#include <string_view>

#include "engine/port/terminal/terminal_modes.h"

namespace kelm::port {

struct TerminalSessionOptions {
  // A terminal to use instead of the controlling terminal (tests pass one end
  // of a pseudo-terminal). Not closed by the session.
  int fd = -1;
  // Standard input and output must both be terminals.
  bool requireStdioTerminals = true;
  // Standard input carries the data to view (a pipe): only standard output
  // must be a terminal, keys come from the controlling terminal alone, and
  // without one the set-up fails as for standard input that is not a
  // terminal (ENOTTY).
  bool standardInputIsData = false;
  // Installs the process-wide signal handlers and exit hooks.
  bool handleSignals = true;
};

class TerminalSession {
 public:
  explicit TerminalSession(TerminalSessionOptions options = {});
  TerminalSession(const TerminalSession&) = delete;
  TerminalSession& operator=(const TerminalSession&) = delete;
  ~TerminalSession();

  // Opens the terminal and switches it to raw mode: no echo, no line editing,
  // no signals from keys (Ctrl+C, Ctrl+Z, Ctrl+\ arrive as bytes), no flow
  // control (Ctrl+S, Ctrl+Q arrive), no literal-next (Ctrl+V arrives), no CR
  // translation, no output processing. On failure yields false with the errno
  // value (ENOTTY when standard input or output is not a terminal).
  bool Open(uint32_t& errorCode);
  bool IsOpen() const { return fd_ >= 0; }
  // The terminal is in our modes (open and not suspended).
  bool IsActive() const { return active_; }
  int Fd() const { return fd_; }

  // Pushes the mode on the undo stack and writes its sequence.
  void Enter(const TerminalMode& mode);
  const ModeStack& Modes() const { return modes_; }

  // Undoes every mode, restores the saved settings, closes the terminal.
  // Safe to call more than once.
  void Close();

  // Gives the terminal back for a while (a stop, a child program): undoes the
  // modes and restores the settings, keeping the list of modes.
  void Suspend();
  // Raw mode and every mode again after Suspend.
  void Resume();
  // After the process was continued without our own Suspend (SIGSTOP from
  // outside): raw mode and the idempotent modes again.
  void Reassert();
  // Ctrl+Z or SIGTSTP: Suspend, stop the process group as the terminal driver
  // would, and Resume once continued (in the foreground).
  void StopProcess();

  // Writes all bytes; waits for the terminal at most `kWriteBoundMs` in all.
  // Yields false when not everything was written (terminal gone or stuck).
  bool Write(std::string_view bytes);
  // Reads what is available without blocking: > 0 bytes read, 0 nothing
  // available, -1 the terminal is gone.
  ssize_t Read(char* buffer, size_t size);
  // Waits up to `timeoutMs` (-1: no time-out) for input, a signal, or
  // `alsoFd` (when >= 0) becoming readable; yields false when the time ran
  // out with none of them.
  bool WaitReadable(int timeoutMs, int alsoFd = -1);
  // Read returned end-of-file or EIO, or a write failed with EIO: the
  // terminal hung up.
  bool Gone() const { return gone_.load(); }

  // Columns and rows, cached; re-read after SIGWINCH, a resume or when asked
  // (and on every call when signals are not handled).
  void Size(int& columns, int& rows);
  void RefreshSize() { sizeKnown_ = false; }

  static constexpr int kWriteBoundMs = 1000;
  // Used when the terminal reports a size of 0.
  static constexpr int kFallbackColumns = 80;
  static constexpr int kFallbackRows = 24;

 private:
  void ApplyRaw();
  void RestoreSettings();
  void WaitForForeground();

  TerminalSessionOptions options_;
  int fd_ = -1;
  bool ownsFd_ = false;
  bool active_ = false;
  std::atomic<bool> gone_{false};  // also read by WaitReadable outside the caller's lock
  termios original_{};
  ModeStack modes_;
  bool sizeKnown_ = false;
  int columns_ = kFallbackColumns;
  int rows_ = kFallbackRows;
};

}  // namespace kelm::port
