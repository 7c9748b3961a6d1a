// Every match of the search pattern in view, painted in its own colours
// while a pattern is set: found as the grid is coloured, from the visible
// bytes and the pattern length - 1 bytes on either side of them (so a match
// that begins above the first row or ends below the last one shows its
// visible part). Matches that overlap are painted as one run; matches side
// by side keep the gap between them. Nothing is read when no pattern is set.
//
// Frame thread only.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "viewer/search_matcher.h"

namespace kelm::viewer {

// Black on dark yellow: under the selection, over the marks.
inline constexpr char kMatchForeground = '0';
inline constexpr char kMatchBackground = '6';

// The matches as [start, end) runs of the window of `windowLength` bytes
// from `windowFirst`, given `bytes` read from `readFrom` (the window with
// its margins).
struct MatchRun {
  uint64_t start = 0;
  uint64_t end = 0;
};
std::vector<MatchRun> MatchRunsIn(const PatternMatcher& matcher, const uint8_t* bytes, uint64_t count,
                                  uint64_t readFrom, uint64_t windowFirst, uint64_t windowLength);

// The grid's hook: paints the matches in view into the colour strings.
// `shown` holds the `count` bytes the grid read from its first visible
// byte; only the pattern length - 1 bytes around them are read here.
void PaintSearchMatches(const uint8_t* shown, uint64_t count, std::string& hexBackground, std::string& hexForeground, std::string& charBackground,
                        std::string& charForeground);

}  // namespace kelm::viewer
