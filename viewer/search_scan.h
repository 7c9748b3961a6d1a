// The chunked scans of the viewed file for a pattern: one search (the first
// match forward or the last one backward, wrapping once) and one count of
// every match. Both read one chunk per step into the one buffer they hold,
// ask the file system where its data lies and read no hole: a hole is
// zeros, so only a pattern of zero bytes can stand in it, and that one
// stands at every start whose bytes all lie in the hole.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

#include "viewer/data_extents.h"
#include "viewer/search_matcher.h"

namespace kelm::viewer {

enum class SearchDirection : uint8_t { Forward, Backward };

// Reads up to `count` bytes at `offset` into `buffer`; yields how many it
// read (fewer at the end of the file, 0 past it or on an error).
using ByteReader = std::function<uint64_t(uint64_t offset, uint8_t* buffer, uint64_t count)>;

inline constexpr uint64_t kSearchChunkSize = uint64_t{1} << 20;

// A scan of the viewed file that a frame runs a step at a time: a search,
// or the walk to the next different byte.
class FileScan {
 public:
  virtual ~FileScan() = default;
  // Scans the next chunk; yields whether the scan has ended.
  virtual bool Step() = 0;
  virtual bool Finished() const = 0;
  virtual const std::optional<uint64_t>& Match() const = 0;
  // The scan went on from the other end of the file.
  virtual bool Wrapped() const = 0;
  // Where the scan goes on.
  virtual uint64_t Position() const = 0;
  // Whole percentage of what there is to look at.
  virtual int Percent() const = 0;
};

// The part of a walk over starts that a step takes: starts [from, to) whose
// pattern-long windows lie wholly in a hole (read none of them), or starts
// of one chunk, read with pattern length - 1 bytes more.
struct ScanSpan {
  uint64_t from = 0;
  uint64_t to = 0;
  bool hole = false;
};
// The span a forward walk over starts [from, high) takes next: chunks end
// where a hole at least as long as the pattern begins.
ScanSpan ForwardSpan(const DataExtents& extents, uint64_t size, uint64_t m, uint64_t from, uint64_t high,
                     uint64_t chunkSize);
// The span a backward walk over starts [low, to) takes next (its last start
// first).
ScanSpan BackwardSpan(const DataExtents& extents, uint64_t m, uint64_t low, uint64_t to, uint64_t chunkSize);

// One search over a file of `size` bytes, run a chunk per Step().
//
// Forward from `from`, the first match starting at or after `from` is found;
// failing that the scan wraps once to the start and takes the first match
// starting before `from`. Backward, the last match starting before `from` is
// found; failing that the scan wraps once to the end and takes the last
// match starting at or after `from`. So every possible start is looked at
// exactly once. Matches may overlap (a match is looked for at every byte).
//
// Each chunk is read with pattern length - 1 bytes more, so a match that
// straddles two chunks (or a data/hole edge) is found; the one buffer the
// scan holds is chunkSize + pattern length - 1 bytes, whatever the file's
// size. Without extents (the empty source) every byte is read.
class ChunkedSearch : public FileScan {
 public:
  ChunkedSearch(SearchNeedle needle, uint64_t size, uint64_t from, SearchDirection direction, ByteReader reader,
                uint64_t chunkSize = kSearchChunkSize, DataExtents extents = {});

  // Scans the next chunk (or skips a hole); yields whether the search has
  // ended (found, or every start looked at).
  bool Step() override;
  // Steps until the search ends; yields the match.
  std::optional<uint64_t> RunToEnd();

  bool Finished() const override { return finished_; }
  const std::optional<uint64_t>& Match() const override { return match_; }
  // The scan went past the end (forward) or the start (backward) of the
  // file and went on from the other end.
  bool Wrapped() const override { return wrapped_; }
  // Where the scan goes on: the next start looked at forward, one past it
  // backward.
  uint64_t Position() const override { return cursor_; }
  // Starts looked at so far, of Total().
  uint64_t Scanned() const { return scanned_; }
  uint64_t Total() const { return total_; }
  // Scanned() as a whole percentage of Total() (100 for an empty search).
  int Percent() const override;
  // Bytes of the scan's read buffer.
  size_t BufferSize() const { return buffer_.size(); }
  // The two pattern bytes the scan looks for before it compares the rest.
  const SearchKeys& Keys() const { return matcher_.Keys(); }

 private:
  // Starts [low, high) of one pass over the file.
  struct Pass {
    uint64_t low = 0;
    uint64_t high = 0;
  };
  // Moves to the next non-empty pass; false when none is left.
  bool NextPass();
  void Finish(std::optional<uint64_t> match);
  bool StepForward(const Pass& pass);
  bool StepBackward(const Pass& pass);

  PatternMatcher matcher_;
  ByteReader reader_;
  DataExtents extents_;
  uint64_t size_ = 0;
  uint64_t chunkSize_ = kSearchChunkSize;
  SearchDirection direction_ = SearchDirection::Forward;
  Pass passes_[2];
  int pass_ = -1;
  uint64_t cursor_ = 0;
  uint64_t scanned_ = 0;
  uint64_t total_ = 0;
  bool finished_ = false;
  bool wrapped_ = false;
  std::optional<uint64_t> match_;
  std::vector<uint8_t> buffer_;
};

// A count of every match (overlapping ones too) starting in [0, end) of a
// file of `size` bytes, a chunk per Step(). Over a hole as long as the
// pattern, a pattern of zeros is counted by arithmetic, any other skipped.
//
// WatchFor(start) asks for the number of matches before `start` as well:
// while the count has not passed it, a chunk ends there and CountBefore()
// gives it once reached.
class MatchCount {
 public:
  MatchCount(SearchNeedle needle, uint64_t size, uint64_t end, ByteReader reader,
             uint64_t chunkSize = kSearchChunkSize, DataExtents extents = {});

  bool Step();
  uint64_t RunToEnd();
  bool Finished() const { return position_ >= end_; }
  // Matches starting before Position().
  uint64_t Count() const { return count_; }
  uint64_t Position() const { return position_; }
  int Percent() const;

  // Whether the count can still tell the matches before `start` (it has
  // not passed it); if so it will.
  bool WatchFor(uint64_t start);
  const std::optional<uint64_t>& CountBefore() const { return countBefore_; }

 private:
  void NoteWatched();

  PatternMatcher matcher_;
  ByteReader reader_;
  DataExtents extents_;
  uint64_t size_ = 0;
  uint64_t chunkSize_ = kSearchChunkSize;
  uint64_t end_ = 0;
  uint64_t position_ = 0;
  uint64_t count_ = 0;
  std::optional<uint64_t> watch_;
  std::optional<uint64_t> countBefore_;
  std::vector<uint8_t> buffer_;
};

// Whole percentage of `done` in `total` (100 when total is 0).
int PercentOf(uint64_t done, uint64_t total);

}  // namespace kelm::viewer
