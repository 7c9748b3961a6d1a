#include "engine/port/utf.h"

#include <cstdint>

namespace kelm::port {

void AppendUtf8(std::string& out, char32_t c) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

namespace {
constexpr char32_t kReplacement = 0xFFFD;
}  // namespace

void AppendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out += static_cast<char16_t>(c);
  } else {
    c -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (c >> 10));
    out += static_cast<char16_t>(0xDC00 + (c & 0x3FF));
  }
}

Utf8Step DecodeUtf8Step(const unsigned char* p, size_t n) {
  const unsigned char lead = p[0];
  if (lead < 0x80) return {Utf8Step::Kind::Character, 1, lead};
  size_t length = 0;
  char32_t c = 0;
  // The range of the second byte: narrower after the leads whose full range
  // would allow overlong forms (E0, F0), surrogates (ED) or values above
  // U+10FFFF (F4).
  unsigned char low = 0x80, high = 0xBF;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, c = lead & 0x1F;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, c = lead & 0x0F;
    if (lead == 0xE0) low = 0xA0;
    if (lead == 0xED) high = 0x9F;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, c = lead & 0x07;
    if (lead == 0xF0) low = 0x90;
    if (lead == 0xF4) high = 0x8F;
  } else {
    return {Utf8Step::Kind::Invalid, 1, 0};  // a continuation byte, C0, C1 or F5-FF
  }
  for (size_t k = 1; k < length; ++k) {
    if (k >= n) return {Utf8Step::Kind::Incomplete, 0, 0};
    const unsigned char b = p[k];
    const unsigned char lo = k == 1 ? low : 0x80;
    const unsigned char hi = k == 1 ? high : 0xBF;
    if (b < lo || b > hi) return {Utf8Step::Kind::Invalid, k, 0};
    c = (c << 6) | (b & 0x3F);
  }
  return {Utf8Step::Kind::Character, length, c};
}

std::string ToUtf8(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t c = text[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      c = kReplacement;
    }
    AppendUtf8(out, c);
  }
  return out;
}

std::u16string FromUtf8(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const size_t n = text.size();
  size_t i = 0;
  while (i < n) {
    const Utf8Step step = DecodeUtf8Step(s + i, n - i);
    if (step.kind == Utf8Step::Kind::Character) {
      AppendUtf16(out, step.codePoint);
      i += step.length;
    } else {
      // Each byte that does not start a well-formed sequence is one U+FFFD.
      out += static_cast<char16_t>(kReplacement);
      ++i;
    }
  }
  return out;
}

}  // namespace kelm::port
