// Private memory (RssAnon) of the viewer while 2 GiB come through a pipe,
// against the viewer on a regular file of the same size in the same run.
// The piped bytes go to the spool file (page cache, not private memory), so
// the growth should be that of the file viewer: the target is under 1 MiB.
//
// One iteration: the figures are the counters (KiB), not the time.
#include <benchmark/benchmark.h>
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "app/startup.h"
#include "engine/core/engine.h"
#include "engine/port/input_spool.h"
#include "engine/port/virtual/virtual_console.h"
#include "tests/support/process_memory.h"
#include "viewer/input_pipe.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

using namespace KelmCEngineV2;

namespace {

constexpr uint64_t kStreamSize = uint64_t{2} << 30;
constexpr int kColumns = 120;
constexpr int kRows = 40;

std::filesystem::path BenchDirectory() {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "kelmhex-pipe-bench";
  std::filesystem::create_directories(directory);
  return directory;
}

struct Growth {
  int64_t before = 0;
  int64_t after = 0;
};

// The viewer on a virtual console, frames run by hand.
struct Screen {
  kelm::port::VirtualConsole console{kColumns + 1, kRows};
  std::unique_ptr<Engine> engine;
  Screen() {
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
    kelm::port::SetPort(&console);
    engine = std::make_unique<Engine>(false, false);
    engine->SetupConsole();
  }
  ~Screen() {
    StopViewingPipe();
    engine.reset();
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
  }
  void Key(uint16_t virtualKey) {
    console.PushKey(virtualKey, 0, 0);
    engine->RunFrame();
    engine->RunFrame();
  }
};

// A regular (sparse) file of the stream's size: End, then Page Up through
// a few hundred screens.
Growth FileViewer() {
  const std::string path = (BenchDirectory() / "regular.bin").string();
  { std::ofstream create(path, std::ios::binary | std::ios::trunc); }
  std::filesystem::resize_file(path, kStreamSize);
  Growth growth;
  {
    Screen screen;
    BuildViewer(*screen.engine, path);
    screen.engine->RunFrame();
    growth.before = process_memory::RssAnonKiB();
    screen.Key(kelm::port::VK_END);
    for (int i = 0; i < 300; ++i) screen.Key(kelm::port::VK_PRIOR);
    growth.after = process_memory::RssAnonKiB();
  }
  std::filesystem::remove(path);
  return growth;
}

// The stream through a pipe, written by a thread from `block` (made before
// either viewer is sampled); End now and then while it comes.
Growth PipeViewer(const std::vector<char>& block, uint64_t& viewed) {
  int fds[2];
  if (pipe2(fds, O_CLOEXEC) != 0) return {};
  Growth growth;
  {
    Screen screen;
    kelm::port::InputSpool spool;
    if (spool.Create(BenchDirectory().string()) != 0) return {};
    BuildViewerOnPipe(*screen.engine, spool, fds[0]);
    screen.engine->RunFrame();
    growth.before = process_memory::RssAnonKiB();
    std::thread writer([&] {
      for (uint64_t sent = 0; sent < kStreamSize;) {
        const ssize_t n = write(fds[1], block.data(), block.size());
        if (n <= 0) break;
        sent += static_cast<uint64_t>(n);
      }
      close(fds[1]);
    });
    for (int frame = 0; spool.Progress().state == kelm::port::SpoolState::Arriving; ++frame) {
      if (frame % 100 == 0) screen.Key(kelm::port::VK_END);
      screen.engine->RunFrame();
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    writer.join();
    screen.engine->RunFrame();
    screen.Key(kelm::port::VK_END);
    viewed = fileSize;
    growth.after = process_memory::RssAnonKiB();
  }
  close(fds[0]);
  return growth;
}

void BM_PrivateMemoryPipingTwoGibibytes(benchmark::State& state) {
  Growth file;
  Growth piped;
  uint64_t viewed = 0;
  std::vector<char> block(1 << 20);
  for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<char>(i * 7);
  for (auto _ : state) {
    file = FileViewer();
    piped = PipeViewer(block, viewed);
  }
  state.counters["file_rss_anon_KiB"] = static_cast<double>(file.after);
  state.counters["file_growth_KiB"] = static_cast<double>(file.after - file.before);
  state.counters["pipe_rss_anon_KiB"] = static_cast<double>(piped.after);
  state.counters["pipe_growth_KiB"] = static_cast<double>(piped.after - piped.before);
  state.counters["pipe_minus_file_KiB"] = static_cast<double>(piped.after - file.after);
  if (viewed != kStreamSize) state.SkipWithError("the viewer did not take the whole stream");
}
BENCHMARK(BM_PrivateMemoryPipingTwoGibibytes)->Iterations(1)->Unit(benchmark::kSecond);

}  // namespace

BENCHMARK_MAIN();
