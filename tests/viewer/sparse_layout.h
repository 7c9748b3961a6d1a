// A sparse file described in memory: its size and its data extents with
// their bytes; everything else is hole (zeros). It answers reads and the
// two extent questions as a file system would, and counts the hole bytes
// that reads asked for, so tests can tell that holes were skipped.
#pragma once

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <map>
#include <vector>

#include "viewer/data_extents.h"
#include "viewer/search_scan.h"

using namespace kelm::viewer;

namespace sparse_test {

class SparseLayout {
 public:
  explicit SparseLayout(uint64_t size) : size_(size) {}

  // Data at `at` (extents must not touch or overlap one another).
  SparseLayout& Data(uint64_t at, std::vector<uint8_t> bytes) {
    extents_[at] = std::move(bytes);
    return *this;
  }

  uint64_t Size() const { return size_; }

  ByteReader Reader() {
    return [this](uint64_t offset, uint8_t* buffer, uint64_t count) -> uint64_t {
      if (offset >= size_) return 0;
      const uint64_t got = std::min(count, size_ - offset);
      std::fill_n(buffer, got, uint8_t{0});
      uint64_t dataBytes = 0;
      for (const auto& [start, bytes] : extents_) {
        const uint64_t end = start + bytes.size();
        if (end <= offset || start >= offset + got) continue;
        const uint64_t from = std::max(start, offset);
        const uint64_t to = std::min(end, offset + got);
        std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(from - start),
                  bytes.begin() + static_cast<std::ptrdiff_t>(to - start), buffer + (from - offset));
        dataBytes += to - from;
      }
      holeBytesRead += got - dataBytes;
      bytesRead += got;
      return got;
    };
  }

  DataExtents Extents() const {
    DataExtents extents;
    extents.nextData = [this](uint64_t offset) {
      if (offset >= size_) return size_;
      for (const auto& [start, bytes] : extents_) {
        if (offset < start + bytes.size()) return std::max(offset, start);
      }
      return size_;
    };
    extents.nextHole = [this](uint64_t offset) {
      if (offset >= size_) return size_;
      for (const auto& [start, bytes] : extents_) {
        if (offset < start) return offset;
        if (offset < start + bytes.size()) return std::min(size_, start + bytes.size());
      }
      return offset;
    };
    return extents;
  }

  // Every byte of the file (for small layouts only).
  std::vector<uint8_t> Flat() const {
    std::vector<uint8_t> flat(static_cast<size_t>(size_), 0);
    for (const auto& [start, bytes] : extents_) {
      std::copy(bytes.begin(), bytes.end(), flat.begin() + static_cast<std::ptrdiff_t>(start));
    }
    return flat;
  }

  uint64_t holeBytesRead = 0;
  uint64_t bytesRead = 0;

 private:
  uint64_t size_;
  std::map<uint64_t, std::vector<uint8_t>> extents_;
};

}  // namespace sparse_test
