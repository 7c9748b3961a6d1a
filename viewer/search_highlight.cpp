#include "viewer/search_highlight.h"

#include <algorithm>

#include "engine/core/object.h"
#include "viewer/offset_math.h"
#include "viewer/search.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

std::vector<MatchRun> MatchRunsIn(const PatternMatcher& matcher, const uint8_t* bytes, uint64_t count,
                                  uint64_t readFrom, uint64_t windowFirst, uint64_t windowLength) {
  std::vector<MatchRun> runs;
  const uint64_t m = matcher.size();
  if (m == 0 || count < m) return runs;
  const uint64_t windowEnd = SaturatingAdd(windowFirst, windowLength);
  const auto starts = static_cast<size_t>(count - m + 1);
  size_t from = 0;
  while (from < starts) {
    const std::optional<size_t> at = matcher.FindFirst(bytes + from, starts - from);
    if (!at) break;
    const uint64_t start = readFrom + from + *at;
    from += *at + 1;
    const uint64_t end = start + m;
    // Only matches with a byte in the window show.
    if (end <= windowFirst || start >= windowEnd) continue;
    if (!runs.empty() && start < runs.back().end) {
      runs.back().end = std::max(runs.back().end, end);
    } else {
      runs.push_back(MatchRun{start, end});
    }
  }
  return runs;
}

namespace {

// Reads `length` bytes at `offset` to the end of `bytes`; yields how many.
uint64_t AppendRead(std::vector<uint8_t>& bytes, uint64_t offset, uint64_t length) {
  const size_t before = bytes.size();
  bytes.resize(before + static_cast<size_t>(length));
  MarkedRange range;
  range.start = offset;
  range.length = length;
  const uint64_t got = length == 0 ? 0 : ReadRange(bytes.data() + before, length, range);
  bytes.resize(before + static_cast<size_t>(got));
  return got;
}

}  // namespace

void PaintSearchMatches(const uint8_t* shown, uint64_t count, std::string& hexBackground, std::string& hexForeground,
                        std::string& charBackground, std::string& charForeground) {
  const std::optional<SearchPattern>& pattern = LastSearchPattern();
  if (!pattern || pattern->bytes.empty() || hexColumn == nullptr || bytesPerRow < 1 || count == 0) return;
  const int32_t rows = hexColumn->GetHeight();
  if (rows < 1) return;
  const auto perRow = static_cast<uint64_t>(bytesPerRow);
  const uint64_t windowFirst = static_cast<uint64_t>(ClampTopRow(topRow)) * perRow;
  const uint64_t windowLength = static_cast<uint64_t>(rows) * perRow;
  const uint64_t margin = pattern->bytes.size() - 1;

  // The matcher and the buffer stay between frames: nothing is allocated
  // per recolour once they have their size.
  static std::optional<PatternMatcher> matcher;
  static SearchPattern matched;
  if (!matcher || !(matched == *pattern)) {
    matched = *pattern;
    matcher.emplace(pattern->Needle());
  }
  static std::vector<uint8_t> bytes;
  bytes.clear();
  uint64_t from = SaturatingSub(windowFirst, margin);
  if (AppendRead(bytes, from, windowFirst - from) != windowFirst - from) {
    bytes.clear();  // a short read: no margin before
    from = windowFirst;
  }
  bytes.insert(bytes.end(), shown, shown + count);
  // The bytes after the window, where the window was read whole.
  if (count == windowLength) AppendRead(bytes, SaturatingAdd(windowFirst, count), margin);

  MarkedRange paint;
  paint.foreground = kMatchForeground;
  paint.background = kMatchBackground;
  for (const MatchRun& run : MatchRunsIn(*matcher, bytes.data(), bytes.size(), from, windowFirst, windowLength)) {
    paint.start = run.start;
    paint.length = run.end - run.start;
    PaintRange(paint, hexBackground, hexForeground, charBackground, charForeground);
  }
}

}  // namespace kelm::viewer
