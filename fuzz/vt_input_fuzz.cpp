// The terminal input decoder on arbitrary bytes, fed in pieces cut at
// points the input chooses, with idle flushes at times it chooses. Besides
// the sanitizers' checks: every key-down record is followed by its key-up,
// mouse records stay on the screen's coordinates, pastes stay within the
// decoder's cap, and after a flush nothing that was already due is still
// held.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <map>
#include <vector>

#include "engine/port/terminal/codec/vt_input.h"

namespace {

using kelm::port::VtEvent;
using kelm::port::VtInputDecoder;

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckEvents(const std::vector<VtEvent>& events) {
  // Every key pressed in a batch is also released in it.
  std::map<uint16_t, int> balance;
  for (const VtEvent& event : events) {
    if (event.kind == VtEvent::Kind::Record && event.record.EventType == kelm::port::KEY_EVENT) {
      const auto& key = event.record.Event.KeyEvent;
      balance[key.wVirtualKeyCode] += key.bKeyDown ? 1 : -1;
    }
  }
  for (const auto& entry : balance) Check(entry.second == 0);
  for (const VtEvent& event : events) {
    if (event.kind == VtEvent::Kind::Paste) {
      // UTF-16 units never outnumber the bytes they came from.
      Check(event.text.size() <= VtInputDecoder::kMaxPasteBytes);
    }
    if (event.kind == VtEvent::Kind::Record && event.record.EventType == kelm::port::MOUSE_EVENT) {
      Check(event.record.Event.MouseEvent.dwMousePosition.X >= 0);
      Check(event.record.Event.MouseEvent.dwMousePosition.Y >= 0);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The first byte picks the Esc time-out; then chunks of
  // [length byte][time step byte][length bytes of input].
  if (size == 0) return 0;
  VtInputDecoder decoder(data[0] % 64);
  uint64_t now = 1000;
  size_t at = 1;
  std::vector<VtEvent> events;
  while (at < size) {
    const size_t length = data[at++] % 48;
    if (at >= size) break;
    const uint8_t step = data[at++];
    now += step & 0x80 ? static_cast<uint64_t>(step & 0x7F) * 100 : step;
    const size_t count = length < size - at ? length : size - at;
    events.clear();
    decoder.Feed(reinterpret_cast<const char*>(data + at), count, now, events);
    CheckEvents(events);
    at += count;
    if (step & 0x40) {
      events.clear();
      decoder.Flush(now, events);
      CheckEvents(events);
      // Whatever was due by now has been resolved.
      Check(!decoder.HasPending() || decoder.PendingDeadline() > now);
    }
  }
  // Idle for long enough: every time-out has passed, nothing stays held.
  events.clear();
  const uint64_t late = now + VtInputDecoder::kPasteTimeoutMs + VtInputDecoder::kStringTimeoutMs + 1000;
  decoder.Flush(late, events);
  CheckEvents(events);
  Check(!decoder.HasPending());
  return 0;
}
