// The colours of the terminal's dialogs (console attribute: background << 4
// | foreground), one set for all of them.
#pragma once

#include <cstdint>

namespace kelm::port::dialog_colours {

inline constexpr uint16_t kPlain = 0x07;       // light grey on black
inline constexpr uint16_t kTitleBar = 0x1F;    // white on blue
inline constexpr uint16_t kFolderLine = 0x0F;  // white on black
inline constexpr uint16_t kEditLine = 0x70;    // black on light grey
inline constexpr uint16_t kCaret = 0x0F;       // white on black
inline constexpr uint16_t kHelp = 0x08;        // dark grey on black
inline constexpr uint16_t kWarning = 0x0E;     // yellow on black
inline constexpr uint16_t kDirectory = 0x0B;   // light cyan on black
inline constexpr uint16_t kSpecial = 0x0D;     // light magenta on black
inline constexpr uint16_t kHighlight = 0x70;   // black on light grey
inline constexpr uint16_t kBox = 0x70;         // black on light grey
inline constexpr uint16_t kButton = 0x1F;      // white on blue

}  // namespace kelm::port::dialog_colours
