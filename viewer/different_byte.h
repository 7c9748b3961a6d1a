// The nearest byte after (or before) an offset whose value differs from a
// given one: the end of a run of equal bytes. A chunk per step; a hole
// counts as a run of zeros, passed by the extents without a read.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "viewer/search_scan.h"

namespace kelm::viewer {

class DifferentByteScan : public FileScan {
 public:
  // Forward: the first offset after `from` whose byte is not `value`;
  // backward: the last one before `from`. No wrap.
  DifferentByteScan(uint8_t value, uint64_t size, uint64_t from, SearchDirection direction, ByteReader reader,
                    uint64_t chunkSize = kSearchChunkSize, DataExtents extents = {});

  bool Step() override;
  bool Finished() const override { return finished_; }
  const std::optional<uint64_t>& Match() const override { return match_; }
  bool Wrapped() const override { return false; }
  uint64_t Position() const override { return cursor_; }
  int Percent() const override;

 private:
  void Finish(std::optional<uint64_t> match);
  void StepForward();
  void StepBackward();

  uint8_t value_;
  uint64_t size_;
  uint64_t from_;
  SearchDirection direction_;
  ByteReader reader_;
  uint64_t chunkSize_;
  DataExtents extents_;
  uint64_t cursor_ = 0;  // forward: next offset looked at; backward: one past it
  bool finished_ = false;
  std::optional<uint64_t> match_;
  std::vector<uint8_t> buffer_;
};

}  // namespace kelm::viewer
