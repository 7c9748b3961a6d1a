// Screenshot files: "kelmsh", the version, the 16-entry colour table, width
// and height, every cell's UTF-16 unit, then one colour digit per cell for
// the foreground and one for the background. Little-endian; the layout is
// in screenshot_format.h. A frame with no cell in a terminal default colour
// is written in version 1, byte for byte as ever, with digits 0-F only. A
// frame in which some cell shows the terminal's default foreground or
// background (the terminal-colours theme) is written in version 2, where
// such a colour is the digit '-' instead of the palette index it was drawn
// with, so that the file keeps the colours that were shown.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "engine/core/screenshot_format.h"
#include "engine/port/console_port.h"

namespace KelmCEngineV2 {

// "screenshot-" + ctime(t) without its line break + ".ss", with every ':' and
// ' ' replaced by '-'.
std::string ScreenshotFileName(std::time_t when);

// A frame cell's attributes as a screenshot holds them (see Screenshot): the
// two colour indexes, and the default-colour bits where the cell shows the
// terminal's defaults (kTerminalDefaultColours). Other bits are dropped.
uint16_t ScreenshotAttributes(uint16_t frameAttributes);

// The file's bytes for a screenshot: version 2 when any cell has a
// default-colour bit, version 1 otherwise.
std::string EncodeScreenshot(const Screenshot& shot);

// The file's bytes for a frame. With no colour table (the console could not
// give one) the capture is abandoned after the magic and the version byte.
std::string EncodeScreenshot(const std::vector<kelm::port::CHAR_INFO>& cells, int32_t width,
                             int32_t height, const kelm::port::ColourTable* colours);

// Writes a screenshot of the frame to `path`. False when the file could not be
// written (nothing is shown to the user).
bool WriteScreenshot(const std::string& path, const std::vector<kelm::port::CHAR_INFO>& cells,
                     int32_t width, int32_t height);

}  // namespace KelmCEngineV2
