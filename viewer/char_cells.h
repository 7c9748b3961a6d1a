// What the character column shows for each byte of the visible window: the
// character (plain ASCII, or UTF-8 decoded) and whether it is a faint
// stand-in (the grey '.' of a byte with no character of its own), and the
// class of each byte for the byte-class colours.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelm::viewer {

struct CharCell {
  char16_t ch = u'.';
  bool faint = true;  // grey: a stand-in, not the byte's own character
};

// The shown form of a continuation byte of a UTF-8 character that starts on
// an earlier byte.
inline constexpr char16_t kContinuationCell = u'\u00B7';  // ·
// A well-formed UTF-8 character that one cell cannot show (wide, combining,
// invisible or outside the 16-bit range) stands at its first byte as this.
inline constexpr char16_t kUndrawableCell = u'\uFFFD';

// The bytes around the window that a UTF-8 character may straddle: up to
// three before it (the nearest last) and three after it.
struct CharContext {
  uint8_t before[3] = {};
  size_t beforeCount = 0;
  uint8_t after[3] = {};
  size_t afterCount = 0;
};

// One cell per byte of `bytes[0, count)`. Without `utf8`, the bytes
// 0x20..0x7E are themselves and every other byte is a faint '.'. With it, a
// well-formed sequence shows its character at its first byte and
// kContinuationCell (faint) on the others, also when it starts before the
// window or ends after it (`context`); control characters, ill-formed and
// cut-off sequences are faint '.'.
void BuildCharCells(const uint8_t* bytes, size_t count, const CharContext& context, bool utf8,
                    std::vector<CharCell>& cells);

// The byte-class colour digit of a byte: zero, printable ASCII, ASCII
// whitespace, other ASCII controls, non-ASCII.
char ByteClassColour(uint8_t byte);
inline constexpr char kZeroColour = '8';
inline constexpr char kPrintableColour = 'B';
inline constexpr char kWhitespaceColour = 'A';
inline constexpr char kControlColour = 'D';
inline constexpr char kNonAsciiColour = 'E';

}  // namespace kelm::viewer
