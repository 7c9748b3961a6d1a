#include "engine/port/terminal/dialogs/display_name.h"

#include "engine/port/terminal/codec/cell_character_table.h"

namespace kelm::port {

namespace {

void AppendHex(std::u16string& out, uint32_t value, int digits) {
  static const char kDigits[] = "0123456789ABCDEF";
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += static_cast<char16_t>(kDigits[(value >> shift) & 0xF]);
}

// Length of the well-formed UTF-8 sequence at `p`, 0 when it is not one;
// its code point in `cp`.
size_t DecodeUtf8(const unsigned char* p, size_t n, uint32_t& cp) {
  const unsigned char lead = p[0];
  size_t length = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2;
    cp = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3;
    cp = lead & 0x0F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4;
    cp = lead & 0x07;
  } else {
    return 0;
  }
  if (length > n) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((p[k] & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (p[k] & 0x3F);
  }
  const uint32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
  if (cp < minimum || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return length;
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
    uint32_t cp = 0;
    const size_t length = DecodeUtf8(bytes + i, raw.size() - i, cp);
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
