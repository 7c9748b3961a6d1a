// Opening the viewed file with the Win32 calls: reads at offsets, the size,
// and folders and missing files refused by kind or error.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>

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

}  // namespace
