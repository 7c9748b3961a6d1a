// The file map on any bytes: ClassifySample on the input itself, and a map
// over a file made of the input (its first bytes choose the file's size, the
// bar's height and the places of the data extents, which may lie about the
// holes as a broken file system might). Every cell must get a class, no read
// may run outside the file or past a cell's sample, and the map must finish.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "viewer/bar_geometry.h"
#include "viewer/file_map.h"

using namespace kelm::viewer;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

uint64_t Take64(const uint8_t*& data, size_t& size) {
  uint64_t value = 0;
  const size_t n = size < 8 ? size : 8;
  std::memcpy(&value, data, n);
  data += n;
  size -= n;
  return value;
}

// The input's bytes repeated over a file of any size; the extents answer
// from a seed, anywhere in or out of the asked range.
class FuzzSource : public MapSource {
 public:
  FuzzSource(const uint8_t* bytes, size_t count, uint64_t size, uint64_t seed)
      : bytes_(bytes), count_(count), size_(size), seed_(seed) {}

  uint64_t Read(uint64_t offset, uint8_t* buffer, uint64_t count) override {
    Check(count <= kMapSampleBytes);
    if (offset >= size_) return 0;
    if (count > size_ - offset) count = size_ - offset;
    for (uint64_t i = 0; i < count; ++i) buffer[i] = count_ == 0 ? 0 : bytes_[(offset + i) % count_];
    return count;
  }
  uint64_t NextData(uint64_t offset) override { return Answer(offset); }
  uint64_t NextHole(uint64_t offset) override { return Answer(offset); }

 private:
  uint64_t Answer(uint64_t offset) {
    seed_ = seed_ * 6364136223846793005ULL + 1442695040888963407ULL;
    switch (seed_ >> 62) {
      case 0: return offset;
      case 1: return size_;
      case 2: return offset + (seed_ >> 20);
      default: return seed_;
    }
  }

  const uint8_t* bytes_;
  size_t count_;
  uint64_t size_;
  uint64_t seed_;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const MapClass alone = ClassifySample(data, size);
  Check(alone != MapClass::Unknown);

  const uint64_t fileSize = Take64(data, size);
  const auto cells = static_cast<int32_t>(Take64(data, size) % 300);
  const uint64_t seed = Take64(data, size);
  FuzzSource source(data, size, fileSize, seed);
  FileMap map;
  map.Restart(fileSize, cells);
  int steps = 0;
  while (map.Step(source, seed % 20000)) Check(++steps <= cells);
  Check(map.Complete());
  for (int32_t c = 0; c < map.Cells(); ++c) Check(map.At(c) != MapClass::Unknown);

  const ThumbCells thumb = ThumbFor(fileSize, cells, seed, fileSize ^ seed);
  Check(thumb.count >= (cells > 0 ? 1 : 0) && thumb.first >= 0 && thumb.first + thumb.count <= cells);
  return 0;
}
