// The bracket decoration of buttons, text inputs and sliders.
#pragma once

#include <cstdint>
#include <string>

namespace KelmCEngineV2 {

struct BracketStyle {
  std::u16string prefix;
  std::u16string suffix;
  std::string prefixForeground;  // one colour digit (or space) per prefix cell
  std::string suffixForeground;
};

using BracketKind = uint8_t;
inline constexpr BracketKind Spaced = 0;  // "[ " label " ]"
inline constexpr BracketKind Tight = 1;   // "[" label "]"
inline constexpr BracketKind None = 2;    // the bare label
inline constexpr BracketKind Custom = 3;  // the caller's BracketStyle

// The three built-in styles (brackets in light red, digit 'C').
extern const BracketStyle kSpacedStyle;
extern const BracketStyle kTightStyle;
extern const BracketStyle kNoneStyle;

// The style a kind names: the built-in one, the caller's for Custom (an empty
// style when `custom` is null), an empty one for any other value.
BracketStyle ResolveBracketStyle(BracketKind kind, const BracketStyle* custom);

}  // namespace KelmCEngineV2
