// Opening the viewed file with the Win32 calls: reads at offsets, the size,
// and folders and missing files refused by kind or error.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>
#include <vector>

#include "engine/port/atomic_file_writer.h"
#include "engine/port/read_only_file.h"

namespace {

namespace fs = std::filesystem;
using kelm::port::FileKind;
using kelm::port::ReadOnlyFile;

TEST(ReadOnlyFileWindows, ReadsAtOffsetsAndRefusesFoldersAndMissingFiles) {
  const fs::path folder = fs::temp_directory_path() / ("kelmhex-read-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  std::ofstream(folder / "file.bin", std::ios::binary) << "0123456789";

  ReadOnlyFile file;
  ASSERT_EQ(file.Open((folder / "file.bin").string()), 0);
  EXPECT_EQ(file.Kind(), FileKind::Regular);
  EXPECT_EQ(file.Size(), 10u);
  uint8_t buffer[8] = {};
  EXPECT_EQ(file.ReadAt(6, buffer, 8), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "6789");
  EXPECT_EQ(file.ReadAt(10, buffer, 8), 0u);
  file.Close();

  EXPECT_EQ(file.Open(folder.string()), kelm::port::kNotReadableKind);
  EXPECT_EQ(file.Kind(), FileKind::Directory);
  EXPECT_EQ(file.Open((folder / "missing.bin").string()), ENOENT);
  EXPECT_FALSE(file.IsOpen());

  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

// A file written with skipped stretches (sparse where the file system has
// sparse files): the extents either show the holes exactly or, where the
// file system does not answer, every byte counts as data. Either way a hole
// reads as zeros and no data lies before NextData.
TEST(ReadOnlyFileWindows, ExtentsOfSkippedStretchesOrAllData) {
  constexpr uint64_t kMiB = uint64_t{1} << 20;
  const fs::path folder = fs::temp_directory_path() / ("kelmhex-extents-" + std::to_string(std::random_device{}()));
  fs::create_directories(folder);
  const fs::path path = folder / "sparse.bin";
  const std::vector<uint8_t> data(kMiB, 0xA5);
  kelm::port::AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(path.string()), 0);
  ASSERT_EQ(writer.Write(data.data(), data.size()), 0);  // [0, 1 MiB): data
  ASSERT_EQ(writer.Skip(4 * kMiB), 0);                   // [1, 5 MiB): hole
  ASSERT_EQ(writer.Write(data.data(), data.size()), 0);  // [5, 6 MiB): data
  ASSERT_EQ(writer.Skip(2 * kMiB), 0);                   // [6, 8 MiB): hole
  ASSERT_EQ(writer.Commit(), 0);

  ReadOnlyFile file;
  ASSERT_EQ(file.Open(path.string()), 0);
  ASSERT_EQ(file.Size(), 8 * kMiB);
  const bool holes = file.NextHole(0) != file.Size();
  if (holes) {
    EXPECT_EQ(file.NextHole(0), 1 * kMiB);
    EXPECT_EQ(file.NextData(1 * kMiB), 5 * kMiB);
    EXPECT_EQ(file.NextData(3 * kMiB), 5 * kMiB);
    EXPECT_EQ(file.NextHole(5 * kMiB), 6 * kMiB);
    EXPECT_EQ(file.NextData(6 * kMiB), file.Size());
    EXPECT_EQ(file.NextData(5 * kMiB + 7), 5 * kMiB + 7);
  } else {
    for (const uint64_t at : {uint64_t{0}, 3 * kMiB, 7 * kMiB}) {
      EXPECT_EQ(file.NextData(at), at);
      EXPECT_EQ(file.NextHole(at), file.Size());
    }
  }
  EXPECT_EQ(file.NextData(file.Size()), file.Size());
  EXPECT_EQ(file.NextHole(file.Size() + 1), file.Size());

  std::vector<uint8_t> read(kMiB);
  for (const uint64_t at : {uint64_t{0}, 2 * kMiB, 5 * kMiB, 7 * kMiB}) {
    ASSERT_EQ(file.ReadAt(at, read.data(), kMiB), kMiB);
    const uint8_t expected = (at < kMiB || (at >= 5 * kMiB && at < 6 * kMiB)) ? 0xA5 : 0x00;
    EXPECT_EQ(std::count(read.begin(), read.end(), expected), static_cast<std::ptrdiff_t>(kMiB)) << at;
  }
  std::cout << (holes ? "holes reported\n" : "no extents: every byte counts as data\n");
  file.Close();
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

}  // namespace
