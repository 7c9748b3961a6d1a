// The chunked scan of a search: one chunk of the file per step, the two
// rarest pattern bytes tested first (sixteen starts at a time where SSE2 is
// there), a match straddling two chunks found through the overlap.
#include <algorithm>
#include <cstring>
#include <limits>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "viewer/search.h"

// --- the chunked scan -------------------------------------------------------------

namespace {

// How common a byte is in typical files; higher is more common.
int Commonness(uint8_t byte) {
  if (byte == 0x00) return 100;
  if (byte == 0xFF) return 90;
  if (byte == ' ') return 85;
  if (std::strchr("etaoinsrhl", byte) != nullptr && byte != 0) return 80;
  if (byte >= 'a' && byte <= 'z') return 70;
  if (byte == '\n' || byte == '\r' || byte == 0x01) return 65;
  if (byte >= '0' && byte <= '9') return 60;
  if (byte >= 'A' && byte <= 'Z') return 55;
  if (byte < 0x20) return 50;
  if (byte < 0x7F) return 45;
  return 30;
}

// A single-byte pattern: memchr / memrchr.
std::optional<size_t> FindByte(const uint8_t* data, size_t count, uint8_t wanted, bool last) {
  const void* hit = last ? memrchr(data, wanted, count) : std::memchr(data, wanted, count);
  if (hit == nullptr) return std::nullopt;
  return static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
}

// Whether the pattern starts at data + start.
bool MatchesAt(const uint8_t* data, size_t start, const std::vector<uint8_t>& pattern) {
  return std::memcmp(data + start, pattern.data(), pattern.size()) == 0;
}

#if defined(__SSE2__)
// Bit i set: start c + i has the two key bytes in place (16 starts at once).
unsigned KeyMask(const uint8_t* data, size_t c, const SearchKeys& keys, __m128i first, __m128i second) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + c + keys.first));
  const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + c + keys.second));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, first), _mm_cmpeq_epi8(y, second))));
}
#endif

bool KeysAt(const uint8_t* data, size_t c, const std::vector<uint8_t>& pattern, const SearchKeys& keys) {
  return data[c + keys.first] == pattern[keys.first] && data[c + keys.second] == pattern[keys.second];
}

// First start c in [0, count) with data[c, c + m) equal to the pattern;
// `data` holds count + m - 1 bytes. Two key bytes of the pattern are tested
// for 16 starts at once; only where both stand is the whole pattern
// compared, so common bytes in the file cost little.
std::optional<size_t> FindFirstIn(const uint8_t* data, size_t count, const std::vector<uint8_t>& pattern,
                                  const SearchKeys& keys) {
  if (pattern.size() == 1) return FindByte(data, count, pattern[0], false);
  size_t c = 0;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(static_cast<char>(pattern[keys.first]));
  const __m128i second = _mm_set1_epi8(static_cast<char>(pattern[keys.second]));
  for (; c + 16 <= count; c += 16) {
    for (unsigned mask = KeyMask(data, c, keys, first, second); mask != 0; mask &= mask - 1) {
      const size_t start = c + static_cast<size_t>(__builtin_ctz(mask));
      if (MatchesAt(data, start, pattern)) return start;
    }
  }
#endif
  for (; c < count; ++c) {
    if (KeysAt(data, c, pattern, keys) && MatchesAt(data, c, pattern)) return c;
  }
  return std::nullopt;
}

// The last such start, the blocks taken from the end.
std::optional<size_t> FindLastIn(const uint8_t* data, size_t count, const std::vector<uint8_t>& pattern,
                                 const SearchKeys& keys) {
  if (pattern.size() == 1) return FindByte(data, count, pattern[0], true);
  size_t c = count;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(static_cast<char>(pattern[keys.first]));
  const __m128i second = _mm_set1_epi8(static_cast<char>(pattern[keys.second]));
  while (c >= 16) {
    c -= 16;
    for (unsigned mask = KeyMask(data, c, keys, first, second); mask != 0;) {
      const unsigned bit = 31u - static_cast<unsigned>(__builtin_clz(mask));
      if (MatchesAt(data, c + bit, pattern)) return c + bit;
      mask &= ~(1u << bit);
    }
  }
#endif
  while (c > 0) {
    --c;
    if (KeysAt(data, c, pattern, keys) && MatchesAt(data, c, pattern)) return c;
  }
  return std::nullopt;
}

// Starts that can be checked in a read of `got` bytes holding `wanted`
// starts of an m-byte pattern (a short read checks fewer).
uint64_t CheckableStarts(uint64_t wanted, uint64_t got, uint64_t m) {
  if (got < m) return 0;
  return std::min(wanted, got - m + 1);
}

}  // namespace

SearchKeys KeyPositions(const std::vector<uint8_t>& pattern) {
  SearchKeys keys;
  if (pattern.size() < 2) return keys;
  for (size_t i = 1; i < pattern.size(); ++i) {
    if (Commonness(pattern[i]) < Commonness(pattern[keys.first])) keys.first = i;
  }
  // The second: the rarest of the others; among equals the one farthest from
  // the first, as neighbouring bytes tend to go together.
  auto distance = [&](size_t i) { return i > keys.first ? i - keys.first : keys.first - i; };
  keys.second = keys.first == 0 ? 1 : 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (i == keys.first) continue;
    const int here = Commonness(pattern[i]);
    const int best = Commonness(pattern[keys.second]);
    if (here < best || (here == best && distance(i) > distance(keys.second))) keys.second = i;
  }
  return keys;
}

ChunkedSearch::ChunkedSearch(std::vector<uint8_t> pattern, uint64_t size, uint64_t from,
                             SearchDirection direction, ByteReader reader, uint64_t chunkSize)
    : pattern_(std::move(pattern)), reader_(std::move(reader)), direction_(direction) {
  // The buffer must stay addressable; an empty pattern matches nothing.
  constexpr uint64_t kLargestChunk = uint64_t{1} << 30;
  chunkSize_ = std::clamp<uint64_t>(chunkSize, 1, kLargestChunk);
  const uint64_t m = pattern_.size();
  if (m == 0 || size < m || !reader_) {
    Finish(std::nullopt);
    return;
  }
  keys_ = KeyPositions(pattern_);
  total_ = size - m + 1;  // starts 0 .. size - m
  const uint64_t split = std::min(from, total_);
  if (direction_ == SearchDirection::Forward) {
    passes_[0] = Pass{split, total_};
    passes_[1] = Pass{0, split};
  } else {
    passes_[0] = Pass{0, split};
    passes_[1] = Pass{split, total_};
  }
  buffer_.resize(static_cast<size_t>(std::min(chunkSize_, total_) + m - 1));
  if (!NextPass()) Finish(std::nullopt);
}

bool ChunkedSearch::NextPass() {
  while (++pass_ < 2) {
    const Pass& pass = passes_[pass_];
    if (pass.low >= pass.high) continue;
    cursor_ = direction_ == SearchDirection::Forward ? pass.low : pass.high;
    if (pass_ == 1) wrapped_ = true;
    return true;
  }
  return false;
}

void ChunkedSearch::Finish(std::optional<uint64_t> match) {
  finished_ = true;
  match_ = match;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

bool ChunkedSearch::Step() {
  if (finished_) return true;
  const Pass& pass = passes_[pass_];
  const uint64_t m = pattern_.size();
  if (direction_ == SearchDirection::Forward) {
    const uint64_t count = std::min(chunkSize_, pass.high - cursor_);
    const uint64_t got = reader_(cursor_, buffer_.data(), count + m - 1);
    const uint64_t checkable = CheckableStarts(count, got, m);
    if (checkable > 0) {
      if (const auto at = FindFirstIn(buffer_.data(), static_cast<size_t>(checkable), pattern_, keys_)) {
        scanned_ += *at + 1;
        Finish(cursor_ + *at);
        return true;
      }
    }
    cursor_ += count;
    scanned_ += count;
    if (cursor_ < pass.high) return false;
  } else {
    const uint64_t count = std::min(chunkSize_, cursor_ - pass.low);
    const uint64_t base = cursor_ - count;
    const uint64_t got = reader_(base, buffer_.data(), count + m - 1);
    const uint64_t checkable = CheckableStarts(count, got, m);
    if (checkable > 0) {
      if (const auto at = FindLastIn(buffer_.data(), static_cast<size_t>(checkable), pattern_, keys_)) {
        scanned_ += count - *at;
        Finish(base + *at);
        return true;
      }
    }
    cursor_ = base;
    scanned_ += count;
    if (cursor_ > pass.low) return false;
  }
  if (!NextPass()) Finish(std::nullopt);
  return finished_;
}

std::optional<uint64_t> ChunkedSearch::RunToEnd() {
  while (!Step()) {
  }
  return match_;
}

int ChunkedSearch::Percent() const {
  if (total_ == 0) return 100;
  // Long double keeps the product of a 64-bit count and 100 exact enough.
  const long double share = static_cast<long double>(scanned_) * 100.0L / static_cast<long double>(total_);
  return static_cast<int>(std::min<long double>(share, 100.0L));
}
