#include "engine/widgets/text_input.h"

#include <algorithm>
#include <string_view>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/port/console_port.h"

namespace KelmCEngineV2 {

namespace {

using kelm::port::LEFT_CTRL_PRESSED;
using kelm::port::RIGHT_CTRL_PRESSED;
using kelm::port::VK_DELETE;
using kelm::port::VK_ESCAPE;
using kelm::port::VK_RETURN;

constexpr char16_t kBackspaceChar = 8;
constexpr char16_t kCtrlBackspaceChar = 0x7F;
constexpr uint16_t kKeyC = 'C';
constexpr uint16_t kKeyV = 'V';
constexpr uint16_t kKeyX = 'X';

// The caret switches between white and black every this many milliseconds.
constexpr uint64_t kCaretBlinkMs = 500;
constexpr char kCaretOn = 'F';
constexpr char kCaretOff = '0';
constexpr char kCaretFull = '4';  // dark red: the field is full
constexpr char kTextColour = '7';

// ASCII case mapping: the accepted sets are ASCII, and the C library's
// tolower/toupper are not defined for most UTF-16 units.
char16_t AsciiLower(char16_t c) { return (c >= u'A' && c <= u'Z') ? c + (u'a' - u'A') : c; }
char16_t AsciiUpper(char16_t c) { return (c >= u'a' && c <= u'z') ? c - (u'a' - u'A') : c; }

std::u16string AllowedCharsOf(CharsetKind charset) {
  switch (charset) {
    case Digits:
      return u"0123456789";
    case Lowercase:
      return u"abcdefghijklmnopqrstuvwxyz";
    case Uppercase:
      return u"ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    case HexLowercase:
      return u"0123456789abcdef";
    case HexUppercase:
      return u"0123456789ABCDEF";
    case DigitsColonDot:
      return u"0123456789:.";
    default:
      // Any: no filtering. An unknown kind: filtering with nothing accepted.
      return u"";
  }
}

}  // namespace

TextInput::TextInput(Vector2 at, std::u16string placeholderText, int32_t maxLengthValue,
                     CharsetKind charsetKind, BracketKind kind, const BracketStyle* customStyle)
    : Object(at, std::u16string(u"[]")),
      maxLength(std::clamp(maxLengthValue, 0, kMaxTextInputLength)),
      exactCase(charsetKind == Uppercase || charsetKind == HexUppercase),
      style(ResolveBracketStyle(kind, customStyle)),
      charset(charsetKind),
      placeholder(std::move(placeholderText)),
      allowedChars(AllowedCharsOf(charsetKind)) {}

bool TextInput::IsAllowedText(const std::u16string& candidate) const {
  for (char16_t c : candidate) {
    if (exactCase) {
      if (allowedChars.find(c) == std::u16string::npos) return false;
    } else if (allowedChars.find(AsciiLower(c)) == std::u16string::npos &&
               allowedChars.find(AsciiUpper(c)) == std::u16string::npos) {
      return false;
    }
  }
  return true;
}

void TextInput::Update() {
  // Focus: a press on the field takes it; a press elsewhere that nothing
  // above has used up drops it.
  if (IsClicked()) {
    ClearAsyncKeyState();
    focused = true;
  } else if (mouseButtons[kLeftButton].pressed) {
    focused = false;
  }

  if (focused) HandleKeys();
  Redraw();

  if (callback) callback(this);
}

void TextInput::HandleKeys() {
  // Every key of the frame goes to the focused field, so nothing updated
  // later sees them.
  const std::vector<KEY_EVENT_RECORD> records = TakeKeyEvents();
  for (const KEY_EVENT_RECORD& record : records) {
    const uint16_t k = record.wVirtualKeyCode;
    const char16_t ch = record.UnicodeChar;
    const bool ctrl = (record.dwControlKeyState & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0;

    if (ch == 0) {
      if (k == VK_DELETE) value.clear();
      continue;
    }
    if (ch == kCtrlBackspaceChar) {
      // Removes the last word: everything from the last space on.
      const size_t space = value.rfind(u' ');
      value.erase(space == std::u16string::npos ? 0 : space);
      continue;
    }
    if (ch == kBackspaceChar) {
      if (!value.empty()) value.pop_back();
      continue;
    }
    if (k == VK_ESCAPE) {
      focused = false;
      return;  // the rest of the frame's keys are dropped
    }
    if (k == VK_RETURN) {
      focused = false;
      if (onSubmit) {
        ObjectCallback submit = onSubmit;
        submit(this);
      }
      return;  // the rest of the frame's keys are dropped
    }
    if (k == VK_DELETE) {
      value.clear();
      continue;
    }
    if (ctrl) {
      if (k == kKeyV) {
        Paste();
      } else if (k == kKeyC || k == kKeyX) {
        Copy();
        if (k == kKeyX) value.clear();
      }
      // Any other Ctrl combination, AltGr characters included, is ignored.
      continue;
    }
    if (value.size() >= Limit()) continue;
    if (charset == Any) {
      value += ch;
      continue;
    }
    // The key's own translation decides; the record's character is what goes
    // in, so a lower-case field keeps an upper-case letter typed with Shift.
    const char16_t t = KeyToChar(k);
    if (t == 0) {
      value += ch;
      continue;
    }
    for (char16_t a : allowedChars) {
      if (t == a || (!exactCase && (t == AsciiUpper(a) || t == AsciiLower(a)))) {
        value += ch;
        break;
      }
    }
  }
}

void TextInput::Redraw() {
  std::u16string picture = style.prefix;
  std::string fore = style.prefixForeground;
  std::string back(style.prefix.size(), ' ');

  if (!focused && value.empty()) {
    picture += placeholder;
    fore.append(placeholder.size(), kTextColour);
    back.append(placeholder.size(), ' ');
  } else {
    picture += value;
    fore.append(value.size(), kTextColour);
    back.append(value.size(), ' ');
    if (focused) {
      picture += u' ';
      fore += ' ';
      if (value.size() < Limit()) {
        blinkTimer += mainEngine != nullptr ? mainEngine->deltaTime : 0;
        bool toggled = false;
        if (blinkTimer >= kCaretBlinkMs) {
          blinkTimer = 0;
          caretColour = caretColour == kCaretOn ? kCaretOff : kCaretOn;
          toggled = true;
        }
        back += caretColour;
        // The caret changes on its own: a new colour shows in the next frame,
        // which comes at once; then the frame of the next toggle.
        if (mainEngine != nullptr) {
          mainEngine->RequestFrame(toggled ? 0 : static_cast<uint32_t>(kCaretBlinkMs - blinkTimer));
        }
      } else {
        back += kCaretFull;
      }
    }
  }

  picture += style.suffix;
  fore += style.suffixForeground;
  back.append(style.suffix.size(), ' ');

  SetText(std::move(picture));
  SetForeground(std::move(fore));
  SetBackground(std::move(back));
  FillOpaqueMask();
}

void TextInput::Paste() {
  std::optional<std::u16string> clip = kelm::port::Port().GetClipboardText();
  if (!clip) return;
  if (value.size() > Limit()) return;
  const size_t room = Limit() - value.size();
  // Clipboard text ends at its first NUL. Only the room's worth of it (and
  // one unit more) is searched: a paste of megabytes is refused at once.
  const std::u16string& clipText = *clip;
  const size_t searched = std::min(clipText.size(), room + 1);
  const size_t nul = std::u16string_view(clipText.data(), searched).find(u'\0');
  const size_t length = nul != std::u16string_view::npos ? nul : clipText.size();
  if (length > room) return;
  const std::u16string pasted = clipText.substr(0, length);
  if (charset != Any) {
    if (IsAllowedText(pasted)) value += pasted;
    return;
  }
  value += BlankControlChars(pasted);
}

size_t TextInput::Limit() const { return static_cast<size_t>(std::clamp(maxLength, 0, kMaxTextInputLength)); }

void TextInput::Copy() { kelm::port::Port().SetClipboardText(value); }

char16_t KeyToChar(uint16_t virtualKey) { return kelm::port::Port().KeyToChar(virtualKey); }

std::u16string BlankControlChars(const std::u16string& text) {
  std::u16string result = text;
  for (char16_t& c : result) {
    if (c == u'\t' || c == u'\r' || c == u'\n') c = u'\0';
  }
  return result;
}

}  // namespace KelmCEngineV2
