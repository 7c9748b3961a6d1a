// The console's own records and the port's copies of them. The shapes are
// the same; the copies are field by field, so nothing depends on the two
// layouts matching byte for byte.
#pragma once

#include "engine/port/console_types.h"
#include "engine/port/windows/win32.h"

namespace kelm::port {

// An input record as the engine reads it. Key, mouse, buffer-size and focus
// records keep every field; a menu record keeps only its type.
INPUT_RECORD FromWin32(const ::INPUT_RECORD& record);
// The system's record for a port record (what the console would have sent).
::INPUT_RECORD ToWin32(const INPUT_RECORD& record);

// A frame cell as WriteConsoleOutputW takes it.
inline ::CHAR_INFO ToWin32(const CHAR_INFO& cell) {
  ::CHAR_INFO out{};
  out.Char.UnicodeChar = static_cast<WCHAR>(cell.UnicodeChar);
  out.Attributes = cell.Attributes;
  return out;
}

}  // namespace kelm::port
