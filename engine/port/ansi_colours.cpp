#include "engine/port/ansi_colours.h"

namespace kelm::port {

namespace {

constexpr int kSgrForeground = 30;        // + ANSI colour 0-7
constexpr int kSgrBrightForeground = 90;  // + ANSI colour 0-7
constexpr int kSgrBackgroundOffset = 10;  // background = foreground + 10

constexpr int kColourIndexBits = 0x0F;
constexpr int kBrightBit = 0x08;

int AnsiColour(int consoleIndex) {
  // Console order is blue 1, green 2, red 4; ANSI order is red 1, green 2,
  // blue 4: swap bits 0 and 2.
  return ((consoleIndex & 1) << 2) | (consoleIndex & 2) | ((consoleIndex & 4) >> 2);
}

}  // namespace

int AnsiForeground(int consoleIndex) {
  consoleIndex &= kColourIndexBits;
  return ((consoleIndex & kBrightBit) ? kSgrBrightForeground : kSgrForeground) + AnsiColour(consoleIndex);
}

int AnsiBackground(int consoleIndex) { return AnsiForeground(consoleIndex) + kSgrBackgroundOffset; }

}  // namespace kelm::port
