// Screenshot files: "kelmsh", version 1, the 16-entry colour table, width and
// height, every cell's UTF-16 unit, then one hexadecimal digit per cell for
// the foreground and one for the background. Little-endian.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/port/console_port.h"

namespace KelmCEngineV2 {

// "screenshot-" + ctime(t) without its line break + ".ss", with every ':' and
// ' ' replaced by '-'.
std::string ScreenshotFileName(std::time_t when);

// The file's bytes for a frame. With no colour table (the console could not
// give one) the capture is abandoned after the magic and the version byte.
std::string EncodeScreenshot(const std::vector<kelm::port::CHAR_INFO>& cells, int32_t width,
                             int32_t height, const kelm::port::ColourTable* colours);

// Writes a screenshot of the frame to `path`. False when the file could not be
// written (nothing is shown to the user).
bool WriteScreenshot(const std::string& path, const std::vector<kelm::port::CHAR_INFO>& cells,
                     int32_t width, int32_t height);

}  // namespace KelmCEngineV2
