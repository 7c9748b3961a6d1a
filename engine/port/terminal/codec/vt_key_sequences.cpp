// The CSI and SS3 sequences that are keys: xterm's, rxvt's, the Linux
// console's, kitty's and modifyOtherKeys' forms, mapped through the key
// tables of vt_keymap.
#include "engine/port/terminal/codec/vt_input_parts.h"

namespace kelm::port::vt_decoding {

KeyScan KeyFromCsi(const Sequence& s, Key& key) {
  if (s.malformed || s.prefix != 0) return KeyScan::NotKey;
  if (s.intermediateCount != 0 && s.final != '$') return KeyScan::NotKey;
  switch (s.final) {
    case '~':
    case '$':
    case '^':
    case '@': {
      const int number = s.Value(0);
      if (s.final == '~' && number == kModifyOtherKeys && s.count >= 3) {
        // xterm modifyOtherKeys: CSI 27 ; modifiers ; code ~
        const uint32_t modifiers = vt::ModifiersFromParameter(s.Value(1));
        return vt::KeyForCodepoint(static_cast<uint32_t>(s.Value(2)), 0, modifiers, key)
                   ? KeyScan::Key
                   : KeyScan::Nothing;
      }
      if (!vt::KeyForTildeNumber(number, key)) return KeyScan::NotKey;
      switch (s.final) {
        case '~':
          if (s.Sub(1, 1) == kKittyReleaseEvent) return KeyScan::Nothing;
          key.state |= vt::ModifiersFromParameter(s.Value(1));
          break;
        case '$': key.state |= SHIFT_PRESSED; break;                      // rxvt Shift
        case '^': key.state |= LEFT_CTRL_PRESSED; break;                  // rxvt Ctrl
        default: key.state |= LEFT_CTRL_PRESSED | SHIFT_PRESSED; break;   // rxvt '@'
      }
      return KeyScan::Key;
    }
    case 'u': {  // kitty: CSI code[:shifted] ; modifiers[:event] u
      if (s.count == 0) return KeyScan::NotKey;
      if (s.Sub(1, 1) == kKittyReleaseEvent) return KeyScan::Nothing;
      const uint32_t modifiers = vt::ModifiersFromParameter(s.Value(1));
      return vt::KeyForCodepoint(static_cast<uint32_t>(s.Value(0)),
                                 static_cast<uint32_t>(s.Sub(0, 1)), modifiers, key)
                 ? KeyScan::Key
                 : KeyScan::Nothing;
    }
    case 'Z':  // back-tab: Shift+Tab (more modifiers in xterm's CSI 1 ; m Z)
      key = Key{VK_TAB, u'\t', SHIFT_PRESSED | vt::ModifiersFromParameter(s.Value(1))};
      return KeyScan::Key;
    case 'a': case 'b': case 'c': case 'd':  // rxvt Shift+arrows
      if (s.count != 0) return KeyScan::NotKey;
      vt::KeyForFinalLetter(static_cast<unsigned char>(s.final - 'a' + 'A'), key);
      key.state |= SHIFT_PRESSED;
      return KeyScan::Key;
    case '[':  // Linux console F1..F5
      if (s.extra[0] == 0) return KeyScan::Nothing;
      key = Key{static_cast<uint16_t>(VK_F1 + (s.extra[0] - 'A')), 0, 0};
      return KeyScan::Key;
    case 'R':
      // CSI row ; col R is a cursor-position reply (see the header).
      if (s.count >= 2) return KeyScan::NotKey;
      [[fallthrough]];
    default:
      if (!vt::KeyForFinalLetter(s.final, key)) return KeyScan::NotKey;
      if (s.count >= 2) {  // CSI 1 ; modifiers X
        if (s.Sub(1, 1) == kKittyReleaseEvent) return KeyScan::Nothing;
        key.state |= vt::ModifiersFromParameter(s.Value(1));
      }
      return KeyScan::Key;
  }
}

// A byte that can follow ESC O in an SS3 key (else ESC O is Alt+Shift+O).
bool StartsSs3(unsigned char b) {
  Key unused;
  return IsDigit(b) || b == ';' || (b >= 'a' && b <= 'd') || vt::KeyForFinalLetter(b, unused) ||
         vt::KeyForKeypadFinal(b, unused);
}

bool KeyFromSs3(const Sequence& s, Key& key) {
  if (s.malformed) return false;
  // Modifiers: the last parameter (ESC O 5 A, ESC O 1 ; 5 A).
  const uint32_t modifiers = s.count > 0 ? vt::ModifiersFromParameter(s.Value(s.count - 1)) : 0;
  if (s.final >= 'a' && s.final <= 'd') {  // rxvt Ctrl+arrows
    vt::KeyForFinalLetter(static_cast<unsigned char>(s.final - 'a' + 'A'), key);
    key.state |= LEFT_CTRL_PRESSED;
  } else if (!vt::KeyForFinalLetter(s.final, key) && !vt::KeyForKeypadFinal(s.final, key)) {
    return false;
  }
  key.state |= modifiers;
  return true;
}

}  // namespace kelm::port::vt_decoding
