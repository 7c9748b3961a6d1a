#include "engine/port/windows/win32_records.h"

namespace kelm::port {

INPUT_RECORD FromWin32(const ::INPUT_RECORD& record) {
  INPUT_RECORD out;
  out.EventType = record.EventType;
  switch (record.EventType) {
    case KEY_EVENT: {
      const ::KEY_EVENT_RECORD& key = record.Event.KeyEvent;
      out.Event.KeyEvent = KEY_EVENT_RECORD{};
      out.Event.KeyEvent.bKeyDown = key.bKeyDown;
      out.Event.KeyEvent.wRepeatCount = key.wRepeatCount;
      out.Event.KeyEvent.wVirtualKeyCode = key.wVirtualKeyCode;
      out.Event.KeyEvent.wVirtualScanCode = key.wVirtualScanCode;
      out.Event.KeyEvent.UnicodeChar = static_cast<char16_t>(key.uChar.UnicodeChar);
      out.Event.KeyEvent.dwControlKeyState = key.dwControlKeyState;
      break;
    }
    case MOUSE_EVENT: {
      const ::MOUSE_EVENT_RECORD& mouse = record.Event.MouseEvent;
      out.Event.MouseEvent = MOUSE_EVENT_RECORD{};
      out.Event.MouseEvent.dwMousePosition = COORD{mouse.dwMousePosition.X, mouse.dwMousePosition.Y};
      out.Event.MouseEvent.dwButtonState = mouse.dwButtonState;
      out.Event.MouseEvent.dwControlKeyState = mouse.dwControlKeyState;
      out.Event.MouseEvent.dwEventFlags = mouse.dwEventFlags;
      break;
    }
    case WINDOW_BUFFER_SIZE_EVENT: {
      const ::COORD size = record.Event.WindowBufferSizeEvent.dwSize;
      out.Event.WindowBufferSizeEvent = WINDOW_BUFFER_SIZE_RECORD{COORD{size.X, size.Y}};
      break;
    }
    case FOCUS_EVENT:
      out.Event.FocusEvent = FOCUS_EVENT_RECORD{record.Event.FocusEvent.bSetFocus ? 1 : 0};
      break;
    default:
      break;
  }
  return out;
}

::INPUT_RECORD ToWin32(const INPUT_RECORD& record) {
  ::INPUT_RECORD out{};
  out.EventType = record.EventType;
  switch (record.EventType) {
    case KEY_EVENT: {
      const KEY_EVENT_RECORD& key = record.Event.KeyEvent;
      out.Event.KeyEvent.bKeyDown = key.bKeyDown;
      out.Event.KeyEvent.wRepeatCount = key.wRepeatCount;
      out.Event.KeyEvent.wVirtualKeyCode = key.wVirtualKeyCode;
      out.Event.KeyEvent.wVirtualScanCode = key.wVirtualScanCode;
      out.Event.KeyEvent.uChar.UnicodeChar = static_cast<WCHAR>(key.UnicodeChar);
      out.Event.KeyEvent.dwControlKeyState = key.dwControlKeyState;
      break;
    }
    case MOUSE_EVENT: {
      const MOUSE_EVENT_RECORD& mouse = record.Event.MouseEvent;
      out.Event.MouseEvent.dwMousePosition = ::COORD{mouse.dwMousePosition.X, mouse.dwMousePosition.Y};
      out.Event.MouseEvent.dwButtonState = mouse.dwButtonState;
      out.Event.MouseEvent.dwControlKeyState = mouse.dwControlKeyState;
      out.Event.MouseEvent.dwEventFlags = mouse.dwEventFlags;
      break;
    }
    case WINDOW_BUFFER_SIZE_EVENT: {
      const COORD size = record.Event.WindowBufferSizeEvent.dwSize;
      out.Event.WindowBufferSizeEvent.dwSize = ::COORD{size.X, size.Y};
      break;
    }
    case FOCUS_EVENT:
      out.Event.FocusEvent.bSetFocus = record.Event.FocusEvent.bSetFocus;
      break;
    default:
      break;
  }
  return out;
}

}  // namespace kelm::port
