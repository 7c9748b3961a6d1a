// Console data shapes shared by the engine, the viewer and every backend.
//
// These are the shapes of the Windows console records (key and mouse input
// records, character cells, window rectangles) defined here in our own
// namespace, so that no platform header is needed above the port.
//
// Include this header before <windows.h> in a Win32 backend: windows.h defines
// the VK_* names as macros.
#pragma once

#include <cstdint>

namespace kelm::port {

// --- Control-key state bits of key and mouse records -----------------------
inline constexpr uint32_t RIGHT_ALT_PRESSED = 0x0001;
inline constexpr uint32_t LEFT_ALT_PRESSED = 0x0002;
inline constexpr uint32_t RIGHT_CTRL_PRESSED = 0x0004;
inline constexpr uint32_t LEFT_CTRL_PRESSED = 0x0008;
inline constexpr uint32_t SHIFT_PRESSED = 0x0010;
inline constexpr uint32_t NUMLOCK_ON = 0x0020;
inline constexpr uint32_t SCROLLLOCK_ON = 0x0040;
inline constexpr uint32_t CAPSLOCK_ON = 0x0080;
inline constexpr uint32_t ENHANCED_KEY = 0x0100;

// Whether a control-key state holds either Ctrl key, or either Alt key.
inline constexpr bool HasCtrl(uint32_t state) { return (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0; }
inline constexpr bool HasAlt(uint32_t state) { return (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0; }

// --- Mouse record button bits and event flags ------------------------------
inline constexpr uint32_t FROM_LEFT_1ST_BUTTON_PRESSED = 0x0001;
inline constexpr uint32_t RIGHTMOST_BUTTON_PRESSED = 0x0002;
inline constexpr uint32_t FROM_LEFT_2ND_BUTTON_PRESSED = 0x0004;
inline constexpr uint32_t FROM_LEFT_3RD_BUTTON_PRESSED = 0x0008;
inline constexpr uint32_t FROM_LEFT_4TH_BUTTON_PRESSED = 0x0010;

inline constexpr uint32_t MOUSE_MOVED = 0x0001;
inline constexpr uint32_t DOUBLE_CLICK = 0x0002;
inline constexpr uint32_t MOUSE_WHEELED = 0x0004;
inline constexpr uint32_t MOUSE_HWHEELED = 0x0008;

// Wheel delta of one notch, carried in the high word of dwButtonState.
inline constexpr int32_t WHEEL_DELTA = 120;

// --- Virtual-key codes used by the engine and the viewer -------------------
inline constexpr uint16_t VK_LBUTTON = 0x01;
inline constexpr uint16_t VK_RBUTTON = 0x02;
inline constexpr uint16_t VK_MBUTTON = 0x04;
inline constexpr uint16_t VK_BACK = 0x08;
inline constexpr uint16_t VK_TAB = 0x09;
inline constexpr uint16_t VK_RETURN = 0x0D;
inline constexpr uint16_t VK_SHIFT = 0x10;
inline constexpr uint16_t VK_CONTROL = 0x11;
inline constexpr uint16_t VK_MENU = 0x12;  // Alt
inline constexpr uint16_t VK_PAUSE = 0x13;
inline constexpr uint16_t VK_ESCAPE = 0x1B;
inline constexpr uint16_t VK_SPACE = 0x20;
inline constexpr uint16_t VK_PRIOR = 0x21;  // Page Up
inline constexpr uint16_t VK_NEXT = 0x22;   // Page Down
inline constexpr uint16_t VK_END = 0x23;
inline constexpr uint16_t VK_HOME = 0x24;
inline constexpr uint16_t VK_LEFT = 0x25;
inline constexpr uint16_t VK_UP = 0x26;
inline constexpr uint16_t VK_RIGHT = 0x27;
inline constexpr uint16_t VK_DOWN = 0x28;
inline constexpr uint16_t VK_INSERT = 0x2D;
inline constexpr uint16_t VK_DELETE = 0x2E;
// '0'..'9' are 0x30..0x39 and 'A'..'Z' are 0x41..0x5A, as their ASCII codes.
inline constexpr uint16_t VK_F1 = 0x70;
inline constexpr uint16_t VK_F2 = 0x71;
inline constexpr uint16_t VK_F3 = 0x72;
inline constexpr uint16_t VK_F4 = 0x73;
inline constexpr uint16_t VK_F5 = 0x74;
inline constexpr uint16_t VK_F6 = 0x75;
inline constexpr uint16_t VK_F7 = 0x76;
inline constexpr uint16_t VK_F8 = 0x77;
inline constexpr uint16_t VK_F9 = 0x78;
inline constexpr uint16_t VK_F10 = 0x79;
inline constexpr uint16_t VK_F11 = 0x7A;
inline constexpr uint16_t VK_F12 = 0x7B;
inline constexpr uint16_t VK_LSHIFT = 0xA0;
inline constexpr uint16_t VK_RSHIFT = 0xA1;
inline constexpr uint16_t VK_LCONTROL = 0xA2;
inline constexpr uint16_t VK_RCONTROL = 0xA3;
inline constexpr uint16_t VK_LMENU = 0xA4;
inline constexpr uint16_t VK_RMENU = 0xA5;
// US-layout punctuation keys.
inline constexpr uint16_t VK_OEM_1 = 0xBA;       // ;:
inline constexpr uint16_t VK_OEM_PLUS = 0xBB;    // =+
inline constexpr uint16_t VK_OEM_COMMA = 0xBC;   // ,<
inline constexpr uint16_t VK_OEM_MINUS = 0xBD;   // -_
inline constexpr uint16_t VK_OEM_PERIOD = 0xBE;  // .>
inline constexpr uint16_t VK_OEM_2 = 0xBF;       // /?
inline constexpr uint16_t VK_OEM_3 = 0xC0;       // `~
inline constexpr uint16_t VK_OEM_4 = 0xDB;       // [{
inline constexpr uint16_t VK_OEM_5 = 0xDC;       // \|
inline constexpr uint16_t VK_OEM_6 = 0xDD;       // ]}
inline constexpr uint16_t VK_OEM_7 = 0xDE;       // '"
// A character that no key of the layout produces (typed non-ASCII text).
inline constexpr uint16_t VK_PACKET = 0xE7;

// --- Records -----------------------------------------------------------------
struct COORD {
  int16_t X = 0;
  int16_t Y = 0;
};

struct SMALL_RECT {
  int16_t Left = 0;
  int16_t Top = 0;
  int16_t Right = 0;
  int16_t Bottom = 0;
};

struct KEY_EVENT_RECORD {
  int32_t bKeyDown = 0;
  uint16_t wRepeatCount = 1;
  uint16_t wVirtualKeyCode = 0;
  uint16_t wVirtualScanCode = 0;
  char16_t UnicodeChar = 0;  // one UTF-16 unit
  uint32_t dwControlKeyState = 0;
};

struct MOUSE_EVENT_RECORD {
  COORD dwMousePosition;     // cell, 0-based from the top-left
  uint32_t dwButtonState = 0;  // button bits; wheel delta in the high word
  uint32_t dwControlKeyState = 0;
  uint32_t dwEventFlags = 0;
};

struct WINDOW_BUFFER_SIZE_RECORD {
  COORD dwSize;
};

struct FOCUS_EVENT_RECORD {
  int32_t bSetFocus = 0;
};

inline constexpr uint16_t KEY_EVENT = 0x0001;
inline constexpr uint16_t MOUSE_EVENT = 0x0002;
inline constexpr uint16_t WINDOW_BUFFER_SIZE_EVENT = 0x0004;
inline constexpr uint16_t MENU_EVENT = 0x0008;
inline constexpr uint16_t FOCUS_EVENT = 0x0010;

struct INPUT_RECORD {
  uint16_t EventType = 0;
  union {
    KEY_EVENT_RECORD KeyEvent;
    MOUSE_EVENT_RECORD MouseEvent;
    WINDOW_BUFFER_SIZE_RECORD WindowBufferSizeEvent;
    FOCUS_EVENT_RECORD FocusEvent;
  } Event{};
};

// One console cell: a UTF-16 unit and a colour attribute (bits 0-3 foreground,
// bits 4-7 background, colour indexes in the console's order: 1 blue, 4 red).
// An attribute bit of our own (unused by the Windows console): in a cell
// that has it, background 0 stands for the terminal's default background
// and foreground 7 on it for the default foreground (SGR 49 and 39 on a
// terminal; the console's own default attributes on Windows). Every other
// colour is shown as it is.
inline constexpr uint16_t kTerminalDefaultColours = 0x2000;

struct CHAR_INFO {
  char16_t UnicodeChar = u' ';
  uint16_t Attributes = 0x0007;
};

inline bool operator==(const CHAR_INFO& a, const CHAR_INFO& b) {
  return a.UnicodeChar == b.UnicodeChar && a.Attributes == b.Attributes;
}

// Helpers to build records (used by backends and tests).
inline INPUT_RECORD MakeKeyRecord(bool down, uint16_t vk, char16_t ch, uint32_t controlState,
                                  uint16_t scan = 0) {
  INPUT_RECORD r;
  r.EventType = KEY_EVENT;
  r.Event.KeyEvent = KEY_EVENT_RECORD{};
  r.Event.KeyEvent.bKeyDown = down ? 1 : 0;
  r.Event.KeyEvent.wRepeatCount = 1;
  r.Event.KeyEvent.wVirtualKeyCode = vk;
  r.Event.KeyEvent.wVirtualScanCode = scan;
  r.Event.KeyEvent.UnicodeChar = ch;
  r.Event.KeyEvent.dwControlKeyState = controlState;
  return r;
}

inline INPUT_RECORD MakeMouseRecord(int16_t x, int16_t y, uint32_t buttons, uint32_t flags,
                                    uint32_t controlState = 0) {
  INPUT_RECORD r;
  r.EventType = MOUSE_EVENT;
  r.Event.MouseEvent = MOUSE_EVENT_RECORD{};
  r.Event.MouseEvent.dwMousePosition = COORD{x, y};
  r.Event.MouseEvent.dwButtonState = buttons;
  r.Event.MouseEvent.dwControlKeyState = controlState;
  r.Event.MouseEvent.dwEventFlags = flags;
  return r;
}

inline INPUT_RECORD MakeFocusRecord(bool focused) {
  INPUT_RECORD r;
  r.EventType = FOCUS_EVENT;
  r.Event.FocusEvent = FOCUS_EVENT_RECORD{focused ? 1 : 0};
  return r;
}

}  // namespace kelm::port
