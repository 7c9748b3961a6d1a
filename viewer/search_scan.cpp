// The chunked scans: spans of starts taken from the data extents, a chunk
// read per data span, holes skipped without a read.
#include "viewer/search_scan.h"

#include <algorithm>

namespace kelm::viewer {

namespace {

// Starts that can be checked in a read of `got` bytes holding `wanted`
// starts of an m-byte pattern (a short read checks fewer).
uint64_t CheckableStarts(uint64_t wanted, uint64_t got, uint64_t m) {
  if (got < m) return 0;
  return std::min(wanted, got - m + 1);
}

// The buffer must stay addressable.
uint64_t ClampChunk(uint64_t chunkSize) {
  constexpr uint64_t kLargestChunk = uint64_t{1} << 30;
  return std::clamp<uint64_t>(chunkSize, 1, kLargestChunk);
}

}  // namespace

int PercentOf(uint64_t done, uint64_t total) {
  if (total == 0) return 100;
  // Long double keeps the product of a 64-bit count and 100 exact enough.
  const long double share = static_cast<long double>(done) * 100.0L / static_cast<long double>(total);
  return static_cast<int>(std::min<long double>(share, 100.0L));
}

ScanSpan ForwardSpan(const DataExtents& extents, uint64_t size, uint64_t m, uint64_t from, uint64_t high,
                     uint64_t chunkSize) {
  // Starts stop m - 1 bytes before the end, so `from` leaves room for a
  // whole window and a hole that reaches the end holds one.
  const uint64_t data = extents.NextData(from);
  if (data > from && data - from >= m) return ScanSpan{from, std::min(data - m + 1, high), true};
  uint64_t to = high - from > chunkSize ? from + chunkSize : high;
  if (extents.Known()) {
    // The chunk ends where the next hole begins: the starts from there on
    // are either in a hole long enough to skip or checked by the next chunk.
    const uint64_t hole = extents.NextHole(std::max(from, data), size);
    if (hole > from && hole < to) to = hole;
  }
  return ScanSpan{from, to, false};
}

ScanSpan BackwardSpan(const DataExtents& extents, uint64_t m, uint64_t low, uint64_t to, uint64_t chunkSize) {
  // The windows of starts below `to` end before to - 1 + m; those that
  // begin after the last data byte before that lie wholly in a hole.
  const std::optional<uint64_t> last = LastDataBefore(extents, to - 1 + m);
  const uint64_t holeFrom = last ? *last + 1 : 0;
  if (holeFrom < to) return ScanSpan{std::max(holeFrom, low), to, true};
  return ScanSpan{to - low > chunkSize ? to - chunkSize : low, to, false};
}

// --- the search ------------------------------------------------------------------------

ChunkedSearch::ChunkedSearch(SearchNeedle needle, uint64_t size, uint64_t from, SearchDirection direction,
                             ByteReader reader, uint64_t chunkSize, DataExtents extents)
    : matcher_(std::move(needle)),
      reader_(std::move(reader)),
      extents_(std::move(extents)),
      size_(size),
      chunkSize_(ClampChunk(chunkSize)),
      direction_(direction) {
  // An empty pattern matches nothing.
  const uint64_t m = matcher_.size();
  if (m == 0 || size < m || !reader_) {
    Finish(std::nullopt);
    return;
  }
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

bool ChunkedSearch::StepForward(const Pass& pass) {
  const uint64_t m = matcher_.size();
  const ScanSpan span = ForwardSpan(extents_, size_, m, cursor_, pass.high, chunkSize_);
  const uint64_t count = span.to - span.from;
  if (span.hole) {
    if (matcher_.Needle().AllZero()) {
      scanned_ += 1;
      Finish(span.from);
      return true;
    }
  } else {
    const uint64_t got = reader_(span.from, buffer_.data(), count + m - 1);
    const uint64_t checkable = CheckableStarts(count, got, m);
    if (checkable > 0) {
      if (const auto at = matcher_.FindFirst(buffer_.data(), static_cast<size_t>(checkable))) {
        scanned_ += *at + 1;
        Finish(span.from + *at);
        return true;
      }
    }
  }
  cursor_ = span.to;
  scanned_ += count;
  return cursor_ >= pass.high;
}

bool ChunkedSearch::StepBackward(const Pass& pass) {
  const uint64_t m = matcher_.size();
  const ScanSpan span = BackwardSpan(extents_, m, pass.low, cursor_, chunkSize_);
  const uint64_t count = span.to - span.from;
  if (span.hole) {
    if (matcher_.Needle().AllZero()) {
      scanned_ += 1;
      Finish(span.to - 1);
      return true;
    }
  } else {
    const uint64_t got = reader_(span.from, buffer_.data(), count + m - 1);
    const uint64_t checkable = CheckableStarts(count, got, m);
    if (checkable > 0) {
      if (const auto at = matcher_.FindLast(buffer_.data(), static_cast<size_t>(checkable))) {
        scanned_ += count - *at;
        Finish(span.from + *at);
        return true;
      }
    }
  }
  cursor_ = span.from;
  scanned_ += count;
  return cursor_ <= pass.low;
}

bool ChunkedSearch::Step() {
  if (finished_) return true;
  const Pass& pass = passes_[pass_];
  const bool passDone = direction_ == SearchDirection::Forward ? StepForward(pass) : StepBackward(pass);
  if (finished_) return true;
  if (!passDone) return false;
  if (!NextPass()) Finish(std::nullopt);
  return finished_;
}

std::optional<uint64_t> ChunkedSearch::RunToEnd() {
  while (!Step()) {
  }
  return match_;
}

int ChunkedSearch::Percent() const { return PercentOf(scanned_, total_); }

// --- the count -----------------------------------------------------------------------------

MatchCount::MatchCount(SearchNeedle needle, uint64_t size, uint64_t end, ByteReader reader, uint64_t chunkSize,
                       DataExtents extents)
    : matcher_(std::move(needle)),
      reader_(std::move(reader)),
      extents_(std::move(extents)),
      size_(size),
      chunkSize_(ClampChunk(chunkSize)) {
  const uint64_t m = matcher_.size();
  if (m == 0 || size < m || !reader_) return;
  end_ = std::min(end, size - m + 1);
  if (end_ > 0) buffer_.resize(static_cast<size_t>(std::min(chunkSize_, end_) + m - 1));
}

bool MatchCount::Step() {
  if (Finished()) return true;
  const uint64_t m = matcher_.size();
  uint64_t high = end_;
  if (watch_ && !countBefore_ && *watch_ > position_ && *watch_ < high) high = *watch_;
  const ScanSpan span = ForwardSpan(extents_, size_, m, position_, high, chunkSize_);
  const uint64_t count = span.to - span.from;
  if (span.hole) {
    if (matcher_.Needle().AllZero()) count_ += count;
  } else {
    const uint64_t got = reader_(span.from, buffer_.data(), count + m - 1);
    const uint64_t checkable = CheckableStarts(count, got, m);
    if (checkable > 0) count_ += matcher_.CountIn(buffer_.data(), static_cast<size_t>(checkable));
  }
  position_ = span.to;
  NoteWatched();
  if (Finished()) {
    buffer_.clear();
    buffer_.shrink_to_fit();
  }
  return Finished();
}

uint64_t MatchCount::RunToEnd() {
  while (!Step()) {
  }
  return count_;
}

int MatchCount::Percent() const { return PercentOf(position_, end_); }

bool MatchCount::WatchFor(uint64_t start) {
  if (position_ > start) return false;
  watch_ = start;
  countBefore_.reset();
  NoteWatched();
  return true;
}

void MatchCount::NoteWatched() {
  if (!watch_ || countBefore_) return;
  // Every start before the watched one has been looked at.
  if (position_ == *watch_ || (Finished() && *watch_ >= end_)) countBefore_ = count_;
}

}  // namespace kelm::viewer
