// ParseSearchPattern on any typed text with any text options: it never
// crashes, a valid pattern is never empty, its fold bits (when any) stand
// one per byte and only on lower-case ASCII letters, and the matcher built
// from it finds the pattern in its own bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "viewer/search.h"

using namespace kelm::viewer;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  TextSearchOptions options;
  options.encoding = static_cast<TextEncoding>(data[0] % 3);
  options.anyCase = (data[0] & 4) != 0;
  std::u16string typed;
  for (size_t i = 1; i + 1 < size; i += 2) typed += static_cast<char16_t>(data[i] | (data[i + 1] << 8));
  const ParsedPattern parsed = ParseSearchPattern(typed, options);
  if (parsed.outcome != ParsedPattern::Outcome::Valid) return 0;
  const SearchPattern& pattern = parsed.pattern;
  Check(!pattern.bytes.empty());
  Check(pattern.fold.empty() || pattern.fold.size() == pattern.bytes.size());
  for (size_t i = 0; i < pattern.fold.size(); ++i) {
    Check(pattern.fold[i] == 0 || (pattern.fold[i] == 0x20 && pattern.bytes[i] >= 'a' && pattern.bytes[i] <= 'z'));
  }
  const PatternMatcher matcher(pattern.Needle());
  Check(matcher.FindFirst(pattern.bytes.data(), 1) == 0u);
  return 0;
}
