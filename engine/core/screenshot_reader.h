// Reading screenshot files back (the files F2 writes, see screenshot.h):
// "kelmsh", version 1, the 16-entry colour table, width and height, every
// cell's UTF-16 unit, then one hexadecimal digit per cell for the foreground
// and one for the background. The file must be exactly 59 + 4 x W x H bytes
// long and every colour digit valid; anything else is refused with a message
// that says what is wrong.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
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
inline constexpr uint8_t kScreenshotVersion = 1;

// The largest picture read: no console is wider or taller (a terminal on an
// 8K screen with a tiny font has some 1,500 columns and 500 rows). Bigger
// pictures are refused before anything but the header is read, so a file
// that claims one costs neither memory nor output.
inline constexpr uint32_t kMaxScreenshotColumns = 2048;
inline constexpr uint32_t kMaxScreenshotRows = 1024;

struct Screenshot {
  kelm::port::ColourTable colours;
  int32_t width = 0;
  int32_t height = 0;
  // Row by row from the top-left cell; Attributes holds the foreground index
  // in bits 0-3 and the background index in bits 4-7.
  std::vector<kelm::port::CHAR_INFO> cells;

  const kelm::port::CHAR_INFO& At(int32_t column, int32_t row) const {
    return cells[static_cast<size_t>(row) * static_cast<size_t>(width) + static_cast<size_t>(column)];
  }
};

// The file size that a picture of width x height cells needs.
uint64_t ScreenshotFileSize(uint64_t width, uint64_t height);

// Decodes the bytes of a whole screenshot file. False with a one-line
// message in `error` (no trailing full stop, no file name) when the bytes
// are not a valid screenshot.
bool DecodeScreenshot(std::string_view bytes, Screenshot& shot, std::string& error);

// Reads and decodes the file at `path`. Only regular files are read; the
// header is checked before the rest is read, so a file claiming a huge
// picture costs nothing. False with a message in `error`, as above.
bool ReadScreenshotFile(const std::string& path, Screenshot& shot, std::string& error);

}  // namespace KelmCEngineV2
