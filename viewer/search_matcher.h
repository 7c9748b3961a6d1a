// Finding a search pattern in a buffer: the pattern's bytes with, per byte,
// whether an ASCII letter matches in either case; the two rarest pattern
// bytes tested first (sixteen starts at a time where SSE2 is there), the
// whole pattern compared only where both stand.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace kelm::viewer {

// What a scan looks for. `fold` is empty (every byte as it is) or holds one
// entry per byte: 0x20 where an ASCII letter matches in either case (the
// byte is then kept in lower case), 0 where the byte must be equal.
struct SearchNeedle {
  SearchNeedle() = default;
  // Exact bytes (implicit: a byte vector is a needle).
  SearchNeedle(std::vector<uint8_t> exact) : bytes(std::move(exact)) {}  // NOLINT
  SearchNeedle(std::vector<uint8_t> pattern, std::vector<uint8_t> folds);

  std::vector<uint8_t> bytes;
  std::vector<uint8_t> fold;

  size_t size() const { return bytes.size(); }
  // Whether the pattern is zero bytes only: it matches all through a hole.
  bool AllZero() const;
};

// Positions of the two pattern bytes a scan tests first: the two least
// common in typical files (zeros, 0xFF, blanks and lower-case letters are
// common; bytes above 0x7F are rare). Different positions when the pattern
// has two bytes or more.
struct SearchKeys {
  size_t first = 0;
  size_t second = 0;
};
SearchKeys KeyPositions(const std::vector<uint8_t>& pattern);

class PatternMatcher {
 public:
  explicit PatternMatcher(SearchNeedle needle);

  const SearchNeedle& Needle() const { return needle_; }
  const SearchKeys& Keys() const { return keys_; }
  size_t size() const { return needle_.size(); }

  // Whether the pattern starts at data[start] (data holds start + size()).
  bool MatchesAt(const uint8_t* data, size_t start) const;
  // The first, the last start c in [0, count) where the pattern stands;
  // `data` holds count + size() - 1 bytes.
  std::optional<size_t> FindFirst(const uint8_t* data, size_t count) const;
  std::optional<size_t> FindLast(const uint8_t* data, size_t count) const;
  // How many starts in [0, count) hold the pattern (overlapping ones too).
  uint64_t CountIn(const uint8_t* data, size_t count) const;

 private:
  bool KeysAt(const uint8_t* data, size_t c) const;

  SearchNeedle needle_;
  SearchKeys keys_;
  bool folds_ = false;  // some byte matches in either case
};

}  // namespace kelm::viewer
