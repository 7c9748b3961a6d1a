// Skipping bytes in a whole-or-nothing write: the skipped stretch reads as
// zeros wherever it lies, one at the end extends the file only at the
// commit, an abandoned write with skips leaves nothing, and a skip past the
// largest file offset is refused without harming the write.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "engine/port/atomic_file_writer.h"

namespace {

namespace fs = std::filesystem;
using kelm::port::AtomicFileWriter;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

int WriteText(AtomicFileWriter& writer, const std::string& text) {
  return writer.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
}

class AtomicWriterSkip : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("kelmhex-skip-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  size_t FileCount() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
  }
  fs::path folder;
};

TEST_F(AtomicWriterSkip, SkippedBytesBetweenWritesReadAsZeros) {
  const fs::path target = folder / "out.bin";
  AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(target.string()), 0);
  ASSERT_EQ(WriteText(writer, "head"), 0);
  ASSERT_EQ(writer.Skip(70000), 0);
  ASSERT_EQ(writer.Skip(0), 0);
  ASSERT_EQ(WriteText(writer, "mid"), 0);
  ASSERT_EQ(writer.Skip(3), 0);
  ASSERT_EQ(WriteText(writer, "tail"), 0);
  ASSERT_EQ(writer.Commit(), 0);
  EXPECT_EQ(ReadAll(target), "head" + std::string(70000, '\0') + "mid" + std::string(3, '\0') + "tail");
}

// Nothing is written after the last skip: the commit itself must make the
// file that long.
TEST_F(AtomicWriterSkip, SkippedBytesAtTheEndAreThereAfterTheCommit) {
  const fs::path target = folder / "out.bin";
  {
    AtomicFileWriter writer;
    ASSERT_EQ(writer.Open(target.string()), 0);
    ASSERT_EQ(WriteText(writer, "ab"), 0);
    ASSERT_EQ(writer.Skip(5000), 0);
    ASSERT_EQ(writer.Commit(), 0);
  }
  EXPECT_EQ(ReadAll(target), "ab" + std::string(5000, '\0'));
  // A file of skips only, replacing the one before.
  AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(target.string()), 0);
  ASSERT_EQ(writer.Skip(10), 0);
  ASSERT_EQ(writer.Skip(6), 0);
  ASSERT_EQ(writer.Commit(), 0);
  EXPECT_EQ(ReadAll(target), std::string(16, '\0'));
  EXPECT_EQ(FileCount(), 1u);
}

// The writer is used again after a commit that ended in a skip: the new
// file must not be extended to the old one's length.
TEST_F(AtomicWriterSkip, ANewWriteForgetsTheSkipsOfTheLastOne) {
  const fs::path first = folder / "first.bin";
  const fs::path second = folder / "second.bin";
  AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(first.string()), 0);
  ASSERT_EQ(writer.Skip(4096), 0);
  ASSERT_EQ(writer.Commit(), 0);
  ASSERT_EQ(writer.Open(second.string()), 0);
  ASSERT_EQ(WriteText(writer, "xy"), 0);
  ASSERT_EQ(writer.Commit(), 0);
  EXPECT_EQ(fs::file_size(first), 4096u);
  EXPECT_EQ(ReadAll(second), "xy");
}

TEST_F(AtomicWriterSkip, AnAbandonedWriteWithSkipsLeavesTheTarget) {
  const fs::path target = folder / "kept.bin";
  std::ofstream(target, std::ios::binary) << "old";
  {
    AtomicFileWriter writer;
    ASSERT_EQ(writer.Open(target.string()), 0);
    ASSERT_EQ(WriteText(writer, "new"), 0);
    ASSERT_EQ(writer.Skip(uint64_t{1} << 30), 0);
  }
  EXPECT_EQ(ReadAll(target), "old");
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(AtomicWriterSkip, ASkipPastTheLargestOffsetIsRefusedAndTheWriteGoesOn) {
  const fs::path target = folder / "out.bin";
  AtomicFileWriter writer;
  EXPECT_EQ(writer.Skip(1), EBADF) << "not open";
  ASSERT_EQ(writer.Open(target.string()), 0);
  ASSERT_EQ(WriteText(writer, "a"), 0);
  EXPECT_EQ(writer.Skip(UINT64_MAX), EFBIG);
  EXPECT_EQ(writer.Skip(static_cast<uint64_t>(INT64_MAX)), EFBIG) << "one byte is already written";
  ASSERT_EQ(writer.Skip(2), 0);
  ASSERT_EQ(WriteText(writer, "b"), 0);
  ASSERT_EQ(writer.Commit(), 0);
  EXPECT_EQ(ReadAll(target), std::string("a\0\0b", 4));
}

}  // namespace
