// How the grid shows the file: bytes per row, the character column's
// spacing and text, byte-class colours and the colour theme. Set from the
// settings file, the command line and the Settings panel
// (viewer/display_settings.h holds their table).
#pragma once

#include <cstdint>

namespace kelm::viewer {

// The character column: one character and a blank per byte, or one cell per
// byte as dump tools show it.
enum class CharSpacing { Spaced, Compact };

// The colour theme: the console's own palette, or the terminal's default
// background and foreground where the classic theme has black and grey.
enum class ColourTheme { Classic, Terminal };

struct DisplayOptions {
  int32_t bytesPerRow = 0;  // 0: as many as fit; otherwise 1..kMaxBytesPerRow
  CharSpacing spacing = CharSpacing::Spaced;
  bool utf8 = false;  // characters decoded as UTF-8
  bool byteClassColours = false;
  ColourTheme theme = ColourTheme::Classic;
};

inline constexpr int32_t kMaxBytesPerRow = 256;

extern DisplayOptions displayOptions;

// Cells a byte takes in the character column: 2 spaced, 1 compact.
inline int32_t CharCellWidth() { return displayOptions.spacing == CharSpacing::Compact ? 1 : 2; }

}  // namespace kelm::viewer
