#include "engine/port/terminal/dialogs/display_name.h"

#include "engine/port/cell_character_table.h"
#include "engine/port/hex_digits.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

void AppendHex(std::u16string& out, uint32_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += static_cast<char16_t>(HexDigit(value >> shift));
}

}  // namespace

std::u16string DisplayName(std::string_view raw) {
  std::u16string shown;
  shown.reserve(raw.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(raw.data());
  size_t i = 0;
  while (i < raw.size()) {
    const unsigned char b = bytes[i];
    if (b < 0x80) {
      if (b < 0x20 || b == 0x7F) {
        shown += u"\\x";
        AppendHex(shown, b, 2);
      } else if (b == '\\') {
        // Doubled, so that a name holding the four characters \x07 does not
        // look like one holding a real BEL.
        shown += u"\\\\";
      } else {
        shown += static_cast<char16_t>(b);
      }
      ++i;
      continue;
    }
    const Utf8Step step = DecodeUtf8Step(bytes + i, raw.size() - i);
    uint32_t cp = step.codePoint;
    const size_t length = step.kind == Utf8Step::Kind::Character ? step.length : 0;
    if (length == 0) {
      shown += u"\\x";
      AppendHex(shown, b, 2);
      ++i;
      continue;
    }
    i += length;
    if (IsControlOrInvisible(cp)) {
      shown += u"\\u{";
      AppendHex(shown, cp, cp > 0xFFFF ? 5 : 4);
      shown += u'}';
    } else if (cp > 0xFFFF) {
      cp -= 0x10000;
      shown += static_cast<char16_t>(0xD800 + (cp >> 10));
      shown += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      shown += static_cast<char16_t>(cp);
    }
  }
  return shown;
}

std::u16string GroupedSize(uint64_t size) {
  const std::string digits = std::to_string(size);
  std::u16string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += u',';
    text += static_cast<char16_t>(digits[i]);
  }
  return text;
}

}  // namespace kelm::port
