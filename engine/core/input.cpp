#include "engine/core/input.h"

#include <algorithm>
#include <cstring>

#include "engine/core/draw.h"
#include "engine/port/console_port.h"

namespace KelmCEngineV2 {

using namespace kelm::port;

Vector2 mousePosition;
int32_t mouseWheel = 0;
uint8_t mouseButtonDown[kMouseButtonCount] = {};
uint8_t mouseButtonWasDown[kMouseButtonCount] = {};
MouseButtonState mouseButtons[kMouseButtonCount] = {};
uint8_t keyHeld[256] = {};
std::vector<KEY_EVENT_RECORD> keyEvents;

void BeginInputPoll() {
  mouseWheel = 0;
  keyEvents.clear();
}

namespace {

void HandleKey(const KEY_EVENT_RECORD& key) {
  if (key.bKeyDown) {
    keyEvents.push_back(key);
    if (key.wVirtualKeyCode < 256) keyHeld[key.wVirtualKeyCode] = 1;
  } else if (key.wVirtualKeyCode < 256) {
    keyHeld[key.wVirtualKeyCode] = 0;
  }
}

void HandleMouse(const MOUSE_EVENT_RECORD& mouse, Vector2 camera) {
  switch (mouse.dwEventFlags) {
    case 0:
      for (int i = 0; i < kMouseButtonCount; ++i) {
        mouseButtonDown[i] = (mouse.dwButtonState >> i) & 1U;
      }
      break;
    case MOUSE_MOVED:
      mousePosition = Vector2(static_cast<float>(mouse.dwMousePosition.X) + camera.x,
                              camera.y - static_cast<float>(mouse.dwMousePosition.Y));
      break;
    case MOUSE_WHEELED:
      mouseWheel = static_cast<int32_t>(mouse.dwButtonState) > 0 ? 1 : -1;
      break;
    default:
      // Double clicks and the horizontal wheel leave no trace.
      break;
  }
}

}  // namespace

void HandleInputRecord(const INPUT_RECORD& record, Vector2 camera) {
  if (record.EventType == KEY_EVENT) {
    HandleKey(record.Event.KeyEvent);
  } else if (record.EventType == MOUSE_EVENT) {
    HandleMouse(record.Event.MouseEvent, camera);
  }
}

void UpdateMouseButtonEdges() {
  for (int i = 0; i < kMouseButtonCount; ++i) {
    MouseButtonState& state = mouseButtons[i];
    state.pressed = false;
    state.released = false;
    if (mouseButtonDown[i] != mouseButtonWasDown[i]) {
      if (mouseButtonDown[i]) {
        state.pressed = true;
        state.held = true;
      } else {
        state.released = true;
        state.held = false;
      }
    }
    mouseButtonWasDown[i] = mouseButtonDown[i];
  }
}

namespace {
constexpr uint32_t kCtrlBits = LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED;
constexpr uint32_t kAltBits = LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED;

bool Matches(uint32_t controlState, uint16_t modifiers) {
  // Keep the Alt and Ctrl bits; drop Shift, the lock keys and the enhanced bit.
  const uint32_t s = controlState & 0xFE0F;
  if (s == modifiers) return true;
  return (modifiers & 0x00F0) == 0 && (!(modifiers & kModCtrl) || (s & kCtrlBits)) &&
         (!(modifiers & kModAlt) || (s & kAltBits));
}
}  // namespace

std::optional<uint32_t> TakeKeyPress(uint8_t virtualKey, uint16_t modifiers) {
  for (auto it = keyEvents.begin(); it != keyEvents.end(); ++it) {
    if (it->wVirtualKeyCode == virtualKey && Matches(it->dwControlKeyState, modifiers)) {
      const uint32_t state = it->dwControlKeyState;
      keyEvents.erase(it);
      return state;
    }
  }
  return std::nullopt;
}

bool KeyPressed(uint8_t virtualKey, bool allowHeld, uint16_t modifiers) {
  if (TakeKeyPress(virtualKey, modifiers)) return true;
  if (!allowHeld) return false;
  if ((modifiers & kModCtrl) && !keyHeld[VK_CONTROL]) return false;
  if ((modifiers & kModAlt) && !keyHeld[VK_MENU]) return false;
  if ((modifiers & kModShift) && !keyHeld[VK_SHIFT]) return false;
  return keyHeld[virtualKey] != 0;
}

std::vector<KEY_EVENT_RECORD> TakeKeyEvents() {
  std::vector<KEY_EVENT_RECORD> taken;
  taken.swap(keyEvents);
  return taken;
}

void ClearAsyncKeyState() {
  ConsolePort& port = Port();
  for (int vk = 0; vk < 255; ++vk) port.GetAsyncKeyState(vk);
}

void ResetInputState() {
  mousePosition = Vector2();
  mouseWheel = 0;
  std::memset(mouseButtonDown, 0, sizeof mouseButtonDown);
  std::memset(mouseButtonWasDown, 0, sizeof mouseButtonWasDown);
  std::fill(std::begin(mouseButtons), std::end(mouseButtons), MouseButtonState{});
  std::memset(keyHeld, 0, sizeof keyHeld);
  keyEvents.clear();
}

}  // namespace KelmCEngineV2
