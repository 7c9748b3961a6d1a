// The spool of piped input: what the pipe carried is in the spool byte for
// byte, in a file no one else can open, and the state says how it ended.
#include "engine/port/input_spool.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

namespace kelm::port {
namespace {

// Waits (polling, with a generous deadline) until `done` holds.
bool WaitUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!done()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  return true;
}

std::vector<uint8_t> Pattern(size_t count, uint32_t seed) {
  std::vector<uint8_t> bytes(count);
  std::mt19937 random(seed);
  for (uint8_t& byte : bytes) byte = static_cast<uint8_t>(random());
  return bytes;
}

void WriteAll(int fd, const std::vector<uint8_t>& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = write(fd, bytes.data() + done, bytes.size() - done);
    ASSERT_GT(n, 0) << std::strerror(errno);
    done += static_cast<size_t>(n);
  }
}

std::vector<uint8_t> ReadBack(int fd, size_t count) {
  std::vector<uint8_t> bytes(count);
  size_t done = 0;
  while (done < count) {
    const ssize_t n = pread(fd, bytes.data() + done, count - done, static_cast<off_t>(done));
    if (n <= 0) break;
    done += static_cast<size_t>(n);
  }
  bytes.resize(done);
  return bytes;
}

class InputSpoolTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() /
             ("kelmhex-spool-" + std::to_string(getpid()) + "-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder);
    ASSERT_EQ(pipe2(source, O_CLOEXEC), 0);
  }
  void TearDown() override {
    spool.Stop();
    for (int fd : source) {
      if (fd >= 0) close(fd);
    }
    if (reader >= 0) close(reader);
    std::filesystem::remove_all(folder);
  }
  void CloseWriteEnd() {
    close(source[1]);
    source[1] = -1;
  }
  // Starts the spool on the pipe; every notice records the size it saw.
  void StartSpool() {
    ASSERT_EQ(spool.Create(folder.string()), 0);
    reader = static_cast<int>(spool.TakeReader());
    ASSERT_GE(reader, 0);
    ASSERT_TRUE(spool.Start(source[0], [this] {
      noticedSize.store(spool.Progress().size);
      notices.fetch_add(1);
    }));
  }

  std::filesystem::path folder;
  int source[2] = {-1, -1};
  int reader = -1;
  InputSpool spool;
  std::atomic<uint64_t> noticedSize{0};
  std::atomic<int> notices{0};
};

TEST_F(InputSpoolTest, BytesArriveInOrderAndTheEndIsTold) {
  StartSpool();
  EXPECT_EQ(spool.Progress().state, SpoolState::Arriving);
  EXPECT_EQ(spool.Progress().size, 0u);

  const std::vector<uint8_t> first = {'a', 'b', 0, 0xFF, '\n'};
  WriteAll(source[1], first);
  ASSERT_TRUE(WaitUntil([&] { return noticedSize.load() == first.size(); }));
  EXPECT_EQ(spool.Progress().state, SpoolState::Arriving) << "the pipe is still open";
  EXPECT_EQ(ReadBack(reader, 100), first);

  const std::vector<uint8_t> more = Pattern(300000, 7);  // more than one chunk and than a pipe holds
  std::thread writer([&] { WriteAll(source[1], more); });
  writer.join();
  CloseWriteEnd();
  ASSERT_TRUE(WaitUntil([&] { return spool.Progress().state == SpoolState::Ended; }));
  const SpoolProgress ended = spool.Progress();
  EXPECT_EQ(ended.size, first.size() + more.size());
  EXPECT_EQ(ended.error, 0);
  // The last notice comes after the last byte.
  ASSERT_TRUE(WaitUntil([&] { return noticedSize.load() == ended.size; }));

  std::vector<uint8_t> all = first;
  all.insert(all.end(), more.begin(), more.end());
  EXPECT_EQ(ReadBack(reader, all.size() + 10), all);
}

TEST_F(InputSpoolTest, TheFileHasNoNameIsPrivateAndIsNotInherited) {
  StartSpool();
  EXPECT_TRUE(std::filesystem::is_empty(folder)) << "no name is left in the folder";
  struct stat info {};
  ASSERT_EQ(fstat(reader, &info), 0);
  EXPECT_TRUE(S_ISREG(info.st_mode));
  EXPECT_EQ(info.st_nlink, 0u) << "no name leads to it";
  EXPECT_EQ(info.st_mode & 0777, 0600u);
  EXPECT_NE(fcntl(reader, F_GETFD) & FD_CLOEXEC, 0);
  EXPECT_EQ(fcntl(reader, F_GETFL) & O_ACCMODE, O_RDONLY) << "the viewer's descriptor only reads";
  EXPECT_EQ(spool.TakeReader(), -1) << "handed over once";
}

TEST_F(InputSpoolTest, AFolderThatCannotTakeTheFileIsAnError) {
  InputSpool lost;
  EXPECT_EQ(lost.Create((folder / "missing").string()), ENOENT);
  EXPECT_FALSE(lost.Start(source[0], nullptr)) << "nothing to spool into";
}

TEST_F(InputSpoolTest, AFullSpoolStopsAndKeepsWhatWentIn) {
  // A file-size limit stands in for a full disk: writes past it fail.
  signal(SIGXFSZ, SIG_IGN);
  rlimit previous{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &previous), 0);
  rlimit limit = previous;
  limit.rlim_cur = 200000;
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &limit), 0);
  StartSpool();
  const std::vector<uint8_t> bytes = Pattern(500000, 3);
  // The writer may stay blocked once the spool stops reading: not joined
  // until the read end is closed.
  std::thread writer([this, &bytes] {
    size_t done = 0;
    while (done < bytes.size()) {
      const ssize_t n = write(source[1], bytes.data() + done, bytes.size() - done);
      if (n <= 0) return;
      done += static_cast<size_t>(n);
    }
  });
  signal(SIGPIPE, SIG_IGN);
  ASSERT_TRUE(WaitUntil([&] { return spool.Progress().state == SpoolState::WriteFailed; }));
  const SpoolProgress stopped = spool.Progress();
  EXPECT_EQ(stopped.error, EFBIG);
  EXPECT_EQ(stopped.size, 200000u);
  const std::vector<uint8_t> kept(bytes.begin(), bytes.begin() + 200000);
  EXPECT_EQ(ReadBack(reader, 300000), kept);
  close(source[0]);
  source[0] = -1;
  writer.join();
  setrlimit(RLIMIT_FSIZE, &previous);
}

TEST_F(InputSpoolTest, ASourceThatCannotBeReadIsAFailureWithItsError) {
  const int directory = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  ASSERT_GE(directory, 0);
  ASSERT_EQ(spool.Create(folder.string()), 0);
  ASSERT_TRUE(spool.Start(directory, nullptr));
  ASSERT_TRUE(WaitUntil([&] { return spool.Progress().state == SpoolState::ReadFailed; }));
  EXPECT_EQ(spool.Progress().error, EISDIR);
  EXPECT_EQ(spool.Progress().size, 0u);
  spool.Stop();
  close(directory);
}

TEST_F(InputSpoolTest, StopEndsTheThreadWhileNothingArrives) {
  StartSpool();
  WriteAll(source[1], {1, 2, 3});
  ASSERT_TRUE(WaitUntil([&] { return spool.Progress().size == 3; }));
  spool.Stop();  // the pipe stays open: only the stop ends the wait
  EXPECT_EQ(spool.Progress().state, SpoolState::Arriving);
  const int before = notices.load();
  WriteAll(source[1], {4});
  EXPECT_EQ(spool.Progress().size, 3u) << "nothing is read after the stop";
  EXPECT_EQ(notices.load(), before);
  EXPECT_EQ(ReadBack(reader, 10), (std::vector<uint8_t>{1, 2, 3})) << "what came stays readable";
}

}  // namespace
}  // namespace kelm::port
