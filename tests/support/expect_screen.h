// Screen checks that read as pictures: the expected screen is written in the
// test as its text rows and, where colours matter, rows of colour digits (one
// hexadecimal console colour per cell, '.' for a cell whose colour does not
// matter). Meant for small consoles (20 x 4 or so), so that the whole screen
// fits in the test.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/port/hex_digits.h"
#include "engine/port/virtual/virtual_console.h"

namespace screen_test {

// The console's rows as text, each without its trailing blanks.
inline std::vector<std::string> ScreenRows(const kelm::port::VirtualConsole& console) {
  std::vector<std::string> rows;
  for (int r = 0; r < console.frameHeight; ++r) {
    std::string text = console.RowText(r);
    text.erase(text.find_last_not_of(' ') + 1);
    rows.push_back(std::move(text));
  }
  return rows;
}

// The colour digits of the first `count` cells of `row` (shift 0: the
// foreground, 4: the background), with '.' wherever `pattern` has one.
inline std::string ColourRow(const kelm::port::VirtualConsole& console, int row, const std::string& pattern,
                             int shift) {
  std::string digits;
  for (size_t c = 0; c < pattern.size(); ++c) {
    digits += pattern[c] == '.' ? '.'
                                : kelm::port::HexDigit(static_cast<unsigned>(
                                      console.AttributeAt(static_cast<int>(c), row) >> shift));
  }
  return digits;
}

inline std::string Picture(const std::vector<std::string>& rows) {
  std::string text;
  for (const std::string& row : rows) text += "\n" + row;
  return text;
}

// Expects the whole screen to show `rows` (trailing blanks ignored, every
// row of the console listed) and each row of `foregrounds` and
// `backgrounds` to match the colours of that screen row's first cells. A
// failure names the caller's line and prints both pictures.
inline void ExpectScreen(const kelm::port::VirtualConsole& console, const std::vector<std::string>& rows,
                         const std::vector<std::string>& foregrounds = {},
                         const std::vector<std::string>& backgrounds = {}, const char* file = __builtin_FILE(),
                         int line = __builtin_LINE()) {
  const ::testing::ScopedTrace trace(file, line, "ExpectScreen");
  EXPECT_EQ(Picture(ScreenRows(console)), Picture(rows)) << "the screen's text";
  auto colours = [&](const std::vector<std::string>& expected, int shift, const char* what) {
    std::vector<std::string> actual;
    for (size_t r = 0; r < expected.size(); ++r) {
      actual.push_back(ColourRow(console, static_cast<int>(r), expected[r], shift));
    }
    EXPECT_EQ(Picture(actual), Picture(expected)) << what;
  };
  if (!foregrounds.empty()) colours(foregrounds, 0, "the foreground colours");
  if (!backgrounds.empty()) colours(backgrounds, 4, "the background colours");
}

}  // namespace screen_test
