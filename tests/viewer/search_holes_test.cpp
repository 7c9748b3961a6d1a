// The scans over sparse files: holes skipped without a read, patterns that
// straddle a data/hole edge, patterns of zeros, both directions and the
// wrap, and the same answers where the file system cannot tell (checked
// against a plain scan of every byte on random layouts).
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <random>
#include <vector>

#include "tests/viewer/sparse_layout.h"
#include "viewer/search_scan.h"

using namespace kelm::viewer;

namespace {

using sparse_test::SparseLayout;

constexpr uint64_t kTebibyte = uint64_t{1} << 40;
constexpr uint64_t kChunk = 4096;

std::optional<uint64_t> Search(SparseLayout& file, const std::vector<uint8_t>& pattern, uint64_t from,
                               SearchDirection direction, bool extents = true, bool* wrapped = nullptr) {
  ChunkedSearch search(pattern, file.Size(), from, direction, file.Reader(), kChunk,
                       extents ? file.Extents() : DataExtents{});
  // A search that read the holes of a tebibyte would take millions of steps.
  for (int steps = 0; steps < 100000 && !search.Step(); ++steps) {
  }
  EXPECT_TRUE(search.Finished());
  if (wrapped != nullptr) *wrapped = search.Wrapped();
  return search.Match();
}

TEST(HoleSkippingSearch, APatternInDataAfterATebibyteHoleIsFoundWithoutReadingTheHole) {
  SparseLayout file(kTebibyte);
  file.Data(kTebibyte - 8192, std::vector<uint8_t>(4096, 0x11)).Data(kTebibyte - 100, {0xCA, 0xFE, 0xBA, 0xBE});
  const std::vector<uint8_t> pattern = {0xCA, 0xFE, 0xBA, 0xBE};
  EXPECT_EQ(Search(file, pattern, 0, SearchDirection::Forward), kTebibyte - 100);
  EXPECT_EQ(Search(file, pattern, kTebibyte, SearchDirection::Backward), kTebibyte - 100);
  // From the end forward: it wraps through the whole hole to the start.
  bool wrapped = false;
  EXPECT_EQ(Search(file, pattern, kTebibyte - 50, SearchDirection::Forward, true, &wrapped), kTebibyte - 100);
  EXPECT_TRUE(wrapped);
  EXPECT_EQ(Search(file, pattern, 5, SearchDirection::Backward, true, &wrapped), kTebibyte - 100);
  EXPECT_TRUE(wrapped);
  // What was read of holes: the pattern-length margins and the gaps inside
  // chunks, never more than a few chunks in all.
  EXPECT_LT(file.holeBytesRead, 8 * kChunk);
  // A pattern that is nowhere: every start looked at, the holes skipped.
  EXPECT_EQ(Search(file, {0xCA, 0xFE, 0x00, 0x01}, 0, SearchDirection::Forward), std::nullopt);
  EXPECT_EQ(Search(file, {0xCA, 0xFE, 0x00, 0x01}, 0, SearchDirection::Backward), std::nullopt);
  EXPECT_LT(file.holeBytesRead, 16 * kChunk);
}

TEST(HoleSkippingSearch, PatternsStraddlingADataHoleEdgeAreFound) {
  SparseLayout file(kTebibyte);
  // Data ends in AB, a hole follows; after the hole the data starts with CD.
  const uint64_t end = uint64_t{1} << 30;
  const uint64_t next = uint64_t{1} << 35;
  file.Data(end - 2, {0x17, 0xAB}).Data(next, {0xCD, 0x17});
  EXPECT_EQ(Search(file, {0xAB, 0x00, 0x00}, 0, SearchDirection::Forward), end - 1);
  EXPECT_EQ(Search(file, {0xAB, 0x00, 0x00}, kTebibyte, SearchDirection::Backward), end - 1);
  EXPECT_EQ(Search(file, {0x00, 0x00, 0xCD}, 0, SearchDirection::Forward), next - 2);
  EXPECT_EQ(Search(file, {0x00, 0x00, 0xCD}, kTebibyte, SearchDirection::Backward), next - 2);
  // Hole bytes on both sides of the data.
  EXPECT_EQ(Search(file, {0x00, 0xCD, 0x17, 0x00}, 0, SearchDirection::Forward), next - 1);
  EXPECT_EQ(Search(file, {0x00, 0xCD, 0x17, 0x00}, kTebibyte, SearchDirection::Backward), next - 1);
}

TEST(HoleSkippingSearch, APatternOfZerosMatchesAtTheFirstPlaceItFits) {
  SparseLayout file(kTebibyte);
  file.Data(0, {0x11, 0x00, 0x22}).Data(100, {0x33, 0x44}).Data(kTebibyte - 3, {0x55, 0x00, 0x66});
  // Forward from 0: the first fit is after 22, in the hole [3, 100).
  EXPECT_EQ(Search(file, {0x00, 0x00, 0x00}, 0, SearchDirection::Forward), 3u);
  // A single zero stands in the data itself.
  EXPECT_EQ(Search(file, {0x00}, 0, SearchDirection::Forward), 1u);
  // Straddling: the zero at offset 1 of the data does not start three.
  EXPECT_EQ(Search(file, {0x00, 0x00, 0x00}, 2, SearchDirection::Forward), 3u);
  // From inside the hole, the start asked for itself.
  EXPECT_EQ(Search(file, {0x00, 0x00, 0x00}, 50, SearchDirection::Forward), 50u);
  // A hole too short for the pattern is passed: 97 zeros, the pattern 98.
  EXPECT_EQ(Search(file, std::vector<uint8_t>(98, 0), 0, SearchDirection::Forward), 102u);
  // Backward from the end: the last fit ends before 55.
  EXPECT_EQ(Search(file, {0x00, 0x00, 0x00}, kTebibyte, SearchDirection::Backward), kTebibyte - 6);
  // The last zero of the file stands inside the last data.
  EXPECT_EQ(Search(file, {0x00}, kTebibyte, SearchDirection::Backward), kTebibyte - 2);
  EXPECT_LT(file.holeBytesRead, 8 * kChunk);
}

TEST(HoleSkippingSearch, AFileOfOnlyHoleAndNoDataAtAll) {
  SparseLayout file(kTebibyte);
  EXPECT_EQ(Search(file, {0x00, 0x00}, 12345, SearchDirection::Forward), 12345u);
  EXPECT_EQ(Search(file, {0x00, 0x00}, 12345, SearchDirection::Backward), 12344u);
  EXPECT_EQ(Search(file, {0x00, 0x00}, kTebibyte, SearchDirection::Forward, true), 0u);
  EXPECT_EQ(Search(file, {0x00, 0x01}, 0, SearchDirection::Forward), std::nullopt);
  EXPECT_EQ(file.bytesRead, 0u);
}

// --- random layouts: with extents, without, and a plain scan agree --------------------------

struct PlainAnswer {
  std::optional<uint64_t> match;
  bool wrapped = false;
};

PlainAnswer PlainSearch(const std::vector<uint8_t>& data, const std::vector<uint8_t>& pattern, uint64_t from,
                        SearchDirection direction) {
  std::vector<uint64_t> starts;
  for (uint64_t p = 0; p + pattern.size() <= data.size(); ++p) {
    if (std::equal(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(p))) {
      starts.push_back(p);
    }
  }
  PlainAnswer answer;
  if (starts.empty()) return answer;
  if (direction == SearchDirection::Forward) {
    const auto at = std::lower_bound(starts.begin(), starts.end(), from);
    answer.wrapped = at == starts.end();
    answer.match = answer.wrapped ? starts.front() : *at;
  } else {
    const auto at = std::lower_bound(starts.begin(), starts.end(), from);
    answer.wrapped = at == starts.begin();
    answer.match = answer.wrapped ? starts.back() : *(at - 1);
  }
  return answer;
}

SparseLayout RandomLayout(std::mt19937& random) {
  const uint64_t size = 1 + random() % 3000;
  SparseLayout file(size);
  uint64_t at = random() % 200;
  while (at < size) {
    const uint64_t length = std::min<uint64_t>(1 + random() % 300, size - at);
    std::vector<uint8_t> bytes(length);
    // Few different bytes, zeros among them, so patterns often stand.
    for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random() % 3);
    file.Data(at, std::move(bytes));
    at += length + 1 + random() % 400;
  }
  return file;
}

TEST(HoleSkippingSearch, AgreesWithAPlainScanAndWithTheFallbackOnRandomLayouts) {
  std::mt19937 random(7);
  for (int round = 0; round < 400; ++round) {
    SparseLayout file = RandomLayout(random);
    const std::vector<uint8_t> flat = file.Flat();
    std::vector<uint8_t> pattern(1 + random() % 5);
    for (uint8_t& byte : pattern) byte = static_cast<uint8_t>(random() % 3 == 0 ? 1 : 0);
    const uint64_t from = random() % (file.Size() + 2);
    const uint64_t chunk = 1 + random() % 64;
    for (const SearchDirection direction : {SearchDirection::Forward, SearchDirection::Backward}) {
      const PlainAnswer expected = PlainSearch(flat, pattern, from, direction);
      for (const bool extents : {true, false}) {
        ChunkedSearch search(pattern, file.Size(), from, direction, file.Reader(), chunk,
                             extents ? file.Extents() : DataExtents{});
        EXPECT_EQ(search.RunToEnd(), expected.match) << "round " << round << " extents " << extents;
        if (expected.match) {
          EXPECT_EQ(search.Wrapped(), expected.wrapped) << "round " << round;
        }
      }
    }
    uint64_t plainCount = 0;
    for (uint64_t p = 0; p + pattern.size() <= flat.size(); ++p) {
      plainCount += std::equal(pattern.begin(), pattern.end(), flat.begin() + static_cast<std::ptrdiff_t>(p));
    }
    for (const bool extents : {true, false}) {
      MatchCount count(pattern, file.Size(), UINT64_MAX, file.Reader(), chunk, extents ? file.Extents() : DataExtents{});
      ASSERT_TRUE(count.WatchFor(from));
      EXPECT_EQ(count.RunToEnd(), plainCount) << "round " << round << " extents " << extents;
      uint64_t before = 0;
      for (uint64_t p = 0; p < from && p + pattern.size() <= flat.size(); ++p) {
        before += std::equal(pattern.begin(), pattern.end(), flat.begin() + static_cast<std::ptrdiff_t>(p));
      }
      EXPECT_EQ(count.CountBefore(), before) << "round " << round;
    }
  }
}

// --- the count -------------------------------------------------------------------------------

TEST(MatchCountTest, ZerosInATebibyteHoleAreCountedWithoutAReadAndOthersSkipped) {
  SparseLayout file(kTebibyte);
  file.Data(kTebibyte / 2, {0x00, 0x07, 0x00, 0x00});
  MatchCount zeros(std::vector<uint8_t>{0x00, 0x00}, kTebibyte, UINT64_MAX, file.Reader(), kChunk, file.Extents());
  int steps = 0;
  while (!zeros.Step()) ++steps;
  EXPECT_LT(steps, 10);
  // Every start but the two whose pair holds the 07.
  EXPECT_EQ(zeros.Count(), kTebibyte - 1 - 2);
  MatchCount sevens(std::vector<uint8_t>{0x07}, kTebibyte, UINT64_MAX, file.Reader(), kChunk, file.Extents());
  EXPECT_EQ(sevens.RunToEnd(), 1u);
  EXPECT_LT(file.holeBytesRead, 4 * kChunk);
}

TEST(MatchCountTest, AMillionMatchesCountedAChunkPerStep) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 1000000; ++i) bytes.insert(bytes.end(), {'a', 'b'});
  bytes.push_back('a');
  SparseLayout file(bytes.size());
  file.Data(0, bytes);
  MatchCount count(std::vector<uint8_t>{'a', 'b'}, file.Size(), UINT64_MAX, file.Reader(), 65536, file.Extents());
  // The matches before the 500 000th pair, asked for before the count gets there.
  ASSERT_TRUE(count.WatchFor(999998));
  uint64_t largestStep = 0;
  int steps = 0;
  while (!count.Finished()) {
    const uint64_t before = file.bytesRead;
    count.Step();
    largestStep = std::max(largestStep, file.bytesRead - before);
    ++steps;
  }
  EXPECT_EQ(count.Count(), 1000000u);
  EXPECT_EQ(count.CountBefore(), 499999u);
  EXPECT_LE(largestStep, 65536u + 1);
  EXPECT_GE(steps, 30);
  // Once passed, a start can no longer be watched.
  EXPECT_FALSE(count.WatchFor(12));
}

}  // namespace
