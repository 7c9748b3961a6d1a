// The file map's classes: samples of each kind, and a map filled slice by
// slice from a source that counts what it is asked.
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "viewer/bar_geometry.h"
#include "viewer/file_map.h"

using namespace kelm::viewer;

namespace {

std::vector<uint8_t> RandomBytes(size_t count, uint32_t seed) {
  std::mt19937 generator(seed);
  std::vector<uint8_t> bytes(count);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(generator());
  return bytes;
}

std::vector<uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

MapClass Classify(const std::vector<uint8_t>& bytes) { return ClassifySample(bytes.data(), bytes.size()); }

TEST(ClassifySample, EachKindOfContent) {
  EXPECT_EQ(ClassifySample(nullptr, 0), MapClass::Zeros);
  EXPECT_EQ(Classify(std::vector<uint8_t>(4096, 0)), MapClass::Zeros);
  EXPECT_EQ(Classify(Bytes("int main() {\n\treturn 0;\r\n}\n")), MapClass::Text);
  EXPECT_EQ(Classify(Bytes("gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln \xE2\x82\xAC")), MapClass::Text) << "UTF-8";
  EXPECT_EQ(Classify(RandomBytes(4096, 1)), MapClass::Random);
  EXPECT_EQ(Classify(RandomBytes(256, 2)), MapClass::Random) << "the smallest sample judged";
  EXPECT_EQ(Classify(RandomBytes(255, 3)), MapClass::Other) << "too short to tell";
}

TEST(ClassifySample, BordersBetweenTheKinds) {
  // UTF-16 LE text: half zeros, the rest text.
  std::vector<uint8_t> utf16;
  for (const char c : std::string("Hello, wide world. ")) {
    utf16.push_back(static_cast<uint8_t>(c));
    utf16.push_back(0);
  }
  EXPECT_EQ(Classify(utf16), MapClass::Text);
  // Text padded with more zeros than text is not text.
  std::vector<uint8_t> padded = Bytes("short");
  padded.resize(100, 0);
  EXPECT_EQ(Classify(padded), MapClass::Other);
  // One stray control byte in ten is too many for text.
  std::vector<uint8_t> mostly = Bytes("nine text");
  mostly.push_back(0x01);
  EXPECT_EQ(Classify(mostly), MapClass::Other);
  mostly.insert(mostly.end(), 30, 'x');
  EXPECT_EQ(Classify(mostly), MapClass::Text) << "one in forty is not";
  // Every byte value equally often, but in order: not random.
  std::vector<uint8_t> counting(4096);
  for (size_t i = 0; i < counting.size(); ++i) counting[i] = static_cast<uint8_t>(i);
  EXPECT_EQ(Classify(counting), MapClass::Other);
  // Random bytes with a zero in every fourth place (a table of numbers).
  std::vector<uint8_t> table = RandomBytes(4096, 4);
  for (size_t i = 0; i < table.size(); i += 4) table[i] = 0;
  EXPECT_EQ(Classify(table), MapClass::Other);
}

// A file in memory, with holes where the data map says so, counting reads.
class MemorySource : public MapSource {
 public:
  MemorySource(uint64_t size, std::map<uint64_t, std::vector<uint8_t>> data) : size_(size), data_(std::move(data)) {}

  uint64_t Read(uint64_t offset, uint8_t* buffer, uint64_t count) override {
    ++reads;
    bytesRead += count;
    if (offset >= size_) return 0;
    if (count > size_ - offset) count = size_ - offset;
    for (uint64_t i = 0; i < count; ++i) buffer[i] = ByteAt(offset + i);
    return count;
  }
  uint64_t NextData(uint64_t offset) override {
    for (const auto& [start, bytes] : data_) {
      if (offset < start + bytes.size()) return offset > start ? offset : start;
    }
    return size_;
  }
  uint64_t NextHole(uint64_t offset) override {
    for (const auto& [start, bytes] : data_) {
      if (offset >= start && offset < start + bytes.size()) return start + bytes.size();
    }
    return offset < size_ ? offset : size_;
  }

  int reads = 0;
  uint64_t bytesRead = 0;

 private:
  uint8_t ByteAt(uint64_t offset) const {
    for (const auto& [start, bytes] : data_) {
      if (offset >= start && offset < start + bytes.size()) return bytes[offset - start];
    }
    return 0;
  }
  uint64_t size_;
  std::map<uint64_t, std::vector<uint8_t>> data_;
};

std::string Letters(const FileMap& map) {
  std::string letters;
  for (int32_t c = 0; c < map.Cells(); ++c) letters += "?ztro"[static_cast<int>(map.At(c))];
  return letters;
}

TEST(FileMap, MapsATebibyteWithDataAtAFewPlacesReadingOnlyTheData) {
  constexpr uint64_t kTebibyte = uint64_t{1} << 40;
  constexpr int32_t cells = 8;
  const uint64_t share = kTebibyte / cells;
  std::vector<uint8_t> text(8192, 'a');
  MemorySource source(kTebibyte, {{share * 2 + 12345, RandomBytes(100000, 5)},
                                   {share * 5 + share / 2, text},
                                   {kTebibyte - 300, std::vector<uint8_t>(300, 7)}});
  FileMap map;
  map.Restart(kTebibyte, cells);
  int slices = 1;
  while (map.Step(source, 4096)) ++slices;
  EXPECT_TRUE(map.Complete());
  EXPECT_EQ(Letters(map), "zzrzztzo") << "a small island of data colours its cell";
  EXPECT_LE(source.bytesRead, 3 * kMapSampleBytes) << "holes are never read";
  EXPECT_GE(slices, 2) << "a budget of one cell's bytes keeps slices short";
}

TEST(FileMap, RestartForgetsAndCellsFillCoarseToFine) {
  MemorySource source(1 << 20, {{0, RandomBytes(1 << 20, 6)}});
  FileMap map;
  map.Restart(1 << 20, 5);
  EXPECT_EQ(Letters(map), "?????");
  map.Step(source, 1);
  EXPECT_EQ(Letters(map), "r????") << "one cell at least, the first";
  map.Step(source, 1);
  map.Step(source, 1);
  EXPECT_EQ(Letters(map), "r?r?r") << "then the middle of eight cells, then the quarter";
  EXPECT_FALSE(map.Step(source, 1 << 20));
  EXPECT_EQ(Letters(map), "rrrrr");
  EXPECT_EQ(source.bytesRead, 5 * kMapSampleBytes);

  map.Restart(100, 3);
  EXPECT_FALSE(map.Complete());
  EXPECT_EQ(Letters(map), "???");
  map.Restart(100, 1 << 30);
  EXPECT_EQ(map.Cells(), kMaxMapCells) << "a huge height is capped";
  map.Restart(100, -4);
  EXPECT_EQ(map.Cells(), 0);
  EXPECT_TRUE(map.Complete());
  EXPECT_FALSE(map.Step(source, 1));
}

TEST(FileMap, FilesSmallerThanTheBar) {
  MemorySource source(3, {{0, std::vector<uint8_t>{'a', 0x01, 0x00}}});
  FileMap map;
  map.Restart(3, 6);
  while (map.Step(source, 1 << 20)) {
  }
  EXPECT_EQ(Letters(map), "toozzz") << "every cell shows the byte nearest it";
  map.Restart(0, 4);
  while (map.Step(source, 1 << 20)) {
  }
  EXPECT_EQ(Letters(map), "zzzz");
}

}  // namespace
