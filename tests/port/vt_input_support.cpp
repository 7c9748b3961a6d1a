#include "tests/port/vt_input_support.h"

#include <cstdio>
#include <random>

#include "engine/port/utf.h"

namespace kelm::port::test {

namespace {

std::string KeyName(uint16_t vk) {
  if ((vk >= 'A' && vk <= 'Z') || (vk >= '0' && vk <= '9')) return std::string(1, static_cast<char>(vk));
  if (vk >= VK_F1 && vk <= VK_F12) return "F" + std::to_string(vk - VK_F1 + 1);
  switch (vk) {
    case VK_BACK: return "Back";
    case VK_TAB: return "Tab";
    case VK_RETURN: return "Enter";
    case VK_ESCAPE: return "Esc";
    case VK_SPACE: return "Space";
    case VK_PRIOR: return "PgUp";
    case VK_NEXT: return "PgDn";
    case VK_END: return "End";
    case VK_HOME: return "Home";
    case VK_LEFT: return "Left";
    case VK_UP: return "Up";
    case VK_RIGHT: return "Right";
    case VK_DOWN: return "Down";
    case VK_INSERT: return "Ins";
    case VK_DELETE: return "Del";
    case VK_OEM_1: return "Semicolon";
    case VK_OEM_PLUS: return "Equals";
    case VK_OEM_COMMA: return "Comma";
    case VK_OEM_MINUS: return "Minus";
    case VK_OEM_PERIOD: return "Period";
    case VK_OEM_2: return "Slash";
    case VK_OEM_3: return "Backquote";
    case VK_OEM_4: return "LBracket";
    case VK_OEM_5: return "Backslash";
    case VK_OEM_6: return "RBracket";
    case VK_OEM_7: return "Quote";
    case VK_PACKET: return "Packet";
    case VK_SHIFT: return "Shift";
    case VK_CONTROL: return "Control";
    case VK_MENU: return "Alt";
    default: {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "VK%02X", vk);
      return buffer;
    }
  }
}

std::string Modifiers(uint32_t state) {
  std::string s;
  if (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) s += "C-";
  if (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) s += "A-";
  if (state & SHIFT_PRESSED) s += "S-";
  return s;
}

std::string CharText(char16_t ch) {
  if (ch == 0) return "";
  char buffer[16];
  if (ch >= 0x20 && ch < 0x7F) {
    std::snprintf(buffer, sizeof buffer, "='%c'", static_cast<char>(ch));
  } else if (ch < 0x80) {
    std::snprintf(buffer, sizeof buffer, "=%02x", static_cast<unsigned>(ch));
  } else {
    std::snprintf(buffer, sizeof buffer, "=U+%04X", static_cast<unsigned>(ch));
  }
  return buffer;
}

std::string Buttons(uint32_t buttons) {
  std::string s;
  if (buttons & FROM_LEFT_1ST_BUTTON_PRESSED) s += 'L';
  if (buttons & RIGHTMOST_BUTTON_PRESSED) s += 'R';
  if (buttons & FROM_LEFT_2ND_BUTTON_PRESSED) s += 'M';
  if (buttons & FROM_LEFT_3RD_BUTTON_PRESSED) s += '4';
  if (buttons & FROM_LEFT_4TH_BUTTON_PRESSED) s += '5';
  return s.empty() ? "-" : s;
}

std::string ReplyTypeName(VtEvent::ReplyType type) {
  using T = VtEvent::ReplyType;
  switch (type) {
    case T::None: return "None";
    case T::KittyKeyboardFlags: return "Kitty";
    case T::PrimaryDeviceAttributes: return "DA1";
    case T::SecondaryDeviceAttributes: return "DA2";
    case T::ModifyOtherKeys: return "ModifyOtherKeys";
    case T::CursorPosition: return "CursorPosition";
    case T::ModeReport: return "ModeReport";
    case T::OperatingSystemCommand: return "OSC";
    case T::DeviceControlString: return "DCS";
  }
  return "?";
}

std::string Visible(const std::string& raw) {
  std::string s;
  for (char c : raw) {
    if (c == '\x1b') s += "\\e";
    else if (c == '\a') s += "\\a";
    else s += c;
  }
  return s;
}

std::string MouseToken(const MOUSE_EVENT_RECORD& m) {
  const std::string at = "@" + std::to_string(m.dwMousePosition.X) + "," + std::to_string(m.dwMousePosition.Y);
  const std::string mods = Modifiers(m.dwControlKeyState);
  const auto delta = static_cast<int16_t>(m.dwButtonState >> 16);
  switch (m.dwEventFlags) {
    case MOUSE_MOVED: return mods + "m" + at + ":" + Buttons(m.dwButtonState & 0xFFFF);
    case 0: return mods + "b" + at + ":" + Buttons(m.dwButtonState & 0xFFFF);
    case MOUSE_WHEELED: return mods + (delta > 0 ? "w+" : "w-") + at;
    case MOUSE_HWHEELED: return mods + (delta > 0 ? "h+" : "h-") + at;
    default: return "BAD<mouse flags " + std::to_string(m.dwEventFlags) + ">";
  }
}

bool IsModifierKey(uint16_t vk) { return vk == VK_SHIFT || vk == VK_CONTROL || vk == VK_MENU; }

uint32_t ModifierBit(uint16_t vk) {
  return vk == VK_SHIFT ? SHIFT_PRESSED : vk == VK_CONTROL ? LEFT_CTRL_PRESSED : LEFT_ALT_PRESSED;
}

bool IsKey(const VtEvent& e) { return e.kind == VtEvent::Kind::Record && e.record.EventType == KEY_EVENT; }

// Reads one key group starting at events[i]; returns the token and advances i.
std::string KeyGroup(const std::vector<VtEvent>& events, size_t& i) {
  const size_t start = i;
  auto bad = [&](const std::string& why) {
    i = start + 1;
    return "BAD<" + why + ">";
  };
  uint32_t held = 0;
  std::vector<uint16_t> pressed;
  while (i < events.size() && IsKey(events[i]) && IsModifierKey(events[i].record.Event.KeyEvent.wVirtualKeyCode)) {
    const KEY_EVENT_RECORD& k = events[i].record.Event.KeyEvent;
    if (!k.bKeyDown) return bad("modifier key-up before its key");
    held |= ModifierBit(k.wVirtualKeyCode);
    if (k.dwControlKeyState != held || k.UnicodeChar != 0) return bad("modifier key-down state");
    pressed.push_back(k.wVirtualKeyCode);
    ++i;
  }
  if (i + 1 >= events.size() || !IsKey(events[i]) || !IsKey(events[i + 1])) return bad("key without key-up");
  const KEY_EVENT_RECORD& down = events[i].record.Event.KeyEvent;
  const KEY_EVENT_RECORD& up = events[i + 1].record.Event.KeyEvent;
  if (!down.bKeyDown || up.bKeyDown || down.wVirtualKeyCode != up.wVirtualKeyCode ||
      down.UnicodeChar != up.UnicodeChar || down.dwControlKeyState != up.dwControlKeyState ||
      down.wRepeatCount != 1 || up.wRepeatCount != 1) {
    return bad("key-down not followed by its key-up");
  }
  const uint32_t modifierBits = SHIFT_PRESSED | LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED;
  if ((down.dwControlKeyState & modifierBits) != held) return bad("modifier records do not match the key's state");
  i += 2;
  for (auto it = pressed.rbegin(); it != pressed.rend(); ++it) {
    if (i >= events.size() || !IsKey(events[i])) return bad("missing modifier key-up");
    const KEY_EVENT_RECORD& k = events[i].record.Event.KeyEvent;
    held &= ~ModifierBit(*it);
    if (k.bKeyDown || k.wVirtualKeyCode != *it || k.dwControlKeyState != held) return bad("modifier key-up order");
    ++i;
  }
  return Modifiers(down.dwControlKeyState) + KeyName(down.wVirtualKeyCode) + CharText(down.UnicodeChar) +
         ((down.dwControlKeyState & ENHANCED_KEY) ? "*" : "");
}

}  // namespace

std::string Describe(const std::vector<VtEvent>& events) {
  std::string s;
  size_t i = 0;
  while (i < events.size()) {
    const VtEvent& e = events[i];
    std::string token;
    if (e.kind == VtEvent::Kind::Paste) {
      token = "paste{" + ToUtf8(e.text) + "}";
      ++i;
    } else if (e.kind == VtEvent::Kind::Reply) {
      token = "reply:" + ReplyTypeName(e.replyType) + "{" + Visible(e.reply) + "}";
      ++i;
    } else if (e.record.EventType == KEY_EVENT) {
      token = KeyGroup(events, i);
    } else if (e.record.EventType == MOUSE_EVENT) {
      token = MouseToken(e.record.Event.MouseEvent);
      ++i;
    } else if (e.record.EventType == FOCUS_EVENT) {
      token = e.record.Event.FocusEvent.bSetFocus ? "focus+" : "focus-";
      ++i;
    } else {
      token = "BAD<record type " + std::to_string(e.record.EventType) + ">";
      ++i;
    }
    if (!s.empty()) s += ' ';
    s += token;
  }
  return s;
}

std::vector<VtEvent> DecodeEvents(std::string_view bytes) {
  VtInputDecoder decoder;
  std::vector<VtEvent> events;
  decoder.Feed(bytes.data(), bytes.size(), kStartMs, events);
  decoder.Flush(kLongAfterMs, events);
  return events;
}

std::string DecodeWhole(std::string_view bytes) { return Describe(DecodeEvents(bytes)); }

std::string DecodeBytewise(std::string_view bytes) {
  VtInputDecoder decoder;
  std::vector<VtEvent> events;
  for (char c : bytes) decoder.Feed(&c, 1, kStartMs, events);
  decoder.Flush(kLongAfterMs, events);
  return Describe(events);
}

std::string DecodeInPieces(std::string_view bytes, uint32_t seed, size_t maxPiece) {
  VtInputDecoder decoder;
  std::vector<VtEvent> events;
  std::mt19937 random(seed);
  std::uniform_int_distribution<size_t> pieceSize(1, maxPiece);
  size_t pos = 0;
  while (pos < bytes.size()) {
    const size_t piece = std::min(pieceSize(random), bytes.size() - pos);
    decoder.Feed(bytes.data() + pos, piece, kStartMs, events);
    pos += piece;
  }
  decoder.Flush(kLongAfterMs, events);
  return Describe(events);
}

std::string DecodeNoFlush(VtInputDecoder& decoder, std::string_view bytes, uint64_t nowMs) {
  std::vector<VtEvent> events;
  decoder.Feed(bytes.data(), bytes.size(), nowMs, events);
  return Describe(events);
}

std::string FlushAt(VtInputDecoder& decoder, uint64_t nowMs) {
  std::vector<VtEvent> events;
  decoder.Flush(nowMs, events);
  return Describe(events);
}

}  // namespace kelm::port::test
