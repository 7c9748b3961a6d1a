// Cost of the hex grid: rebuilding and recolouring a 250 x 80 screen, for
// small and huge files and selections, and the keys that jump through a
// 1 TiB sparse file. None of these may depend on the file size or on the
// length of a range.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/port/virtual/virtual_console.h"
#include "app/startup.h"
#include "viewer/search.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

using namespace KelmCEngineV2;

namespace {

constexpr uint64_t kMebibyte = 1ULL << 20;
constexpr uint64_t kTebibyte = 1ULL << 40;

std::filesystem::path BenchDirectory() {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "kelmhex-viewer-bench";
  std::filesystem::create_directories(directory);
  return directory;
}

// A file of `size` bytes: written with varied bytes when small, sparse
// (holes read as zeros) when large.
std::string MakeFile(uint64_t size) {
  const std::filesystem::path path = BenchDirectory() / ("file-" + std::to_string(size) + ".bin");
  std::error_code error;
  if (std::filesystem::exists(path, error) && std::filesystem::file_size(path, error) == size) return path.string();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  if (size <= 16 * kMebibyte) {
    std::vector<char> bytes(size);
    for (uint64_t i = 0; i < size; ++i) bytes[i] = static_cast<char>((i * 131) >> 3);
    out.write(bytes.data(), static_cast<std::streamsize>(size));
  } else {
    out.close();
    std::filesystem::resize_file(path, size);
  }
  return path.string();
}

// The whole viewer on a virtual console of the given size (the engine draws
// one column less), frames run by hand.
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

  void Key(uint16_t virtualKey, uint32_t controlState = 0) {
    console.PushKey(virtualKey, 0, controlState);
    engine->RunFrame();
  }
};

void SelectAll(uint64_t length) {
  selection.start = 0;
  selection.length = length;
  selectionAnchor = 0;
  selectionActive = true;
}

// Rebuild (one read of the window) plus recolour, on a 250 x 80 screen.
// Argument: file size.
void BM_RefreshGrid250x80(benchmark::State& state) {
  Viewer viewer(250, 80, MakeFile(static_cast<uint64_t>(state.range(0))));
  topRow = static_cast<int64_t>(fileSize / 2 / static_cast<uint64_t>(bytesPerRow));
  SelectAll(fileSize);
  for (auto _ : state) RefreshGrid();
  state.counters["bytesPerRow"] = bytesPerRow;
}
BENCHMARK(BM_RefreshGrid250x80)->Arg(4096)->Arg(static_cast<int64_t>(kMebibyte))->Arg(static_cast<int64_t>(kTebibyte))
    ->Unit(benchmark::kMicrosecond);

// Recolour alone (selection or marks changed) on a 250 x 80 screen.
// Argument: selection length (the whole offset space at most).
void BM_RecolourGrid250x80(benchmark::State& state) {
  Viewer viewer(250, 80, MakeFile(kMebibyte));
  SelectAll(state.range(0) < 0 ? ~0ULL : static_cast<uint64_t>(state.range(0)));
  MarkedRange mark;
  mark.start = 100;
  mark.length = ~0ULL;
  markedRanges.assign(8, mark);
  for (auto _ : state) RecolourGrid();
}
BENCHMARK(BM_RecolourGrid250x80)->Arg(1)->Arg(4096)->Arg(-1)->Unit(benchmark::kMicrosecond);

// Opening a 1 TiB sparse file and showing its first screen.
void BM_OpenTebibyteFile(benchmark::State& state) {
  Viewer viewer(250, 80, MakeFile(kTebibyte));
  const std::string path = filePath;
  for (auto _ : state) {
    LoadFile(path);
    viewer.engine->RunFrame();
  }
}
BENCHMARK(BM_OpenTebibyteFile)->Unit(benchmark::kMicrosecond);

// End, Home and Page Down in a 1 TiB file, each with the frame that shows it.
void BM_JumpKeysTebibyteFile(benchmark::State& state) {
  Viewer viewer(250, 80, MakeFile(kTebibyte));
  const auto key = static_cast<uint16_t>(state.range(0));
  for (auto _ : state) {
    if (key == kelm::port::VK_NEXT && topRow > static_cast<int64_t>(kTebibyte / 64)) topRow = 0;
    viewer.Key(key);
    viewer.Key(key == kelm::port::VK_END ? kelm::port::VK_HOME : 0);
  }
}
BENCHMARK(BM_JumpKeysTebibyteFile)->Arg(kelm::port::VK_END)->Arg(kelm::port::VK_NEXT)->Unit(benchmark::kMicrosecond);

// A whole frame at 250 x 80 with the grid on screen and a key handled in it
// (what holding Page Down costs per key repeat).
void BM_FramePageDown250x80(benchmark::State& state) {
  Viewer viewer(250, 80, MakeFile(kTebibyte));
  SelectAll(1000);
  for (auto _ : state) {
    viewer.Key(kelm::port::VK_NEXT);
    if (topRow > static_cast<int64_t>(kTebibyte / 64)) topRow = 0;
  }
}
BENCHMARK(BM_FramePageDown250x80)->Unit(benchmark::kMicrosecond);

// A whole frame with no input (what the viewer costs 50 times a second while
// the user does nothing), with the pointer over the grid.
void BM_IdleFrame(benchmark::State& state) {
  Viewer viewer(static_cast<int>(state.range(0)), static_cast<int>(state.range(1)), MakeFile(64 * 1024));
  viewer.console.PushMouseMove(30, 5);
  viewer.engine->RunFrame();
  for (auto _ : state) viewer.engine->RunFrame();
}
BENCHMARK(BM_IdleFrame)->Args({119, 40})->Args({249, 80})->Unit(benchmark::kMicrosecond);

// A whole frame at 250 x 80 after a recolour, with every match of a search
// pattern in view highlighted (argument 1) or no pattern set (0). The
// pattern, one byte, stands a dozen times or more on every screen.
void BM_FrameHighlight250x80(benchmark::State& state) {
  Viewer viewer(250, 80, MakeFile(kMebibyte));
  ResetSearchForTests();
  if (state.range(0) != 0) {
    SearchPattern pattern;
    pattern.bytes = {0x10};
    StartSearch(pattern, 0, SearchDirection::Forward);
    while (SearchRunning()) AdvanceSearch();
  }
  selectionActive = false;
  for (auto _ : state) {
    RecolourGrid();
    viewer.engine->RunFrame();
  }
  ResetSearchForTests();
}
BENCHMARK(BM_FrameHighlight250x80)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Page Down at 250 x 80 through a 1 MiB file, a whole frame drawn each
// key, with the matches of a pattern highlighted (argument: the pattern's
// length; 0 for no pattern). The one-byte pattern stands a dozen times or
// more on every screen; the eight-byte one needs the bytes past the window.
void BM_FramePageDownHighlight250x80(benchmark::State& state) {
  const std::string path = MakeFile(kMebibyte);
  Viewer viewer(250, 80, path);
  ResetSearchForTests();
  if (state.range(0) != 0) {
    SearchPattern pattern;
    pattern.bytes = {0x10};
    if (state.range(0) > 1) {
      // Bytes of the file itself, which repeats every 2 KiB.
      std::ifstream in(path, std::ios::binary);
      in.seekg(1000);
      pattern.bytes.resize(static_cast<size_t>(state.range(0)));
      in.read(reinterpret_cast<char*>(pattern.bytes.data()), state.range(0));
    }
    StartSearch(pattern, 0, SearchDirection::Forward);
    while (SearchRunning()) AdvanceSearch();
  }
  selectionActive = false;
  const auto lastTop = static_cast<int64_t>(kMebibyte / static_cast<uint64_t>(bytesPerRow)) - 200;
  for (auto _ : state) {
    viewer.Key(kelm::port::VK_NEXT);
    if (topRow > lastTop) topRow = 0;
  }
  ResetSearchForTests();
}
BENCHMARK(BM_FramePageDownHighlight250x80)->Arg(0)->Arg(1)->Arg(8)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
