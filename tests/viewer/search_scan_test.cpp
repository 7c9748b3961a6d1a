// The chunked scan of a search, checked against a plain scan of the same
// bytes, and a sparse 1 TiB file searched near its end.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "viewer/search.h"

using namespace kelm::viewer;

namespace {

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// --- the chunked scan against a plain one -----------------------------------------------

// Reads from memory, recording every read so tests can check what the scan
// asked for.
struct MemoryFile {
  explicit MemoryFile(std::vector<uint8_t> content) : bytes(std::move(content)) {}

  ByteReader Reader() {
    return [this](uint64_t offset, uint8_t* buffer, uint64_t count) -> uint64_t {
      ++reads;
      largestRead = std::max(largestRead, count);
      if (offset >= bytes.size()) return 0;
      const uint64_t got = std::min<uint64_t>(count, bytes.size() - offset);
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), got, buffer);
      return got;
    };
  }

  std::vector<uint8_t> bytes;
  int reads = 0;
  uint64_t largestRead = 0;
};

struct Expected {
  std::optional<uint64_t> match;
  bool wrapped = false;
};

// What a search must find, by looking at every start.
Expected PlainSearch(const std::vector<uint8_t>& data, const std::vector<uint8_t>& pattern, uint64_t from,
                     SearchDirection direction) {
  std::vector<uint64_t> starts;
  if (data.size() >= pattern.size()) {
    for (uint64_t p = 0; p + pattern.size() <= data.size(); ++p) {
      if (std::equal(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(p))) {
        starts.push_back(p);
      }
    }
  }
  Expected result;
  if (direction == SearchDirection::Forward) {
    for (uint64_t p : starts) {
      if (p >= from) return Expected{p, false};
    }
    if (!starts.empty() && starts.front() < from) return Expected{starts.front(), true};
  } else {
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
      if (*it < from) return Expected{*it, false};
    }
    if (!starts.empty() && starts.back() >= from) return Expected{starts.back(), true};
  }
  return result;
}

std::optional<uint64_t> Search(MemoryFile& file, const std::vector<uint8_t>& pattern, uint64_t from,
                               SearchDirection direction, uint64_t chunk) {
  ChunkedSearch search(pattern, file.bytes.size(), from, direction, file.Reader(), chunk);
  return search.RunToEnd();
}

TEST(ChunkedSearchTest, MatchesAtTheFirstAndTheLastByte) {
  MemoryFile file(Bytes("xyzzy plugh xyzzy"));
  EXPECT_EQ(Search(file, Bytes("xyz"), 0, SearchDirection::Forward, 4), 0u);
  EXPECT_EQ(Search(file, Bytes("zzy"), 5, SearchDirection::Forward, 4), 14u);
  EXPECT_EQ(Search(file, Bytes("y"), 16, SearchDirection::Forward, 4), 16u);
  // Backward from the end: the last start; from 1: the one at 0.
  EXPECT_EQ(Search(file, Bytes("xyzzy"), 17, SearchDirection::Backward, 4), 12u);
  EXPECT_EQ(Search(file, Bytes("xyzzy"), 1, SearchDirection::Backward, 4), 0u);
}

TEST(ChunkedSearchTest, AMatchStraddlingAChunkBoundaryIsFoundForEveryChunkSize) {
  const std::vector<uint8_t> pattern = {0xDE, 0xAD, 0xBE, 0xEF, 0x01};
  for (uint64_t at = 0; at <= 40; ++at) {
    std::vector<uint8_t> data(45, 0x55);
    std::copy(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
    for (uint64_t chunk = 1; chunk <= 9; ++chunk) {
      MemoryFile file(data);
      EXPECT_EQ(Search(file, pattern, 0, SearchDirection::Forward, chunk), at) << "chunk " << chunk;
      EXPECT_EQ(Search(file, pattern, 45, SearchDirection::Backward, chunk), at) << "chunk " << chunk;
    }
  }
}

TEST(ChunkedSearchTest, OverlappingCandidatesAreNotSkipped) {
  MemoryFile file(Bytes("aaaab"));
  for (uint64_t chunk = 1; chunk <= 6; ++chunk) {
    EXPECT_EQ(Search(file, Bytes("aaab"), 0, SearchDirection::Forward, chunk), 1u);
    EXPECT_EQ(Search(file, Bytes("aaab"), 5, SearchDirection::Backward, chunk), 1u);
  }
  // Matches that overlap each other are each found.
  MemoryFile run(Bytes("aaaaa"));
  EXPECT_EQ(Search(run, Bytes("aa"), 1, SearchDirection::Forward, 2), 1u);
  EXPECT_EQ(Search(run, Bytes("aa"), 4, SearchDirection::Backward, 2), 3u);
  EXPECT_EQ(Search(run, Bytes("aa"), 3, SearchDirection::Backward, 2), 2u);
}

TEST(ChunkedSearchTest, NoMatchLooksAtEveryStartExactlyOnce) {
  MemoryFile file(std::vector<uint8_t>(1000, 0x41));
  ChunkedSearch search(Bytes("AAB"), 1000, 400, SearchDirection::Forward, file.Reader(), 64);
  EXPECT_FALSE(search.RunToEnd().has_value());
  EXPECT_TRUE(search.Finished());
  EXPECT_EQ(search.Total(), 998u);
  EXPECT_EQ(search.Scanned(), 998u);
  EXPECT_EQ(search.Percent(), 100);
  EXPECT_TRUE(search.Wrapped());
}

TEST(ChunkedSearchTest, WrapsOnceForwardToTheStartAndBackwardToTheEnd) {
  MemoryFile file(Bytes("..ab....ab.."));  // starts 2 and 8
  ChunkedSearch forward(Bytes("ab"), 12, 9, SearchDirection::Forward, file.Reader(), 3);
  EXPECT_EQ(forward.RunToEnd(), 2u);
  EXPECT_TRUE(forward.Wrapped());

  ChunkedSearch notWrapped(Bytes("ab"), 12, 8, SearchDirection::Forward, file.Reader(), 3);
  EXPECT_EQ(notWrapped.RunToEnd(), 8u);
  EXPECT_FALSE(notWrapped.Wrapped());

  ChunkedSearch backward(Bytes("ab"), 12, 2, SearchDirection::Backward, file.Reader(), 3);
  EXPECT_EQ(backward.RunToEnd(), 8u);
  EXPECT_TRUE(backward.Wrapped());

  // The only match is where the search starts: found again after the wrap.
  MemoryFile single(Bytes("....ab...."));
  ChunkedSearch again(Bytes("ab"), 10, 5, SearchDirection::Forward, single.Reader(), 4);
  EXPECT_EQ(again.RunToEnd(), 4u);
  EXPECT_TRUE(again.Wrapped());
}

TEST(ChunkedSearchTest, AgreesWithAPlainScanOnRandomFiles) {
  std::mt19937_64 random(12345);
  for (int round = 0; round < 6000; ++round) {
    std::vector<uint8_t> data(random() % 200);
    for (uint8_t& byte : data) byte = static_cast<uint8_t>("ab\0"[random() % 3]);
    std::vector<uint8_t> pattern(1 + random() % 5);
    for (uint8_t& byte : pattern) byte = static_cast<uint8_t>("ab\0"[random() % 3]);
    const uint64_t from = random() % (data.size() + 3);
    // Small chunks, and chunks of 16 starts and more (tested 16 at a time).
    const uint64_t chunk = round % 2 == 0 ? 1 + random() % 12 : 16 + random() % 64;
    const auto direction = random() % 2 == 0 ? SearchDirection::Forward : SearchDirection::Backward;

    MemoryFile file(data);
    ChunkedSearch search(pattern, data.size(), from, direction, file.Reader(), chunk);
    const std::optional<uint64_t> found = search.RunToEnd();
    const Expected expected = PlainSearch(data, pattern, from, direction);
    ASSERT_EQ(found, expected.match) << "round " << round << " from " << from << " chunk " << chunk;
    if (found) {
      ASSERT_EQ(search.Wrapped(), expected.wrapped) << "round " << round;
    }
    // The scan never asks for more than a chunk and the overlap.
    ASSERT_LE(file.largestRead, chunk + pattern.size() - 1) << "round " << round;
  }
}

TEST(ChunkedSearchTest, EmptyFilesPatternsLongerThanTheFileAndStartsPastTheEnd) {
  MemoryFile empty(std::vector<uint8_t>{});
  EXPECT_FALSE(Search(empty, Bytes("a"), 0, SearchDirection::Forward, 4).has_value());
  EXPECT_EQ(empty.reads, 0);
  MemoryFile tiny(Bytes("ab"));
  EXPECT_FALSE(Search(tiny, Bytes("abc"), 0, SearchDirection::Forward, 4).has_value());
  EXPECT_FALSE(Search(tiny, std::vector<uint8_t>{}, 0, SearchDirection::Forward, 4).has_value());
  // A start past the end: forward wraps at once, backward looks at all.
  EXPECT_EQ(Search(tiny, Bytes("ab"), ~uint64_t{0}, SearchDirection::Forward, 4), 0u);
  EXPECT_EQ(Search(tiny, Bytes("ab"), ~uint64_t{0}, SearchDirection::Backward, 4), 0u);
}

TEST(ChunkedSearchTest, AFileThatShrankGivesShortReadsAndNoFalseMatch) {
  // The scan was told 100 bytes but only 50 remain; the pattern's first
  // bytes stand at the very end of what remains.
  std::vector<uint8_t> data(50, 0);
  data[48] = 'a';
  data[49] = 'b';
  MemoryFile file(data);
  ChunkedSearch search(Bytes("abc"), 100, 0, SearchDirection::Forward, file.Reader(), 16);
  EXPECT_FALSE(search.RunToEnd().has_value());
  ChunkedSearch found(Bytes("ab"), 100, 0, SearchDirection::Forward, file.Reader(), 16);
  EXPECT_EQ(found.RunToEnd(), 48u);
}

TEST(ChunkedSearchTest, StepsAChunkAtATimeWithProgress) {
  MemoryFile file(std::vector<uint8_t>(1000, 0));
  file.bytes[900] = 0x7A;
  ChunkedSearch search(std::vector<uint8_t>{0x7A}, 1000, 0, SearchDirection::Forward, file.Reader(), 100);
  EXPECT_EQ(search.Percent(), 0);
  EXPECT_EQ(search.Position(), 0u);
  EXPECT_FALSE(search.Step());
  EXPECT_EQ(search.Position(), 100u);
  EXPECT_EQ(search.Percent(), 10);
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(search.Step());
  EXPECT_EQ(search.Position(), 900u);
  EXPECT_EQ(search.Percent(), 90);
  EXPECT_TRUE(search.Step());
  EXPECT_EQ(search.Match(), 900u);
  EXPECT_EQ(file.reads, 10);
  // The buffer is released once the search is over.
  EXPECT_EQ(search.BufferSize(), 0u);

  // Backward the position falls from the end.
  ChunkedSearch back(std::vector<uint8_t>{0x7B}, 1000, 1000, SearchDirection::Backward, file.Reader(), 250);
  EXPECT_FALSE(back.Step());
  EXPECT_EQ(back.Position(), 750u);
  EXPECT_EQ(back.Percent(), 25);
}

// The two key positions as a pair, for comparisons.
std::pair<size_t, size_t> Keys(const std::vector<uint8_t>& pattern) {
  const SearchKeys keys = KeyPositions(pattern);
  return {keys.first, keys.second};
}

TEST(ChunkedSearchTest, LooksFirstForTheRarestBytes) {
  using Pair = std::pair<size_t, size_t>;
  // A byte above 0x7F before zeros; among the zeros the farthest one.
  EXPECT_EQ(Keys({0x00, 0x00, 0x00, 0x9C}), Pair(3, 0));
  // An upper-case letter, then 0xFF before zero.
  EXPECT_EQ(Keys({0xFF, 0x00, 0x4D, 0xFF}), Pair(2, 0));
  EXPECT_EQ(Keys(Bytes("the Zebra")), Pair(4, 6));
  // All equal: two different positions all the same.
  EXPECT_EQ(Keys({0x00, 0x00}), Pair(0, 1));
  EXPECT_EQ(Keys({0x41}), Pair(0, 0));
}

TEST(ChunkedSearchTest, FindsMatchesWhateverBytesAreCommonInTheFile) {
  // Files made of the key bytes themselves: every start passes the key test
  // and only the full comparison tells.
  for (const std::string& text : {std::string(100, 'a'), std::string(100, '\0')}) {
    std::vector<uint8_t> data(text.begin(), text.end());
    std::vector<uint8_t> pattern(7, data[0]);
    pattern[3] = 0x9C;
    data[61] = 0x9C;
    MemoryFile file(data);
    EXPECT_EQ(Search(file, pattern, 0, SearchDirection::Forward, 33), 58u);
    EXPECT_EQ(Search(file, pattern, 100, SearchDirection::Backward, 33), 58u);
    pattern[3] = data[0];
    EXPECT_EQ(Search(file, pattern, 5, SearchDirection::Forward, 33), 5u);
    EXPECT_EQ(Search(file, pattern, 100, SearchDirection::Backward, 33), 93u);
  }
}

// --- a sparse 1 TiB file ------------------------------------------------------------------

// Steps the search at most `steps` times; whether it ended.
bool StepAtMost(ChunkedSearch& search, int steps) {
  for (int i = 0; i < steps; ++i) {
    if (search.Step()) return true;
  }
  return search.Finished();
}

class SparseFileSearchTest : public ::testing::Test {
 protected:
  static constexpr uint64_t kSize = uint64_t{1} << 40;

  void SetUp() override {
    path = std::filesystem::temp_directory_path() /
           ("kelmhex-search-sparse-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}()));
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    if (::ftruncate(fd, static_cast<off_t>(kSize)) != 0) {
      ::close(fd);
      GTEST_SKIP() << "this file system cannot hold a sparse 1 TiB file";
    }
    const uint8_t pattern[] = {0xCA, 0xFE, 0xBA, 0xBE};
    ASSERT_EQ(::pwrite(fd, pattern, sizeof pattern, static_cast<off_t>(kPatternAt)), 4);
    ::close(fd);
    fd_ = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }

  ByteReader Reader() {
    return [this](uint64_t offset, uint8_t* buffer, uint64_t count) -> uint64_t {
      largestRead = std::max(largestRead, count);
      const ssize_t got = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
      return got > 0 ? static_cast<uint64_t>(got) : 0;
    };
  }

  static constexpr uint64_t kPatternAt = kSize - 4096 - 2;  // straddles a 4 KiB boundary
  std::filesystem::path path;
  int fd_ = -1;
  uint64_t largestRead = 0;
};

TEST_F(SparseFileSearchTest, OnePatternNearTheEndIsFoundBothWays) {
  const std::vector<uint8_t> pattern = {0xCA, 0xFE, 0xBA, 0xBE};
  constexpr uint64_t kChunk = 4096;
  ChunkedSearch forward(pattern, kSize, kSize - (uint64_t{1} << 20), SearchDirection::Forward, Reader(), kChunk);
  EXPECT_EQ(forward.BufferSize(), kChunk + 3);
  // 256 chunks lie before the pattern; a search that missed it would go on
  // through the whole terabyte, so the steps are counted.
  ASSERT_TRUE(StepAtMost(forward, 300));
  EXPECT_EQ(forward.Match(), kPatternAt);
  EXPECT_FALSE(forward.Wrapped());

  ChunkedSearch backward(pattern, kSize, kSize, SearchDirection::Backward, Reader(), kChunk);
  ASSERT_TRUE(StepAtMost(backward, 2));
  EXPECT_EQ(backward.Match(), kPatternAt);
  EXPECT_LE(largestRead, kChunk + 3);
  // The progress of a search over 2^40 starts does not overflow.
  EXPECT_EQ(backward.Total(), kSize - 3);
  EXPECT_EQ(backward.Percent(), 0);
}

}  // namespace
