#include "engine/port/terminal/terminal_signals.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/mman.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>

namespace kelm::port::terminal_signals {

namespace {

constexpr int kQuitSignals[] = {SIGTERM, SIGHUP, SIGINT, SIGQUIT};
constexpr int kCrashSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGABRT};
constexpr size_t kRestoreCapacity = 1024;
constexpr size_t kAltStackSize = 64 * 1024;

std::atomic<int> ttyFd{-1};
int wakePipe[2] = {-1, -1};
std::atomic<bool> installed{false};
std::atomic<bool> armed{false};
termios originalSettings{};
char restoreBytes[kRestoreCapacity];
std::atomic<size_t> restoreLength{0};

std::atomic<int> quitSignal{0};
std::atomic<bool> stopRequested{false};
std::atomic<bool> continued{false};
std::atomic<bool> resized{false};

std::terminate_handler previousTerminate = nullptr;

static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
                  std::atomic<size_t>::is_always_lock_free,
              "flags shared with signal handlers must be lock-free");

void Wake() {
  const int saved = errno;
  const char byte = 1;
  if (wakePipe[1] >= 0) {
    [[maybe_unused]] ssize_t n = write(wakePipe[1], &byte, 1);
  }
  errno = saved;
}

// Writes everything, waiting a bounded time while the terminal is not
// accepting output. Async-signal-safe.
void WriteBounded(int fd, const char* data, size_t length) {
  int waits = 0;
  while (length > 0) {
    ssize_t n = write(fd, data, length);
    if (n > 0) {
      data += n;
      length -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK) && waits++ < 10) {
      pollfd p{fd, POLLOUT, 0};
      poll(&p, 1, 100);
      continue;
    }
    return;
  }
}

void Unblock(int sig) {
  sigset_t set;
  sigemptyset(&set);
  sigaddset(&set, sig);
  sigprocmask(SIG_UNBLOCK, &set, nullptr);
}

void DieBy(int sig) {
  struct sigaction action {};
  action.sa_handler = SIG_DFL;
  sigemptyset(&action.sa_mask);
  sigaction(sig, &action, nullptr);
  Unblock(sig);
  raise(sig);
}

void OnQuitSignal(int sig) {
  int expected = 0;
  if (!quitSignal.compare_exchange_strong(expected, sig)) {
    // Asked before and still running: restore and end now.
    EmergencyRestore();
    DieBy(sig);
    return;
  }
  Wake();
}

void OnStopSignal(int) {
  stopRequested.store(true);
  Wake();
}

void OnContinueSignal(int) {
  continued.store(true);
  Wake();
}

void OnResizeSignal(int) {
  resized.store(true);
  Wake();
}

void OnCrashSignal(int sig) {
  EmergencyRestore();
  DieBy(sig);
}

void OnTerminate() {
  EmergencyRestore();
  if (previousTerminate != nullptr) previousTerminate();
  std::abort();
}

void OnExit() { EmergencyRestore(); }

void SetHandler(int sig, void (*handler)(int), int flags) {
  struct sigaction action {};
  action.sa_handler = handler;
  sigemptyset(&action.sa_mask);
  action.sa_flags = flags;
  sigaction(sig, &action, nullptr);
}

void InstallHandlers() {
  for (int sig : kQuitSignals) SetHandler(sig, OnQuitSignal, SA_RESTART);
  SetHandler(SIGTSTP, OnStopSignal, SA_RESTART);
  SetHandler(SIGCONT, OnContinueSignal, SA_RESTART);
  SetHandler(SIGWINCH, OnResizeSignal, SA_RESTART);
  SetHandler(SIGPIPE, SIG_IGN, 0);
  for (int sig : kCrashSignals) SetHandler(sig, OnCrashSignal, SA_ONSTACK | SA_RESETHAND | SA_NODEFER);
}

}  // namespace

bool Install(int fd) {
  ttyFd.store(fd);
  if (installed.exchange(true)) {
    InstallHandlers();
    return true;
  }
  if (pipe2(wakePipe, O_NONBLOCK | O_CLOEXEC) != 0) {
    wakePipe[0] = wakePipe[1] = -1;
  }
  // An alternate stack for this thread, so a stack overflow still reaches
  // the crash handler; one already set up (a sanitizer's) is kept. Mapped
  // once and kept for the life of the process.
  stack_t current{};
  if (sigaltstack(nullptr, &current) == 0 && (current.ss_flags & SS_DISABLE) != 0) {
    void* memory = mmap(nullptr, kAltStackSize, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (memory != MAP_FAILED) {
      stack_t stack{};
      stack.ss_sp = memory;
      stack.ss_size = kAltStackSize;
      sigaltstack(&stack, nullptr);
    }
  }
  InstallHandlers();
  std::atexit(OnExit);
  previousTerminate = std::set_terminate(OnTerminate);
  return wakePipe[0] >= 0;
}

void Uninstall() {
  for (int sig : kQuitSignals) SetHandler(sig, SIG_DFL, 0);
  SetHandler(SIGTSTP, SIG_DFL, 0);
  SetHandler(SIGCONT, SIG_DFL, 0);
  SetHandler(SIGWINCH, SIG_DFL, 0);
}

void Arm(const termios& original, std::string_view restoreString) {
  originalSettings = original;
  SetRestoreString(restoreString);
  armed.store(true);
}

void SetRestoreString(std::string_view restoreString) {
  const size_t length = restoreString.size() < kRestoreCapacity ? restoreString.size() : kRestoreCapacity;
  restoreLength.store(0);
  std::memcpy(restoreBytes, restoreString.data(), length);
  restoreLength.store(length);
}

bool Disarm() { return armed.exchange(false); }

void EmergencyRestore() {
  if (!armed.exchange(false)) return;
  const int saved = errno;
  const int fd = ttyFd.load();
  if (fd >= 0) {
    WriteBounded(fd, restoreBytes, restoreLength.load());
    tcsetattr(fd, TCSANOW, &originalSettings);
    tcflush(fd, TCIFLUSH);
  }
  errno = saved;
}

bool StopProcessGroup() {
  continued.store(false);
  SetHandler(SIGTSTP, SIG_DFL, 0);
  Unblock(SIGTSTP);
  kill(0, SIGTSTP);
  // Execution goes on here after SIGCONT, or at once when another thread
  // takes the stop: wait until the continue handler has run.
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kStopTimeoutMs);
  while (!continued.load()) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()).count();
    if (left <= 0) break;
    if (wakePipe[0] < 0) {
      poll(nullptr, 0, left < 10 ? static_cast<int>(left) : 10);
      continue;
    }
    pollfd p{wakePipe[0], POLLIN, 0};
    poll(&p, 1, static_cast<int>(left));
    // Quit and resize requests stay in their flags; only the bytes go.
    DrainWakeFd();
  }
  // A stop request that came meanwhile is the stop just made.
  stopRequested.store(false);
  SetHandler(SIGTSTP, OnStopSignal, SA_RESTART);
  return continued.exchange(false);
}

int WakeFd() { return wakePipe[0]; }

void DrainWakeFd() {
  if (wakePipe[0] < 0) return;
  char buffer[64];
  while (read(wakePipe[0], buffer, sizeof buffer) > 0) {
  }
}

int QuitSignal() { return quitSignal.load(); }
bool TakeStopRequest() { return stopRequested.exchange(false); }
bool TakeContinued() { return continued.exchange(false); }
bool TakeResized() { return resized.exchange(false); }

}  // namespace kelm::port::terminal_signals
