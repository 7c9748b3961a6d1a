#include "tmux_terminal.h"

#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

extern char** environ;

namespace kelm::e2e {

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kPollIntervalMs = 10;
constexpr const char* kSession = "e2e";

// The environment for tmux: ours, without the variables that would tie the
// client to a tmux the tests themselves may run in.
std::vector<std::string> TmuxEnvironment() {
  std::vector<std::string> env;
  bool haveTerm = false;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string entry = *e;
    if (entry.rfind("TMUX=", 0) == 0 || entry.rfind("TMUX_PANE=", 0) == 0) continue;
    if (entry.rfind("TERM=", 0) == 0) haveTerm = true;
    env.push_back(entry);
  }
  if (!haveTerm) env.push_back("TERM=xterm-256color");
  return env;
}

struct Captured {
  int status = -1;  // exit status, -1 when killed or not started
  std::string out;
  std::string err;
};

// Runs argv[0] (searched in PATH) with stdin from `inputPath`, collecting
// standard output and error, killing it after `timeoutMs`.
Captured RunCaptured(const std::vector<std::string>& argv, const std::vector<std::string>& env,
                     const std::string& inputPath, int timeoutMs) {
  Captured result;
  int outPipe[2];
  int errPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return result;
  if (pipe2(errPipe, O_CLOEXEC) != 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return result;
  }
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, inputPath.c_str(), O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, outPipe[1], STDOUT_FILENO);
  posix_spawn_file_actions_adddup2(&actions, errPipe[1], STDERR_FILENO);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSID);

  std::vector<char*> args;
  for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  std::vector<char*> envp;
  for (const std::string& e : env) envp.push_back(const_cast<char*>(e.c_str()));
  envp.push_back(nullptr);

  pid_t pid = -1;
  const int error = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attr);
  close(outPipe[1]);
  close(errPipe[1]);
  if (error != 0) {
    close(outPipe[0]);
    close(errPipe[0]);
    result.err = std::string("cannot start ") + argv[0] + ": " + std::strerror(error);
    return result;
  }

  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  pollfd fds[2] = {{outPipe[0], POLLIN, 0}, {errPipe[0], POLLIN, 0}};
  int open = 2;
  bool killed = false;
  while (open > 0) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    if (left <= 0) {
      kill(pid, SIGKILL);
      killed = true;
      break;
    }
    if (poll(fds, 2, static_cast<int>(left)) <= 0) continue;
    for (int i = 0; i < 2; ++i) {
      if (fds[i].fd < 0 || fds[i].revents == 0) continue;
      char buffer[4096];
      const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
      if (n > 0) {
        (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(n));
      } else if (n == 0 || errno != EINTR) {
        close(fds[i].fd);
        fds[i].fd = -1;
        --open;
      }
    }
  }
  for (pollfd& p : fds) {
    if (p.fd >= 0) close(p.fd);
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  if (!killed && WIFEXITED(status)) result.status = WEXITSTATUS(status);
  return result;
}

std::string UniqueSocketName() {
  static std::atomic<int> counter{0};
  return "kelmhex-e2e-" + std::to_string(getpid()) + "-" + std::to_string(counter++) + "-" +
         std::to_string(Clock::now().time_since_epoch().count() % 1000000);
}

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

std::string MouseReport(int button, int column, int row, bool release) {
  return "\x1b[<" + std::to_string(button) + ";" + std::to_string(column + 1) + ";" + std::to_string(row + 1) +
         (release ? "m" : "M");
}

}  // namespace

bool TmuxTerminal::Available() {
  const Captured run = RunCaptured({"tmux", "-V"}, TmuxEnvironment(), "/dev/null", 5000);
  return run.status == 0;
}

TmuxTerminal::TmuxTerminal(std::vector<std::string> command) { Start(std::move(command), Options{}); }

TmuxTerminal::TmuxTerminal(std::vector<std::string> command, const Options& options) {
  Start(std::move(command), options);
}

void TmuxTerminal::Start(std::vector<std::string> command, const Options& options) {
  socket_ = UniqueSocketName();
  // One invocation, so the options hold before the program can end: the pane
  // remains when it exits, and there is no status line (the pane has every
  // row of the window).
  std::vector<std::string> args = {"start-server", ";", "set-option", "-g", "remain-on-exit", "on", ";",
                                   "set-option",   "-g", "status",   "off", ";",
                                   "new-session",  "-d", "-s",       kSession,
                                   "-x",           std::to_string(options.columns),
                                   "-y",           std::to_string(options.rows)};
  if (!options.workingDirectory.empty()) {
    args.push_back("-c");
    args.push_back(options.workingDirectory);
  }
  for (const auto& [name, value] : options.env) {
    args.push_back("-e");
    args.push_back(name + "=" + value);
  }
  statusFile_ = "/tmp/" + socket_ + ".status";
  std::remove(statusFile_.c_str());
  args.insert(args.end(), {"sh", "-c", "s=$1; shift; \"$@\"; echo $? > \"$s.tmp\" && mv \"$s.tmp\" \"$s\"",
                           "kelmhex-e2e", statusFile_});
  for (std::string& word : command) args.push_back(std::move(word));
  int status = -1;
  const std::string out = Tmux(args, &status);
  started_ = status == 0;
  if (!started_) error_ = "tmux failed to start the session: " + out;
}

TmuxTerminal::~TmuxTerminal() {
  // Ends the server and, with it, the program (SIGHUP) if it still runs.
  Tmux({"kill-server"});
  std::remove(statusFile_.c_str());
}

std::string TmuxTerminal::Tmux(const std::vector<std::string>& arguments, int* status) {
  std::vector<std::string> argv = {"tmux", "-L", socket_, "-f", "/dev/null"};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  const Captured run = RunCaptured(argv, TmuxEnvironment(), "/dev/null", kDefaultTimeoutMs);
  if (status != nullptr) *status = run.status;
  return run.status == 0 ? run.out : run.out + run.err;
}

// --- input -----------------------------------------------------------------------

void TmuxTerminal::SendText(std::string_view text) {
  if (text.empty()) return;
  Tmux({"send-keys", "-t", kSession, "-l", std::string(text)});
}

void TmuxTerminal::SendBytes(std::string_view bytes) {
  if (bytes.empty()) return;
  std::vector<std::string> args = {"send-keys", "-t", kSession, "-H"};
  for (unsigned char byte : bytes) {
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02x", byte);
    args.emplace_back(hex);
  }
  Tmux(args);
}

void TmuxTerminal::SendKeys(const std::vector<std::string>& keys) {
  std::vector<std::string> args = {"send-keys", "-t", kSession};
  args.insert(args.end(), keys.begin(), keys.end());
  Tmux(args);
}

void TmuxTerminal::Click(int column, int row, int button) {
  SendBytes(MouseReport(button, column, row, false) + MouseReport(button, column, row, true));
}

void TmuxTerminal::Press(int column, int row, int button) {
  SendBytes(MouseReport(button, column, row, false));
}

void TmuxTerminal::Release(int column, int row, int button) {
  SendBytes(MouseReport(button, column, row, true));
}

void TmuxTerminal::MoveMouse(int column, int row) { SendBytes(MouseReport(35, column, row, false)); }

void TmuxTerminal::Wheel(int column, int row, bool up) {
  SendBytes(MouseReport(up ? 64 : 65, column, row, false));
}

// --- screen ----------------------------------------------------------------------

std::vector<std::string> TmuxTerminal::Screen() {
  return SplitLines(Tmux({"capture-pane", "-p", "-t", kSession}));
}

std::vector<std::string> TmuxTerminal::ScreenWithColours() {
  return SplitLines(Tmux({"capture-pane", "-p", "-e", "-N", "-t", kSession}));
}

std::string TmuxTerminal::ScreenText() {
  std::string text;
  for (const std::string& line : Screen()) text += line + "\n";
  return text;
}

bool TmuxTerminal::WaitUntil(const std::function<bool()>& condition, int timeoutMs) {
  const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
  for (;;) {
    if (condition()) return true;
    if (Clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(kPollIntervalMs));
  }
}

bool TmuxTerminal::WaitForScreen(const std::function<bool(const std::vector<std::string>&)>& condition,
                                 int timeoutMs) {
  return WaitUntil([&] { return condition(Screen()); }, timeoutMs);
}

bool TmuxTerminal::WaitForText(std::string_view text, int timeoutMs) {
  return WaitForScreen(
      [&](const std::vector<std::string>& rows) {
        for (const std::string& row : rows) {
          if (row.find(text) != std::string::npos) return true;
        }
        return false;
      },
      timeoutMs);
}

bool TmuxTerminal::WaitForTextGone(std::string_view text, int timeoutMs) {
  return WaitForScreen(
      [&](const std::vector<std::string>& rows) {
        for (const std::string& row : rows) {
          if (row.find(text) != std::string::npos) return false;
        }
        return true;
      },
      timeoutMs);
}

// --- pane --------------------------------------------------------------------------

std::string TmuxTerminal::Format(const std::string& format) {
  std::string out = Tmux({"display-message", "-p", "-t", kSession, format});
  while (!out.empty() && (out.back() == '\n' || out.back() == '\r')) out.pop_back();
  return out;
}

bool TmuxTerminal::PaneDead() { return Format("#{pane_dead}") == "1"; }

bool TmuxTerminal::WaitForExit(int timeoutMs) {
  return WaitUntil([this] { return ExitStatus().has_value(); }, timeoutMs);
}

std::optional<int> TmuxTerminal::ExitStatus() {
  if (!PaneDead()) return std::nullopt;
  std::ifstream in(statusFile_);
  int status = -1;
  if (!(in >> status)) return std::nullopt;
  return status;
}

int TmuxTerminal::PanePid() {
  // The command's own process: the child of the status-writing shell.
  const int shell = std::atoi(Format("#{pane_pid}").c_str());
  int pid = 0;
  WaitUntil(
      [&] {
        const std::vector<int> children = ChildrenOf(shell);
        if (!children.empty()) pid = children.front();
        return pid != 0 || PaneDead();
      },
      2000);
  return pid;
}

namespace {

// The parent's id from the text of /proc/<pid>/stat, or 0. The command name
// is in parentheses and may hold blanks and parentheses itself: the state
// and the parent's id follow the last ')'.
int ParentFromStat(const std::string& content) {
  const size_t close = content.rfind(')');
  if (close == std::string::npos) return 0;
  const char* p = content.c_str() + close + 1;
  char* end = nullptr;
  while (*p == ' ') ++p;
  if (*p == '\0') return 0;
  ++p;  // the state letter
  const long parent = std::strtol(p, &end, 10);
  return end == p ? 0 : static_cast<int>(parent);
}

// The whole of /proc/<pid>/stat, or nothing when the process is gone.
std::string ReadStat(const char* name) {
  const std::string path = std::string("/proc/") + name + "/stat";
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  std::string content;
  char buffer[512];
  for (;;) {
    const ssize_t got = read(fd, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;  // the end, or the process went (ESRCH) while it was read
    content.append(buffer, static_cast<size_t>(got));
  }
  close(fd);
  return content;
}

}  // namespace

std::vector<int> TmuxTerminal::ChildrenOf(int pid) {
  // Processes come and go during the scan: one that is gone when its entry
  // is read is simply not a child. The folder is closed on every path.
  std::vector<int> children;
  const std::unique_ptr<DIR, int (*)(DIR*)> proc(opendir("/proc"), closedir);
  if (!proc) return children;
  while (const dirent* entry = readdir(proc.get())) {
    char* end = nullptr;
    const long candidate = std::strtol(entry->d_name, &end, 10);
    if (candidate <= 0 || *end != '\0') continue;
    if (ParentFromStat(ReadStat(entry->d_name)) == pid) children.push_back(static_cast<int>(candidate));
  }
  return children;
}

void TmuxTerminal::Resize(int columns, int rows) {
  Tmux({"resize-window", "-t", kSession, "-x", std::to_string(columns), "-y", std::to_string(rows)});
}

// --- without a terminal ---------------------------------------------------------------

ProgramRun RunWithoutTerminal(const std::vector<std::string>& command, const std::string& input, int timeoutMs) {
  std::vector<std::string> env;
  for (char** e = environ; *e != nullptr; ++e) env.emplace_back(*e);
  const Captured run = RunCaptured(command, env, input, timeoutMs);
  return ProgramRun{run.status, run.out, run.err};
}

}  // namespace kelm::e2e
