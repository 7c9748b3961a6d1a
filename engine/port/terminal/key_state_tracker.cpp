#include "engine/port/terminal/key_state_tracker.h"

namespace kelm::port {

namespace {

constexpr uint32_t kModifierBits =
    SHIFT_PRESSED | LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED | LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED;
constexpr uint32_t kMouseButtonBits = 0xFFFF;  // the high word carries the wheel delta

bool IsModifierKey(uint16_t vk) {
  switch (vk) {
    case VK_SHIFT:
    case VK_CONTROL:
    case VK_MENU:
    case VK_LSHIFT:
    case VK_RSHIFT:
    case VK_LCONTROL:
    case VK_RCONTROL:
    case VK_LMENU:
    case VK_RMENU:
      return true;
    default:
      return false;
  }
}

}  // namespace

void KeyStateTracker::Observe(const INPUT_RECORD& record) {
  if (record.EventType == KEY_EVENT) {
    const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
    const uint16_t vk = key.wVirtualKeyCode;
    if (!IsModifierKey(vk)) modifiers_ = key.dwControlKeyState & kModifierBits;
    if (key.bKeyDown && vk < 256) {
      pressedSinceQuery_[vk] = true;
      lastChar_[vk] = key.UnicodeChar;
    }
  } else if (record.EventType == MOUSE_EVENT) {
    const MOUSE_EVENT_RECORD& mouse = record.Event.MouseEvent;
    modifiers_ = mouse.dwControlKeyState & kModifierBits;
    if (mouse.dwEventFlags == 0 || mouse.dwEventFlags == MOUSE_MOVED) {
      const uint32_t buttons = mouse.dwButtonState & kMouseButtonBits;
      const uint32_t pressed = buttons & ~mouseButtons_;
      if (pressed & FROM_LEFT_1ST_BUTTON_PRESSED) pressedSinceQuery_[VK_LBUTTON] = true;
      if (pressed & RIGHTMOST_BUTTON_PRESSED) pressedSinceQuery_[VK_RBUTTON] = true;
      if (pressed & FROM_LEFT_2ND_BUTTON_PRESSED) pressedSinceQuery_[VK_MBUTTON] = true;
      mouseButtons_ = buttons;
    }
  }
}

bool KeyStateTracker::IsDown(int virtualKey) const {
  switch (virtualKey) {
    case VK_SHIFT:
    case VK_LSHIFT:
      return (modifiers_ & SHIFT_PRESSED) != 0;
    case VK_CONTROL:
      return HasCtrl(modifiers_);
    case VK_LCONTROL:
      return (modifiers_ & LEFT_CTRL_PRESSED) != 0;
    case VK_RCONTROL:
      return (modifiers_ & RIGHT_CTRL_PRESSED) != 0;
    case VK_MENU:
      return HasAlt(modifiers_);
    case VK_LMENU:
      return (modifiers_ & LEFT_ALT_PRESSED) != 0;
    case VK_RMENU:
      return (modifiers_ & RIGHT_ALT_PRESSED) != 0;
    case VK_LBUTTON:
      return (mouseButtons_ & FROM_LEFT_1ST_BUTTON_PRESSED) != 0;
    case VK_RBUTTON:
      return (mouseButtons_ & RIGHTMOST_BUTTON_PRESSED) != 0;
    case VK_MBUTTON:
      return (mouseButtons_ & FROM_LEFT_2ND_BUTTON_PRESSED) != 0;
    default:
      return false;
  }
}

int16_t KeyStateTracker::Query(int virtualKey) {
  if (virtualKey < 0 || virtualKey > 255) return 0;
  uint16_t state = IsDown(virtualKey) ? 0x8000 : 0;
  if (pressedSinceQuery_[virtualKey]) state |= 0x0001;
  pressedSinceQuery_[virtualKey] = false;
  return static_cast<int16_t>(state);
}

char16_t KeyStateTracker::CharOf(uint16_t virtualKey) const {
  return virtualKey < 256 ? lastChar_[virtualKey] : 0;
}

void KeyStateTracker::ReleaseAll() {
  modifiers_ = 0;
  mouseButtons_ = 0;
}

}  // namespace kelm::port
