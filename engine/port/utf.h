// Conversions between the engine's UTF-16 text and UTF-8 bytes.
#pragma once

#include <cstddef>
#include <string>

namespace kelm::port {

// The outcome of decoding one UTF-8 character.
struct Utf8Step {
  enum class Kind {
    Character,   // a well-formed sequence: `length` bytes give `codePoint`
    Incomplete,  // the bytes end inside a sequence that is well formed so far
    Invalid,     // ill formed: `length` bytes (at least 1) are its maximal ill-formed prefix
  };
  Kind kind;
  size_t length;        // 0 when Incomplete
  char32_t codePoint;   // only for Character
};

// Decodes the character that starts at p[0], reading at most n bytes
// (n >= 1). Well formed means the Unicode definition: no overlong forms, no
// surrogates, nothing above U+10FFFF. The maximal ill-formed prefix ends
// before the first byte that cannot continue the sequence, so that byte is
// decoded afresh by the next step. Callers choose their own policy for
// Incomplete and Invalid (wait for more, a U+FFFD, an escape, a refusal).
Utf8Step DecodeUtf8Step(const unsigned char* p, size_t n);

// Appends one code point (below U+110000, not a surrogate) as UTF-16 units.
void AppendUtf16(std::u16string& out, char32_t codePoint);

// Appends the UTF-8 bytes of one code point (below U+110000).
void AppendUtf8(std::string& out, char32_t codePoint);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string ToUtf8(const std::u16string& text);
// UTF-8 to UTF-16; each byte that does not start a well-formed sequence
// becomes U+FFFD (overlong forms and surrogates included).
std::u16string FromUtf8(const std::string& text);

}  // namespace kelm::port
