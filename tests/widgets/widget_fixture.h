// Test fixture for the widgets: an engine on a small virtual console, run one
// frame at a time, with helpers that read the composed frame as text rows and
// colour-digit rows so that expectations look like the screen.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/hex_digits.h"
#include "engine/port/virtual/virtual_console.h"
#include "tests/support/expect_screen.h"

namespace widgets_test {

using namespace KelmCEngineV2;
using kelm::port::VirtualConsole;
using screen_test::ExpectScreen;

class WidgetTest : public ::testing::Test {
 protected:
  void TearDown() override { Stop(); }

  // A console of `columns` x `rows` cells; the engine draws columns - 1 of
  // them (the rightmost column is never drawn).
  void Start(int columns = 21, int rows = 6) {
    Stop();
    ResetEngineGlobalsForTests();
    console = std::make_unique<VirtualConsole>(columns, rows);
    kelm::port::SetPort(console.get());
    engine = new Engine(false, /*startThread=*/false);
    engine->SetupConsole();
  }

  void Stop() {
    delete engine;
    engine = nullptr;
    ResetEngineGlobalsForTests();
  }

  Layer* Objects() const { return engine->objectsLayer; }

  void Frame(int count = 1) {
    for (int i = 0; i < count; ++i) ASSERT_TRUE(engine->RunFrame());
  }

  // A left press at the screen cell and one frame, then the release and
  // another frame.
  void Click(int column, int row) {
    Press(column, row);
    Release(column, row);
  }
  void Press(int column, int row) {
    console->PushLeftPress(column, row);
    Frame();
  }
  void Release(int column, int row) {
    console->PushLeftRelease(column, row);
    Frame();
  }

  // Screen row without its trailing spaces.
  std::string Row(int row) const {
    std::string text = console->RowText(row);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }
  std::vector<std::string> Screen() const {
    std::vector<std::string> rows;
    for (int r = 0; r < console->frameHeight; ++r) rows.push_back(Row(r));
    return rows;
  }
  // Colour digits of a row segment: foreground (low nibble) or background
  // (high nibble) of each cell, as one hexadecimal digit per cell.
  std::string Foreground(int row, int firstColumn, int count) const {
    return ColourDigits(row, firstColumn, count, 0);
  }
  std::string Background(int row, int firstColumn, int count) const {
    return ColourDigits(row, firstColumn, count, 4);
  }
  uint16_t Attr(int column, int row) const { return console->AttributeAt(column, row); }

  std::unique_ptr<VirtualConsole> console;
  Engine* engine = nullptr;

 private:
  std::string ColourDigits(int row, int firstColumn, int count, int shift) const {
    std::string digits;
    for (int c = firstColumn; c < firstColumn + count; ++c) {
      digits += kelm::port::HexDigit(static_cast<unsigned>(console->AttributeAt(c, row) >> shift));
    }
    return digits;
  }
};

// Records every call of a click or per-frame callback.
struct CallLog {
  std::vector<std::string> calls;
  ObjectCallback Recorder(std::string name) {
    return [this, name](Object*) { calls.push_back(name); };
  }
};

}  // namespace widgets_test
