// HexDigitsToNumber against a reference: 1 to 16 hexadecimal digits of
// either case read as a 64-bit number; anything else is nothing.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "viewer/offset_forms.h"

using namespace kelm::viewer;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::optional<uint64_t> Reference(const std::u16string& text) {
  if (text.empty() || text.size() > 16) return std::nullopt;
  uint64_t value = 0;
  for (char16_t c : text) {
    uint64_t digit = 0;
    if (c >= u'0' && c <= u'9') {
      digit = c - u'0';
    } else if (c >= u'a' && c <= u'f') {
      digit = c - u'a' + 10;
    } else if (c >= u'A' && c <= u'F') {
      digit = c - u'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value << 4 | digit;
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::u16string text;
  // Mostly ASCII (one byte per unit), with a way to reach other units.
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == 0xFF && i + 2 < size) {
      text += static_cast<char16_t>(data[i + 1] | (data[i + 2] << 8));
      i += 2;
    } else {
      text += static_cast<char16_t>(data[i]);
    }
  }
  Check(HexDigitsToNumber(text) == Reference(text));
  return 0;
}
