// The keyboard state a terminal program can know, kept from the decoded
// input records, answering as the console's asynchronous key state does.
//
// Terminals report no key releases: every key-down record is followed at once
// by its key-up record, so no ordinary key is ever "down" when asked. Shift,
// Ctrl and Alt are "down" when the last key or mouse record carried them (a
// mouse report carries the modifier bits, and with any-motion tracking every
// hover refreshes them). The modifier keys' own records are not used for that,
// since their synthetic key-up follows the key they surround.
#pragma once

#include <array>
#include <cstdint>

#include "engine/port/console_types.h"

namespace kelm::port {

class KeyStateTracker {
 public:
  // Virtual-key codes run from 0 to 255.
  static constexpr int kVirtualKeyCount = 256;

  // Takes note of one decoded record (key, mouse; other kinds are ignored).
  void Observe(const INPUT_RECORD& record);
  // Bit 15 (0x8000) while the key is down, bit 0 when a key-down record of
  // that key was seen since the previous query of that key. The query clears
  // bit 0 for that key.
  int16_t Query(int virtualKey);
  // The character of the most recent key-down record with that virtual-key
  // code, 0 if none was seen.
  char16_t CharOf(uint16_t virtualKey) const;
  // Forgets the held modifiers and mouse buttons (focus lost).
  void ReleaseAll();
  // The Shift/Ctrl/Alt bits of the last key or mouse record.
  uint32_t Modifiers() const { return modifiers_; }
  // The mouse button bits of the last button record.
  uint32_t MouseButtons() const { return mouseButtons_; }

 private:
  bool IsDown(int virtualKey) const;

  std::array<bool, kVirtualKeyCount> pressedSinceQuery_{};
  std::array<char16_t, kVirtualKeyCount> lastChar_{};
  uint32_t modifiers_ = 0;
  uint32_t mouseButtons_ = 0;
};

}  // namespace kelm::port
