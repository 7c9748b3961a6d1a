// Cost of the list of marks per key: a frame with Down (the cursor moves)
// and a frame with a letter typed (the filter runs over every mark), with
// 10 marks as the baseline and 10,000 marks. Moving must cost the same for
// both; filtering grows with the count only by one pass over the names.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <string>

#include "app/startup.h"
#include "engine/core/engine.h"
#include "engine/port/virtual/virtual_console.h"
#include "viewer/mark_list_box.h"
#include "viewer/marks_store.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

using namespace KelmCEngineV2;

namespace {

std::string BenchFile() {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "kelmhex-mark-list-bench";
  std::filesystem::create_directories(directory);
  SetMarksFolderForTests((directory / "marks").string());
  const std::filesystem::path path = directory / "file.bin";
  std::ofstream(path, std::ios::binary) << std::string(1 << 20, 'x');
  return path.string();
}

// The viewer at 120 x 40 with `count` named marks and the list open.
struct ListOpen {
  kelm::port::VirtualConsole console{121, 40};
  std::unique_ptr<Engine> engine;

  explicit ListOpen(int64_t count) {
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
    kelm::port::SetPort(&console);
    engine = std::make_unique<Engine>(false, false);
    engine->SetupConsole();
    BuildViewer(*engine, BenchFile());
    for (int64_t i = 0; i < count; ++i) {
      MarkedRange mark;
      mark.start = static_cast<uint64_t>((i * 7919) % (1 << 20));
      mark.length = 4;
      mark.name = u"mark " + std::u16string(1, static_cast<char16_t>(u'a' + i % 26));
      markedRanges.push_back(mark);
    }
    engine->RunFrame();
    OpenMarkList();
    engine->RunFrame();
  }
  ~ListOpen() {
    engine.reset();
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
  }
  void Key(uint16_t key, char16_t typed) {
    console.PushKey(key, typed, 0);
    engine->RunFrame();
  }
};

void BM_MarkListDown(benchmark::State& state) {
  ListOpen list(state.range(0));
  int step = 0;
  for (auto _ : state) list.Key(++step % 64 < 32 ? kelm::port::VK_DOWN : kelm::port::VK_UP, 0);
}
BENCHMARK(BM_MarkListDown)->Arg(10)->Arg(10000)->Unit(benchmark::kMicrosecond);

void BM_MarkListFilter(benchmark::State& state) {
  ListOpen list(state.range(0));
  int step = 0;
  for (auto _ : state) {
    if (++step % 2 == 1) {
      list.Key('K', u'k');
    } else {
      list.Key(kelm::port::VK_BACK, u'\b');
    }
  }
}
BENCHMARK(BM_MarkListFilter)->Arg(10)->Arg(10000)->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
