// Console records cross between the system's shapes and the port's field by
// field: every field of a key, mouse, size and focus record arrives as the
// console sent it.
#include <gtest/gtest.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/windows/win32_records.h"
#include "tests/windows/port_constants.h"

namespace {

namespace port = kelm::port;

TEST(Win32Records, KeyRecordKeepsEveryField) {
  ::INPUT_RECORD system{};
  system.EventType = KEY_EVENT;
  system.Event.KeyEvent.bKeyDown = TRUE;
  system.Event.KeyEvent.wRepeatCount = 3;
  system.Event.KeyEvent.wVirtualKeyCode = VK_NEXT;
  system.Event.KeyEvent.wVirtualScanCode = 0x51;
  system.Event.KeyEvent.uChar.UnicodeChar = L'\u00E9';
  system.Event.KeyEvent.dwControlKeyState = SHIFT_PRESSED | ENHANCED_KEY | LEFT_CTRL_PRESSED;

  const port::INPUT_RECORD record = port::FromWin32(system);
  ASSERT_EQ(record.EventType, KEY_EVENT);
  EXPECT_EQ(record.Event.KeyEvent.bKeyDown, 1);
  EXPECT_EQ(record.Event.KeyEvent.wRepeatCount, 3);
  EXPECT_EQ(record.Event.KeyEvent.wVirtualKeyCode, 0x22);
  EXPECT_EQ(record.Event.KeyEvent.wVirtualScanCode, 0x51);
  EXPECT_EQ(record.Event.KeyEvent.UnicodeChar, u'\u00E9');
  EXPECT_EQ(record.Event.KeyEvent.dwControlKeyState, 0x0010u | 0x0100u | 0x0008u);
}

TEST(Win32Records, KeyUpRecordStaysUp) {
  const port::INPUT_RECORD up = port::MakeKeyRecord(false, VK_ESCAPE, u'\x1B', 0);
  const port::INPUT_RECORD back = port::FromWin32(port::ToWin32(up));
  EXPECT_EQ(back.Event.KeyEvent.bKeyDown, 0);
  EXPECT_EQ(back.Event.KeyEvent.wVirtualKeyCode, VK_ESCAPE);
}

TEST(Win32Records, MouseRecordKeepsPositionButtonsAndWheel) {
  // A wheel notch towards the user: a negative delta in the high word.
  const uint32_t buttons = (static_cast<uint32_t>(static_cast<uint16_t>(-120)) << 16) | 0x0001;
  const port::INPUT_RECORD mouse =
      port::MakeMouseRecord(79, 24, buttons, MOUSE_WHEELED | MOUSE_MOVED, SHIFT_PRESSED);
  const ::INPUT_RECORD system = port::ToWin32(mouse);
  EXPECT_EQ(system.EventType, MOUSE_EVENT);
  EXPECT_EQ(system.Event.MouseEvent.dwMousePosition.X, 79);
  EXPECT_EQ(system.Event.MouseEvent.dwMousePosition.Y, 24);
  EXPECT_EQ(static_cast<int16_t>(HIWORD(system.Event.MouseEvent.dwButtonState)), -120);

  const port::INPUT_RECORD back = port::FromWin32(system);
  EXPECT_EQ(back.Event.MouseEvent.dwMousePosition.X, 79);
  EXPECT_EQ(back.Event.MouseEvent.dwMousePosition.Y, 24);
  EXPECT_EQ(back.Event.MouseEvent.dwButtonState, buttons);
  EXPECT_EQ(back.Event.MouseEvent.dwEventFlags, MOUSE_WHEELED | MOUSE_MOVED);
  EXPECT_EQ(back.Event.MouseEvent.dwControlKeyState, SHIFT_PRESSED);
}

TEST(Win32Records, BufferSizeAndFocusRecords) {
  ::INPUT_RECORD size{};
  size.EventType = WINDOW_BUFFER_SIZE_EVENT;
  size.Event.WindowBufferSizeEvent.dwSize = ::COORD{132, 43};
  const port::INPUT_RECORD resized = port::FromWin32(size);
  ASSERT_EQ(resized.EventType, WINDOW_BUFFER_SIZE_EVENT);
  EXPECT_EQ(resized.Event.WindowBufferSizeEvent.dwSize.X, 132);
  EXPECT_EQ(resized.Event.WindowBufferSizeEvent.dwSize.Y, 43);

  const port::INPUT_RECORD lost = port::FromWin32(port::ToWin32(port::MakeFocusRecord(false)));
  ASSERT_EQ(lost.EventType, FOCUS_EVENT);
  EXPECT_EQ(lost.Event.FocusEvent.bSetFocus, 0);
  const port::INPUT_RECORD gained = port::FromWin32(port::ToWin32(port::MakeFocusRecord(true)));
  EXPECT_EQ(gained.Event.FocusEvent.bSetFocus, 1);
}

TEST(Win32Records, MenuRecordKeepsItsType) {
  ::INPUT_RECORD menu{};
  menu.EventType = MENU_EVENT;
  menu.Event.MenuEvent.dwCommandId = 77;
  EXPECT_EQ(port::FromWin32(menu).EventType, MENU_EVENT);
}

TEST(Win32Records, CellKeepsCharacterAndColours) {
  const ::CHAR_INFO cell = port::ToWin32(port::CHAR_INFO{u'\u2592', 0x4E});
  EXPECT_EQ(cell.Char.UnicodeChar, L'\u2592');
  EXPECT_EQ(cell.Attributes, 0x4E);
}

TEST(Win32Records, PortConstantsEqualTheSystemOnes) {
  // The engine's key codes and flags must mean what the console sends. The
  // port's values are taken where windows.h does not hide them.
  const std::vector<std::pair<const char*, uint32_t>> ours = PortConstants();
  const std::map<std::string, uint32_t> system = {
      {"VK_LBUTTON", VK_LBUTTON}, {"VK_BACK", VK_BACK}, {"VK_RETURN", VK_RETURN}, {"VK_SHIFT", VK_SHIFT},
      {"VK_MENU", VK_MENU}, {"VK_ESCAPE", VK_ESCAPE}, {"VK_PRIOR", VK_PRIOR}, {"VK_NEXT", VK_NEXT},
      {"VK_HOME", VK_HOME}, {"VK_DOWN", VK_DOWN}, {"VK_DELETE", VK_DELETE}, {"VK_F1", VK_F1},
      {"VK_F12", VK_F12}, {"VK_RMENU", VK_RMENU}, {"VK_OEM_1", VK_OEM_1}, {"VK_OEM_PLUS", VK_OEM_PLUS},
      {"VK_OEM_7", VK_OEM_7}, {"VK_PACKET", VK_PACKET}, {"RIGHT_ALT_PRESSED", RIGHT_ALT_PRESSED},
      {"LEFT_CTRL_PRESSED", LEFT_CTRL_PRESSED}, {"SHIFT_PRESSED", SHIFT_PRESSED}, {"ENHANCED_KEY", ENHANCED_KEY},
      {"FROM_LEFT_1ST_BUTTON_PRESSED", FROM_LEFT_1ST_BUTTON_PRESSED},
      {"RIGHTMOST_BUTTON_PRESSED", RIGHTMOST_BUTTON_PRESSED},
      {"FROM_LEFT_2ND_BUTTON_PRESSED", FROM_LEFT_2ND_BUTTON_PRESSED}, {"MOUSE_MOVED", MOUSE_MOVED},
      {"DOUBLE_CLICK", DOUBLE_CLICK}, {"MOUSE_WHEELED", MOUSE_WHEELED}, {"MOUSE_HWHEELED", MOUSE_HWHEELED},
      {"WHEEL_DELTA", WHEEL_DELTA}, {"KEY_EVENT", KEY_EVENT}, {"MOUSE_EVENT", MOUSE_EVENT},
      {"WINDOW_BUFFER_SIZE_EVENT", WINDOW_BUFFER_SIZE_EVENT}, {"FOCUS_EVENT", FOCUS_EVENT}};
  ASSERT_EQ(ours.size(), system.size());
  for (const auto& [name, value] : ours) {
    const auto found = system.find(name);
    ASSERT_NE(found, system.end()) << name;
    EXPECT_EQ(value, found->second) << name;
  }
}

}  // namespace
