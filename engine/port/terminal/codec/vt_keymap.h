// Key tables of the terminal input decoder: which virtual-key code, character
// and modifier bits a terminal key report stands for (as a US keyboard would
// give them on the Windows console), and how one key becomes records.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/terminal/codec/vt_input.h"

namespace kelm::port::vt {

// The modifier bits a key may carry.
inline constexpr uint32_t kModifierBits = SHIFT_PRESSED | LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED;

// One key press: virtual-key code, character (one UTF-16 unit, 0 for none)
// and control-key state (modifier bits plus ENHANCED_KEY).
struct Key {
  uint16_t vk = 0;
  char16_t ch = 0;
  uint32_t state = 0;
};

// xterm's modifier parameter: 1 + (Shift 1, Alt 2, Ctrl 4, Meta 8). Meta and
// kitty's higher bits (hyper, meta, Caps Lock, Num Lock) are ignored; 0 or a
// missing parameter means no modifier.
uint32_t ModifiersFromParameter(int parameter);

// An ASCII printable byte 0x20..0x7E as typed on a US keyboard (Shift where the
// character needs it).
Key KeyForPrintable(unsigned char c);

// A C0 control byte (0x00..0x1F, not ESC) or DEL 0x7F.
Key KeyForControl(unsigned char b);

// What a key reported by code point means (kitty's CSI code u, xterm's
// modifyOtherKeys CSI 27 ; mods ; code ~). `shifted` is kitty's shifted-key
// alternate (0 when absent). Letters are folded to their key whatever case the
// terminal reported. Returns false for code points that are no key we know
// (kitty's private-use codes for media or lock keys, surrogates...).
bool KeyForCodepoint(uint32_t code, uint32_t shifted, uint32_t modifiers, Key& key);

// CSI number ~ (Home, Insert, Delete, End, PgUp, PgDn, F1..F12).
bool KeyForTildeNumber(int number, Key& key);

// The final letter of CSI/SS3 cursor and function keys (A-D, H, F, P-S).
bool KeyForFinalLetter(unsigned char final, Key& key);

// The SS3 forms of the application keypad (SS3 M is keypad Enter, SS3 j..y
// the operators and digits).
bool KeyForKeypadFinal(unsigned char final, Key& key);

// Appends the records of one key press: key-down records of the modifier keys
// it carries (Ctrl, Alt, Shift), its own key-down and key-up, then the
// modifiers' key-up records in reverse order.
void EmitKey(const Key& key, std::vector<VtEvent>& out);

// Appends the key press of one typed character: ASCII through the US layout,
// anything else as VK_PACKET; characters above U+FFFF as two presses carrying
// the halves of a surrogate pair. `extraState` is added to each key's state.
void EmitCharacter(char32_t c, uint32_t extraState, std::vector<VtEvent>& out);

}  // namespace kelm::port::vt
