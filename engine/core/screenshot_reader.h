// Reading screenshot files back (the files F2 writes; the layout is in
// screenshot_format.h): "kelmsh", version 1 or 2, the 16-entry colour table,
// width and height, every cell's UTF-16 unit, then one colour digit per cell
// for the foreground and one for the background. A digit is 0-F, or in
// version 2 also '-' for the terminal's default colour. The file must be
// exactly 59 + 4 x W x H bytes long, in either version, and every colour
// digit valid for its version; anything else is refused with a message that
// says what is wrong.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/core/screenshot_format.h"

namespace KelmCEngineV2 {

// The file size that a picture of width x height cells needs (the same in
// both versions).
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
