#include "viewer/search_highlight.h"

#include <algorithm>

#include "engine/core/object.h"
#include "viewer/offset_math.h"
#include "viewer/search.h"
#include "viewer/viewer_state.h"

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

void PaintSearchMatches(std::string& hexBackground, std::string& hexForeground, std::string& charBackground,
                        std::string& charForeground) {
  const std::optional<SearchPattern>& pattern = LastSearchPattern();
  if (!pattern || pattern->bytes.empty() || hexColumn == nullptr || bytesPerRow < 1 || fileSize == 0) return;
  const int32_t rows = hexColumn->GetHeight();
  if (rows < 1) return;
  const auto perRow = static_cast<uint64_t>(bytesPerRow);
  const uint64_t windowFirst = static_cast<uint64_t>(ClampTopRow(topRow)) * perRow;
  if (windowFirst >= fileSize) return;
  const uint64_t windowLength = static_cast<uint64_t>(rows) * perRow;
  const uint64_t margin = pattern->bytes.size() - 1;
  const uint64_t readFrom = SaturatingSub(windowFirst, margin);
  const uint64_t readEnd = std::min(fileSize, SaturatingAdd(SaturatingAdd(windowFirst, windowLength), margin));

  // The buffer stays between frames: no allocation per recolour.
  static std::vector<uint8_t> bytes;
  bytes.resize(static_cast<size_t>(readEnd - readFrom));
  MarkedRange range;
  range.start = readFrom;
  range.length = bytes.size();
  const uint64_t got = ReadRange(bytes.data(), bytes.size(), range);

  const PatternMatcher matcher(pattern->Needle());
  MarkedRange paint;
  paint.foreground = kMatchForeground;
  paint.background = kMatchBackground;
  for (const MatchRun& run : MatchRunsIn(matcher, bytes.data(), got, readFrom, windowFirst, windowLength)) {
    paint.start = run.start;
    paint.length = run.end - run.start;
    PaintRange(paint, hexBackground, hexForeground, charBackground, charForeground);
  }
}
