// Conversions between the engine's UTF-16 text and UTF-8 bytes.
#pragma once

#include <string>

namespace kelm::port {

// Appends the UTF-8 bytes of one code point (below U+110000).
void AppendUtf8(std::string& out, char32_t codePoint);

// UTF-16 to UTF-8; a lone surrogate becomes U+FFFD.
std::string ToUtf8(const std::u16string& text);
// UTF-8 to UTF-16; each byte that does not start a well-formed sequence
// becomes U+FFFD (overlong forms and surrogates included).
std::u16string FromUtf8(const std::string& text);

}  // namespace kelm::port
