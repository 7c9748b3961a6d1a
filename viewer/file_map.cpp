#include "viewer/file_map.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "engine/port/utf.h"
#include "viewer/bar_geometry.h"

namespace kelm::viewer {

namespace {

constexpr size_t kEntropyMinimum = 256;
constexpr double kHighEntropyBits = 7.5;
constexpr uint64_t kHoleCellCost = kMapSampleBytes / 8;

bool IsTextByte(uint8_t byte) { return (byte >= 0x20 && byte <= 0x7E) || byte == '\t' || byte == '\n' || byte == '\r'; }

// Shannon entropy in bits per byte of a histogram of `count` values, with
// the Miller-Madow correction (a short sample of random bytes misses values
// and looks less random than it is).
double CorrectedEntropy(const std::array<uint32_t, 256>& histogram, size_t count) {
  double bits = 0;
  int seen = 0;
  const auto total = static_cast<double>(count);
  for (const uint32_t n : histogram) {
    if (n == 0) continue;
    ++seen;
    const double p = n / total;
    bits -= p * std::log2(p);
  }
  return bits + (seen - 1) / (2.0 * total * std::log(2.0));
}

}  // namespace

MapClass ClassifySample(const uint8_t* bytes, size_t count) {
  if (bytes == nullptr || count == 0) return MapClass::Zeros;
  size_t zeros = 0;
  size_t text = 0;
  for (size_t i = 0; i < count;) {
    const uint8_t byte = bytes[i];
    if (byte == 0) {
      ++zeros;
      ++i;
    } else if (IsTextByte(byte)) {
      ++text;
      ++i;
    } else if (byte >= 0x80) {
      const kelm::port::Utf8Step step = kelm::port::DecodeUtf8Step(bytes + i, count - i);
      if (step.kind == kelm::port::Utf8Step::Kind::Character) {
        text += step.length;
        i += step.length;
      } else {
        // Invalid, or cut by the sample's end: counts as one byte of no text.
        ++i;
      }
    } else {
      ++i;
    }
  }
  if (zeros == count) return MapClass::Zeros;
  const size_t nonZero = count - zeros;
  if (text * 100 >= nonZero * 95 && zeros * 5 <= count * 3) return MapClass::Text;

  if (count >= kEntropyMinimum) {
    std::array<uint32_t, 256> values{};
    std::array<uint32_t, 256> steps{};
    for (size_t i = 0; i < count; ++i) {
      ++values[bytes[i]];
      if (i > 0) ++steps[static_cast<uint8_t>(bytes[i] - bytes[i - 1])];
    }
    if (CorrectedEntropy(values, count) >= kHighEntropyBits &&
        CorrectedEntropy(steps, count - 1) >= kHighEntropyBits) {
      return MapClass::Random;
    }
  }
  return MapClass::Other;
}

void FileMap::Restart(uint64_t size, int32_t cells) {
  size_ = size;
  const int32_t kept = std::clamp(cells, 0, kMaxMapCells);
  classes_.assign(static_cast<size_t>(kept), MapClass::Unknown);
  sampled_ = 0;
  order_ = 0;
  orderBits_ = 0;
  while ((uint32_t{1} << orderBits_) < static_cast<uint32_t>(kept)) ++orderBits_;
}

MapClass FileMap::At(int32_t cell) const {
  if (cell < 0 || cell >= Cells()) return MapClass::Unknown;
  return classes_[static_cast<size_t>(cell)];
}

int32_t FileMap::NextCell() {
  const uint32_t length = uint32_t{1} << orderBits_;
  while (order_ < length) {
    const uint32_t k = order_++;
    uint32_t reversed = 0;
    for (uint32_t bit = 0; bit < orderBits_; ++bit) reversed |= ((k >> bit) & 1u) << (orderBits_ - 1 - bit);
    if (reversed < static_cast<uint32_t>(Cells())) return static_cast<int32_t>(reversed);
  }
  return -1;
}

bool FileMap::Step(MapSource& source, uint64_t readBudget) {
  uint64_t spent = 0;
  do {
    const int32_t cell = NextCell();
    if (cell < 0) break;
    uint64_t read = 0;
    classes_[static_cast<size_t>(cell)] = SampleCell(source, cell, read);
    ++sampled_;
    spent += std::max(read, kHoleCellCost);
  } while (spent < readBudget);
  return !Complete();
}

MapClass FileMap::SampleCell(MapSource& source, int32_t cell, uint64_t& read) {
  if (size_ == 0) return MapClass::Zeros;
  uint64_t start = BarCellStart(size_, Cells(), cell);
  uint64_t end = BarCellStart(size_, Cells(), cell + 1);
  if (end <= start) {
    // A file of fewer bytes than cells: the byte nearest the cell.
    start = std::min(start, size_ - 1);
    end = start + 1;
  }
  const uint64_t length = end - start;
  const int points = length <= kMapSampleBytes ? 1 : kMapSamplePoints;
  const uint64_t quota = length <= kMapSampleBytes ? length : kMapSampleBytes / kMapSamplePoints;
  sample_.resize(kMapSampleBytes);
  uint64_t filled = 0;
  for (int j = 0; j < points; ++j) {
    // Point j looks for data in its own stretch [from, to) of the share.
    const uint64_t from = start + length / static_cast<uint64_t>(points) * static_cast<uint64_t>(j);
    const uint64_t to = j + 1 == points ? end : start + length / static_cast<uint64_t>(points) * static_cast<uint64_t>(j + 1);
    const uint64_t data = source.NextData(from);
    if (data < from || data >= to) continue;
    uint64_t take = std::min(quota, to - data);
    const uint64_t hole = source.NextHole(data);
    if (hole > data) take = std::min(take, hole - data);
    take = std::min(take, kMapSampleBytes - filled);
    if (take == 0) continue;
    const uint64_t got = source.Read(data, sample_.data() + filled, take);
    filled += std::min(got, take);
  }
  read += filled;
  return ClassifySample(sample_.data(), static_cast<size_t>(filled));
}

}  // namespace kelm::viewer
