// EscapedText and SafeMessage on any bytes: the result is well-formed UTF-8
// with no C0 control, DEL, C1 control, bidirectional control or invisible
// format character left (SafeMessage keeps only its line ends), and text
// with nothing to escape comes back unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/port/printable_text.h"
#include "engine/port/utf.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool Unsafe(char16_t c) {
  return c < 0x20 || c == 0x7F || (c >= 0x80 && c <= 0x9F) || c == 0x061C || (c >= 0x200B && c <= 0x200F) ||
         (c >= 0x2028 && c <= 0x202E) || (c >= 0x2066 && c <= 0x2069) || c == 0xFEFF;
}

void CheckSafe(const std::string& out, bool keepsLineEnds) {
  const std::u16string wide = kelm::port::FromUtf8(out);
  Check(kelm::port::ToUtf8(wide) == out);  // well formed (no U+FFFD is made of a bad byte)
  for (char16_t c : wide) Check(!Unsafe(c) || (keepsLineEnds && c == u'\n'));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::string escaped = kelm::port::EscapedText(input);
  CheckSafe(escaped, false);
  CheckSafe(kelm::port::SafeMessage(input), true);
  // Escaped text is safe, so a message made of it is left as it is.
  Check(kelm::port::SafeMessage(escaped) == escaped);
  return 0;
}
