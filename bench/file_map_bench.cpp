// The file map behind the scrollbar: the time from loading a file to a
// complete map through the whole viewer (frames run back to back, as the
// bar asks for them while it samples), on a 1 TiB sparse file with data at
// a few places against the same layout in 1 GiB (the baseline: the map's
// cost must not grow with the file), and on a fully written file of 64 MiB.
// Counters: frames to a complete map, and the growth of the process's
// private memory over all iterations (Linux: /proc/self/smaps_rollup), which
// must stay flat whatever the file's size.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "app/startup.h"
#include "engine/core/engine.h"
#include "engine/port/virtual/virtual_console.h"
#include "viewer/scroll_bar.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

using namespace KelmCEngineV2;

namespace {

constexpr uint64_t kMebibyte = 1ULL << 20;
constexpr uint64_t kGibibyte = 1ULL << 30;
constexpr uint64_t kTebibyte = 1ULL << 40;
constexpr int kDataPlaces = 5;

std::filesystem::path BenchDirectory() {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "kelmhex-file-map-bench";
  std::filesystem::create_directories(directory);
  return directory;
}

std::vector<char> RandomBlock(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  std::vector<char> bytes(count);
  for (char& byte : bytes) byte = static_cast<char>(generator());
  return bytes;
}

// A sparse file of `size` bytes with 64 KiB of random bytes at a few spread
// places (and the same places, scaled, whatever the size).
std::string SparseWithData(uint64_t size) {
  const std::filesystem::path path = BenchDirectory() / ("sparse-" + std::to_string(size) + ".bin");
  {
    std::ofstream create(path, std::ios::binary | std::ios::trunc);
  }
  std::filesystem::resize_file(path, size);
  std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
  const std::vector<char> block = RandomBlock(64 * 1024, 7);
  for (int place = 0; place < kDataPlaces; ++place) {
    out.seekp(static_cast<std::streamoff>(size / kDataPlaces * static_cast<uint64_t>(place) + size / 13));
    out.write(block.data(), static_cast<std::streamsize>(block.size()));
  }
  return path.string();
}

// A fully written file: text and random bytes in turn.
std::string WrittenFile(uint64_t size) {
  const std::filesystem::path path = BenchDirectory() / ("written-" + std::to_string(size) + ".bin");
  std::error_code error;
  if (std::filesystem::exists(path, error) && std::filesystem::file_size(path, error) == size) return path.string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  const std::vector<char> noise = RandomBlock(kMebibyte, 8);
  std::string text;
  while (text.size() < kMebibyte) text += "Lorem ipsum dolor sit amet, consectetur adipiscing elit.\n";
  for (uint64_t written = 0; written < size; written += kMebibyte) {
    if ((written / kMebibyte) % 2 == 0) {
      out.write(noise.data(), static_cast<std::streamsize>(kMebibyte));
    } else {
      out.write(text.data(), static_cast<std::streamsize>(kMebibyte));
    }
  }
  return path.string();
}

// Private memory of the process in KiB (0 where the system does not tell).
int64_t PrivateKiB() {
  std::ifstream in("/proc/self/smaps_rollup");
  std::string line;
  int64_t total = 0;
  while (std::getline(in, line)) {
    if (line.rfind("Private_", 0) != 0) continue;
    std::istringstream fields(line.substr(line.find(':') + 1));
    int64_t kib = 0;
    fields >> kib;
    total += kib;
  }
  return total;
}

struct Viewer {
  kelm::port::VirtualConsole console;
  std::unique_ptr<Engine> engine;

  Viewer(int width, int height, const std::string& path) : console(width + 1, height) {
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
    kelm::port::SetPort(&console);
    engine = std::make_unique<Engine>(false, false);
    engine->SetupConsole();
    BuildViewer(*engine, path);
    engine->RunFrame();
  }
  ~Viewer() {
    engine.reset();
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
  }
};

// Load, then frames until the map is complete, on a 250 x 80 screen (76
// cells). Argument: which file.
void MapToTheEnd(benchmark::State& state, const std::string& path) {
  Viewer viewer(250, 80, path);
  int64_t frames = 0;
  int64_t iterations = 0;
  // The first pass warms the page cache and the allocations; memory is
  // measured from after it.
  LoadFile(path);
  while (!ViewedFileMap().Complete()) viewer.engine->RunFrame();
  const int64_t before = PrivateKiB();
  for (auto _ : state) {
    LoadFile(path);
    do {
      viewer.engine->RunFrame();
      ++frames;
    } while (!ViewedFileMap().Complete());
    ++iterations;
  }
  state.counters["framesPerMap"] = static_cast<double>(frames) / static_cast<double>(iterations);
  state.counters["cells"] = ViewedFileMap().Cells();
  state.counters["privateGrowthKiB"] = static_cast<double>(PrivateKiB() - before);
  state.counters["privateKiB"] = static_cast<double>(PrivateKiB());
}

void BM_FileMapSparseGibibyteBaseline(benchmark::State& state) { MapToTheEnd(state, SparseWithData(kGibibyte)); }
BENCHMARK(BM_FileMapSparseGibibyteBaseline)->Unit(benchmark::kMillisecond);

void BM_FileMapSparseTebibyte(benchmark::State& state) { MapToTheEnd(state, SparseWithData(kTebibyte)); }
BENCHMARK(BM_FileMapSparseTebibyte)->Unit(benchmark::kMillisecond);

void BM_FileMapWritten64MiB(benchmark::State& state) { MapToTheEnd(state, WrittenFile(64 * kMebibyte)); }
BENCHMARK(BM_FileMapWritten64MiB)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
