// What of a file's text may reach the terminal: the characters a cell may
// show as they are, and the window title made harmless.
#pragma once

#include <string>

namespace kelm::port {

// Whether a UTF-16 unit may be shown as one terminal cell as it is.
bool IsSafeCellCharacter(char16_t ch);
// The character shown instead of one that is not safe.
inline constexpr char16_t kReplacementCell = u'.';

// The OSC 2 sequence that sets the window title to a sanitised form of
// `title` (controls, bidi and other invisible characters as
// IsControlOrInvisible names them, and lone surrogates removed, at most 200
// bytes of valid UTF-8).
std::string TitleSequence(const std::u16string& title);

}  // namespace kelm::port
