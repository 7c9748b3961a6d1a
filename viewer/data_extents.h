// Where a file's data lies, as the file system tells it (data extents and
// holes; a hole reads as zeros), and the walks built on the two forward
// questions it answers: the last data byte before an offset, the start of
// the next or the previous data extent.
//
// The questions are functions, so that tests can describe any layout and a
// file system that cannot tell (every byte data) is the empty source.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>

namespace kelm::port {
class ReadOnlyFile;
}

namespace kelm::viewer {

struct DataExtents {
  // The first offset at or after `offset` that holds data, or the size when
  // only a hole follows; the first offset at or after `offset` that starts a
  // hole, or the size. Either may be empty: every byte counts as data.
  std::function<uint64_t(uint64_t)> nextData;
  std::function<uint64_t(uint64_t)> nextHole;

  bool Known() const { return nextData && nextHole; }
  // Both answers, as the empty source gives them for a file of `size`
  // bytes when a function is missing.
  uint64_t NextData(uint64_t offset) const { return Known() ? nextData(offset) : offset; }
  uint64_t NextHole(uint64_t offset, uint64_t size) const { return Known() ? nextHole(offset) : size; }
};

// The extents of an open file (kept by reference: the file must outlive
// the source).
DataExtents ExtentsOf(const kelm::port::ReadOnlyFile& file);

// The extents of the `length` bytes from `start` as offsets into that
// stretch (its end counts as the end of the file); the empty source stays
// empty. `start + length` must not pass the file's size.
DataExtents ExtentsWithin(const DataExtents& extents, uint64_t start, uint64_t length);

// The last offset below `limit` that holds data, or none when [0, limit)
// is all hole. At most about 128 questions whatever the distance.
std::optional<uint64_t> LastDataBefore(const DataExtents& extents, uint64_t limit);
// The last offset below `limit` that lies in a hole, or none.
std::optional<uint64_t> LastHoleBefore(const DataExtents& extents, uint64_t size, uint64_t limit);

// The start of the first data extent that begins after a hole, after
// `offset` (the data after the hole that `offset` lies in or that follows
// the data `offset` lies in); none when no data follows.
std::optional<uint64_t> NextDataStart(const DataExtents& extents, uint64_t size, uint64_t offset);
// The start of the data extent that holds the last data byte before
// `offset` (offset 0 for data at the start of the file); none when only a
// hole lies before `offset`.
std::optional<uint64_t> PreviousDataStart(const DataExtents& extents, uint64_t size, uint64_t offset);

}  // namespace kelm::viewer
