#include "engine/port/terminal/codec/vt_keymap.h"

#include <array>
#include <iterator>

namespace kelm::port::vt {

namespace {

// xterm modifier parameter bits (after subtracting 1).
constexpr int kParamShift = 1;
constexpr int kParamAlt = 2;
constexpr int kParamCtrl = 4;

// US layout punctuation: each key's unshifted and shifted character. Digits
// are here for their shifted characters; letters and space are handled apart.
struct PunctuationKey {
  char plain;
  char shifted;
  uint16_t vk;
};
constexpr std::array<PunctuationKey, 21> kPunctuation = {{
    {'`', '~', VK_OEM_3},      {'1', '!', '1'},          {'2', '@', '2'},
    {'3', '#', '3'},           {'4', '$', '4'},          {'5', '%', '5'},
    {'6', '^', '6'},           {'7', '&', '7'},          {'8', '*', '8'},
    {'9', '(', '9'},           {'0', ')', '0'},          {'-', '_', VK_OEM_MINUS},
    {'=', '+', VK_OEM_PLUS},   {'[', '{', VK_OEM_4},     {']', '}', VK_OEM_6},
    {'\\', '|', VK_OEM_5},     {';', ':', VK_OEM_1},     {'\'', '"', VK_OEM_7},
    {',', '<', VK_OEM_COMMA},  {'.', '>', VK_OEM_PERIOD}, {'/', '?', VK_OEM_2},
}};

const PunctuationKey* FindPunctuation(char c) {
  for (const auto& k : kPunctuation) {
    if (k.plain == c || k.shifted == c) return &k;
  }
  return nullptr;
}

bool IsLower(uint32_t c) { return c >= 'a' && c <= 'z'; }
bool IsUpper(uint32_t c) { return c >= 'A' && c <= 'Z'; }

// The character the console gives for Ctrl+key (without AltGr): the C0 code
// of a letter or of [ \ ], nothing for other keys.
char16_t ControlCharacter(uint16_t vk) {
  if (vk >= 'A' && vk <= 'Z') return static_cast<char16_t>(vk - 'A' + 1);
  switch (vk) {
    case VK_OEM_4: return 0x1B;
    case VK_OEM_5: return 0x1C;
    case VK_OEM_6: return 0x1D;
    default: return 0;
  }
}

// kitty's private-use codes of the keypad (reported as CSI code u once the
// disambiguate flag is on).
constexpr uint32_t kKittyKeypadFirst = 57399;  // KP_0
constexpr uint32_t kKittyKeypadLast = 57427;   // KP_BEGIN
constexpr uint32_t kKittyPrivateFirst = 0xE000;
constexpr uint32_t kKittyPrivateLast = 0xF8FF;

bool KittyKeypadKey(uint32_t code, Key& key) {
  const uint32_t i = code - kKittyKeypadFirst;
  if (i <= 9) {  // KP_0..KP_9
    key = KeyForPrintable(static_cast<unsigned char>('0' + i));
    return true;
  }
  // KP_DECIMAL, DIVIDE, MULTIPLY, SUBTRACT, ADD, ENTER, EQUAL, SEPARATOR,
  // then LEFT, RIGHT, UP, DOWN, PAGE_UP, PAGE_DOWN, HOME, END, INSERT,
  // DELETE, BEGIN.
  static constexpr char kOperators[] = "./*-+\r=,";
  static constexpr uint16_t kNavigation[] = {VK_LEFT,  VK_RIGHT, VK_UP,     VK_DOWN,  VK_PRIOR,
                                             VK_NEXT,  VK_HOME,  VK_END,    VK_INSERT, VK_DELETE};
  const uint32_t op = i - 10;
  if (op < 8) {
    const char c = kOperators[op];
    key = c == '\r' ? KeyForControl('\r') : KeyForPrintable(static_cast<unsigned char>(c));
    return true;
  }
  const uint32_t nav = op - 8;
  if (nav < sizeof kNavigation / sizeof kNavigation[0]) {
    // Keypad navigation keys are not "enhanced" on the console.
    key = Key{kNavigation[nav], 0, 0};
    return true;
  }
  return false;  // KP_BEGIN: no key of its own
}

}  // namespace

uint32_t ModifiersFromParameter(int parameter) {
  if (parameter < 2) return 0;
  const int bits = parameter - 1;
  uint32_t state = 0;
  if (bits & kParamShift) state |= SHIFT_PRESSED;
  if (bits & kParamAlt) state |= LEFT_ALT_PRESSED;
  if (bits & kParamCtrl) state |= LEFT_CTRL_PRESSED;
  return state;
}

Key KeyForPrintable(unsigned char c) {
  if (c == ' ') return Key{VK_SPACE, u' ', 0};
  if (IsLower(c)) return Key{static_cast<uint16_t>(c - 'a' + 'A'), c, 0};
  if (IsUpper(c)) return Key{c, c, SHIFT_PRESSED};
  if (const PunctuationKey* k = FindPunctuation(static_cast<char>(c))) {
    return Key{k->vk, c, k->shifted == static_cast<char>(c) ? SHIFT_PRESSED : 0u};
  }
  return Key{VK_PACKET, c, 0};  // not reached for 0x20..0x7E
}

Key KeyForControl(unsigned char b) {
  switch (b) {
    case 0x00: return Key{VK_SPACE, 0, LEFT_CTRL_PRESSED};  // Ctrl+Space (also Ctrl+@)
    case 0x08: return Key{VK_BACK, 0x7F, LEFT_CTRL_PRESSED};  // Ctrl+Backspace in xterm/kitty
    case 0x09: return Key{VK_TAB, u'\t', 0};
    case 0x0A:  // Ctrl+J; Enter is friendlier (pasted or piped line ends)
    case 0x0D: return Key{VK_RETURN, u'\r', 0};
    case 0x1B: return Key{VK_ESCAPE, 0x1B, 0};
    case 0x1C: return Key{VK_OEM_5, 0x1C, LEFT_CTRL_PRESSED};       // Ctrl+backslash
    case 0x1D: return Key{VK_OEM_6, 0x1D, LEFT_CTRL_PRESSED};       // Ctrl+]
    case 0x1E: return Key{'6', 0x1E, LEFT_CTRL_PRESSED};            // Ctrl+^ (Ctrl+6)
    case 0x1F: return Key{VK_OEM_MINUS, 0x1F, LEFT_CTRL_PRESSED};   // Ctrl+_ (Ctrl+-)
    case 0x7F: return Key{VK_BACK, 0x08, 0};                        // Backspace
    default: break;
  }
  if (b >= 0x01 && b <= 0x1A) {  // Ctrl+A..Ctrl+Z
    return Key{static_cast<uint16_t>('A' + b - 1), b, LEFT_CTRL_PRESSED};
  }
  return Key{};
}

bool KeyForCodepoint(uint32_t code, uint32_t shifted, uint32_t modifiers, Key& key) {
  modifiers &= kModifierBits;
  const bool ctrl = (modifiers & LEFT_CTRL_PRESSED) != 0;
  switch (code) {
    case 0x0D: key = Key{VK_RETURN, u'\r', modifiers}; return true;
    case 0x09: key = Key{VK_TAB, u'\t', modifiers}; return true;
    case 0x1B: key = Key{VK_ESCAPE, 0x1B, modifiers}; return true;
    case 0x08:
    case 0x7F: key = Key{VK_BACK, ctrl ? char16_t{0x7F} : char16_t{0x08}, modifiers}; return true;
    case 0x20: key = Key{VK_SPACE, ctrl ? char16_t{0} : u' ', modifiers}; return true;
    default: break;
  }
  if (code >= kKittyKeypadFirst && code <= kKittyKeypadLast) {
    if (!KittyKeypadKey(code, key)) return false;
    key.state = (key.state & ~kModifierBits) | modifiers;
    if (ctrl && key.ch != u'\r') key.ch = 0;
    return true;
  }
  if (code < 0x20 || (code >= 0xD800 && code <= 0xDFFF) || code > 0xFFFF ||
      (code >= kKittyPrivateFirst && code <= kKittyPrivateLast)) {
    return false;
  }
  if (code >= 0x80) {  // non-ASCII: typed text
    key = Key{VK_PACKET, static_cast<char16_t>(code), modifiers};
    return true;
  }
  // ASCII printable. The terminal may report the shifted character (xterm:
  // Ctrl+Shift+H is 72) or the unshifted one with Shift in the modifiers
  // (kitty: 104;6u); both become the same key.
  key = KeyForPrintable(static_cast<unsigned char>(code));
  uint32_t state = modifiers;
  if (!IsUpper(code)) state |= key.state;  // '!' implies Shift; 'H' need not (Caps Lock)
  key.state = state;
  const bool shift = (state & SHIFT_PRESSED) != 0;
  if (ctrl) {
    key.ch = ControlCharacter(key.vk);
  } else if (IsUpper(code) || IsLower(code)) {
    key.ch = static_cast<char16_t>(shift ? (code & ~0x20u) : code);
  } else if (shifted >= 0x20 && shifted < 0xD800 && shift) {
    key.ch = static_cast<char16_t>(shifted);
  } else if (const PunctuationKey* k = FindPunctuation(static_cast<char>(code))) {
    key.ch = static_cast<char16_t>(shift ? k->shifted : k->plain);
  }
  return true;
}

bool KeyForTildeNumber(int number, Key& key) {
  // CSI n ~ : the VT220 editing keypad (1 Home/Find, 4 End/Select in tmux and
  // the Linux console, 7/8 Home/End in rxvt) and function keys 11..24 with
  // the usual gaps at 16 and 22.
  switch (number) {
    case 1: case 7: key = Key{VK_HOME, 0, ENHANCED_KEY}; return true;
    case 2: key = Key{VK_INSERT, 0, ENHANCED_KEY}; return true;
    case 3: key = Key{VK_DELETE, 0, ENHANCED_KEY}; return true;
    case 4: case 8: key = Key{VK_END, 0, ENHANCED_KEY}; return true;
    case 5: key = Key{VK_PRIOR, 0, ENHANCED_KEY}; return true;
    case 6: key = Key{VK_NEXT, 0, ENHANCED_KEY}; return true;
    case 11: case 12: case 13: case 14: case 15:
      key = Key{static_cast<uint16_t>(VK_F1 + (number - 11)), 0, 0};
      return true;
    case 17: case 18: case 19: case 20: case 21:
      key = Key{static_cast<uint16_t>(VK_F6 + (number - 17)), 0, 0};
      return true;
    case 23: key = Key{VK_F11, 0, 0}; return true;
    case 24: key = Key{VK_F12, 0, 0}; return true;
    default: return false;
  }
}

bool KeyForFinalLetter(unsigned char final, Key& key) {
  switch (final) {
    case 'A': key = Key{VK_UP, 0, ENHANCED_KEY}; return true;
    case 'B': key = Key{VK_DOWN, 0, ENHANCED_KEY}; return true;
    case 'C': key = Key{VK_RIGHT, 0, ENHANCED_KEY}; return true;
    case 'D': key = Key{VK_LEFT, 0, ENHANCED_KEY}; return true;
    case 'H': key = Key{VK_HOME, 0, ENHANCED_KEY}; return true;
    case 'F': key = Key{VK_END, 0, ENHANCED_KEY}; return true;
    case 'P': key = Key{VK_F1, 0, 0}; return true;
    case 'Q': key = Key{VK_F2, 0, 0}; return true;
    case 'R': key = Key{VK_F3, 0, 0}; return true;
    case 'S': key = Key{VK_F4, 0, 0}; return true;
    default: return false;
  }
}

bool KeyForKeypadFinal(unsigned char final, Key& key) {
  if (final == 'M') {
    key = KeyForControl('\r');
    return true;
  }
  // SS3 j..y: * + , - . / 0..9 ; SS3 X: =. Keypad keys need no Shift for
  // their characters.
  static constexpr char kKeypad[] = "*+,-./0123456789";
  if (final >= 'j' && final <= 'y') {
    key = KeyForPrintable(static_cast<unsigned char>(kKeypad[final - 'j']));
  } else if (final == 'X') {
    key = KeyForPrintable('=');
  } else {
    return false;
  }
  key.state &= ~SHIFT_PRESSED;
  return true;
}

void EmitKey(const Key& key, std::vector<VtEvent>& out) {
  struct Modifier {
    uint32_t bit;
    uint16_t vk;
  };
  // Pressed in this order, released in the reverse one.
  static constexpr Modifier kModifiers[] = {
      {LEFT_CTRL_PRESSED, VK_CONTROL}, {LEFT_ALT_PRESSED, VK_MENU}, {SHIFT_PRESSED, VK_SHIFT}};
  auto push = [&out](const INPUT_RECORD& record) {
    VtEvent event;
    event.record = record;
    out.push_back(std::move(event));
  };
  const uint32_t modifiers = key.state & kModifierBits;
  uint32_t held = 0;
  for (const Modifier& m : kModifiers) {
    if (modifiers & m.bit) {
      held |= m.bit;
      push(MakeKeyRecord(true, m.vk, 0, held));
    }
  }
  push(MakeKeyRecord(true, key.vk, key.ch, key.state));
  push(MakeKeyRecord(false, key.vk, key.ch, key.state));
  for (auto it = std::rbegin(kModifiers); it != std::rend(kModifiers); ++it) {
    if (modifiers & it->bit) {
      held &= ~it->bit;
      push(MakeKeyRecord(false, it->vk, 0, held));
    }
  }
}

void EmitCharacter(char32_t c, uint32_t extraState, std::vector<VtEvent>& out) {
  Key key;
  if (c < 0x80) {
    key = (c < 0x20 || c == 0x7F) ? KeyForControl(static_cast<unsigned char>(c))
                                  : KeyForPrintable(static_cast<unsigned char>(c));
  } else if (c < 0x10000) {
    key = Key{VK_PACKET, static_cast<char16_t>(c), 0};
  } else {
    const char32_t v = c - 0x10000;
    EmitKey(Key{VK_PACKET, static_cast<char16_t>(0xD800 + (v >> 10)), extraState}, out);
    EmitKey(Key{VK_PACKET, static_cast<char16_t>(0xDC00 + (v & 0x3FF)), extraState}, out);
    return;
  }
  key.state |= extraState;
  EmitKey(key, out);
}

}  // namespace kelm::port::vt
