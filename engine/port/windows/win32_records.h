// The console's own records and the port's copies of them. The shapes are
// the same; the copies are field by field, so nothing depends on the two
// layouts matching byte for byte.
#pragma once

#include "engine/port/console_types.h"
#include "engine/port/terminal_default_colours.h"
#include "engine/port/windows/win32.h"

namespace kelm::port {

// An input record as the engine reads it. Key, mouse, buffer-size and focus
// records keep every field; a menu record keeps only its type.
INPUT_RECORD FromWin32(const ::INPUT_RECORD& record);
// The system's record for a port record (what the console would have sent).
::INPUT_RECORD ToWin32(const INPUT_RECORD& record);

// A frame cell as WriteConsoleOutputW takes it. A cell marked
// kTerminalDefaultColours takes the console's default attributes
// (`defaults`, grey on black unless told otherwise) where it has background
// 0, and foreground 7 on it; the mark itself is not the console's and is
// dropped.
inline ::CHAR_INFO ToWin32(const CHAR_INFO& cell, uint16_t defaults = 0x0007) {
  ::CHAR_INFO out{};
  out.Char.UnicodeChar = static_cast<WCHAR>(cell.UnicodeChar);
  uint16_t attributes = cell.Attributes;
  if (ShowsDefaultBackground(attributes)) {
    if ((attributes & 0x000F) == 0x0007) attributes = static_cast<uint16_t>((attributes & ~0x000F) | (defaults & 0x000F));
    attributes = static_cast<uint16_t>(attributes | (defaults & 0x00F0));
  }
  out.Attributes = static_cast<WORD>(attributes & ~kTerminalDefaultColours);
  return out;
}

}  // namespace kelm::port
