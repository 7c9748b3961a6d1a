#include "engine/port/terminal/child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <mutex>

extern char** environ;

namespace kelm::port {

namespace {

std::mutex detachedMutex;
std::vector<pid_t> detachedChildren;

std::vector<char*> ArgvPointers(const std::vector<std::string>& argv) {
  std::vector<char*> pointers;
  pointers.reserve(argv.size() + 1);
  for (const std::string& arg : argv) pointers.push_back(const_cast<char*>(arg.c_str()));
  pointers.push_back(nullptr);
  return pointers;
}

// Signals that we ignore and that a child must not inherit ignored.
void ResetChildSignals(posix_spawnattr_t& attr) {
  sigset_t defaults;
  sigemptyset(&defaults);
  for (int sig : {SIGPIPE, SIGINT, SIGQUIT, SIGTSTP, SIGTTIN, SIGTTOU}) sigaddset(&defaults, sig);
  posix_spawnattr_setsigdefault(&attr, &defaults);
  sigset_t none;
  sigemptyset(&none);
  posix_spawnattr_setsigmask(&attr, &none);
}

// A file descriptor holding `data`, positioned at its start, or -1.
int DataFile(const std::string& data) {
  int fd = memfd_create("kelmhex-input", MFD_CLOEXEC);
  if (fd < 0) {
    char name[] = "/tmp/kelmhex-input-XXXXXX";
    fd = mkostemp(name, O_CLOEXEC);
    if (fd < 0) return -1;
    unlink(name);
  }
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      close(fd);
      return -1;
    }
    done += static_cast<size_t>(n);
  }
  if (lseek(fd, 0, SEEK_SET) != 0) {
    close(fd);
    return -1;
  }
  return fd;
}

}  // namespace

ForegroundRun RunInForeground(const std::vector<std::string>& argv) {
  ForegroundRun run;
  if (argv.empty() || argv[0].empty()) {
    run.error = ENOENT;
    return run;
  }
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  ResetChildSignals(attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK);

  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  struct sigaction stopDefault {};
  stopDefault.sa_handler = SIG_DFL;
  sigemptyset(&stopDefault.sa_mask);
  struct sigaction oldInt {}, oldQuit {}, oldStop {};
  sigaction(SIGINT, &ignore, &oldInt);
  sigaction(SIGQUIT, &ignore, &oldQuit);
  sigaction(SIGTSTP, &stopDefault, &oldStop);

  std::vector<char*> args = ArgvPointers(argv);
  pid_t pid = -1;
  int error = posix_spawnp(&pid, args[0], nullptr, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  if (error != 0) {
    run.error = error;
  } else {
    run.started = true;
    int status = 0;
    while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    run.status = status;
  }
  sigaction(SIGINT, &oldInt, nullptr);
  sigaction(SIGQUIT, &oldQuit, nullptr);
  sigaction(SIGTSTP, &oldStop, nullptr);
  return run;
}

bool StartDetached(const std::vector<std::string>& argv, const std::string& input) {
  ReapDetachedChildren();
  if (argv.empty() || argv[0].empty()) return false;
  int inputFd = DataFile(input);
  if (inputFd < 0) return false;

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, inputFd, STDIN_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  ResetChildSignals(attr);
  posix_spawnattr_setflags(&attr, POSIX_SPAWN_SETSIGDEF | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSID);

  std::vector<char*> args = ArgvPointers(argv);
  pid_t pid = -1;
  int error = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  close(inputFd);
  if (error != 0) return false;
  std::lock_guard lock(detachedMutex);
  detachedChildren.push_back(pid);
  return true;
}

void ReapDetachedChildren() {
  std::lock_guard lock(detachedMutex);
  for (size_t i = 0; i < detachedChildren.size();) {
    int status = 0;
    pid_t done = waitpid(detachedChildren[i], &status, WNOHANG);
    if (done == detachedChildren[i] || (done < 0 && errno == ECHILD)) {
      detachedChildren.erase(detachedChildren.begin() + static_cast<std::ptrdiff_t>(i));
    } else {
      ++i;
    }
  }
}

bool FindInPath(const std::string& name) {
  if (name.empty()) return false;
  auto executable = [](const std::string& path) {
    struct stat st {};
    return stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) && access(path.c_str(), X_OK) == 0;
  };
  if (name.find('/') != std::string::npos) return executable(name);
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "/usr/local/bin:/usr/bin:/bin";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t end = dirs.find(':', start);
    if (end == std::string::npos) end = dirs.size();
    // An empty entry means the working directory.
    const std::string candidate = end > start ? dirs.substr(start, end - start) + "/" + name : "./" + name;
    if (executable(candidate)) return true;
    start = end + 1;
  }
  return false;
}

}  // namespace kelm::port
