// Which colours of a frame cell are the terminal's own defaults. A cell
// marked kTerminalDefaultColours shows the default background where its
// background is 0, and the default foreground where its foreground is 7 on
// that background; every other colour is the palette colour it names.
#pragma once

#include <cstdint>

#include "engine/port/console_types.h"

namespace kelm::port {

inline constexpr bool ShowsDefaultBackground(uint16_t attributes) {
  return (attributes & kTerminalDefaultColours) != 0 && (attributes & 0x00F0) == 0;
}

inline constexpr bool ShowsDefaultForeground(uint16_t attributes) {
  return ShowsDefaultBackground(attributes) && (attributes & 0x000F) == 0x0007;
}

}  // namespace kelm::port
