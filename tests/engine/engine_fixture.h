// A fresh engine on a virtual console for each test; frames are run one at a
// time with RunFrame, without the frame thread.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/port/hex_digits.h"
#include "engine/port/virtual/virtual_console.h"

namespace kelm::test {

class EngineTest : public ::testing::Test {
 protected:
  explicit EngineTest(int columns = 21, int rows = 4) : console(columns, rows) {}

  void SetUp() override {
    KelmCEngineV2::ResetEngineGlobalsForTests();
    kelm::port::SetPort(&console);
    engine = std::make_unique<KelmCEngineV2::Engine>(false, false);
    engine->SetupConsole();
  }

  void TearDown() override {
    engine.reset();
    KelmCEngineV2::ResetEngineGlobalsForTests();
  }

  void Frame() { ASSERT_TRUE(engine->RunFrame()); }

  // Adds a root object to the "Objects" layer.
  template <typename T>
  T* Add(T* object) {
    engine->objectsLayer->AddObject(object);
    return object;
  }

  // The screen rows of the last frame.
  std::vector<std::string> Screen() const {
    std::vector<std::string> rows;
    for (int r = 0; r < console.frameHeight; ++r) rows.push_back(console.RowText(r));
    return rows;
  }

  // One hexadecimal digit per cell: the foreground (or background) colour.
  std::string ColourRow(int row, bool background = false) const {
    std::string digits;
    for (int c = 0; c < console.frameWidth; ++c) {
      digits += kelm::port::HexDigit(static_cast<unsigned>(console.AttributeAt(c, row) >> (background ? 4 : 0)));
    }
    return digits;
  }

  kelm::port::VirtualConsole console;
  std::unique_ptr<KelmCEngineV2::Engine> engine;
};

}  // namespace kelm::test
