#include "viewer/different_byte.h"

#include <algorithm>

namespace kelm::viewer {

DifferentByteScan::DifferentByteScan(uint8_t value, uint64_t size, uint64_t from, SearchDirection direction,
                                     ByteReader reader, uint64_t chunkSize, DataExtents extents)
    : value_(value),
      size_(size),
      from_(std::min(from, size)),
      direction_(direction),
      reader_(std::move(reader)),
      chunkSize_(std::clamp<uint64_t>(chunkSize, 1, uint64_t{1} << 30)),
      extents_(std::move(extents)) {
  if (direction_ == SearchDirection::Forward) {
    cursor_ = from < size ? from + 1 : size;
    if (cursor_ >= size_) Finish(std::nullopt);
  } else {
    cursor_ = from_;
    if (cursor_ == 0) Finish(std::nullopt);
  }
  if (!reader_) Finish(std::nullopt);
}

void DifferentByteScan::Finish(std::optional<uint64_t> match) {
  finished_ = true;
  match_ = match;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

bool DifferentByteScan::Step() {
  if (finished_) return true;
  if (direction_ == SearchDirection::Forward) {
    StepForward();
  } else {
    StepBackward();
  }
  return finished_;
}

void DifferentByteScan::StepForward() {
  const uint64_t p = cursor_;
  const uint64_t data = extents_.NextData(p);
  if (data > p) {
    // A hole: its first byte is a zero.
    if (value_ != 0) return Finish(p);
    cursor_ = data;
    if (cursor_ >= size_) Finish(std::nullopt);
    return;
  }
  uint64_t to = size_ - p > chunkSize_ ? p + chunkSize_ : size_;
  const uint64_t hole = extents_.NextHole(p, size_);
  if (hole > p && hole < to) to = hole;
  buffer_.resize(static_cast<size_t>(to - p));
  const uint64_t got = reader_(p, buffer_.data(), to - p);
  const auto end = buffer_.begin() + static_cast<std::ptrdiff_t>(got);
  const auto at = std::find_if(buffer_.begin(), end, [this](uint8_t byte) { return byte != value_; });
  if (at != end) return Finish(p + static_cast<uint64_t>(at - buffer_.begin()));
  // A short read ends the file as it is now.
  if (got < to - p) return Finish(std::nullopt);
  cursor_ = to;
  if (cursor_ >= size_) Finish(std::nullopt);
}

void DifferentByteScan::StepBackward() {
  const uint64_t last = cursor_ - 1;
  const std::optional<uint64_t> data = LastDataBefore(extents_, cursor_);
  if (!data || *data < last) {
    // The byte before the cursor lies in a hole.
    if (value_ != 0) return Finish(last);
    cursor_ = data ? *data + 1 : 0;
    if (cursor_ == 0) Finish(std::nullopt);
    return;
  }
  const uint64_t base = cursor_ > chunkSize_ ? cursor_ - chunkSize_ : 0;
  buffer_.resize(static_cast<size_t>(cursor_ - base));
  const uint64_t got = reader_(base, buffer_.data(), cursor_ - base);
  if (got < cursor_ - base) return Finish(std::nullopt);  // the file shrank
  for (uint64_t i = got; i > 0; --i) {
    if (buffer_[static_cast<size_t>(i - 1)] != value_) return Finish(base + i - 1);
  }
  cursor_ = base;
  if (cursor_ == 0) Finish(std::nullopt);
}

int DifferentByteScan::Percent() const {
  if (direction_ == SearchDirection::Forward) return PercentOf(cursor_ - std::min(cursor_, from_), size_ - from_);
  return PercentOf(from_ - cursor_, from_);
}

}  // namespace kelm::viewer
