// The running program on a pseudo-terminal: CPU time and bytes written while
// idle, and key-to-screen latency (from a key written to the terminal to the
// first byte of the frame that shows its effect).
//
//   terminal_latency_bench [--benchmark_filter=...]
//
// The program is the kelmhex binary next to this benchmark's folder
// (build/<dir>/kelmhex), or $KELMHEX_BINARY. The idle measurement lasts
// $KELMHEX_IDLE_SECONDS seconds (default 10). Counters:
//   idle_cpu_ms      user + system CPU time of the program over the idle time
//   idle_cpu_ms_10s  the same scaled to 10 seconds
//   idle_bytes       bytes the program wrote while idle (should be 0)
//   latency_median_us, latency_p90_us, latency_max_us   key to screen
#include <benchmark/benchmark.h>
#include <dirent.h>
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// End of every frame the encoder writes (synchronized output off).
constexpr std::string_view kFrameEnd = "\x1b[?2026l";

std::string BinaryPath() {
  if (const char* path = std::getenv("KELMHEX_BINARY"); path != nullptr && *path != '\0') return path;
  char self[4096];
  const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
  if (n <= 0) return "kelmhex";
  std::string dir(self, static_cast<size_t>(n));
  dir = dir.substr(0, dir.rfind('/'));     // .../bench
  dir = dir.substr(0, dir.rfind('/'));     // the build folder
  return dir + "/kelmhex";
}

std::string SampleFile() {
  static std::string path;
  if (!path.empty()) return path;
  char pattern[] = "/tmp/kelmhex-bench-XXXXXX";
  const int fd = mkstemp(pattern);
  std::mt19937 random(7);
  std::string bytes(64 * 1024, '\0');
  for (char& b : bytes) b = static_cast<char>(random());
  if (fd >= 0) {
    [[maybe_unused]] ssize_t n = write(fd, bytes.data(), bytes.size());
    close(fd);
  }
  path = pattern;
  return path;
}

// The program on the terminal side of a pseudo-terminal that is its
// controlling terminal; we play the terminal emulator.
class Program {
 public:
  Program(int columns, int rows) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(master_);
    unlockpt(master_);
    const std::string slaveName = ptsname(master_);
    winsize ws{};
    ws.ws_col = static_cast<unsigned short>(columns);
    ws.ws_row = static_cast<unsigned short>(rows);
    ioctl(master_, TIOCSWINSZ, &ws);
    const std::string binary = BinaryPath();
    const std::string file = SampleFile();
    pid_ = fork();
    if (pid_ == 0) {
      setsid();
      const int slave = open(slaveName.c_str(), O_RDWR);  // becomes the controlling terminal
      dup2(slave, 0);
      dup2(slave, 1);
      dup2(slave, 2);
      if (slave > 2) close(slave);
      execl(binary.c_str(), binary.c_str(), file.c_str(), static_cast<char*>(nullptr));
      _exit(127);
    }
  }
  ~Program() {
    if (pid_ > 0) {
      kill(pid_, SIGTERM);
      int status = 0;
      waitpid(pid_, &status, 0);
    }
    close(master_);
  }

  void Send(std::string_view bytes) { [[maybe_unused]] ssize_t n = write(master_, bytes.data(), bytes.size()); }

  // Reads what arrives within `timeoutMs`, answering the terminal queries
  // (device attributes) as a terminal would. Yields the bytes read.
  std::string Read(int timeoutMs) {
    std::string got;
    pollfd p{master_, POLLIN, 0};
    if (poll(&p, 1, timeoutMs) <= 0) return got;
    char buffer[65536];
    const ssize_t n = read(master_, buffer, sizeof buffer);
    if (n > 0) got.assign(buffer, static_cast<size_t>(n));
    if (got.find("\x1b[c") != std::string::npos) Send("\x1b[?62;22c");
    return got;
  }

  // Reads until `marker` arrived (or the deadline); yields everything read.
  std::string ReadUntil(std::string_view marker, int timeoutMs) {
    std::string all;
    const auto deadline = Clock::now() + std::chrono::milliseconds(timeoutMs);
    while (all.find(marker) == std::string::npos && Clock::now() < deadline) all += Read(20);
    return all;
  }

  // Reads until nothing arrived for `quietMs`.
  std::string Drain(int quietMs) {
    std::string all;
    for (;;) {
      std::string got = Read(quietMs);
      if (got.empty()) return all;
      all += got;
    }
  }

  // User + system CPU time of all the program's threads, in milliseconds
  // (from the scheduler's nanosecond counters).
  double CpuMs() const {
    double total = 0;
    const std::string dir = "/proc/" + std::to_string(pid_) + "/task";
    DIR* tasks = opendir(dir.c_str());
    if (tasks == nullptr) return 0;
    while (const dirent* entry = readdir(tasks)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream in(dir + "/" + entry->d_name + "/schedstat");
      double ns = 0;
      if (in >> ns) total += ns / 1e6;
    }
    closedir(tasks);
    return total;
  }

  // utime + stime from /proc/<pid>/stat (clock ticks), in milliseconds.
  double StatCpuMs() const {
    std::ifstream in("/proc/" + std::to_string(pid_) + "/stat");
    std::string content((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    std::istringstream fields(content.substr(content.rfind(')') + 2));
    std::vector<std::string> values;
    std::string value;
    while (fields >> value) values.push_back(value);
    // After the name: state is field 3, utime field 14, stime field 15.
    if (values.size() < 13) return 0;
    const double ticks = std::stod(values[11]) + std::stod(values[12]);
    return ticks * 1000.0 / static_cast<double>(sysconf(_SC_CLK_TCK));
  }

 private:
  int master_ = -1;
  pid_t pid_ = -1;
};

void BM_IdleProgram(benchmark::State& state) {
  const char* secondsText = std::getenv("KELMHEX_IDLE_SECONDS");
  const int seconds = secondsText ? std::max(1, std::atoi(secondsText)) : 10;
  double cpu = 0;
  double statCpu = 0;
  size_t idleBytes = 0;
  for (auto _ : state) {
    Program program(120, 40);
    if (program.ReadUntil(kFrameEnd, 5000).find(kFrameEnd) == std::string::npos) {
      state.SkipWithError("the program drew no frame");
      return;
    }
    program.Drain(300);  // the start-up settles
    const double before = program.CpuMs();
    const double statBefore = program.StatCpuMs();
    std::string idle;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) idle += program.Read(100);
    cpu = program.CpuMs() - before;
    statCpu = program.StatCpuMs() - statBefore;
    idleBytes = idle.size();
  }
  state.counters["idle_cpu_ms"] = cpu;
  state.counters["idle_cpu_ms_10s"] = cpu * 10.0 / seconds;
  state.counters["idle_stat_cpu_ms"] = statCpu;
  state.counters["idle_bytes"] = static_cast<double>(idleBytes);
  state.counters["idle_seconds"] = seconds;
}
BENCHMARK(BM_IdleProgram)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

void BM_KeyToScreen(benchmark::State& state) {
  const int presses = static_cast<int>(state.range(0));
  std::vector<double> latencies;
  for (auto _ : state) {
    Program program(120, 40);
    if (program.ReadUntil(kFrameEnd, 5000).find(kFrameEnd) == std::string::npos) {
      state.SkipWithError("the program drew no frame");
      return;
    }
    program.Drain(300);
    // Select a byte of the first grid row, so that arrows move a selection.
    program.Send("\x1b[<0;25;3M");
    program.Send("\x1b[<0;25;3m");
    program.Drain(200);
    for (int i = 0; i < presses; ++i) {
      const char* key = i % 2 == 0 ? "\x1b[C" : "\x1b[D";  // Right, Left
      const auto sent = Clock::now();
      program.Send(key);
      const std::string first = program.Read(2000);
      const auto shown = Clock::now();
      if (first.empty()) {
        state.SkipWithError("no frame after a key");
        return;
      }
      latencies.push_back(std::chrono::duration<double, std::micro>(shown - sent).count());
      if (first.find(kFrameEnd) == std::string::npos) program.ReadUntil(kFrameEnd, 2000);
      program.Drain(30);
    }
  }
  std::sort(latencies.begin(), latencies.end());
  state.counters["latency_median_us"] = latencies[latencies.size() / 2];
  state.counters["latency_p90_us"] = latencies[latencies.size() * 9 / 10];
  state.counters["latency_max_us"] = latencies.back();
  state.counters["presses"] = static_cast<double>(latencies.size());
}
BENCHMARK(BM_KeyToScreen)->Arg(100)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
