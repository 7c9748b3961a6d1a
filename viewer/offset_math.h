// Unsigned 64-bit offset arithmetic that saturates instead of wrapping.
// Offsets and lengths may be anything a user typed, so a sum can exceed 2^64
// and a difference can fall below 0; every such step goes through here.
#pragma once

#include <cstdint>
#include <limits>

namespace kelm::viewer {

inline constexpr uint64_t kMaxOffset = std::numeric_limits<uint64_t>::max();

// a + b, or 2^64 - 1 when the sum does not fit.
inline uint64_t SaturatingAdd(uint64_t a, uint64_t b) { return a > kMaxOffset - b ? kMaxOffset : a + b; }

// a - b, or 0 when b is larger.
inline uint64_t SaturatingSub(uint64_t a, uint64_t b) { return a < b ? 0 : a - b; }

// Offset of the last byte of a non-empty range: start + length - 1, or
// 2^64 - 1 when the range runs past the end of the offset space.
inline uint64_t LastByteOf(uint64_t start, uint64_t length) {
  return length == 0 ? start : SaturatingAdd(start, length - 1);
}

// The range between two ends (in any order), both included; its length
// saturates at 2^64 - 1 for the one range that would need 2^64.
struct OffsetSpan {
  uint64_t start;
  uint64_t length;
};
inline OffsetSpan SpanBetween(uint64_t a, uint64_t b) {
  const uint64_t low = a < b ? a : b;
  const uint64_t high = a < b ? b : a;
  return OffsetSpan{low, SaturatingAdd(high - low, 1)};
}

}  // namespace kelm::viewer
