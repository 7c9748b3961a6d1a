#include "engine/port/printable_text.h"

#include <cstdint>
#include <ostream>

#include "engine/port/hex_digits.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

void AppendByteEscape(std::string& out, uint8_t byte) {
  out += "\\x";
  out += HexDigit(byte >> 4, true);
  out += HexDigit(byte, true);
}

void AppendCodePointEscape(std::string& out, char32_t c) {
  out += "\\u{";
  bool started = false;
  for (int shift = 20; shift >= 0; shift -= 4) {
    const unsigned digit = (c >> shift) & 0xF;
    if (digit != 0 || started || shift <= 12) {
      out += HexDigit(digit, true);
      started = true;
    }
  }
  out += '}';
}

// The length of the well-formed UTF-8 sequence at s[i] and its code point,
// or 0 when the byte there does not start one (overlong forms, surrogates
// and values above U+10FFFF are not well formed).
size_t DecodeAt(const unsigned char* s, size_t n, size_t i, char32_t& c) {
  const Utf8Step step = DecodeUtf8Step(s + i, n - i);
  if (step.kind != Utf8Step::Kind::Character) return 0;
  c = step.codePoint;
  return step.length;
}

// Characters above ASCII that change how a terminal shows the text around
// them, or that cannot be seen at all.
bool IsUnsafeAboveAscii(char32_t c) {
  if (c >= 0x80 && c <= 0x9F) return true;                     // C1 controls
  if (c == 0x00AD || c == 0x061C || c == 0x180E) return true;  // soft hyphen, Arabic letter mark, Mongolian separator
  if (c >= 0x200B && c <= 0x200F) return true;                 // zero-width characters, LRM, RLM
  if (c >= 0x2028 && c <= 0x202E) return true;                 // line/paragraph separators, embeddings, overrides
  if (c >= 0x2060 && c <= 0x206F) return true;                 // word joiner, invisible operators, isolates
  if (c == 0xFEFF) return true;                                // zero-width no-break space (byte order mark)
  if (c >= 0xFFF9 && c <= 0xFFFB) return true;                 // interlinear annotation controls
  if (c >= 0xE0000 && c <= 0xE007F) return true;               // tag characters
  return false;
}

std::string Escape(std::string_view bytes, bool message) {
  std::string out;
  out.reserve(bytes.size());
  const auto* s = reinterpret_cast<const unsigned char*>(bytes.data());
  const size_t n = bytes.size();
  size_t i = 0;
  while (i < n) {
    char32_t c = 0;
    const size_t length = DecodeAt(s, n, i, c);
    if (length == 0) {
      AppendByteEscape(out, s[i]);
      ++i;
      continue;
    }
    if (c < 0x80) {
      if (message && c == '\n') {
        out += '\n';
      } else if (c == '\\' && !message) {
        out += "\\\\";
      } else if (c < 0x20 || c == 0x7F) {
        AppendByteEscape(out, static_cast<uint8_t>(c));
      } else {
        out += static_cast<char>(c);
      }
    } else if (IsUnsafeAboveAscii(c)) {
      AppendCodePointEscape(out, c);
    } else {
      out.append(bytes.data() + i, length);
    }
    i += length;
  }
  return out;
}

}  // namespace

std::string EscapedText(std::string_view bytes) { return Escape(bytes, false); }

std::string SafeMessage(std::string_view text) { return Escape(text, true); }

void WriteMessage(std::ostream& out, std::string_view text) { out << SafeMessage(text); }

}  // namespace kelm::port
