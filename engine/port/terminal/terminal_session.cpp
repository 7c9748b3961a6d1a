#include "engine/port/terminal/terminal_session.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>

#include "engine/port/terminal/terminal_signals.h"

namespace kelm::port {

namespace {

int64_t NowMs() {
  return std::chrono::duration_cast<std::chrono::milliseconds>(
             std::chrono::steady_clock::now().time_since_epoch())
      .count();
}

bool IsHangUp(int error) { return error == EIO || error == EPIPE || error == ENXIO || error == EBADF; }

// Local stand-in for the process-wide restore hand-over when the session runs
// without signal handling (tests on a pseudo-terminal).
bool localArmed = false;

}  // namespace

TerminalSession::TerminalSession(TerminalSessionOptions options) : options_(options) {}

TerminalSession::~TerminalSession() { Close(); }

bool TerminalSession::Open(uint32_t& errorCode) {
  if (fd_ >= 0) return true;
  if (options_.requireStdioTerminals) {
    for (int stdFd : {STDIN_FILENO, STDOUT_FILENO}) {
      if (options_.standardInputIsData && stdFd == STDIN_FILENO) continue;
      if (!isatty(stdFd)) {
        errorCode = static_cast<uint32_t>(errno != 0 ? errno : ENOTTY);
        return false;
      }
    }
  }
  if (options_.fd >= 0) {
    fd_ = options_.fd;
    ownsFd_ = false;
  } else {
    // The controlling terminal; when there is none (started with setsid),
    // the terminal on standard input.
    // (Standard input that carries data is never read for keys.)
    fd_ = open("/dev/tty", O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    if (fd_ < 0 && options_.standardInputIsData) {
      errorCode = ENOTTY;
      return false;
    }
    if (fd_ < 0) {
      const char* name = ttyname(STDIN_FILENO);
      if (name != nullptr) fd_ = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC | O_NONBLOCK);
    }
    if (fd_ < 0) {
      errorCode = static_cast<uint32_t>(errno);
      return false;
    }
    ownsFd_ = true;
  }
  const int flags = fcntl(fd_, F_GETFL);
  if (flags >= 0) fcntl(fd_, F_SETFL, flags | O_NONBLOCK);

  WaitForForeground();
  if (tcgetattr(fd_, &original_) != 0) {
    errorCode = static_cast<uint32_t>(errno);
    if (ownsFd_) close(fd_);
    fd_ = -1;
    return false;
  }
  if (options_.handleSignals) terminal_signals::Install(fd_);
  termios raw = original_;
  cfmakeraw(&raw);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  // TCSAFLUSH: keys typed before the start are dropped, not taken as input.
  tcsetattr(fd_, TCSAFLUSH, &raw);
  if (options_.handleSignals) {
    terminal_signals::Arm(original_, modes_.RestoreString());
  } else {
    localArmed = true;
  }
  active_ = true;
  gone_ = false;
  sizeKnown_ = false;
  return true;
}

void TerminalSession::Enter(const TerminalMode& mode) {
  if (fd_ < 0) return;
  // The undo entry first, so that a signal between the two still restores.
  modes_.Push(mode);
  if (options_.handleSignals) terminal_signals::SetRestoreString(modes_.RestoreString());
  Write(mode.enter);
}

void TerminalSession::ApplyRaw() {
  termios raw = original_;
  cfmakeraw(&raw);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(fd_, TCSANOW, &raw);
}

void TerminalSession::RestoreSettings() {
  tcsetattr(fd_, TCSANOW, &original_);
  // Reports that were under way when the modes went off must not reach the
  // shell as typed text.
  tcflush(fd_, TCIFLUSH);
}

void TerminalSession::Suspend() {
  if (fd_ < 0 || !active_) return;
  active_ = false;
  bool mine = false;
  if (options_.handleSignals) {
    mine = terminal_signals::Disarm();
  } else {
    mine = localArmed;
    localArmed = false;
  }
  if (!mine) return;  // the emergency path already restored
  if (!gone_) Write(modes_.RestoreString());
  RestoreSettings();
}

void TerminalSession::Resume() {
  if (fd_ < 0 || active_) return;
  ApplyRaw();
  if (options_.handleSignals) {
    terminal_signals::Arm(original_, modes_.RestoreString());
  } else {
    localArmed = true;
  }
  active_ = true;
  Write(modes_.EnterString());
  sizeKnown_ = false;
}

void TerminalSession::Reassert() {
  if (fd_ < 0 || !active_) return;
  ApplyRaw();
  Write(modes_.ReassertString());
  sizeKnown_ = false;
}

void TerminalSession::StopProcess() {
  if (fd_ < 0) return;
  Suspend();
  // The whole process group stops, as when the terminal driver sends the
  // signal for Ctrl+Z; this returns after SIGCONT.
  if (options_.handleSignals) terminal_signals::StopProcessGroup();
  WaitForForeground();
  Resume();
}

void TerminalSession::WaitForForeground() {
  // Continued in the background ("bg"): touching the terminal's settings
  // would stop us with SIGTTOU anyway; stop until brought to the foreground,
  // as shells do.
  for (;;) {
    const pid_t foreground = tcgetpgrp(fd_);
    if (foreground < 0 || foreground == getpgrp()) return;
    kill(0, SIGTTIN);
  }
}

void TerminalSession::Close() {
  if (fd_ < 0) return;
  Suspend();
  if (options_.handleSignals) terminal_signals::Uninstall();
  modes_.Clear();
  if (ownsFd_) close(fd_);
  fd_ = -1;
}

bool TerminalSession::Write(std::string_view bytes) {
  if (fd_ < 0 || gone_) return false;
  const int64_t deadline = NowMs() + kWriteBoundMs;
  const char* data = bytes.data();
  size_t left = bytes.size();
  while (left > 0) {
    const ssize_t n = write(fd_, data, left);
    if (n > 0) {
      data += n;
      left -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      const int64_t wait = deadline - NowMs();
      if (wait <= 0) return false;  // the terminal is not reading: give up this write
      pollfd p{fd_, POLLOUT, 0};
      poll(&p, 1, static_cast<int>(wait));
      continue;
    }
    if (n < 0 && IsHangUp(errno)) gone_ = true;
    return false;
  }
  return true;
}

ssize_t TerminalSession::Read(char* buffer, size_t size) {
  if (fd_ < 0 || gone_) return -1;
  for (;;) {
    const ssize_t n = read(fd_, buffer, size);
    if (n > 0) return n;
    if (n == 0) {
      gone_ = true;  // end of file on a terminal: it hung up
      return -1;
    }
    if (errno == EINTR) continue;
    if (errno == EAGAIN || errno == EWOULDBLOCK) return 0;
    if (IsHangUp(errno)) {
      gone_ = true;
      return -1;
    }
    return 0;
  }
}

bool TerminalSession::WaitReadable(int timeoutMs, int alsoFd) {
  pollfd fds[3];
  int count = 0;
  if (fd_ >= 0 && !gone_) fds[count++] = pollfd{fd_, POLLIN, 0};
  const int wake = options_.handleSignals ? terminal_signals::WakeFd() : -1;
  if (wake >= 0) fds[count++] = pollfd{wake, POLLIN, 0};
  if (alsoFd >= 0) fds[count++] = pollfd{alsoFd, POLLIN, 0};
  if (count == 0) {
    // Nothing to wait on: sleep.
    poll(nullptr, 0, timeoutMs);
    return false;
  }
  const int ready = poll(fds, static_cast<nfds_t>(count), timeoutMs);
  if (ready < 0) return true;  // interrupted by a signal
  // A hang-up counts as input, so that the next read notices it.
  return ready > 0;
}

void TerminalSession::Size(int& columns, int& rows) {
  // Without our SIGWINCH handler nothing announces a change: ask every time.
  if (!options_.handleSignals || terminal_signals::TakeResized()) sizeKnown_ = false;
  if (!sizeKnown_ && fd_ >= 0) {
    winsize ws{};
    if (ioctl(fd_, TIOCGWINSZ, &ws) == 0) {
      columns_ = ws.ws_col > 0 ? ws.ws_col : kFallbackColumns;
      rows_ = ws.ws_row > 0 ? ws.ws_row : kFallbackRows;
      sizeKnown_ = true;
    }
  }
  columns = columns_;
  rows = rows_;
}

}  // namespace kelm::port
