// The end-to-end harness itself: its scan of the process table holds up
// while other processes start and end during it.
#include <dirent.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

#include "tmux_terminal.h"

extern char** environ;

namespace kelm::e2e {
namespace {

int OpenDescriptors() {
  int count = 0;
  if (DIR* fds = opendir("/proc/self/fd")) {
    while (readdir(fds) != nullptr) ++count;
    closedir(fds);
  }
  return count;
}

pid_t Spawn(const std::vector<const char*>& argv) {
  pid_t pid = 0;
  std::vector<char*> args;
  for (const char* arg : argv) args.push_back(const_cast<char*>(arg));
  args.push_back(nullptr);
  return posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) == 0 ? pid : -1;
}

TEST(HarnessProcessScan, ToleratesProcessesThatEndDuringTheScan) {
  const pid_t sleeper = Spawn({"sleep", "60"});
  ASSERT_GT(sleeper, 0);

  // Short-lived processes, started and reaped while the scans run, so that
  // entries of /proc vanish between the listing and the reading.
  std::atomic<bool> stop{false};
  std::atomic<int> spawned{0};
  std::thread churn([&] {
    while (!stop) {
      const pid_t pid = Spawn({"true"});
      if (pid > 0) {
        waitpid(pid, nullptr, 0);
        ++spawned;
      }
    }
  });

  const int descriptorsBefore = OpenDescriptors();
  int scans = 0;
  bool alwaysFound = true;
  while (scans < 200 || spawned < 50) {
    std::vector<int> children;
    EXPECT_NO_THROW(children = TmuxTerminal::ChildrenOf(getpid()));
    alwaysFound = alwaysFound && std::find(children.begin(), children.end(), sleeper) != children.end();
    if (++scans > 5000) break;
  }
  stop = true;
  churn.join();

  EXPECT_TRUE(alwaysFound) << "the long-lived child was missed";
  EXPECT_GE(spawned, 50) << "too few processes came and went to test anything";
  EXPECT_EQ(OpenDescriptors(), descriptorsBefore) << "a scan left a descriptor open";
  EXPECT_TRUE(TmuxTerminal::ChildrenOf(sleeper).empty());

  kill(sleeper, SIGKILL);
  waitpid(sleeper, nullptr, 0);
}

}  // namespace
}  // namespace kelm::e2e
