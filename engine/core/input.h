// The input state: filled from the console's records before each frame's
// object pass, read by objects in their Update. Frame thread only.
//
// Consuming queries (KeyPressed, TakeKeyEvents, Object::IsClicked) make a key
// or a click act once: the frame pass updates the topmost objects first, so
// they ask first.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "engine/core/vector2.h"
#include "engine/port/console_types.h"

namespace KelmCEngineV2 {

using kelm::port::INPUT_RECORD;
using kelm::port::KEY_EVENT_RECORD;
using kelm::port::MOUSE_EVENT_RECORD;

struct MouseButtonState {
  bool pressed = false;   // went down in this poll
  bool released = false;  // went up in this poll
  bool held = false;      // is down
};

inline constexpr int kMouseButtonCount = 5;
inline constexpr int kLeftButton = 0;
inline constexpr int kRightButton = 1;

// KeyPressed modifier requirements.
inline constexpr uint16_t kModCtrl = 0x1000;
inline constexpr uint16_t kModAlt = 0x2000;
inline constexpr uint16_t kModShift = 0x0010;

// World position of the mouse cell, from the last mouse-move record.
extern Vector2 mousePosition;
// +1 or -1 when the wheel turned in this poll (the last wheel record decides).
extern int32_t mouseWheel;
extern uint8_t mouseButtonDown[kMouseButtonCount];
extern uint8_t mouseButtonWasDown[kMouseButtonCount];
// Index 0 leftmost, 1 rightmost, 2-4 second to fourth from the left.
extern MouseButtonState mouseButtons[kMouseButtonCount];
// 1 from a key's key-down record to its key-up record, by virtual-key code.
extern uint8_t keyHeld[256];
// This poll's key-down records, in arrival order.
extern std::vector<KEY_EVENT_RECORD> keyEvents;

// Start of a poll: clears the wheel and this poll's key events.
void BeginInputPoll();
// One record of the poll. Mouse positions become world positions through the
// camera.
void HandleInputRecord(const INPUT_RECORD& record, Vector2 camera);
// End of a poll: computes the pressed/released edges of the five buttons.
void UpdateMouseButtonEdges();

// Whether the key was pressed in this frame with the required modifiers
// (kModCtrl, kModAlt: an extra modifier is accepted; 0: any modifiers).
// Consumes the first matching key-down record. With allowHeld and no record,
// answers whether the key (and the required modifiers) is held.
bool KeyPressed(uint8_t virtualKey, bool allowHeld, uint16_t modifiers);
// KeyPressed without allowHeld that also tells the consumed record's
// dwControlKeyState (for a caller that tells Shift apart itself); nothing
// when no record matched.
std::optional<uint32_t> TakeKeyPress(uint8_t virtualKey, uint16_t modifiers);
// Hands over all of this poll's key-down records and empties keyEvents.
std::vector<KEY_EVENT_RECORD> TakeKeyEvents();
// Queries the port's asynchronous state of every key 0..254 and discards the
// answers, which resets its "pressed since the last query" records.
void ClearAsyncKeyState();

// Only for tests and start-up: everything back to zero.
void ResetInputState();

}  // namespace KelmCEngineV2
