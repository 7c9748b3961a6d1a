// TextInput: a one-line text field. Characters are added at the end only;
// while focused it takes every key of the frame (TakeKeyEvents).
#pragma once

#include <cstdint>
#include <string>

#include "engine/core/object.h"
#include "engine/widgets/bracket_style.h"

namespace KelmCEngineV2 {

using CharsetKind = uint8_t;
inline constexpr CharsetKind Any = 0;
inline constexpr CharsetKind Digits = 1;
inline constexpr CharsetKind Lowercase = 2;
inline constexpr CharsetKind Uppercase = 3;
inline constexpr CharsetKind HexLowercase = 4;
inline constexpr CharsetKind HexUppercase = 5;
inline constexpr CharsetKind DigitsColonDot = 6;

// The most characters any field holds, whatever its maxLength: a field
// never holds more than it can show and use, so that neither a paste nor a
// caller's setting makes each frame's picture of it costly.
inline constexpr int32_t kMaxTextInputLength = 1024;

class TextInput : public Object {
 public:
  TextInput(Vector2 at, std::u16string placeholderText, int32_t maxLengthValue,
            CharsetKind charsetKind, BracketKind kind, const BracketStyle* customStyle = nullptr);
  void Focus() { focused = true; }
  bool IsFocused() const { return focused; }
  void Update() override;

  // Every character passes the set (an empty string passes).
  bool IsAllowedText(const std::u16string& candidate) const;

  int32_t maxLength = 0;  // limited to kMaxTextInputLength at construction
  bool exactCase = false;
  uint64_t blinkTimer = 0;
  char caretColour = 'F';
  BracketStyle style;
  bool focused = false;
  ObjectCallback onSubmit;
  CharsetKind charset = Any;
  std::u16string value;
  std::u16string placeholder;
  std::u16string allowedChars;

 private:
  // Applies this frame's key-down records (all taken from the input state).
  void HandleKeys();
  // Builds the picture: brackets, placeholder or value, and the caret cell.
  void Redraw();
  // Appends the port's clipboard text when the field's rules allow it and
  // the value then stays within the field's limit: a paste goes in whole or
  // not at all.
  void Paste();
  // maxLength within 0 .. kMaxTextInputLength (callers may assign it).
  size_t Limit() const;
  // Puts the whole value on the port's clipboard.
  void Copy();
};

// The character a key produces under the current keyboard state (through the
// port), 0 when none.
char16_t KeyToChar(uint16_t virtualKey);
// Tabs, carriage returns and line feeds become U+0000; nothing is removed.
std::u16string BlankControlChars(const std::u16string& text);

}  // namespace KelmCEngineV2
