#include "engine/port/atomic_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>

namespace kelm::port {

namespace {

// The folder part of `target`, with its trailing slash ("" for a bare name:
// the working directory).
std::string FolderPart(const std::string& target) {
  const size_t slash = target.rfind('/');
  return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
}

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

int AtomicFileWriter::Open(const std::string& target) {
  Abandon();
  target_ = target;
  // A new file that no one else uses, created with the usual permissions
  // (the process's umask applies).
  static std::atomic<unsigned> counter{0};
  int fd = -1;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = FolderPart(target) + ".kelmhex-export-" + std::to_string(getpid()) + "-" +
                 std::to_string(counter.fetch_add(1));
    fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0 || errno != EEXIST) break;
  }
  if (fd < 0) {
    const int error = errno;
    temporary_.clear();
    return error;
  }
  handle_ = fd;
  open_ = true;

  // Replacing a file keeps its permissions.
  struct stat existing {};
  if (stat(target.c_str(), &existing) == 0 && S_ISREG(existing.st_mode)) {
    fchmod(fd, existing.st_mode & 07777);
  }
  return 0;
}

int AtomicFileWriter::Write(const uint8_t* data, uint64_t size) {
  if (!open_) return EBADF;
  const int fd = static_cast<int>(handle_);
  while (size > 0) {
    const size_t step = static_cast<size_t>(std::min<uint64_t>(size, size_t{1} << 30));
    const ssize_t written = write(fd, data, step);
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    data += written;
    size -= static_cast<uint64_t>(written);
  }
  return 0;
}

int AtomicFileWriter::Commit() {
  if (!open_) return EBADF;
  const int fd = static_cast<int>(handle_);
  int error = 0;
  if (fsync(fd) != 0) error = errno;
  const int closed = close(fd);
  handle_ = -1;
  if (error == 0 && closed != 0) error = errno;
  if (error == 0 && rename(temporary_.c_str(), target_.c_str()) != 0) error = errno;
  if (error != 0) {
    Abandon();
    return error;
  }
  open_ = false;
  temporary_.clear();
  return 0;
}

void AtomicFileWriter::Abandon() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  handle_ = -1;
  if (open_ && !temporary_.empty()) unlink(temporary_.c_str());
  open_ = false;
  temporary_.clear();
}

}  // namespace kelm::port
