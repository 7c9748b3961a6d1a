#include "engine/port/virtual/virtual_console.h"

#include <algorithm>

namespace kelm::port {

VirtualConsole::VirtualConsole(int columns, int rows) : columns_(columns), rows_(rows) {
  // The classic console palette.
  static const uint8_t kPalette[16][3] = {
      {0, 0, 0},     {0, 0, 128},     {0, 128, 0},   {0, 128, 128}, {128, 0, 0},   {128, 0, 128},
      {128, 128, 0}, {192, 192, 192}, {128, 128, 128}, {0, 0, 255}, {0, 255, 0},   {0, 255, 255},
      {255, 0, 0},   {255, 0, 255},   {255, 255, 0}, {255, 255, 255}};
  std::copy(&kPalette[0][0], &kPalette[0][0] + 48, &colours.rgb[0][0]);
}

void VirtualConsole::SetWindowSize(int columns, int rows) {
  columns_ = columns;
  rows_ = rows;
}

void VirtualConsole::PushInput(const INPUT_RECORD& record) { input.push_back(record); }

void VirtualConsole::PushKey(uint16_t virtualKey, char16_t ch, uint32_t controlState) {
  const bool shift = controlState & SHIFT_PRESSED;
  const bool ctrl = HasCtrl(controlState);
  const bool alt = HasAlt(controlState);
  if (shift) PushInput(MakeKeyRecord(true, VK_SHIFT, 0, controlState));
  if (ctrl) PushInput(MakeKeyRecord(true, VK_CONTROL, 0, controlState));
  if (alt) PushInput(MakeKeyRecord(true, VK_MENU, 0, controlState));
  PushInput(MakeKeyRecord(true, virtualKey, ch, controlState));
  PushInput(MakeKeyRecord(false, virtualKey, ch, controlState));
  if (alt) PushInput(MakeKeyRecord(false, VK_MENU, 0, 0));
  if (ctrl) PushInput(MakeKeyRecord(false, VK_CONTROL, 0, 0));
  if (shift) PushInput(MakeKeyRecord(false, VK_SHIFT, 0, 0));
  if (virtualKey < 256) {
    pressedSinceQuery[virtualKey] = true;
    if (ch != 0 && !keyCharSet[virtualKey]) keyChars[virtualKey] = ch;
  }
}

void VirtualConsole::PushMouseMove(int x, int y, uint32_t buttons, uint32_t controlState) {
  PushInput(MakeMouseRecord(static_cast<int16_t>(x), static_cast<int16_t>(y), buttons, MOUSE_MOVED,
                            controlState));
}

void VirtualConsole::PushMouseButtons(int x, int y, uint32_t buttons, uint32_t controlState) {
  PushInput(MakeMouseRecord(static_cast<int16_t>(x), static_cast<int16_t>(y), buttons, 0, controlState));
}

void VirtualConsole::PushLeftPress(int x, int y) {
  PushMouseMove(x, y);
  PushMouseButtons(x, y, FROM_LEFT_1ST_BUTTON_PRESSED);
}

void VirtualConsole::PushLeftRelease(int x, int y) {
  PushMouseMove(x, y, FROM_LEFT_1ST_BUTTON_PRESSED);
  PushMouseButtons(x, y, 0);
}

void VirtualConsole::PushWheel(int x, int y, int notches) {
  const auto delta = static_cast<int16_t>(notches * WHEEL_DELTA);
  const uint32_t state = static_cast<uint32_t>(static_cast<uint16_t>(delta)) << 16;
  PushInput(MakeMouseRecord(static_cast<int16_t>(x), static_cast<int16_t>(y), state, MOUSE_WHEELED));
}

void VirtualConsole::SetKeyDown(int virtualKey, bool down) {
  if (virtualKey >= 0 && virtualKey < 256) keyDown[static_cast<size_t>(virtualKey)] = down;
}

void VirtualConsole::SetKeyPressedSinceQuery(int virtualKey) {
  if (virtualKey >= 0 && virtualKey < 256) pressedSinceQuery[static_cast<size_t>(virtualKey)] = true;
}

void VirtualConsole::SetKeyChar(uint16_t virtualKey, char16_t ch) {
  if (virtualKey < 256) {
    keyChars[virtualKey] = ch;
    keyCharSet[virtualKey] = true;
  }
}

std::string VirtualConsole::RowText(int row) const {
  if (row < 0 || row >= frameHeight) return {};
  std::u16string text;
  for (int c = 0; c < frameWidth; ++c) text += frame[static_cast<size_t>(row * frameWidth + c)].UnicodeChar;
  return ToUtf8(text);
}

uint16_t VirtualConsole::AttributeAt(int column, int row) const {
  if (column < 0 || row < 0 || column >= frameWidth || row >= frameHeight) return 0;
  return frame[static_cast<size_t>(row * frameWidth + column)].Attributes;
}

char16_t VirtualConsole::CharAt(int column, int row) const {
  if (column < 0 || row < 0 || column >= frameWidth || row >= frameHeight) return 0;
  return frame[static_cast<size_t>(row * frameWidth + column)].UnicodeChar;
}

bool VirtualConsole::Setup(uint32_t& errorCode) {
  if (setupFails) {
    errorCode = setupErrorCode;
    return false;
  }
  return true;
}

bool VirtualConsole::GetWindowRect(SMALL_RECT& window) {
  window.Left = 0;
  window.Top = 0;
  window.Right = static_cast<int16_t>(columns_ - 1);
  window.Bottom = static_cast<int16_t>(rows_ - 1);
  return true;
}

uint32_t VirtualConsole::ReadInput(INPUT_RECORD* records, uint32_t max) {
  uint32_t count = 0;
  while (count < max && !input.empty()) {
    records[count++] = input.front();
    input.pop_front();
  }
  return count;
}

void VirtualConsole::WriteFrame(const CHAR_INFO* cells, int width, int height) {
  frame.assign(cells, cells + static_cast<size_t>(width) * static_cast<size_t>(height));
  frameWidth = width;
  frameHeight = height;
  ++framesWritten;
}

bool VirtualConsole::GetColourTable(ColourTable& table) {
  if (!colourTableAvailable) return false;
  table = colours;
  return true;
}

int16_t VirtualConsole::GetAsyncKeyState(int virtualKey) {
  if (virtualKey < 0 || virtualKey >= 256) return 0;
  const auto index = static_cast<size_t>(virtualKey);
  uint16_t state = keyDown[index] ? 0x8000 : 0;
  if (pressedSinceQuery[index]) state |= 1;
  pressedSinceQuery[index] = false;
  return static_cast<int16_t>(state);
}

char16_t VirtualConsole::KeyToChar(uint16_t virtualKey) {
  if (virtualKey < 256 && (keyCharSet[virtualKey] || keyChars[virtualKey] != 0)) {
    return keyChars[virtualKey];
  }
  const bool shift = keyDown[VK_SHIFT];
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    return shift ? static_cast<char16_t>(virtualKey) : static_cast<char16_t>(virtualKey + 32);
  }
  if (virtualKey >= '0' && virtualKey <= '9') return static_cast<char16_t>(virtualKey);
  if (virtualKey == VK_SPACE) return u' ';
  return 0;
}

std::optional<std::string> VirtualConsole::OpenFileDialog(const std::string&) {
  ++openDialogCalls;
  if (openDialogAnswers.empty()) return std::nullopt;
  auto answer = openDialogAnswers.front();
  openDialogAnswers.pop_front();
  return answer;
}

std::optional<std::string> VirtualConsole::SaveFileDialog(const std::string&) {
  ++saveDialogCalls;
  if (saveDialogAnswers.empty()) return std::nullopt;
  auto answer = saveDialogAnswers.front();
  saveDialogAnswers.pop_front();
  return answer;
}

uint32_t VirtualConsole::OpenWithDialog(const std::string& path) {
  openWithPaths.push_back(path);
  if (openWithAnswers.empty()) return kOpenWithCancelled;
  const uint32_t answer = openWithAnswers.front();
  openWithAnswers.pop_front();
  return answer;
}

void VirtualConsole::WaitForInput(uint32_t milliseconds) {
  ++waits;
  lastWaitMs = milliseconds;
  if (wakes > 0) {
    wakes = 0;
    return;
  }
  if (milliseconds != kWaitForever) Sleep(milliseconds);
}

}  // namespace kelm::port
