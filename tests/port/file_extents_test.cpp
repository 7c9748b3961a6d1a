// Where a sparse file's data lies: the extents the file system reports, and
// the answer "all data" where it reports none.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "engine/port/read_only_file.h"

namespace {

namespace fs = std::filesystem;
using kelm::port::ReadOnlyFile;

constexpr uint64_t kMiB = 1 << 20;

class FileExtents : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelmhex-extents-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  // A file of `size` bytes with "data" written at each of `at` (the rest
  // never written).
  std::string Sparse(uint64_t size, std::initializer_list<uint64_t> at) {
    const std::string path = (root / "sparse").string();
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    EXPECT_GE(fd, 0);
    for (uint64_t offset : at) EXPECT_EQ(pwrite(fd, "data", 4, static_cast<off_t>(offset)), 4);
    EXPECT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    close(fd);
    return path;
  }
  fs::path root;
};

TEST_F(FileExtents, DataAndHolesOfASparseFile) {
  const uint64_t size = 1024 * kMiB * 1024;  // 1 TiB
  ReadOnlyFile file;
  ASSERT_EQ(file.Open(Sparse(size, {4 * kMiB, size - 4 * kMiB})), 0);
  if (file.NextData(0) == 0 && file.NextHole(0) == size) GTEST_SKIP() << "this file system reports no holes";
  // File systems report extents in blocks: the data lies in a block around
  // each write, and the holes are everything else.
  const uint64_t first = file.NextData(0);
  EXPECT_LE(first, 4 * kMiB);
  EXPECT_GT(first, 0u);
  const uint64_t firstEnd = file.NextHole(first);
  EXPECT_GE(firstEnd, 4 * kMiB + 4);
  EXPECT_LT(firstEnd, 5 * kMiB);
  const uint64_t second = file.NextData(firstEnd);
  EXPECT_LE(second, size - 4 * kMiB);
  EXPECT_GT(second, size - 5 * kMiB);
  // After the last data only a hole follows, up to the end.
  const uint64_t secondEnd = file.NextHole(second);
  EXPECT_GE(secondEnd, size - 4 * kMiB + 4);
  EXPECT_EQ(file.NextData(secondEnd), size);
  EXPECT_EQ(file.NextData(size - 1), size);
  EXPECT_EQ(file.NextHole(secondEnd), secondEnd) << "inside a hole, the hole starts where asked";
}

TEST_F(FileExtents, OffsetsAtOrPastTheEndAndClosedFiles) {
  ReadOnlyFile file;
  EXPECT_EQ(file.NextData(5), 0u);
  EXPECT_EQ(file.NextHole(5), 0u);
  ASSERT_EQ(file.Open(Sparse(100, {10})), 0);
  EXPECT_EQ(file.NextData(100), 100u);
  EXPECT_EQ(file.NextHole(100), 100u);
  EXPECT_EQ(file.NextData(UINT64_MAX), 100u);
  EXPECT_EQ(file.NextHole(UINT64_MAX), 100u);
  // A small file lies in one block: all data.
  EXPECT_EQ(file.NextData(0), 0u);
  EXPECT_EQ(file.NextHole(0), 100u);
}

}  // namespace
