// Cost of one frame pass (object pass, compose) on the virtual console. The
// "changing" argument: 1 changes one character every frame, so every frame is
// composed; 0 leaves the scene alone (an idle frame, which is not composed).
#include <benchmark/benchmark.h>

#include <memory>
#include <string>

#include "engine/core/engine.h"
#include "engine/port/virtual/virtual_console.h"
#include "engine/widgets/text_input.h"

using namespace KelmCEngineV2;

namespace {

char ColourDigitFor(int i) { return "0123456789ABCDEF"[i % 16]; }

struct Scene {
  kelm::port::VirtualConsole console;
  std::unique_ptr<Engine> engine;

  Scene(int columns, int rows) : console(columns, rows) {
    ResetEngineGlobalsForTests();
    kelm::port::SetPort(&console);
    engine = std::make_unique<Engine>(false, false);
    engine->SetupConsole();
  }
  ~Scene() {
    engine.reset();
    ResetEngineGlobalsForTests();
  }
};

// A few hundred small labelled objects with colours, spread over 300 x 100.
void BM_FrameManySmallObjects(benchmark::State& state) {
  Scene scene(301, 100);
  Object* first = nullptr;
  for (int i = 0; i < static_cast<int>(state.range(0)); ++i) {
    auto* o = new Object(Vector2(static_cast<float>((i * 37) % 290), -static_cast<float>((i * 13) % 98)),
                         u"label " + std::u16string(1, static_cast<char16_t>(u'A' + i % 26)));
    o->anchor = kAnchorTopLeft;
    o->FillForeground(ColourDigitFor(i));
    scene.engine->objectsLayer->AddObject(o);
    if (first == nullptr) first = o;
  }
  const bool changing = state.range(1) != 0;
  for (auto _ : state) {
    if (changing) first->text[0] = first->text[0] == u'l' ? u'L' : u'l';
    scene.engine->RunFrame();
  }
  state.SetItemsProcessed(state.iterations());
}

}  // namespace

BENCHMARK(BM_FrameManySmallObjects)->ArgNames({"objects", "changing"})->Args({300, 0})->Args({300, 1});

// The viewer's case: three large text objects (offsets, hex pairs, characters)
// with full colour strings covering the screen.
static void BM_FrameThreeLargeTextObjects(benchmark::State& state) {
  const int columns = static_cast<int>(state.range(0));
  const int rows = static_cast<int>(state.range(1));
  Scene scene(columns + 1, rows);
  const int perRow = (columns - 18) / 5;
  std::string offsets, hex, chars;
  for (int r = 0; r < rows - 4; ++r) {
    offsets += std::string(16, '0') + (r + 1 < rows - 4 ? "\n" : "");
    for (int k = 0; k < perRow; ++k) {
      hex += "4A";
      hex += k + 1 < perRow ? ' ' : '\n';
      chars += 'J';
      chars += k + 1 < perRow ? ' ' : '\n';
    }
  }
  hex.pop_back();
  chars.pop_back();
  auto make = [&](float x, const std::string& text, bool coloured) -> Object* {
    auto* o = new Object(Vector2(x, -2), text);
    o->anchor = kAnchorTopLeft;
    if (coloured) {
      o->FillForeground('7');
      o->FillBackground('0');
      o->FillOpaqueMask();
    }
    scene.engine->objectsLayer->AddObject(o);
    return o;
  };
  make(0, offsets, false);
  Object* hexObject = make(18, hex, true);
  make(static_cast<float>(3 * perRow + 19), chars, true);
  const bool changing = state.range(2) != 0;
  for (auto _ : state) {
    if (changing) hexObject->text[0] = hexObject->text[0] == u'4' ? u'5' : u'4';
    scene.engine->RunFrame();
  }
}
BENCHMARK(BM_FrameThreeLargeTextObjects)
    ->ArgNames({"cols", "rows", "changing"})
    ->Args({300, 100, 0})
    ->Args({300, 100, 1})
    ->Args({120, 40, 0})
    ->Args({120, 40, 1});

// A focused text field on a 120 x 40 console. "length": the characters its
// value holds (16 fills a Seek field, 1024 is the most any field holds;
// 16777216 is what a pasted 16 MiB left in a Seek field before fields were
// held to their limit, set directly here as the baseline). "paste": every
// frame also takes a Ctrl+V of 16 MiB of hex, which the field refuses.
static void BM_FrameFocusedField(benchmark::State& state) {
  Scene scene(121, 40);
  auto* field = new TextInput(Vector2(10, -10), std::u16string(), 16, HexLowercase, Spaced);
  field->Focus();
  scene.engine->objectsLayer->AddObject(field);
  field->value.assign(static_cast<size_t>(state.range(0)), u'f');
  const bool paste = state.range(1) != 0;
  if (paste) scene.console.clipboard = std::u16string(size_t{16} << 20, u'f');
  for (auto _ : state) {
    if (paste) scene.console.PushKey('V', 0x16, kelm::port::LEFT_CTRL_PRESSED);
    scene.engine->RunFrame();
  }
  state.SetItemsProcessed(state.iterations());
}
BENCHMARK(BM_FrameFocusedField)
    ->ArgNames({"length", "paste"})
    ->Args({0, 0})
    ->Args({16, 0})
    ->Args({1024, 0})
    ->Args({0, 1})
    ->Args({16777216, 0})
    ->Unit(benchmark::kMicrosecond);

BENCHMARK_MAIN();
