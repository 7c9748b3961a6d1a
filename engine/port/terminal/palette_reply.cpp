#include "engine/port/terminal/palette_reply.h"

#include "engine/port/hex_digits.h"

namespace kelm::port {

namespace {

// The classic console colours, in console order.
constexpr uint8_t kConsolePalette[16][3] = {
    {0, 0, 0},       {0, 0, 128},   {0, 128, 0},   {0, 128, 128}, {128, 0, 0},   {128, 0, 128},
    {128, 128, 0},   {192, 192, 192}, {128, 128, 128}, {0, 0, 255}, {0, 255, 0},   {0, 255, 255},
    {255, 0, 0},     {255, 0, 255}, {255, 255, 0}, {255, 255, 255}};

int HexValue(char c) { return HexDigitValue(static_cast<unsigned char>(c)); }

// One component of 1 to 4 hex digits, scaled to 0..255; advances `at`.
bool ReadComponent(std::string_view text, size_t& at, uint8_t& out) {
  uint32_t value = 0;
  int digits = 0;
  while (at < text.size() && HexValue(text[at]) >= 0) {
    if (++digits > 4) return false;
    value = value * 16 + static_cast<uint32_t>(HexValue(text[at]));
    ++at;
  }
  if (digits == 0) return false;
  const uint32_t maximum = (1U << (4 * digits)) - 1;
  out = static_cast<uint8_t>((value * 255 + maximum / 2) / maximum);
  return true;
}

}  // namespace

std::string PaletteQuery() {
  std::string query;
  for (int n = 0; n < 16; ++n) query += "\x1b]4;" + std::to_string(n) + ";?\x1b\\";
  return query;
}

bool ParsePaletteReply(std::string_view reply, int& ansiIndex, uint8_t rgb[3]) {
  constexpr std::string_view kStart = "\x1b]4;";
  if (reply.substr(0, kStart.size()) != kStart) return false;
  // The terminator: BEL or ST.
  if (!reply.empty() && reply.back() == '\a') {
    reply.remove_suffix(1);
  } else if (reply.size() >= 2 && reply.substr(reply.size() - 2) == "\x1b\\") {
    reply.remove_suffix(2);
  } else {
    return false;
  }
  size_t at = kStart.size();
  int index = 0;
  int digits = 0;
  while (at < reply.size() && reply[at] >= '0' && reply[at] <= '9' && digits < 3) {
    index = index * 10 + (reply[at] - '0');
    ++at;
    ++digits;
  }
  if (digits == 0 || index > 15) return false;
  constexpr std::string_view kRgb = ";rgb:";
  if (reply.substr(at, kRgb.size()) != kRgb) return false;
  at += kRgb.size();
  uint8_t colour[3];
  for (int c = 0; c < 3; ++c) {
    if (!ReadComponent(reply, at, colour[c])) return false;
    if (c < 2) {
      if (at >= reply.size() || reply[at] != '/') return false;
      ++at;
    }
  }
  if (at != reply.size()) return false;
  ansiIndex = index;
  for (int c = 0; c < 3; ++c) rgb[c] = colour[c];
  return true;
}

ColourTable ConsoleColourTable(const TerminalPalette& palette) {
  ColourTable table;
  for (int console = 0; console < 16; ++console) {
    // Console blue is bit 0 and red bit 2; ANSI the other way round.
    const int ansi = (console & 8) | ((console & 1) << 2) | (console & 2) | ((console & 4) >> 2);
    const bool answered = (palette.answered >> ansi) & 1U;
    for (int c = 0; c < 3; ++c) {
      table.rgb[console][c] = answered ? palette.rgb[ansi][c] : kConsolePalette[console][c];
    }
  }
  return table;
}

}  // namespace kelm::port
