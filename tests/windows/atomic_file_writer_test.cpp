// Whole-or-nothing file replacement with the Win32 file calls: the target
// changes only on Commit, an abandoned write leaves no temporary file, and a
// target that cannot be replaced keeps its bytes.
#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

#include "engine/port/atomic_file_writer.h"
#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/win32.h"

namespace {

namespace fs = std::filesystem;
using kelm::port::AtomicFileWriter;

std::string ReadAll(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
}

class AtomicFileWriterWindows : public ::testing::Test {
 protected:
  void SetUp() override {
    directory = fs::temp_directory_path() / ("kelmhex-atomic-" + std::to_string(std::random_device{}()));
    fs::create_directories(directory);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(directory, ignored);
  }
  // The files left in the folder.
  size_t FileCount() const {
    return static_cast<size_t>(std::distance(fs::directory_iterator(directory), fs::directory_iterator()));
  }
  fs::path directory;
};

TEST_F(AtomicFileWriterWindows, CommitCreatesTheTarget) {
  const fs::path target = directory / "out.bin";
  AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(target.string()), 0);
  const std::string bytes("\x00\x01\xFF\r\n\x1A tail", 10);
  ASSERT_EQ(writer.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()), 0);
  EXPECT_FALSE(fs::exists(target)) << "the target must not appear before the commit";
  ASSERT_EQ(writer.Commit(), 0);
  EXPECT_EQ(ReadAll(target), bytes);
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(AtomicFileWriterWindows, CommitReplacesAnExistingTarget) {
  const fs::path target = directory / "out.bin";
  WriteAll(target, "old contents that are longer");
  AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(target.string()), 0);
  ASSERT_EQ(writer.Write(reinterpret_cast<const uint8_t*>("new"), 3), 0);
  EXPECT_EQ(ReadAll(target), "old contents that are longer");
  ASSERT_EQ(writer.Commit(), 0);
  EXPECT_EQ(ReadAll(target), "new");
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(AtomicFileWriterWindows, AbandonLeavesTargetAndNoTemporary) {
  const fs::path target = directory / "keep.bin";
  WriteAll(target, "keep me");
  {
    AtomicFileWriter writer;
    ASSERT_EQ(writer.Open(target.string()), 0);
    EXPECT_TRUE(fs::exists(writer.TemporaryPath()));
    ASSERT_EQ(writer.Write(reinterpret_cast<const uint8_t*>("xx"), 2), 0);
    // Going out of scope without a commit abandons the write.
  }
  EXPECT_EQ(ReadAll(target), "keep me");
  EXPECT_EQ(FileCount(), 1u);
}

TEST_F(AtomicFileWriterWindows, MissingFolderIsReportedAsNoSuchFile) {
  AtomicFileWriter writer;
  EXPECT_EQ(writer.Open((directory / "no-such-folder" / "out.bin").string()), ENOENT);
  EXPECT_EQ(writer.Write(reinterpret_cast<const uint8_t*>("x"), 1), EBADF);
  EXPECT_EQ(writer.Commit(), EBADF);
}

TEST_F(AtomicFileWriterWindows, TargetHeldOpenWithoutDeleteSharingKeepsItsBytes) {
  const fs::path target = directory / "busy.bin";
  WriteAll(target, "busy");
  // Another program reading the file, sharing reads and writes but not
  // deletion (as the C runtime opens files).
  HANDLE reader = CreateFileW(target.wstring().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  ASSERT_NE(reader, INVALID_HANDLE_VALUE);
  AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(target.string()), 0);
  ASSERT_EQ(writer.Write(reinterpret_cast<const uint8_t*>("replacement"), 11), 0);
  const int error = writer.Commit();
  CloseHandle(reader);
  EXPECT_NE(error, 0) << "a file that is in use cannot be replaced";
  EXPECT_EQ(ReadAll(target), "busy");
  EXPECT_EQ(FileCount(), 1u) << "the temporary file is removed after a failed commit";
}

TEST_F(AtomicFileWriterWindows, AFolderIsRefusedAndTemporaryNamesCannotBeGuessed) {
  fs::create_directory(directory / "folder");
  AtomicFileWriter writer;
  EXPECT_EQ(writer.Open((directory / "folder").string()), kelm::port::kTargetIsDirectory);
  EXPECT_EQ(FileCount(), 1u);

  AtomicFileWriter first;
  AtomicFileWriter second;
  ASSERT_EQ(first.Open((directory / "a.bin").string()), 0);
  ASSERT_EQ(second.Open((directory / "a.bin").string()), 0);
  EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
  const std::string name = fs::path(first.TemporaryPath()).filename().string();
  EXPECT_EQ(name.rfind(kelm::port::kTemporaryPrefix, 0), 0u) << name;
  EXPECT_EQ(name.find(std::to_string(GetCurrentProcessId())), std::string::npos) << name;
}

TEST_F(AtomicFileWriterWindows, NonAsciiTargetName) {
  // "Größe.bin" given as UTF-8, as every path inside the program.
  const std::string name = "Gr\xC3\xB6\xC3\x9F" "e.bin";
  const std::string target = (directory.string() + "\\") + name;
  AtomicFileWriter writer;
  ASSERT_EQ(writer.Open(target), 0);
  ASSERT_EQ(writer.Write(reinterpret_cast<const uint8_t*>("abc"), 3), 0);
  ASSERT_EQ(writer.Commit(), 0);
  EXPECT_EQ(ReadAll(directory / fs::path(kelm::port::WideFromUtf8(name))), "abc");
}

}  // namespace
