// The layout of a screenshot file, shared by its writer (screenshot.h) and
// its reader (screenshot_reader.h). Little-endian throughout:
//
//   0   "kelmsh"
//   6   version: 1, or 2 when some cell shows a terminal default colour
//   7   the 16-entry colour table, red, green and blue bytes
//   55  width in cells (16 bits)
//   57  height in cells (16 bits)
//   59  every cell's UTF-16 unit, row by row from the top-left cell
//       then one colour digit per cell for the foreground
//       then one colour digit per cell for the background
//
// A colour digit is a hexadecimal digit 0-F (either case), the index into
// the colour table. Version 2 adds one more value, '-': that colour of the
// cell is the terminal's own default foreground or background, whatever the
// terminal shows for it (SGR 39 and 49). Both versions are 59 + 4 x W x H
// bytes long; a version 1 file never holds '-', so every reader of version 1
// reads it as before.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "engine/port/console_port.h"

namespace KelmCEngineV2 {

// Byte offsets of the fields.
inline constexpr size_t kScreenshotMagicSize = 6;
inline constexpr size_t kScreenshotVersionOffset = 6;
inline constexpr size_t kScreenshotColoursOffset = 7;
inline constexpr size_t kScreenshotWidthOffset = 55;
inline constexpr size_t kScreenshotHeightOffset = 57;
inline constexpr size_t kScreenshotHeaderSize = 59;

// Version 1: palette colours only. Version 2: the digits may also be the
// default-colour mark.
inline constexpr uint8_t kScreenshotVersion = 1;
inline constexpr uint8_t kScreenshotDefaultsVersion = 2;
inline constexpr char kScreenshotDefaultColourMark = '-';

// The largest picture read: no console is wider or taller (a terminal on an
// 8K screen with a tiny font has some 1,500 columns and 500 rows). Bigger
// pictures are refused before anything but the header is read, so a file
// that claims one costs neither memory nor output.
inline constexpr uint32_t kMaxScreenshotColumns = 2048;
inline constexpr uint32_t kMaxScreenshotRows = 1024;

// Bits of a screenshot cell's Attributes beside the two colour indexes: the
// cell shows the terminal's default foreground, or background. Its index
// then holds what the console palette has in that place (7 for the
// foreground, 0 for the background), so a view that knows no defaults
// shows grey on black as before.
inline constexpr uint16_t kScreenshotDefaultForeground = 0x0100;
inline constexpr uint16_t kScreenshotDefaultBackground = 0x0200;
inline constexpr int kScreenshotDefaultForegroundIndex = 7;
inline constexpr int kScreenshotDefaultBackgroundIndex = 0;

struct Screenshot {
  kelm::port::ColourTable colours;
  int32_t width = 0;
  int32_t height = 0;
  // Row by row from the top-left cell; Attributes holds the foreground index
  // in bits 0-3, the background index in bits 4-7 and the default-colour
  // bits above.
  std::vector<kelm::port::CHAR_INFO> cells;

  const kelm::port::CHAR_INFO& At(int32_t column, int32_t row) const {
    return cells[static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(column)];
  }
};

}  // namespace KelmCEngineV2
