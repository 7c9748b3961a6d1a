// The pattern test of every scan: key bytes first, then the whole pattern.
#include "viewer/search_matcher.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>

namespace kelm::viewer {
#endif

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

}  // namespace

SearchNeedle::SearchNeedle(std::vector<uint8_t> pattern, std::vector<uint8_t> folds)
    : bytes(std::move(pattern)), fold(std::move(folds)) {
  if (fold.size() != bytes.size() || std::all_of(fold.begin(), fold.end(), [](uint8_t f) { return f == 0; })) {
    fold.clear();
  }
}

bool SearchNeedle::AllZero() const {
  return !bytes.empty() && std::all_of(bytes.begin(), bytes.end(), [](uint8_t b) { return b == 0; });
}

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

PatternMatcher::PatternMatcher(SearchNeedle needle)
    : needle_(std::move(needle)), keys_(KeyPositions(needle_.bytes)), folds_(!needle_.fold.empty()) {}

bool PatternMatcher::MatchesAt(const uint8_t* data, size_t start) const {
  const size_t m = needle_.size();
  if (!folds_) return std::memcmp(data + start, needle_.bytes.data(), m) == 0;
  for (size_t i = 0; i < m; ++i) {
    if (static_cast<uint8_t>(data[start + i] | needle_.fold[i]) != needle_.bytes[i]) return false;
  }
  return true;
}

bool PatternMatcher::KeysAt(const uint8_t* data, size_t c) const {
  const auto at = [&](size_t key) {
    const uint8_t fold = folds_ ? needle_.fold[key] : 0;
    return static_cast<uint8_t>(data[c + key] | fold) == needle_.bytes[key];
  };
  return at(keys_.first) && at(keys_.second);
}

#if defined(__SSE2__)
namespace {

// Bit i set: start c + i has the two key bytes in place (16 starts at once).
struct KeyVectors {
  __m128i first, second, firstFold, secondFold;
};

unsigned KeyMask(const uint8_t* data, size_t c, const SearchKeys& keys, const KeyVectors& v) {
  const __m128i x = _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + c + keys.first)), v.firstFold);
  const __m128i y =
      _mm_or_si128(_mm_loadu_si128(reinterpret_cast<const __m128i*>(data + c + keys.second)), v.secondFold);
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, v.first), _mm_cmpeq_epi8(y, v.second))));
}

KeyVectors VectorsOf(const SearchNeedle& needle, const SearchKeys& keys) {
  const auto fold = [&](size_t key) { return static_cast<char>(needle.fold.empty() ? 0 : needle.fold[key]); };
  return KeyVectors{_mm_set1_epi8(static_cast<char>(needle.bytes[keys.first])),
                    _mm_set1_epi8(static_cast<char>(needle.bytes[keys.second])), _mm_set1_epi8(fold(keys.first)),
                    _mm_set1_epi8(fold(keys.second))};
}

}  // namespace
#endif

std::optional<size_t> PatternMatcher::FindFirst(const uint8_t* data, size_t count) const {
  if (needle_.size() == 0) return std::nullopt;
  if (needle_.size() == 1 && !folds_) {
    const void* hit = std::memchr(data, needle_.bytes[0], count);
    if (hit == nullptr) return std::nullopt;
    return static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
  }
  size_t c = 0;
#if defined(__SSE2__)
  const KeyVectors vectors = VectorsOf(needle_, keys_);
  for (; c + 16 <= count; c += 16) {
    for (unsigned mask = KeyMask(data, c, keys_, vectors); mask != 0; mask &= mask - 1) {
      const size_t start = c + static_cast<size_t>(__builtin_ctz(mask));
      if (MatchesAt(data, start)) return start;
    }
  }
#endif
  for (; c < count; ++c) {
    if (KeysAt(data, c) && MatchesAt(data, c)) return c;
  }
  return std::nullopt;
}

std::optional<size_t> PatternMatcher::FindLast(const uint8_t* data, size_t count) const {
  if (needle_.size() == 0) return std::nullopt;
  if (needle_.size() == 1 && !folds_) {
    const void* hit = memrchr(data, needle_.bytes[0], count);
    if (hit == nullptr) return std::nullopt;
    return static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
  }
  size_t c = count;
#if defined(__SSE2__)
  const KeyVectors vectors = VectorsOf(needle_, keys_);
  while (c >= 16) {
    c -= 16;
    for (unsigned mask = KeyMask(data, c, keys_, vectors); mask != 0;) {
      const unsigned bit = 31u - static_cast<unsigned>(__builtin_clz(mask));
      if (MatchesAt(data, c + bit)) return c + bit;
      mask &= ~(1u << bit);
    }
  }
#endif
  while (c > 0) {
    --c;
    if (KeysAt(data, c) && MatchesAt(data, c)) return c;
  }
  return std::nullopt;
}

uint64_t PatternMatcher::CountIn(const uint8_t* data, size_t count) const {
  uint64_t found = 0;
  size_t from = 0;
  while (from < count) {
    const std::optional<size_t> at = FindFirst(data + from, count - from);
    if (!at) break;
    ++found;
    from += *at + 1;
  }
  return found;
}

}  // namespace kelm::viewer
