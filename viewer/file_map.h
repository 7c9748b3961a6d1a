// The file map behind the scrollbar: each cell of the bar classed by what
// its share of the file holds (hole or zeros, text, high entropy, other),
// from a few small samples read at spread points of the share.
//
// The map is filled a slice at a time (FileMap::Step with a read budget), so
// a caller on the frame thread keeps every frame short; holes are found from
// the file's data extents and never read. Memory is one class per cell and
// one sample buffer, whatever the file's size.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace kelm::viewer {

enum class MapClass : uint8_t {
  Unknown,  // not sampled yet
  Zeros,    // a hole, or bytes that are all zero
  Text,     // printable ASCII, line breaks, tabs and well-formed UTF-8
  Random,   // high entropy: compressed or encrypted data
  Other,
};

// Where the map reads: the file's bytes and its data extents (see
// ReadOnlyFile::NextData / NextHole for the contract).
class MapSource {
 public:
  virtual ~MapSource() = default;
  // Reads up to `count` bytes at `offset`; yields how many it read.
  virtual uint64_t Read(uint64_t offset, uint8_t* buffer, uint64_t count) = 0;
  virtual uint64_t NextData(uint64_t offset) = 0;
  virtual uint64_t NextHole(uint64_t offset) = 0;
};

// Bytes read for one cell at most, spread over kMapSamplePoints points of its
// share (a share no longer than this is read whole).
inline constexpr uint64_t kMapSampleBytes = 4096;
inline constexpr int kMapSamplePoints = 4;
// The most cells a map keeps (a terminal reporting a larger size gets no
// larger allocation).
inline constexpr int32_t kMaxMapCells = 4096;

// What a sample holds. Zeros when empty or all zero; Text when at least 95%
// of the non-zero bytes are text and at most 60% are zero (so UTF-16 text is
// text too); Random when, from 256 bytes on, both the bytes and the
// differences of neighbours spread as evenly as random bytes do (a
// bias-corrected entropy of 7.5 bits or more: counting sequences stay
// Other); Other otherwise.
MapClass ClassifySample(const uint8_t* bytes, size_t count);

class FileMap {
 public:
  // Forgets every class: `cells` cells (at most kMaxMapCells; less than 1
  // means none) over a file of `size` bytes, none sampled.
  void Restart(uint64_t size, int32_t cells);

  // Samples cells until `readBudget` bytes were read (a cell whose share is
  // a hole counts as kMapSampleBytes / 8 bytes, for the extent queries), at
  // least one cell. Cells are taken coarse to fine (every other cell, then
  // the ones between, in bit-reversed order), so a map still filling shows
  // the whole file at a lower resolution. Yields whether cells remain.
  bool Step(MapSource& source, uint64_t readBudget);

  bool Complete() const { return sampled_ >= static_cast<int32_t>(classes_.size()); }
  int32_t Cells() const { return static_cast<int32_t>(classes_.size()); }
  uint64_t Size() const { return size_; }
  // The class of a cell (Unknown outside the map).
  MapClass At(int32_t cell) const;

 private:
  // Samples one cell; adds the bytes it read to `read`.
  MapClass SampleCell(MapSource& source, int32_t cell, uint64_t& read);
  // The next cell of the visiting order, or -1 when every cell was visited.
  int32_t NextCell();

  uint64_t size_ = 0;
  std::vector<MapClass> classes_;
  std::vector<uint8_t> sample_;
  uint32_t order_ = 0;       // position in the bit-reversed visiting order
  uint32_t orderBits_ = 0;   // log2 of the order's length (a power of two)
  int32_t sampled_ = 0;
};

}  // namespace kelm::viewer
