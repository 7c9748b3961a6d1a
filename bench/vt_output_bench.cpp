// Output encoder: bytes written and encode time per frame for typical screen
// updates of a hex viewer. Byte counts are reported as counters:
//   bytes/frame      terminal bytes per encoded frame
//   bytes/file_byte  for frames that bring new file bytes into view
//
// Two grid layouts are measured:
//   viewer   the hex viewer's own: 16-digit offset, '|', hex pairs, '|', each
//            character followed by a space, non-printable bytes as '.' in
//            dark grey (so the colour changes along the character column);
//   compact  a classic dump: offset, hex pairs, characters side by side, all
//            in one colour.
#include <benchmark/benchmark.h>

#include <cstdint>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/terminal/codec/vt_output.h"

namespace {

using kelm::port::CHAR_INFO;
using kelm::port::VtOutputEncoder;
using kelm::port::VtOutputOptions;

constexpr uint16_t kGrey = 0x0007;
constexpr uint16_t kDarkGrey = 0x0008;
constexpr uint16_t kMenu = 0x0070;

enum class Layout { Viewer, Compact };

struct Screen {
  int width;
  int height;
  std::vector<CHAR_INFO> cells;
  CHAR_INFO& At(int c, int r) { return cells[static_cast<size_t>(r) * width + c]; }
  const CHAR_INFO& At(int c, int r) const { return cells[static_cast<size_t>(r) * width + c]; }
};

char16_t HexDigit(int v) { return static_cast<char16_t>(v < 10 ? u'0' + v : u'A' + v - 10); }

int BytesPerRow(Layout layout, int width) { return layout == Layout::Viewer ? (width - 18) / 5 : (width - 19) / 4; }
int GridRows(int height) { return height - 4; }

// A hex viewer screen: menu row, rule, grid rows from byte `first` of `data`,
// rule, status row with the offset.
Screen HexScreen(Layout layout, int width, int height, const std::vector<uint8_t>& data, size_t first) {
  Screen s{width, height, std::vector<CHAR_INFO>(static_cast<size_t>(width) * height)};
  const int perRow = BytesPerRow(layout, width);
  const int charColumn = 3 * perRow + 19;
  const int charStep = layout == Layout::Viewer ? 2 : 1;
  const std::u16string menu = u" File  Edit  View  Help";
  for (int c = 0; c < width; ++c) s.At(c, 0) = CHAR_INFO{c < static_cast<int>(menu.size()) ? menu[c] : u' ', kMenu};
  for (int c = 0; c < width; ++c) {
    const char16_t rule = (c == 16 || c == charColumn - 1) ? u'+' : u'-';
    s.At(c, 1).UnicodeChar = rule;
    s.At(c, height - 2).UnicodeChar = rule;
  }
  for (int r = 0; r < GridRows(height); ++r) {
    const size_t offset = first + static_cast<size_t>(r) * perRow;
    const int y = r + 2;
    for (int d = 0; d < 16; ++d) s.At(d, y).UnicodeChar = HexDigit(static_cast<int>((offset >> (4 * (15 - d))) & 0xF));
    s.At(16, y).UnicodeChar = u'|';
    s.At(charColumn - 1, y).UnicodeChar = u'|';
    for (int k = 0; k < perRow && offset + k < data.size(); ++k) {
      const uint8_t byte = data[offset + k];
      s.At(18 + 3 * k, y).UnicodeChar = HexDigit(byte >> 4);
      s.At(19 + 3 * k, y).UnicodeChar = HexDigit(byte & 0xF);
      const bool printable = byte >= 0x20 && byte <= 0x7E;
      const uint16_t colour = printable || layout == Layout::Compact ? kGrey : kDarkGrey;
      s.At(charColumn + charStep * k, y) = CHAR_INFO{printable ? static_cast<char16_t>(byte) : u'.', colour};
    }
  }
  char status[24];
  std::snprintf(status, sizeof status, "%016zX", first);
  for (int i = 0; i < 16; ++i) s.At(i, height - 1).UnicodeChar = static_cast<char16_t>(status[i]);
  return s;
}

std::vector<uint8_t> RandomData(size_t size) {
  std::mt19937 rng(2024);
  std::vector<uint8_t> data(size);
  for (uint8_t& b : data) b = static_cast<uint8_t>(rng());
  return data;
}

VtOutputOptions Options(bool synchronized) {
  VtOutputOptions options;
  options.synchronizedOutput = synchronized;
  return options;
}

// Encodes `frames` in turn, forever, after a first full frame; reports bytes.
void RunFrames(benchmark::State& state, const std::vector<Screen>& frames, bool synchronized,
               double fileBytesPerFrame = 0, bool invalidateEachFrame = false) {
  VtOutputEncoder encoder(Options(synchronized));
  std::string out;
  out.reserve(1 << 20);
  encoder.Encode(frames[0].cells.data(), frames[0].width, frames[0].height, out);
  size_t bytes = 0;
  size_t index = 0;
  int64_t count = 0;
  for (auto _ : state) {
    index = (index + 1) % frames.size();
    const Screen& frame = frames[index];
    if (invalidateEachFrame) encoder.Invalidate();
    out.clear();
    encoder.Encode(frame.cells.data(), frame.width, frame.height, out);
    benchmark::DoNotOptimize(out.data());
    bytes += out.size();
    ++count;
  }
  const double perFrame = count > 0 ? static_cast<double>(bytes) / count : 0;
  state.counters["bytes/frame"] = perFrame;
  if (fileBytesPerFrame > 0) state.counters["bytes/file_byte"] = perFrame / fileBytesPerFrame;
}

// Text-like data: words of printable ASCII, line breaks, now and then a
// zero byte (most bytes printable, long runs of one colour).
std::vector<uint8_t> TextData(size_t size) {
  std::mt19937 rng(7);
  std::vector<uint8_t> data(size);
  for (size_t i = 0; i < size; ++i) {
    const unsigned r = rng() % 100;
    data[i] = r < 15 ? ' ' : r < 17 ? '\n' : r < 18 ? 0 : static_cast<uint8_t>('a' + rng() % 26);
  }
  return data;
}

// Arguments: layout (0 viewer, 1 compact), synchronized output (0/1), data
// (0 random bytes, 1 text).
Layout LayoutArg(const benchmark::State& state) { return state.range(0) == 0 ? Layout::Viewer : Layout::Compact; }
bool SyncArg(const benchmark::State& state) { return state.range(1) != 0; }

const std::vector<uint8_t>& Data(const benchmark::State& state) {
  static const std::vector<uint8_t> random = RandomData(1 << 20);
  static const std::vector<uint8_t> text = TextData(1 << 20);
  return state.range(2) == 0 ? random : text;
}

constexpr int kWidth = 119;  // 120-column terminal, the last column never drawn
constexpr int kHeight = 40;

void BM_NothingChanged(benchmark::State& state) {
  const Screen s = HexScreen(LayoutArg(state), kWidth, kHeight, Data(state), 4096);
  RunFrames(state, {s, s}, SyncArg(state));
}

void BM_OneCellChanged(benchmark::State& state) {
  Screen a = HexScreen(LayoutArg(state), kWidth, kHeight, Data(state), 4096);
  Screen b = a;
  b.At(40, 20).UnicodeChar = a.At(40, 20).UnicodeChar == u'0' ? u'1' : u'0';
  RunFrames(state, {a, b}, SyncArg(state));
}

void BM_OneGridRowChanged(benchmark::State& state) {
  const Layout layout = LayoutArg(state);
  const Screen a = HexScreen(layout, kWidth, kHeight, Data(state), 4096);
  // Row 20 of the grid shows other bytes (for example after an edit).
  const Screen other = HexScreen(layout, kWidth, kHeight, Data(state), 1 << 19);
  Screen b = a;
  for (int c = 18; c < kWidth; ++c) b.At(c, 22) = other.At(c, 22);
  RunFrames(state, {a, b}, SyncArg(state), BytesPerRow(layout, kWidth));
}

void BM_GridScrolledOneRow(benchmark::State& state) {
  const Layout layout = LayoutArg(state);
  const int perRow = BytesPerRow(layout, kWidth);
  // Scrolling a row at a time through the file, down 128 rows and back up;
  // each frame brings one row of new bytes into view.
  std::vector<Screen> frames;
  for (int i = 0; i < 128; ++i) frames.push_back(HexScreen(layout, kWidth, kHeight, Data(state), 4096 + i * perRow));
  for (int i = 126; i > 0; --i) frames.push_back(frames[i]);
  RunFrames(state, frames, SyncArg(state), perRow);
}

void BM_PageOfNewBytes(benchmark::State& state) {
  const Layout layout = LayoutArg(state);
  const int page = BytesPerRow(layout, kWidth) * GridRows(kHeight);
  std::vector<Screen> frames;
  for (int i = 0; i < 64; ++i) frames.push_back(HexScreen(layout, kWidth, kHeight, Data(state), 4096 + i * page));
  RunFrames(state, frames, SyncArg(state), page);
}

void BM_FullRedraw(benchmark::State& state) {
  const int width = static_cast<int>(state.range(3)) - 1;
  const int height = static_cast<int>(state.range(4));
  const Screen s = HexScreen(LayoutArg(state), width, height, Data(state), 4096);
  RunFrames(state, {s, s}, SyncArg(state), 0, true);
}

void LayoutsAndSync(benchmark::internal::Benchmark* b) {
  b->ArgNames({"compact", "sync", "text"});
  for (int text : {0, 1})
    for (int layout : {0, 1})
      for (int sync : {0, 1}) b->Args({layout, sync, text});
}

void RedrawSizes(benchmark::internal::Benchmark* b) {
  b->ArgNames({"compact", "sync", "text", "cols", "rows"});
  for (int layout : {0, 1})
    for (const auto& [w, h] : {std::pair{120, 40}, std::pair{250, 80}}) b->Args({layout, 0, 0, w, h});
}

BENCHMARK(BM_NothingChanged)->Apply(LayoutsAndSync);
BENCHMARK(BM_OneCellChanged)->Apply(LayoutsAndSync);
BENCHMARK(BM_OneGridRowChanged)->Apply(LayoutsAndSync);
BENCHMARK(BM_GridScrolledOneRow)->Apply(LayoutsAndSync);
BENCHMARK(BM_PageOfNewBytes)->Apply(LayoutsAndSync);
BENCHMARK(BM_FullRedraw)->Apply(RedrawSizes);

}  // namespace

BENCHMARK_MAIN();
