// The encoder's scroll planner: finds bands of rows that moved by whole rows
// and moves them with a scroll region instead of drawing them again.
#include <algorithm>
#include <cstddef>
#include <string>

#include "engine/port/terminal/codec/vt_output.h"
#include "engine/port/terminal/codec/vt_output_parts.h"

namespace kelm::port {

using namespace vt_encoding;

// Looks for one band of rows that, moved up or down by whole rows, saves more
// bytes than the scroll costs. Rows are compared by hash to find candidate
// shifts; each candidate is then scored on the cells: for every row of the
// band, the estimated cost of updating it in place minus the cost after the
// shift; the rows the scroll brings in count as drawn in full.
bool VtOutputEncoder::FindScroll(ScrollPlan& plan) {
  const int w = width_;
  const int h = height_;
  if (h < 2) return false;
  bool anyRowChanged = false;
  for (int r = 0; r < h && !anyRowChanged; ++r) anyRowChanged = !RowUnchanged(r);
  if (!anyRowChanged) return false;  // the common idle frame: no hashing
  frontRowHash_.resize(h);
  nextRowHash_.resize(h);
  for (int r = 0; r < h; ++r) {
    frontRowHash_[r] = HashRow(&front_[static_cast<size_t>(r) * w], w);
    nextRowHash_[r] = HashRow(&next_[static_cast<size_t>(r) * w], w);
  }

  // Votes per shift s (new row r shows old row r + s), from rows that changed.
  std::vector<int> votes(2 * h + 1, 0);
  for (int r = 0; r < h; ++r) {
    if (nextRowHash_[r] == frontRowHash_[r]) continue;
    for (int source = 0; source < h; ++source)
      if (source != r && frontRowHash_[source] == nextRowHash_[r]) ++votes[source - r + h];
  }
  int candidates[kScrollCandidates];
  int candidateCount = 0;
  for (int k = 0; k < kScrollCandidates; ++k) {
    int bestIndex = -1;
    for (int i = 0; i < static_cast<int>(votes.size()); ++i)
      if (votes[i] > 0 && (bestIndex < 0 || votes[i] > votes[bestIndex])) bestIndex = i;
    if (bestIndex < 0) break;
    candidates[candidateCount++] = bestIndex - h;
    votes[bestIndex] = 0;
  }
  if (candidateCount == 0) return false;

  rowCost_.resize(h);
  for (int r = 0; r < h; ++r) {
    const size_t offset = static_cast<size_t>(r) * w;
    rowCost_[r] = RowCost(&next_[offset], &front_[offset], w);
  }
  // revealedPrefix[i]: sum over rows 0..i-1 of (in-place cost - full-row
  // cost), the change in cost when a row has to be drawn in full.
  const int fullRowCost = kRowStartCost + w - 1;
  std::vector<long> revealedPrefix(h + 1, 0);
  for (int r = 0; r < h; ++r) revealedPrefix[r + 1] = revealedPrefix[r] + rowCost_[r] - fullRowCost;
  shiftedCost_.resize(h);

  ScrollPlan best;
  for (int k = 0; k < candidateCount; ++k) {
    const int shift = candidates[k];
    const int distance = shift > 0 ? shift : -shift;
    if (distance >= h) continue;
    for (int r = 0; r < h; ++r) {
      const int source = r + shift;
      if (source < 0 || source >= h) continue;
      shiftedCost_[r] = RowCost(&next_[static_cast<size_t>(r) * w], &front_[static_cast<size_t>(source) * w], w);
    }
    if (shift > 0) {
      // Content rows top..e come from top+shift..e+shift; rows e+1..e+shift
      // are brought in. Kadane: the best sum of gains ending at e.
      long run = 0;
      int runStart = 0;
      for (int e = 0; e + shift < h; ++e) {
        const long gain = rowCost_[e] - shiftedCost_[e];
        if (e == 0 || run <= 0) {
          run = gain;
          runStart = e;
        } else {
          run += gain;
        }
        const long total = run + revealedPrefix[e + shift + 1] - revealedPrefix[e + 1];
        if (total > best.gain) best = ScrollPlan{runStart, e + shift, shift, total};
      }
    } else {
      // Content rows a..b come from a-distance..b-distance; rows
      // a-distance..a-1 are brought in. Kadane from the bottom up.
      long run = 0;
      int runEnd = h - 1;
      for (int a = h - 1; a >= distance; --a) {
        const long gain = rowCost_[a] - shiftedCost_[a];
        if (a == h - 1 || run <= 0) {
          run = gain;
          runEnd = a;
        } else {
          run += gain;
        }
        const long total = run + revealedPrefix[a] - revealedPrefix[a - distance];
        if (total > best.gain) best = ScrollPlan{a - distance, runEnd, shift, total};
      }
    }
  }
  if (best.gain <= kScrollOverhead) return false;
  plan = best;
  return true;
}

void VtOutputEncoder::ApplyScroll(const ScrollPlan& plan, std::string& out) {
  // The rows brought in are cleared with the current background on some
  // terminals, the columns right of the frame included: reset it first.
  if (colours_ != kDefaultColours) {
    out += kResetColours;
    colours_ = kDefaultColours;
  }
  out += kCsi;
  AppendNumber(out, plan.top + 1);
  out += ';';
  AppendNumber(out, plan.bottom + 1);
  out += kSetScrollRegion;
  const int distance = plan.shift > 0 ? plan.shift : -plan.shift;
  if (options_.scrollWithIndex) {
    // Index at the bottom margin scrolls the region up, reverse index at the
    // top margin scrolls it down. CUP is absolute (origin mode stays off).
    AppendPosition(out, plan.shift > 0 ? plan.bottom : plan.top, 0);
    for (int i = 0; i < distance; ++i) out += plan.shift > 0 ? kIndex : kReverseIndex;
  } else {
    AppendCountSequence(out, distance, plan.shift > 0 ? kScrollUp : kScrollDown);
  }
  out += kResetScrollRegion;
  // Setting the region homes the cursor on most terminals; do not rely on it.
  cursorRow_ = kUnknown;
  cursorColumn_ = kUnknown;

  const size_t w = static_cast<size_t>(width_);
  auto row = [&](int r) { return front_.begin() + static_cast<std::ptrdiff_t>(r * w); };
  if (plan.shift > 0) {
    for (int r = plan.top; r + distance <= plan.bottom; ++r)
      std::copy(row(r + distance), row(r + distance + 1), row(r));
    std::fill(row(plan.bottom - distance + 1), row(plan.bottom + 1), kUnknownCell);
  } else {
    for (int r = plan.bottom; r - distance >= plan.top; --r)
      std::copy(row(r - distance), row(r - distance + 1), row(r));
    std::fill(row(plan.top), row(plan.top + distance), kUnknownCell);
  }
}

}  // namespace kelm::port
