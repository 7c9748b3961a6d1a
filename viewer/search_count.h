// "match K of N" in the status row: once a search has shown a match, a
// count of the pattern's matches over the whole file runs in the
// background, a slice per frame (frames follow at once while it runs; it
// waits while a search runs), skipping holes. The rank K of the match shown
// comes from the same count when it has not passed the match yet, from the
// last rank when F3 or Shift+F3 stepped from the match shown, or else from
// a second count up to the match. Esc stops it (after a running search);
// a search for another pattern, or another file, starts it again.
//
// Frame thread only.
#pragma once

#include <cstdint>
#include <optional>

#include "viewer/search.h"

namespace kelm::viewer {

// Key of the status field the count shows in ("match: 3 of 10").
inline constexpr char16_t kMatchStatusKey[] = u"match";

// How the match shown was reached from the one shown before.
enum class MatchStep : uint8_t { Other, Next, NextWrapped, Previous, PreviousWrapped };

// A search showed a match of `pattern` at `start`.
void NoteMatchShown(const SearchPattern& pattern, uint64_t start, MatchStep step);
// A search for `pattern` starts: a count of another pattern stops.
void KeepMatchCountOnlyFor(const SearchPattern& pattern);
// Where the match shown last starts, while the count knows one.
std::optional<uint64_t> CountedMatchStart();

bool MatchCountRunning();
// Stops the count where it is (Esc); the field says so.
void StopMatchCount();
// One frame's slice of the count (its object calls it every frame).
void AdvanceMatchCount();

// What the count knows: N once finished, K once known.
std::optional<uint64_t> MatchTotal();
std::optional<uint64_t> MatchRank();

// Only for tests: no count.
void ResetMatchCountForTests();

}  // namespace kelm::viewer
