#include "engine/port/input_spool.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <vector>

namespace kelm::port {

namespace {

constexpr const char* kFallbackFolder = "/tmp";
constexpr const char* kNamePattern = "/kelmhex-input-XXXXXX";

uint64_t NowMs() {
  return static_cast<uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                   std::chrono::steady_clock::now().time_since_epoch())
                                   .count());
}

void CloseIfOpen(int& fd) {
  if (fd >= 0) close(fd);
  fd = -1;
}

// A file with no name at all, and a read-only descriptor of it (opened
// through the process's own descriptor table). Where the system or the file
// system has no unnamed files, nothing.
bool CreateUnnamed(const std::string& folder, int& writer, int& reader) {
#ifdef O_TMPFILE
  writer = open(folder.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, S_IRUSR | S_IWUSR);
  if (writer < 0) return false;
  const std::string self = "/proc/self/fd/" + std::to_string(writer);
  reader = open(self.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY);
  if (reader >= 0) return true;
  CloseIfOpen(writer);
#else
  (void)folder;
  (void)writer;
  (void)reader;
#endif
  return false;
}

// A fresh name (created exclusively, 0600, never through a link), opened
// for reading too, checked to be the same file, and removed at once.
int CreateNamed(const std::string& folder, int& writer, int& reader) {
  std::string path = folder + kNamePattern;
  writer = mkostemp(path.data(), O_CLOEXEC);
  if (writer < 0) return errno;
  reader = open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NOCTTY | O_NOFOLLOW);
  const int openError = errno;
  unlink(path.c_str());
  if (reader < 0) {
    CloseIfOpen(writer);
    return openError;
  }
  struct stat writing {};
  struct stat reading {};
  if (fstat(writer, &writing) != 0 || fstat(reader, &reading) != 0 || writing.st_dev != reading.st_dev ||
      writing.st_ino != reading.st_ino) {
    CloseIfOpen(writer);
    CloseIfOpen(reader);
    return EEXIST;  // the name was swapped under us
  }
  return 0;
}

int CreateIn(const std::string& folder, int& writer, int& reader) {
  if (CreateUnnamed(folder, writer, reader)) return 0;
  return CreateNamed(folder, writer, reader);
}

// Writes all of `data`; yields 0 or the errno value of the write that
// failed, with `written` the bytes that did go in.
int WriteAll(int fd, const uint8_t* data, size_t count, size_t& written) {
  written = 0;
  while (written < count) {
    const ssize_t n = write(fd, data + written, count - written);
    if (n > 0) {
      written += static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    return n < 0 ? errno : ENOSPC;
  }
  return 0;
}

}  // namespace

InputSpool::~InputSpool() {
  Stop();
  CloseIfOpen(writer_);
  if (reader_ >= 0) close(static_cast<int>(reader_));
  reader_ = -1;
}

std::string InputSpool::DefaultFolder() {
  const char* folder = std::getenv("TMPDIR");
  if (folder != nullptr && folder[0] == '/') return folder;
  return kFallbackFolder;
}

int InputSpool::Create(const std::string& folder) {
  if (writer_ >= 0) return 0;
  const std::string chosen = folder.empty() ? DefaultFolder() : folder;
  int reader = -1;
  int error = CreateIn(chosen, writer_, reader);
  // A $TMPDIR that cannot take the file: the system's own folder.
  if (error != 0 && folder.empty() && chosen != kFallbackFolder) error = CreateIn(kFallbackFolder, writer_, reader);
  if (error != 0) return error;
  reader_ = reader;
  return 0;
}

bool InputSpool::Start(int source, std::function<void()> onChange) {
  if (writer_ < 0 || thread_.joinable() || source < 0) return false;
  if (pipe2(stopPipe_, O_CLOEXEC | O_NONBLOCK) != 0) return false;
  thread_ = std::thread([this, source, onChange = std::move(onChange)] { Run(source, onChange); });
  return true;
}

void InputSpool::Stop() {
  if (thread_.joinable()) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t n = write(stopPipe_[1], &byte, 1);
    thread_.join();
  }
  CloseIfOpen(stopPipe_[0]);
  CloseIfOpen(stopPipe_[1]);
}

SpoolProgress InputSpool::Progress() const {
  SpoolProgress progress;
  // The state first: once it says the spooling ended, the size is final.
  progress.state = state_.load(std::memory_order_acquire);
  progress.error = error_.load(std::memory_order_acquire);
  progress.size = size_.load(std::memory_order_acquire);
  return progress;
}

intptr_t InputSpool::TakeReader() {
  const intptr_t reader = reader_;
  reader_ = -1;
  return reader;
}

void InputSpool::Finish(SpoolState state, int error) {
  error_.store(error, std::memory_order_release);
  state_.store(state, std::memory_order_release);
}

void InputSpool::Run(int source, std::function<void()> onChange) {
  std::vector<uint8_t> buffer(kChunkSize);
  const auto notify = [&onChange] {
    if (onChange) onChange();
  };
  uint64_t lastNotice = 0;
  bool noticeDue = false;
  for (;;) {
    // Waits for the source without a time-out, unless bytes that came are
    // still to be announced.
    int timeout = -1;
    if (noticeDue) {
      const uint64_t now = NowMs();
      timeout = now >= lastNotice + kNoticeMs ? 0 : static_cast<int>(lastNotice + kNoticeMs - now);
    }
    pollfd fds[2] = {{source, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
    const int ready = poll(fds, 2, timeout);
    if (ready < 0 && errno != EINTR) {
      Finish(SpoolState::ReadFailed, errno);
      notify();
      return;
    }
    if ((fds[1].revents & POLLIN) != 0) return;
    if (ready <= 0 || fds[0].revents == 0) {
      if (noticeDue) {
        noticeDue = false;
        lastNotice = NowMs();
        notify();
      }
      continue;
    }
    const ssize_t got = read(source, buffer.data(), buffer.size());
    if (got < 0) {
      if (errno == EINTR || errno == EAGAIN || errno == EWOULDBLOCK) continue;
      Finish(SpoolState::ReadFailed, errno);
      notify();
      return;
    }
    if (got == 0) {
      Finish(SpoolState::Ended, 0);
      notify();
      return;
    }
    size_t written = 0;
    const int error = WriteAll(writer_, buffer.data(), static_cast<size_t>(got), written);
    size_.fetch_add(written, std::memory_order_release);
    if (error != 0) {
      // A full disk (or a file too large for it): what is in stays.
      Finish(SpoolState::WriteFailed, error);
      notify();
      return;
    }
    const uint64_t now = NowMs();
    if (now >= lastNotice + kNoticeMs) {
      noticeDue = false;
      lastNotice = now;
      notify();
    } else {
      noticeDue = true;
    }
  }
}

}  // namespace kelm::port
