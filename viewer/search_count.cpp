#include "viewer/search_count.h"

#include <memory>
#include <string>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_types.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

using KelmCEngineV2::Object;

struct CountState {
  SearchPattern pattern;
  // The file counted: another file (or size) starts the count again.
  std::string path;
  uint64_t size = 0;
  uint64_t serial = 0;
  std::unique_ptr<MatchCount> total;
  std::optional<uint64_t> n;
  // Matches before the match shown, when the total count had passed it.
  std::unique_ptr<MatchCount> rank;
  uint64_t current = 0;
  std::optional<uint64_t> k;
  std::u16string shown;
};

std::unique_ptr<CountState> state;
uint64_t lastSerial = 0;

std::unique_ptr<MatchCount> NewCount(const SearchPattern& pattern, uint64_t end) {
  return std::make_unique<MatchCount>(pattern.Needle(), fileSize, end, ViewedFileReader(), searchSettings.chunkSize,
                                      ViewedFileExtents());
}

std::u16string Number(uint64_t value) {
  const std::string text = std::to_string(value);
  return std::u16string(text.begin(), text.end());
}

std::u16string Percent(int value) { return Number(static_cast<uint64_t>(value)) + u"%"; }

void SetMatchStatus(const std::u16string& text) {
  if (!HasStatusField(kMatchStatusKey)) {
    // Right after the search's own field, so that both show first.
    auto at = statusFields.begin();
    if (at != statusFields.end() && at->key == kFindStatusKey) ++at;
    statusFields.insert(at, StatusField{kMatchStatusKey, std::u16string(), false});
  }
  SetStatusField(kMatchStatusKey, text);
}

std::u16string StatusText(const CountState& count) {
  const std::u16string k = count.k ? Number(*count.k) : u"?";
  if (!count.n) return k + u" of ? (counting " + Percent(count.total->Percent()) + u", Esc stops)";
  if (!count.k && count.rank) return u"? of " + Number(*count.n) + u" (placing " + Percent(count.rank->Percent()) + u")";
  return k + u" of " + Number(*count.n);
}

void ShowStatus() {
  if (!state) return;
  const std::u16string text = StatusText(*state);
  if (text == state->shown && HasStatusField(kMatchStatusKey)) return;
  state->shown = text;
  SetMatchStatus(text);
}

// Takes what the counts know: N when the total is done, K from the watch
// or from the rank count.
void Collect(CountState& count) {
  if (!count.n && count.total->Finished()) count.n = count.total->Count();
  if (!count.k && count.total->CountBefore() && !count.rank) count.k = *count.total->CountBefore() + 1;
  if (!count.k && count.rank && count.rank->Finished()) {
    count.k = count.rank->Count() + 1;
    count.rank.reset();
  }
}

bool Done(const CountState& count) { return count.n && count.k; }

// The count's own object on the top layer, like the search's: it sees Esc
// before any box does, after a running search.
void AddCountObject(uint64_t serial) {
  using namespace KelmCEngineV2;
  AddWorkObject([serial](Object* self) {
    if (!MatchCountRunning() || state->serial != serial) {
      self->Destroy();
      return;
    }
    if (!SearchRunning() && KeyPressed(static_cast<uint8_t>(kelm::port::VK_ESCAPE), false, 0)) {
      StopMatchCount();
    } else {
      AdvanceMatchCount();
    }
    if (!MatchCountRunning() || state->serial != serial) self->Destroy();
  });
}

// K of the match reached by `step` from the one whose rank was `before`.
std::optional<uint64_t> SteppedRank(std::optional<uint64_t> before, const std::optional<uint64_t>& n, MatchStep step) {
  std::optional<uint64_t> k;
  switch (step) {
    case MatchStep::Other: break;
    case MatchStep::Next:
      if (before) k = *before + 1;
      break;
    case MatchStep::NextWrapped: k = 1; break;
    case MatchStep::Previous:
      if (before && *before > 1) k = *before - 1;
      break;
    case MatchStep::PreviousWrapped: k = n; break;
  }
  if (k && n && *k > *n) k.reset();
  return k;
}

}  // namespace

void NoteMatchShown(const SearchPattern& pattern, uint64_t start, MatchStep step) {
  const bool sameCount = state && state->pattern == pattern && state->path == filePath && state->size == fileSize;
  if (!sameCount) {
    state = std::make_unique<CountState>();
    state->pattern = pattern;
    state->path = filePath;
    state->size = fileSize;
    state->serial = ++lastSerial;
    state->total = NewCount(pattern, UINT64_MAX);
    state->total->WatchFor(start);
    state->current = start;
    Collect(*state);
    ShowStatus();
    if (!Done(*state)) AddCountObject(state->serial);
    if (KelmCEngineV2::mainEngine != nullptr) KelmCEngineV2::mainEngine->RequestFrame(0);
    return;
  }
  const bool wasRunning = MatchCountRunning();
  const std::optional<uint64_t> before = start == state->current ? state->k : SteppedRank(state->k, state->n, step);
  state->current = start;
  state->rank.reset();
  state->k = before;
  if (!state->k) {
    // The total count tells it if it has not passed the match yet;
    // otherwise a count up to the match does.
    if (state->total->Finished() || !state->total->WatchFor(start)) state->rank = NewCount(pattern, start);
  } else if (!state->total->Finished()) {
    state->total->WatchFor(UINT64_MAX);  // no chunk needs to end at the old match
  }
  Collect(*state);
  ShowStatus();
  if (!wasRunning && MatchCountRunning()) AddCountObject(state->serial);
  if (MatchCountRunning() && KelmCEngineV2::mainEngine != nullptr) KelmCEngineV2::mainEngine->RequestFrame(0);
}

void KeepMatchCountOnlyFor(const SearchPattern& pattern) {
  if (!state || state->pattern == pattern) return;
  state.reset();
  SetMatchStatus(std::u16string());
}

std::optional<uint64_t> CountedMatchStart() {
  if (!state) return std::nullopt;
  return state->current;
}

bool MatchCountRunning() { return state && !Done(*state); }

void StopMatchCount() {
  if (!MatchCountRunning()) return;
  state.reset();
  SetMatchStatus(u"count stopped");
}

void AdvanceMatchCount() {
  if (!MatchCountRunning()) return;
  if (filePath != state->path || fileSize != state->size) {
    state.reset();
    SetMatchStatus(std::u16string());
    return;
  }
  // A running search has the frames to itself; the count goes on after it.
  if (!SearchRunning()) {
    CountState& count = *state;
    RunSearchSlice([&count] {
      if (!count.total->Finished()) {
        count.total->Step();
      } else if (count.rank) {
        count.rank->Step();
      }
      Collect(count);
      return Done(count);
    });
  }
  ShowStatus();
  if (MatchCountRunning() && KelmCEngineV2::mainEngine != nullptr) KelmCEngineV2::mainEngine->RequestFrame(0);
}

std::optional<uint64_t> MatchTotal() { return state ? state->n : std::nullopt; }
std::optional<uint64_t> MatchRank() { return state ? state->k : std::nullopt; }

void ResetMatchCountForTests() { state.reset(); }

}  // namespace kelm::viewer
