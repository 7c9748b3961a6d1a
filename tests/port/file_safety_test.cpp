// Creating and opening files safely: write-then-rename never follows a link
// planted at the target's name, refuses targets that are not regular
// files, never carries set-user-ID or set-group-ID bits, and cannot be
// blocked by names created in advance; opening for reading never blocks on
// a FIFO put at the path, and every descriptor is close-on-exec.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <future>
#include <set>
#include <sstream>
#include <string>

#include "engine/port/atomic_file_writer.h"
#include "engine/port/random_name.h"
#include "engine/port/read_only_file.h"
#include "tests/support/read_file.h"

namespace {

namespace fs = std::filesystem;
using namespace kelm::port;

using test_support::ReadFile;

class FileSafety : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelmhex-files-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  fs::path Write(const std::string& name, const std::string& bytes) {
    std::ofstream(root / name, std::ios::binary) << bytes;
    return root / name;
  }
  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& item : fs::directory_iterator(root)) names.insert(item.path().filename().string());
    return names;
  }
  // Writes `bytes` to `target` through the writer; yields the error.
  static int Replace(const fs::path& target, const std::string& bytes, TargetLink link) {
    AtomicFileWriter file;
    if (const int error = file.Open(target.string(), link); error != 0) return error;
    if (const int error = file.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size())) return error;
    return file.Commit();
  }
  static mode_t ModeOf(const fs::path& path) {
    struct stat info {};
    EXPECT_EQ(stat(path.c_str(), &info), 0) << path;
    return info.st_mode & 07777;
  }
  fs::path root;
};

TEST_F(FileSafety, ALinkPlantedAtTheNameIsReplacedNotFollowed) {
  const fs::path victim = Write("victim", "precious");
  fs::create_symlink(victim, root / "screenshot.ss");
  ASSERT_EQ(WriteFileAtomically((root / "screenshot.ss").string(), "picture"), 0);
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_FALSE(fs::is_symlink(root / "screenshot.ss"));
  EXPECT_EQ(ReadFile(root / "screenshot.ss"), "picture");
  // A dangling link (to a file another user would like created) likewise.
  fs::create_symlink(root / "would-be-created", root / "page.html");
  ASSERT_EQ(WriteFileAtomically((root / "page.html").string(), "page"), 0);
  EXPECT_FALSE(fs::exists(root / "would-be-created"));
  EXPECT_EQ(Names(), (std::set<std::string>{"victim", "screenshot.ss", "page.html"}));
}

TEST_F(FileSafety, AConfirmedLinkToARegularFileIsFollowed) {
  const fs::path real = Write("real.bin", "old");
  fs::create_symlink("real.bin", root / "link.bin");
  ASSERT_EQ(Replace(root / "link.bin", "new bytes", TargetLink::Follow), 0);
  EXPECT_TRUE(fs::is_symlink(root / "link.bin"));
  EXPECT_EQ(ReadFile(real), "new bytes");
  EXPECT_EQ(Names(), (std::set<std::string>{"real.bin", "link.bin"}));
}

TEST_F(FileSafety, TargetsThatAreNotRegularFilesAreRefusedAndKept) {
  ASSERT_EQ(mkfifo((root / "fifo").c_str(), 0600), 0);
  fs::create_directory(root / "folder");
  const int listener = socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::string socketPath = (root / "socket").string();
  ASSERT_LT(socketPath.size(), sizeof address.sun_path);
  socketPath.copy(address.sun_path, socketPath.size());
  ASSERT_EQ(bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
  fs::create_symlink("/dev/null", root / "device-link");
  fs::create_symlink(root / "nowhere", root / "broken-link");
  fs::create_symlink("fifo", root / "fifo-link");

  const struct {
    const char* name;
    TargetLink link;
    int refusal;
  } cases[] = {
      {"fifo", TargetLink::Replace, kTargetIsFifo},          {"folder", TargetLink::Replace, kTargetIsDirectory},
      {"socket", TargetLink::Replace, kTargetIsSocket},      {"device-link", TargetLink::Follow, kTargetIsDevice},
      {"broken-link", TargetLink::Follow, kTargetIsBrokenLink}, {"fifo-link", TargetLink::Follow, kTargetIsFifo},
  };
  const std::set<std::string> before = Names();
  for (const auto& c : cases) {
    EXPECT_EQ(Replace(root / c.name, "bytes", c.link), c.refusal) << c.name;
    EXPECT_FALSE(WriteErrorText(c.refusal).empty());
  }
  close(listener);
  EXPECT_EQ(Names(), before) << "no temporary file stays, no target is replaced";
  EXPECT_TRUE(fs::is_fifo(root / "fifo"));
  EXPECT_TRUE(fs::is_symlink(root / "device-link"));
  EXPECT_EQ(WriteErrorText(kTargetIsFifo), "Is a named pipe (FIFO), not a regular file");
}

TEST_F(FileSafety, PermissionBitsAreKeptButNeverSetIdBits) {
  const fs::path program = Write("program", "#!/bin/sh\n");
  ASSERT_EQ(chmod(program.c_str(), 06755), 0);
  if (ModeOf(program) != 06755u) GTEST_SKIP() << "the file system does not keep set-ID bits here";
  fs::create_symlink("program", root / "link");
  ASSERT_EQ(Replace(root / "link", "exported bytes", TargetLink::Follow), 0);
  EXPECT_EQ(ReadFile(program), "exported bytes");
  EXPECT_EQ(ModeOf(program), 0755u);

  const fs::path plain = Write("plain", "x");
  ASSERT_EQ(chmod(plain.c_str(), 02640), 0);
  ASSERT_EQ(Replace(plain, "y", TargetLink::Replace), 0);
  EXPECT_EQ(ModeOf(plain), 0640u);
}

TEST_F(FileSafety, NamesCreatedInAdvanceCannotBlockAWrite) {
  // Every name the old scheme would have tried, and more, taken first.
  for (int n = 0; n < 300; ++n) {
    Write(".kelmhex-export-" + std::to_string(getpid()) + "-" + std::to_string(n), "");
    Write(std::string(kTemporaryPrefix) + std::to_string(n), "");
  }
  AtomicFileWriter first;
  AtomicFileWriter second;
  ASSERT_EQ(first.Open((root / "a").string()), 0);
  ASSERT_EQ(second.Open((root / "a").string()), 0);
  const std::string name = fs::path(first.TemporaryPath()).filename().string();
  EXPECT_EQ(name.rfind(kTemporaryPrefix, 0), 0u) << name;
  EXPECT_EQ(name.find(std::to_string(getpid())), std::string::npos) << name;
  EXPECT_NE(first.TemporaryPath(), second.TemporaryPath());
  // Created exclusively, by this process, as a plain file.
  struct stat info {};
  ASSERT_EQ(lstat(first.TemporaryPath().c_str(), &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_uid, geteuid());
  const std::string temporary = first.TemporaryPath();
  first.Abandon();
  EXPECT_FALSE(fs::exists(temporary));
}

TEST(UnpredictableName, DrawsFromTheWholeAlphabetWithoutRepeats) {
  std::set<std::string> names;
  std::set<char> seen;
  for (int i = 0; i < 2000; ++i) {
    const std::string name = UnpredictableName(12);
    ASSERT_EQ(name.size(), 12u);
    for (char c : name) {
      ASSERT_TRUE((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) << name;
      seen.insert(c);
    }
    names.insert(name);
  }
  EXPECT_EQ(names.size(), 2000u);
  EXPECT_EQ(seen.size(), 36u);
}

// Opens `path` on another thread; fails instead of hanging when the open
// blocks (a writer is then opened to release it).
int OpenWithoutHanging(ReadOnlyFile& file, const fs::path& path) {
  auto opening = std::async(std::launch::async, [&] { return file.Open(path.string()); });
  if (opening.wait_for(std::chrono::seconds(5)) != std::future_status::ready) {
    ADD_FAILURE() << "the open of " << path << " blocked";
    const int writer = open(path.c_str(), O_WRONLY | O_NONBLOCK);
    const int result = opening.get();
    if (writer >= 0) close(writer);
    return result;
  }
  return opening.get();
}

TEST_F(FileSafety, AFifoSwappedInBeforeTheOpenIsRefusedWithoutBlocking) {
  Write("file.bin", "0123456789");
  ReadOnlyFile file;
  ASSERT_EQ(file.Open((root / "file.bin").string()), 0);
  EXPECT_EQ(file.Kind(), FileKind::Regular);
  EXPECT_EQ(file.Size(), 10u);
  file.Close();
  // The regular file that was looked at is swapped for a FIFO with no writer.
  ASSERT_EQ(mkfifo((root / "swap").c_str(), 0600), 0);
  fs::rename(root / "swap", root / "file.bin");
  EXPECT_EQ(OpenWithoutHanging(file, root / "file.bin"), kNotReadableKind);
  EXPECT_EQ(file.Kind(), FileKind::Fifo);
  EXPECT_FALSE(file.IsOpen());

  fs::create_directory(root / "folder");
  EXPECT_EQ(file.Open((root / "folder").string()), kNotReadableKind);
  EXPECT_EQ(file.Kind(), FileKind::Directory);
  EXPECT_EQ(file.Open("/dev/null"), kNotReadableKind);
  EXPECT_EQ(file.Kind(), FileKind::CharacterDevice);
  EXPECT_EQ(file.Open((root / "missing").string()), ENOENT);
  EXPECT_EQ(file.Kind(), FileKind::None);
}

TEST_F(FileSafety, ReadsNameTheirOffsetAndStopAtTheEnd) {
  Write("file.bin", "0123456789");
  ReadOnlyFile file;
  ASSERT_EQ(file.Open((root / "file.bin").string()), 0);
  uint8_t buffer[8] = {};
  EXPECT_EQ(file.ReadAt(6, buffer, 8), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "6789");
  EXPECT_EQ(file.ReadAt(2, buffer, 3), 3u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 3), "234");
  EXPECT_EQ(file.ReadAt(10, buffer, 8), 0u);
  EXPECT_EQ(file.ReadAt(UINT64_MAX - 2, buffer, 8), 0u);
}

// Every descriptor of this process that names `path` is close-on-exec.
void ExpectEveryDescriptorOfClosesOnExec(const fs::path& path, int expected) {
  int found = 0;
  for (const auto& entry : fs::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    const fs::path target = fs::read_symlink(entry.path(), error);
    if (error || target != path) continue;
    ++found;
    const int fd = std::atoi(entry.path().filename().c_str());
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "descriptor " << fd << " of " << path;
  }
  EXPECT_EQ(found, expected) << path;
}

TEST_F(FileSafety, DescriptorsAreCloseOnExec) {
  const fs::path path = Write("file.bin", "abc");
  ReadOnlyFile file;
  ASSERT_EQ(file.Open(path.string()), 0);
  ExpectEveryDescriptorOfClosesOnExec(fs::canonical(path), 1);
  AtomicFileWriter writer;
  ASSERT_EQ(writer.Open((root / "out").string()), 0);
  ExpectEveryDescriptorOfClosesOnExec(fs::path(writer.TemporaryPath()), 1);
}

}  // namespace
