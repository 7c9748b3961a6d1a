// The terminal input decoder: bytes in, console records out. Pure (no tty, no
// clock of its own: the caller passes the time), so it is tested and fuzzed
// with recorded input.
//
// Keeps partial sequences across Feed calls. A lone ESC stays pending until
// nothing followed it for the Esc time-out (Flush with a later time), so that
// Esc is told apart from the start of a sequence and from Alt+key. Unknown or
// malformed sequences are dropped whole and never eat the keys after them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "engine/port/console_types.h"

namespace kelm::port {

struct VtEvent {
  enum class Kind {
    Record,  // a console record (key, mouse or focus)
    Paste,   // bracketed paste: `text` holds the pasted text
  };
  Kind kind = Kind::Record;
  INPUT_RECORD record{};
  std::u16string text;
};

class VtInputDecoder {
 public:
  // Default time after a lone ESC before it counts as the Esc key.
  static constexpr uint64_t kDefaultEscTimeoutMs = 25;

  explicit VtInputDecoder(uint64_t escTimeoutMs = kDefaultEscTimeoutMs);

  // Decodes `length` bytes read at time `nowMs`; appends events to `out`.
  // Each key-down is followed at once by its key-up; keys carrying Shift, Ctrl
  // or Alt are surrounded by key-down/key-up records of those modifier keys.
  void Feed(const char* data, size_t length, uint64_t nowMs, std::vector<VtEvent>& out);
  // Resolves what is pending once input is idle: a lone ESC older than the
  // time-out becomes Esc (and any other stale partial sequence is dropped).
  void Flush(uint64_t nowMs, std::vector<VtEvent>& out);
  // Bytes are held waiting for more input.
  bool HasPending() const;
  // When Flush should be called at the latest to resolve what is pending.
  uint64_t PendingDeadline() const;

 private:
  struct State;
  std::string pending_;        // undecoded bytes
  uint64_t pendingSince_ = 0;  // time the first pending byte arrived
  uint64_t escTimeoutMs_;
  bool inPaste_ = false;
  std::string pasteBuffer_;
};

}  // namespace kelm::port
