// Terminal bytes the real viewer costs per file byte it brings into view:
// the whole viewer runs on the in-memory console, and each frame it draws is
// encoded as the terminal backend encodes it (same encoder, same options).
//
// Counters:
//   bytes/frame      terminal bytes per frame
//   bytes/file_byte  per byte of the file newly on screen
//   sgr/file_byte    of those, colour changes (CSI ... m)
//   moves/file_byte  of those, other control: cursor moves, CR, LF, marks
//
// Arguments: characters (0 spaced, 1 compact), data (0 random bytes, 1
// text), theme (0 classic, 1 terminal colours), width and height of the
// terminal (the frame is one column narrower).
#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "app/startup.h"
#include "engine/core/engine.h"
#include "engine/core/object.h"
#include "engine/port/terminal/codec/vt_output.h"
#include "engine/port/virtual/virtual_console.h"
#include "viewer/display_options.h"
#include "viewer/display_settings.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;
using namespace KelmCEngineV2;

namespace {

// Bytes of `out` in colour changes (CSI ... m) and in other control
// sequences and characters (cursor moves, CR, LF, synchronized output).
void CountControl(const std::string& out, size_t& sgr, size_t& moves) {
  for (size_t i = 0; i < out.size();) {
    const auto byte = static_cast<unsigned char>(out[i]);
    if (byte == 0x1b && i + 1 < out.size() && out[i + 1] == '[') {
      size_t end = i + 2;
      while (end < out.size() && (static_cast<unsigned char>(out[end]) < 0x40 || out[end] > 0x7e)) ++end;
      const size_t length = std::min(end + 1, out.size()) - i;
      (end < out.size() && out[end] == 'm' ? sgr : moves) += length;
      i += length;
    } else {
      if (byte < 0x20) ++moves;
      ++i;
    }
  }
}

uint64_t GridRows() { return hexColumn != nullptr && hexColumn->GetHeight() > 0 ? static_cast<uint64_t>(hexColumn->GetHeight()) : 0; }

constexpr size_t kFileSize = 16 << 20;

std::string MakeFile(bool text) {
  const std::filesystem::path directory = std::filesystem::temp_directory_path() / "kelmhex-output-bench";
  std::filesystem::create_directories(directory);
  const std::filesystem::path path = directory / (text ? "text.bin" : "random.bin");
  std::error_code error;
  if (std::filesystem::exists(path, error) && std::filesystem::file_size(path, error) == kFileSize) {
    return path.string();
  }
  std::mt19937 rng(text ? 7 : 2024);
  std::vector<char> bytes(kFileSize);
  for (char& b : bytes) {
    if (!text) {
      b = static_cast<char>(rng());
      continue;
    }
    // Words of letters, blanks, line breaks and now and then a zero byte.
    const unsigned r = rng() % 100;
    b = static_cast<char>(r < 15 ? ' ' : r < 17 ? '\n' : r < 18 ? 0 : 'a' + rng() % 26);
  }
  std::ofstream(path, std::ios::binary).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  return path.string();
}

void BM_PageDownOutput(benchmark::State& state) {
  const bool compact = state.range(0) != 0;
  const bool text = state.range(1) != 0;
  const bool terminalTheme = state.range(2) != 0;
  const int width = static_cast<int>(state.range(3));
  const int height = static_cast<int>(state.range(4));
  const std::string path = MakeFile(text);

  ResetEngineGlobalsForTests();
  ResetViewerStateForTests();
  ResetDisplaySettingsForTests();
  displayOptions.spacing = compact ? CharSpacing::Compact : CharSpacing::Spaced;
  displayOptions.theme = terminalTheme ? ColourTheme::Terminal : ColourTheme::Classic;
  kelm::port::VirtualConsole console(width, height);
  kelm::port::SetPort(&console);
  auto engine = std::make_unique<Engine>(false, false);
  engine->SetupConsole();
  BuildViewer(*engine, path);
  ApplyDisplayOptions();
  engine->RunFrame();
  engine->RunFrame();

  kelm::port::VtOutputEncoder encoder{kelm::port::VtOutputOptions{}};
  std::string out;
  encoder.Encode(console.frame.data(), console.frameWidth, console.frameHeight, out, width);
  const uint64_t page = static_cast<uint64_t>(bytesPerRow) * GridRows();
  size_t bytes = 0;
  size_t sgrBytes = 0;
  size_t moveBytes = 0;
  int64_t frames = 0;
  for (auto _ : state) {
    if ((static_cast<uint64_t>(topRow) + 2 * GridRows()) * static_cast<uint64_t>(bytesPerRow) >= kFileSize) {
      state.PauseTiming();
      console.PushKey(kelm::port::VK_HOME, 0, 0);
      engine->RunFrame();
      out.clear();
      encoder.Encode(console.frame.data(), console.frameWidth, console.frameHeight, out, width);
      state.ResumeTiming();
    }
    console.PushKey(kelm::port::VK_NEXT, 0, 0);
    engine->RunFrame();
    out.clear();
    encoder.Encode(console.frame.data(), console.frameWidth, console.frameHeight, out, width);
    benchmark::DoNotOptimize(out.data());
    bytes += out.size();
    ++frames;
    state.PauseTiming();
    CountControl(out, sgrBytes, moveBytes);
    state.ResumeTiming();
  }
  const double perFrame = frames > 0 ? static_cast<double>(bytes) / static_cast<double>(frames) : 0;
  state.counters["bytes/frame"] = perFrame;
  state.counters["bytes/file_byte"] = page > 0 ? perFrame / static_cast<double>(page) : 0;
  const double shown = frames > 0 && page > 0 ? static_cast<double>(frames) * static_cast<double>(page) : 1;
  state.counters["sgr/file_byte"] = static_cast<double>(sgrBytes) / shown;
  state.counters["moves/file_byte"] = static_cast<double>(moveBytes) / shown;
  state.counters["bytesPerRow"] = bytesPerRow;

  engine.reset();
  ResetEngineGlobalsForTests();
  ResetViewerStateForTests();
  ResetDisplaySettingsForTests();
}
BENCHMARK(BM_PageDownOutput)
    ->ArgNames({"compact", "text", "terminal", "w", "h"})
    ->Args({1, 0, 0, 120, 40})
    ->Args({1, 0, 1, 120, 40})
    ->Args({1, 1, 0, 120, 40})
    ->Args({0, 0, 0, 120, 40})
    ->Args({0, 1, 0, 120, 40})
    ->Args({1, 0, 0, 250, 80})
    ->Args({1, 0, 1, 250, 80})
    ->Unit(benchmark::kMicrosecond);

}  // namespace

BENCHMARK_MAIN();
