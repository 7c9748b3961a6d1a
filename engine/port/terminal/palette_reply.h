// The terminal's answers to palette queries (OSC 4), and the console colour
// table made from them for screenshots.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "engine/port/console_port.h"

namespace kelm::port {

// Asks for the 16 standard colours: OSC 4 ; n ; ? ST for n = 0..15.
std::string PaletteQuery();

// Reads one answer, "ESC ] 4 ; n ; rgb:R/G/B" ended by BEL or ST with 1 to 4
// hexadecimal digits per component. Yields the ANSI index n (0..15) and the
// colour scaled to 0..255; false for anything else.
bool ParsePaletteReply(std::string_view reply, int& ansiIndex, uint8_t rgb[3]);

// The terminal's colours in ANSI order, as far as it answered.
struct TerminalPalette {
  uint8_t rgb[16][3]{};
  uint16_t answered = 0;  // bit n: ANSI colour n was answered
};

// The console colour table (console order: 1 blue, 4 red): the terminal's own
// colour where it answered, the classic console colour otherwise.
ColourTable ConsoleColourTable(const TerminalPalette& palette);

}  // namespace kelm::port
