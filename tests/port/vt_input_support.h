// Helpers for the input decoder tests: decode bytes in various splits and
// describe the events as short readable tokens.
//
// Token forms (separated by one space):
//   keys    [C-][A-][S-]Name[=char][*]   e.g. "C-S-C=03", "Up*", "S-1='!'",
//           "Packet=U+00E9"; * = ENHANCED_KEY; char as 'x', 2 hex digits for
//           controls, U+XXXX otherwise. A key token stands for the whole
//           group: modifier key-downs, key-down, key-up, modifier key-ups;
//           a group that is not exactly that shape gives a "BAD<...>" token.
//   mouse   [mods]m@X,Y:buttons (move)  [mods]b@X,Y:buttons (button change)
//           [mods]w+@X,Y / w-@ (wheel)  h+@ / h- (horizontal wheel);
//           buttons are letters L R M 4 5, "-" for none.
//   focus   focus+ / focus-
//   paste   paste{text}   (text as UTF-8)
//   reply   reply:Type{raw}   (ESC written as \e, BEL as \a)
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/port/terminal/codec/vt_input.h"

namespace kelm::port::test {

inline constexpr uint64_t kStartMs = 1000;
// Later than every time-out of the decoder.
inline constexpr uint64_t kLongAfterMs = kStartMs + 1'000'000;

std::string Describe(const std::vector<VtEvent>& events);

// Feeds everything at once, then flushes long after.
std::vector<VtEvent> DecodeEvents(std::string_view bytes);
std::string DecodeWhole(std::string_view bytes);
// Feeds one byte per call (all at the same time), then flushes long after.
std::string DecodeBytewise(std::string_view bytes);
// Feeds pieces of pseudo-random sizes (1..maxPiece, from `seed`), then
// flushes long after.
std::string DecodeInPieces(std::string_view bytes, uint32_t seed, size_t maxPiece);

// Feeds everything at once and does not flush.
std::string DecodeNoFlush(VtInputDecoder& decoder, std::string_view bytes, uint64_t nowMs = kStartMs);
std::string FlushAt(VtInputDecoder& decoder, uint64_t nowMs);

}  // namespace kelm::port::test
