// Exports of sparse ranges: the holes are not read and become holes of the
// target, the bytes equal the source's wherever the range starts and ends,
// a source without extents is read whole to the same bytes, a cancel in a
// long hole leaves the target, and a file cut short during the export is
// still a short source even where only a hole was left to copy.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "engine/port/read_only_file.h"
#include "tests/viewer/sparse_layout.h"
#include "ui/export.h"
#include "viewer/data_extents.h"

namespace {

namespace fs = std::filesystem;
using kelm::port::ReadOnlyFile;
using sparse_test::SparseLayout;

constexpr uint64_t kMiB = uint64_t{1} << 20;
constexpr uint64_t kTebibyte = uint64_t{1} << 40;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> Pattern(size_t count, uint8_t seed) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(seed + i * 13 + i / 257);
  return bytes;
}

// The bytes at [offset, offset + count) of a file, read with pread (for a
// huge sparse target, where reading it whole is out of the question).
std::vector<uint8_t> ReadAt(const fs::path& path, uint64_t offset, size_t count) {
  std::vector<uint8_t> bytes(count);
  const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return {};
  const ssize_t got = pread(fd, bytes.data(), count, static_cast<off_t>(offset));
  close(fd);
  bytes.resize(got < 0 ? 0 : static_cast<size_t>(got));
  return bytes;
}

// Bytes the file takes on the disk.
uint64_t AllocatedBytes(const fs::path& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return UINT64_MAX;
  return static_cast<uint64_t>(info.st_blocks) * 512;
}

// A layout's bytes from `start` on as an export source, with its extents or
// without.
ExportSource SourceOf(SparseLayout& file, uint64_t start, uint64_t length, bool extents = true) {
  ExportSource source;
  source.read = [start, reader = file.Reader()](uint8_t* buffer, uint64_t capacity, uint64_t offset) {
    return reader(start + offset, buffer, capacity);
  };
  if (extents) source.extents = kelm::viewer::ExtentsWithin(file.Extents(), start, length);
  return source;
}

class ExportHoles : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("kelmhex-export-holes-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }
  // Whether the folder's file system keeps holes: a file extended by 8 MiB
  // without a write takes (nearly) no space.
  bool MakesHoles() const {
    const fs::path probe = folder / "probe";
    const int fd = open(probe.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    const bool extended = ftruncate(fd, static_cast<off_t>(8 * kMiB)) == 0;
    close(fd);
    const bool sparse = extended && AllocatedBytes(probe) < kMiB;
    fs::remove(probe);
    return sparse;
  }
  // A file on the disk of `size` bytes with `bytes` written at each of
  // `at`; the rest never written.
  fs::path SparseFile(uint64_t size, const std::vector<std::pair<uint64_t, std::vector<uint8_t>>>& at) {
    const fs::path path = folder / "source.bin";
    const int fd = open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    EXPECT_GE(fd, 0);
    for (const auto& [offset, bytes] : at) {
      EXPECT_EQ(pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset)),
                static_cast<ssize_t>(bytes.size()));
    }
    EXPECT_EQ(ftruncate(fd, static_cast<off_t>(size)), 0);
    close(fd);
    return path;
  }

  fs::path folder;
};

// Data, a hole, data and a hole to the end.
SparseLayout DataHoleDataHole() {
  SparseLayout file(16 * kMiB);
  file.Data(0, Pattern(kMiB + 17, 1)).Data(9 * kMiB + 5, Pattern(70000, 2));
  return file;
}

TEST_F(ExportHoles, HolesAreNotReadAndTheTargetHoldsTheSameBytesSparsely) {
  SparseLayout file = DataHoleDataHole();
  std::vector<uint64_t> progress;
  const fs::path target = folder / "out.bin";
  const ExportResult result = ExportBytes(
      target.string(), file.Size(), SourceOf(file, 0, file.Size()),
      [&](uint64_t done, uint64_t total) {
        EXPECT_EQ(total, file.Size());
        progress.push_back(done);
        return true;
      },
      64 * 1024);
  ASSERT_EQ(result.status, ExportStatus::Written);
  EXPECT_EQ(result.written, file.Size());
  EXPECT_EQ(ReadBytes(target), file.Flat());
  EXPECT_EQ(file.holeBytesRead, 2u) << "one byte at the end of each hole, no more";
  // The holes count as done at once: after the first extent's last chunk,
  // the hole's end; the last step is the whole range.
  ASSERT_GE(progress.size(), 4u);
  EXPECT_EQ(progress.front(), 0u);
  EXPECT_TRUE(std::is_sorted(progress.begin(), progress.end()));
  EXPECT_NE(std::find(progress.begin(), progress.end(), kMiB + 17), progress.end());
  EXPECT_NE(std::find(progress.begin(), progress.end(), 9 * kMiB + 5), progress.end());
  EXPECT_EQ(progress.back(), file.Size());
  EXPECT_EQ(Names(), (std::vector<std::string>{"out.bin"}));
  if (!MakesHoles()) GTEST_SKIP() << "the temporary folder's file system does not keep holes";
  // About the 1.1 MiB of data (and a block or two around each edge), not
  // the 16 MiB.
  EXPECT_LT(AllocatedBytes(target), 2 * kMiB);
}

// Every start and end: in data, in a hole, on an edge. The bytes and the
// code are those of the plain copy that reads every byte.
TEST_F(ExportHoles, RangesStartingAndEndingAnywhereGiveTheSameBytes) {
  SparseLayout file(20000);
  file.Data(3000, Pattern(1500, 3)).Data(9000, Pattern(10, 4)).Data(12000, Pattern(4000, 5));
  const std::vector<uint8_t> flat = file.Flat();
  const std::vector<uint64_t> edges = {0, 2999, 3000, 4499, 4500, 6000, 9000, 9005, 9010, 11999, 16000, 20000};
  for (const uint64_t start : edges) {
    for (const uint64_t end : edges) {
      if (end < start) continue;
      const uint64_t length = end - start;
      const std::vector<uint8_t> expected(flat.begin() + static_cast<std::ptrdiff_t>(start),
                                          flat.begin() + static_cast<std::ptrdiff_t>(end));
      const fs::path target = folder / "range.bin";
      const ExportResult result = ExportBytes(target.string(), length, SourceOf(file, start, length), nullptr, 700);
      ASSERT_EQ(result.status, ExportStatus::Written) << start << ".." << end;
      ASSERT_EQ(ReadBytes(target), expected) << start << ".." << end;

      // The two forms that carry state across chunks, by turns.
      const kelm::viewer::CodeForm form =
          (start + end) % 2 == 0 ? kelm::viewer::CodeForm::CArray : kelm::viewer::CodeForm::Base64;
      const fs::path code = folder / "range.c";
      const fs::path plainCode = folder / "plain.c";
      ASSERT_EQ(ExportCode(code.string(), length, SourceOf(file, start, length), form, 700)
                    .status,
                ExportStatus::Written);
      ASSERT_EQ(ExportCode(plainCode.string(), length, SourceOf(file, start, length, false),
                           form, 700)
                    .status,
                ExportStatus::Written);
      ASSERT_EQ(ReadBytes(code), ReadBytes(plainCode)) << start << ".." << end;
    }
  }
}

TEST_F(ExportHoles, ARangeStartingAndEndingInsideHolesReadsOnlyItsData) {
  SparseLayout file = DataHoleDataHole();
  const uint64_t start = 3 * kMiB;       // inside the first hole
  const uint64_t length = 10 * kMiB;     // ends inside the last
  const fs::path target = folder / "inside.bin";
  const ExportResult result = ExportBytes(target.string(), length, SourceOf(file, start, length));
  ASSERT_EQ(result.status, ExportStatus::Written);
  const std::vector<uint8_t> flat = file.Flat();
  EXPECT_EQ(ReadBytes(target), std::vector<uint8_t>(flat.begin() + static_cast<std::ptrdiff_t>(start),
                                                    flat.begin() + static_cast<std::ptrdiff_t>(start + length)));
  EXPECT_EQ(file.bytesRead, 70000u + 2) << "the data between the holes and one byte of each hole";
}

TEST_F(ExportHoles, WithoutExtentsEveryByteIsReadToTheSameBytes) {
  SparseLayout file = DataHoleDataHole();
  const fs::path target = folder / "plain.bin";
  const ExportResult result = ExportBytes(target.string(), file.Size(), SourceOf(file, 0, file.Size(), false));
  ASSERT_EQ(result.status, ExportStatus::Written);
  EXPECT_EQ(ReadBytes(target), file.Flat());
  EXPECT_EQ(file.bytesRead, file.Size());
}

// A tebibyte with a mebibyte of data at each end, as the viewer's
// selection of it would be exported.
SparseLayout TebibyteWithDataAtTheEnds() {
  SparseLayout file(kTebibyte);
  file.Data(0, Pattern(kMiB, 6)).Data(kTebibyte - kMiB, Pattern(kMiB, 7));
  return file;
}

TEST_F(ExportHoles, ATebibyteWithLittleDataIsCopiedAtOnce) {
  if (!MakesHoles()) GTEST_SKIP() << "the temporary folder's file system does not keep holes";
  SparseLayout file = TebibyteWithDataAtTheEnds();
  const fs::path target = folder / "tebibyte.bin";
  const ExportResult result = ExportBytes(target.string(), kTebibyte, SourceOf(file, 0, kTebibyte));
  ASSERT_EQ(result.status, ExportStatus::Written);
  EXPECT_EQ(fs::file_size(target), kTebibyte);
  EXPECT_EQ(ReadAt(target, 0, kMiB), Pattern(kMiB, 6));
  EXPECT_EQ(ReadAt(target, kTebibyte - kMiB, kMiB), Pattern(kMiB, 7));
  EXPECT_EQ(ReadAt(target, kTebibyte / 2, 4096), std::vector<uint8_t>(4096, 0));
  EXPECT_EQ(file.bytesRead, 2 * kMiB + 1);
  EXPECT_LT(AllocatedBytes(target), 3 * kMiB);
}

TEST_F(ExportHoles, CancelInALongHoleLeavesTheTargetAndReadsNoFurther) {
  SparseLayout file = TebibyteWithDataAtTheEnds();
  const fs::path target = folder / "target.bin";
  std::ofstream(target, std::ios::binary) << "old";
  std::vector<uint64_t> progress;
  const ExportResult result =
      ExportBytes(target.string(), kTebibyte, SourceOf(file, 0, kTebibyte), [&](uint64_t done, uint64_t) {
        progress.push_back(done);
        return done <= kMiB;  // Esc while the hole is being passed
      });
  EXPECT_EQ(result.status, ExportStatus::Cancelled);
  EXPECT_EQ(progress, (std::vector<uint64_t>{0, kMiB, kTebibyte - kMiB}));
  EXPECT_EQ(file.bytesRead, kMiB + 1) << "the data after the hole is not read";
  EXPECT_EQ(ReadBytes(target), std::vector<uint8_t>({'o', 'l', 'd'}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"target.bin"}));
}

// --- a real file cut short while it is exported ---------------------------------------

class ShrinkingSource : public ExportHoles {
 protected:
  // Exports the 16 MiB of a file with data at [0, 1 MiB) and [8 MiB, 9 MiB),
  // through its file system's extents, in 1 MiB chunks; once `after` bytes
  // are done, the file is cut to `cutTo` bytes.
  ExportResult ExportCutting(uint64_t after, uint64_t cutTo) {
    const fs::path path = SparseFile(16 * kMiB, {{0, Pattern(kMiB, 8)}, {8 * kMiB, Pattern(kMiB, 9)}});
    EXPECT_EQ(file.Open(path.string()), 0);
    holesKnown = file.NextHole(0) < file.Size();
    ExportSource source;
    source.read = [this](uint8_t* buffer, uint64_t capacity, uint64_t offset) {
      return file.ReadAt(offset, buffer, capacity);
    };
    source.extents = kelm::viewer::ExtentsWithin(kelm::viewer::ExtentsOf(file), 0, 16 * kMiB);
    std::ofstream(folder / "out.bin", std::ios::binary) << "old";
    bool cut = false;
    return ExportBytes((folder / "out.bin").string(), 16 * kMiB, source, [&](uint64_t done, uint64_t) {
      if (!cut && done >= after) {
        EXPECT_EQ(truncate(path.c_str(), static_cast<off_t>(cutTo)), 0);
        cut = true;
      }
      return true;
    });
  }
  void ExpectTargetKept() {
    EXPECT_EQ(ReadBytes(folder / "out.bin"), std::vector<uint8_t>({'o', 'l', 'd'}));
    EXPECT_EQ(Names(), (std::vector<std::string>{"out.bin", "source.bin"}));
  }
  ReadOnlyFile file;
  bool holesKnown = false;  // the file system tells where the holes lie
};

// Cut in the middle hole: what is left of the range lies past the new end.
TEST_F(ShrinkingSource, CutInsideAHoleBeforeMoreDataIsShort) {
  const ExportResult result = ExportCutting(kMiB, 4 * kMiB);
  EXPECT_EQ(result.status, ExportStatus::ShortSource);
  EXPECT_LE(result.written, 4 * kMiB);
  ExpectTargetKept();
}

// Cut in the hole at the end, after the last data was copied: only the
// hole is left, and the file's old size must not be taken for its end.
TEST_F(ShrinkingSource, CutInsideTheLastHoleIsShort) {
  const ExportResult result = ExportCutting(9 * kMiB, 12 * kMiB);
  EXPECT_EQ(result.status, ExportStatus::ShortSource);
  // Without extents the hole is read up to the new end.
  EXPECT_EQ(result.written, holesKnown ? 9 * kMiB : 12 * kMiB) << "bytes of the range copied before the hole";
  ExpectTargetKept();
}

TEST_F(ShrinkingSource, AFileLeftWholeIsCopiedWhole) {
  const ExportResult result = ExportCutting(UINT64_MAX, 0);
  ASSERT_EQ(result.status, ExportStatus::Written);
  std::vector<uint8_t> expected(16 * kMiB, 0);
  const std::vector<uint8_t> first = Pattern(kMiB, 8);
  const std::vector<uint8_t> second = Pattern(kMiB, 9);
  std::copy(first.begin(), first.end(), expected.begin());
  std::copy(second.begin(), second.end(), expected.begin() + static_cast<std::ptrdiff_t>(8 * kMiB));
  EXPECT_EQ(ReadBytes(folder / "out.bin"), expected);
}

}  // namespace
