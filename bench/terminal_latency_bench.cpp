// The running program on a pseudo-terminal: CPU time, wake-ups and bytes
// written while idle (the plain view, the inspector panel open, a focused
// Seek field whose caret blinks), and key-to-screen latency (from a key
// written to the terminal to the first byte of the frame that shows its
// effect).
//
//   terminal_latency_bench [--benchmark_filter=...]
//
// The program is the kelmhex binary next to this benchmark's folder
// (build/<dir>/kelmhex), or $KELMHEX_BINARY. The idle measurement lasts
// $KELMHEX_IDLE_SECONDS seconds (default 10). Counters:
//   idle_cpu_ms      user + system CPU time of the program over the idle time
//   idle_cpu_ms_10s  the same scaled to 10 seconds
//   idle_bytes       bytes the program wrote while idle (0 unless a caret blinks)
//   wakeups_per_s    voluntary context switches of all the program's threads
//                    per second (each time a thread slept and was woken)
//   preempted_per_s  involuntary ones (other programs took the core)
//   latency_median_us, latency_p90_us, latency_max_us   key to screen
//
// The search through the user interface: a file of $KELMHEX_UI_SEARCH_MIB
// MiB (default 1024) of random bytes with an 8-byte pattern at its very end,
// in the page cache; from Enter in the find form to the frame that shows the
// match, against a plain memmem scan of the same file (1 MiB preads, as the
// search reads) in the same run. Counters: ui_search_ms, memmem_ms, ratio.
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
#include <cstring>
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
  Program(int columns, int rows, const std::string& file = SampleFile()) {
    master_ = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    grantpt(master_);
    unlockpt(master_);
    const std::string slaveName = ptsname(master_);
    winsize ws{};
    ws.ws_col = static_cast<unsigned short>(columns);
    ws.ws_row = static_cast<unsigned short>(rows);
    ioctl(master_, TIOCSWINSZ, &ws);
    const std::string binary = BinaryPath();
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

  // The sum over all the program's threads of what `read` takes from each
  // thread's /proc/<pid>/task/<tid>/`file`.
  template <typename Read>
  double SumOverThreads(const char* file, Read read) const {
    double total = 0;
    const std::string dir = "/proc/" + std::to_string(pid_) + "/task";
    DIR* tasks = opendir(dir.c_str());
    if (tasks == nullptr) return 0;
    while (const dirent* entry = readdir(tasks)) {
      if (entry->d_name[0] == '.') continue;
      std::ifstream in(dir + "/" + entry->d_name + "/" + file);
      total += read(in);
    }
    closedir(tasks);
    return total;
  }

  // User + system CPU time of all the program's threads, in milliseconds
  // (from the scheduler's nanosecond counters).
  double CpuMs() const {
    return SumOverThreads("schedstat", [](std::istream& in) {
      double ns = 0;
      return in >> ns ? ns / 1e6 : 0.0;
    });
  }

  // Context switches of all the program's threads: `kind` is "voluntary"
  // or "nonvoluntary".
  double ContextSwitches(const std::string& kind) const {
    return SumOverThreads("status", [&](std::istream& in) {
      double count = 0;
      std::string line;
      while (std::getline(in, line)) {
        if (line.rfind(kind + "_ctxt_switches:", 0) == 0) count += std::stod(line.substr(line.find(':') + 1));
      }
      return count;
    });
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

// What is open while the program idles.
enum IdleCase { kPlainView = 0, kInspectorOpen = 1, kSeekFieldFocused = 2 };

void BM_IdleProgram(benchmark::State& state) {
  const char* secondsText = std::getenv("KELMHEX_IDLE_SECONDS");
  const int seconds = secondsText ? std::max(1, std::atoi(secondsText)) : 10;
  double cpu = 0;
  double statCpu = 0;
  double switches = 0;
  double preemptions = 0;
  size_t idleBytes = 0;
  for (auto _ : state) {
    Program program(120, 40);
    if (program.ReadUntil(kFrameEnd, 5000).find(kFrameEnd) == std::string::npos) {
      state.SkipWithError("the program drew no frame");
      return;
    }
    program.Drain(300);  // the start-up settles
    if (state.range(0) == kInspectorOpen) program.Send("\x04");  // Ctrl+D
    if (state.range(0) == kSeekFieldFocused) program.Send("\x07");  // Ctrl+G
    if (state.range(0) != kPlainView) program.Drain(300);
    const double before = program.CpuMs();
    const double statBefore = program.StatCpuMs();
    const double switchesBefore = program.ContextSwitches("voluntary");
    const double preemptionsBefore = program.ContextSwitches("nonvoluntary");
    std::string idle;
    const auto end = Clock::now() + std::chrono::seconds(seconds);
    while (Clock::now() < end) idle += program.Read(100);
    cpu = program.CpuMs() - before;
    statCpu = program.StatCpuMs() - statBefore;
    switches = program.ContextSwitches("voluntary") - switchesBefore;
    preemptions = program.ContextSwitches("nonvoluntary") - preemptionsBefore;
    idleBytes = idle.size();
  }
  state.counters["idle_cpu_ms"] = cpu;
  state.counters["idle_cpu_ms_10s"] = cpu * 10.0 / seconds;
  state.counters["idle_stat_cpu_ms"] = statCpu;
  state.counters["idle_bytes"] = static_cast<double>(idleBytes);
  state.counters["idle_seconds"] = seconds;
  state.counters["wakeups_per_s"] = switches / seconds;
  state.counters["preempted_per_s"] = preemptions / seconds;
}
BENCHMARK(BM_IdleProgram)
    ->ArgName("case")
    ->Arg(kPlainView)
    ->Arg(kInspectorOpen)
    ->Arg(kSeekFieldFocused)
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

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

constexpr uint64_t kMebibyte = uint64_t{1} << 20;
const unsigned char kSearchPattern[] = {0xDE, 0xAD, 0xBE, 0xEF, 0x01, 0x23, 0x45, 0x67};

// Random bytes with the pattern as the last 8; read once into the page cache.
std::string MakeSearchFile(uint64_t mebibytes) {
  char pattern[] = "/tmp/kelmhex-ui-search-XXXXXX";
  const int fd = mkstemp(pattern);
  if (fd < 0) return std::string();
  std::mt19937_64 random(42);
  std::vector<uint64_t> block(kMebibyte / 8);
  for (uint64_t i = 0; i < mebibytes; ++i) {
    for (uint64_t& word : block) word = random();
    if (i + 1 == mebibytes) {
      std::memcpy(reinterpret_cast<char*>(block.data()) + kMebibyte - sizeof kSearchPattern, kSearchPattern,
                  sizeof kSearchPattern);
    }
    if (write(fd, block.data(), kMebibyte) != static_cast<ssize_t>(kMebibyte)) break;
  }
  for (uint64_t at = 0; at < mebibytes * kMebibyte; at += kMebibyte) {
    if (pread(fd, block.data(), kMebibyte, static_cast<off_t>(at)) <= 0) break;
  }
  close(fd);
  return pattern;
}

// A plain scan: 1 MiB preads overlapping by the pattern's length - 1, each
// handed to memmem. Yields the offset found.
uint64_t MemmemScan(const std::string& path) {
  const int fd = open(path.c_str(), O_RDONLY);
  const size_t m = sizeof kSearchPattern;
  std::vector<unsigned char> buffer(kMebibyte + m - 1);
  uint64_t found = ~uint64_t{0};
  for (uint64_t at = 0;; at += kMebibyte) {
    const ssize_t got = pread(fd, buffer.data(), buffer.size(), static_cast<off_t>(at));
    if (got < static_cast<ssize_t>(m)) break;
    if (const void* hit = memmem(buffer.data(), static_cast<size_t>(got), kSearchPattern, m)) {
      found = at + static_cast<uint64_t>(static_cast<const unsigned char*>(hit) - buffer.data());
      break;
    }
  }
  close(fd);
  return found;
}

void BM_SearchThroughTheUi(benchmark::State& state) {
  const char* mibText = std::getenv("KELMHEX_UI_SEARCH_MIB");
  const uint64_t mebibytes = mibText != nullptr ? std::max<uint64_t>(1, std::strtoull(mibText, nullptr, 10)) : 1024;
  const std::string path = MakeSearchFile(mebibytes);
  if (path.empty()) {
    state.SkipWithError("no file");
    return;
  }
  const uint64_t expected = mebibytes * kMebibyte - sizeof kSearchPattern;
  std::vector<double> ui;
  std::vector<double> plain;
  MemmemScan(path);  // a first pass, so that both are timed on a warm cache
  for (auto _ : state) {
    const auto memmemStart = Clock::now();
    const uint64_t found = MemmemScan(path);
    plain.push_back(std::chrono::duration<double, std::milli>(Clock::now() - memmemStart).count());
    if (found != expected) {
      state.SkipWithError("memmem did not find the pattern");
      break;
    }

    Program program(120, 40, path);
    if (program.ReadUntil(kFrameEnd, 5000).find(kFrameEnd) == std::string::npos) {
      state.SkipWithError("the program drew no frame");
      break;
    }
    program.Drain(300);
    program.Send("\x06");  // Ctrl+F
    program.Drain(200);
    program.Send("de ad be ef 01 23 45 67");
    program.Drain(200);
    const auto sent = Clock::now();
    program.Send("\r");
    // The match is on screen with the last frame before the output goes
    // quiet (a running search draws its progress at least every 50 ms).
    auto lastFrame = sent;
    std::string output;
    for (;;) {
      const std::string got = program.Read(500);
      if (got.empty()) break;
      output += got;
      if (got.find(kFrameEnd) != std::string::npos) lastFrame = Clock::now();
    }
    ui.push_back(std::chrono::duration<double, std::milli>(lastFrame - sent).count());
    // The view scrolled to the match's row (20 bytes a row at 120 columns):
    // the significant digits of its offset were written.
    char matchRow[32];
    std::snprintf(matchRow, sizeof matchRow, "%016llX", static_cast<unsigned long long>(expected - expected % 20));
    const std::string digits = std::string(matchRow).substr(std::string(matchRow).find_first_not_of('0'), 6);
    if (output.find(digits) == std::string::npos) {
      state.SkipWithError("the match was not shown");
      break;
    }
  }
  unlink(path.c_str());
  if (ui.empty() || plain.empty()) return;
  std::sort(ui.begin(), ui.end());
  std::sort(plain.begin(), plain.end());
  const double uiMs = ui[ui.size() / 2];
  const double memmemMs = plain[plain.size() / 2];
  state.counters["ui_search_ms"] = uiMs;
  state.counters["memmem_ms"] = memmemMs;
  state.counters["ratio"] = uiMs / memmemMs;
}
BENCHMARK(BM_SearchThroughTheUi)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
