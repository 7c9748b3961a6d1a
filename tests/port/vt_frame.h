// Test helpers for the output encoder: frames of console cells, a terminal
// (encoder + screen interpreter) and the check that the screen shows a frame.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <string_view>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/terminal/codec/vt_output.h"
#include "tests/port/vt_screen.h"

namespace kelm::port {

inline constexpr uint16_t kGreyOnBlack = 0x0007;

// The ANSI colour a console colour index shows as (console: blue 1, green 2,
// red 4; ANSI: red 1, green 2, blue 4; bit 3 bright in both).
inline constexpr int kConsoleToAnsi[16] = {0, 4, 2, 6, 1, 5, 3, 7, 8, 12, 10, 14, 9, 13, 11, 15};

struct Frame {
  Frame(int w, int h, char16_t ch = u' ', uint16_t attributes = kGreyOnBlack)
      : width(w), height(h), cells(static_cast<size_t>(w) * h, CHAR_INFO{ch, attributes}) {}

  CHAR_INFO& At(int column, int row) { return cells[static_cast<size_t>(row) * width + column]; }
  const CHAR_INFO& At(int column, int row) const { return cells[static_cast<size_t>(row) * width + column]; }
  // Writes text from (column, row) on, clipped at the right edge.
  void Put(int column, int row, std::u16string_view text, uint16_t attributes = kGreyOnBlack);

  int width;
  int height;
  std::vector<CHAR_INFO> cells;
};

// An encoder whose output is applied to a screen one column wider than the
// frames (the terminal's last column is never drawn by the engine).
struct Terminal {
  explicit Terminal(int width, int height, VtOutputOptions options = {})
      : encoder(options), screen(width + 1, height) {}

  // Encodes `frame`, applies the bytes to the screen and returns them.
  const std::string& Show(const Frame& frame);
  // The terminal was resized: a fresh screen full of leftovers.
  void Resize(int width, int height);
  void SetBackgroundColourErase(bool on);

  bool backgroundColourErase = true;

  VtOutputEncoder encoder;
  VtScreen screen;
  std::string bytes;
};

// Succeeds when `screen` shows `frame` at its top-left as a user would see
// it (characters, colours, underline, reverse; the foreground of a plain
// space does not show), every cell outside the frame is a blank in the
// default background, and the screen reported no error. Characters listed in
// `replaced` are expected as the placeholder.
::testing::AssertionResult ShowsFrame(const VtScreen& screen, const Frame& frame,
                                      std::u16string_view replaced = u"");

// Counts SGR sequences (CSI ... m) in `bytes`.
int CountSgr(std::string_view bytes);
// Counts occurrences of `needle` in `bytes`.
int CountOf(std::string_view bytes, std::string_view needle);

// A frame laid out like the hex viewer's screen: a menu row, a rule, grid
// rows (16-digit offset, '|', hex pairs, '|', characters followed by a
// space, non-printable bytes as '.' in dark grey) starting at byte
// `firstByte` of `data`, a rule and a status row.
Frame HexViewerFrame(int width, int height, const std::vector<uint8_t>& data, size_t firstByte);
// Bytes per grid row of HexViewerFrame for a frame width.
int HexBytesPerRow(int width);

// A frame of random characters and colours from a small pool (so runs and
// repeats occur), with unsafe characters mixed in when `withUnsafe` is set.
Frame RandomFrame(std::mt19937& rng, int width, int height, bool withUnsafe);
// The unsafe characters RandomFrame may use.
std::u16string_view RandomFrameUnsafeCharacters();

}  // namespace kelm::port
