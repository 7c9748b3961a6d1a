#include "engine/port/read_only_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kelm::port {

namespace {

FileKind KindOf(mode_t mode) {
  if (S_ISREG(mode)) return FileKind::Regular;
  if (S_ISBLK(mode)) return FileKind::BlockDevice;
  if (S_ISDIR(mode)) return FileKind::Directory;
  if (S_ISFIFO(mode)) return FileKind::Fifo;
  if (S_ISSOCK(mode)) return FileKind::Socket;
  if (S_ISCHR(mode)) return FileKind::CharacterDevice;
  return FileKind::Other;
}

}  // namespace

ReadOnlyFile::~ReadOnlyFile() { Close(); }

void ReadOnlyFile::Close() {
  if (handle_ != -1) close(static_cast<int>(handle_));
  handle_ = -1;
  size_ = 0;
  modified_ = 0;
}

int ReadOnlyFile::Open(const std::string& path) {
  Close();
  kind_ = FileKind::None;
  // O_NONBLOCK: opening a FIFO returns at once instead of waiting for a
  // writer; O_NOCTTY: a terminal device never becomes the controlling one.
  int fd = -1;
  do {
    fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
  } while (fd < 0 && errno == EINTR);
  struct stat info {};
  if (fd < 0) {
    // Some kinds cannot be opened at all (a socket, a terminal that is not
    // ours: ENXIO); they are named by their kind all the same. Nothing is
    // opened after this look.
    const int error = errno;
    if (stat(path.c_str(), &info) == 0) {
      const FileKind kind = KindOf(info.st_mode);
      if (kind != FileKind::Regular && kind != FileKind::BlockDevice) {
        kind_ = kind;
        return kNotReadableKind;
      }
    }
    return error;
  }
  if (fstat(fd, &info) != 0) {
    const int error = errno;
    close(fd);
    return error;
  }
  kind_ = KindOf(info.st_mode);
  if (kind_ != FileKind::Regular && kind_ != FileKind::BlockDevice) {
    close(fd);
    return kNotReadableKind;
  }
  uint64_t size = static_cast<uint64_t>(std::max<off_t>(info.st_size, 0));
  if (kind_ == FileKind::BlockDevice) {
    const off_t end = lseek(fd, 0, SEEK_END);
    size = end > 0 ? static_cast<uint64_t>(end) : 0;
  }
  // Reads of a file or a disk wait for the data as usual.
  const int flags = fcntl(fd, F_GETFL);
  if (flags >= 0) fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
  handle_ = fd;
  size_ = size;
  modified_ = static_cast<int64_t>(info.st_mtim.tv_sec) * 1000000000 + static_cast<int64_t>(info.st_mtim.tv_nsec);
  return 0;
}

uint64_t ReadOnlyFile::ReadAt(uint64_t offset, uint8_t* buffer, uint64_t count) const {
  if (handle_ == -1 || buffer == nullptr) return 0;
  constexpr uint64_t kLargestOffset = static_cast<uint64_t>(INT64_MAX);
  uint64_t done = 0;
  while (done < count && offset <= kLargestOffset - done) {
    const size_t step = static_cast<size_t>(std::min<uint64_t>(count - done, size_t{1} << 30));
    const ssize_t got = pread(static_cast<int>(handle_), buffer + done, step, static_cast<off_t>(offset + done));
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    done += static_cast<uint64_t>(got);
  }
  return done;
}

// lseek's SEEK_DATA and SEEK_HOLE answer where extents lie. Both fail with
// ENXIO past the last data (NextData) or the end; file systems that do not
// know extents answer as if the whole file were data, and other errors
// (EINVAL on systems without the two) are taken the same way.
uint64_t ReadOnlyFile::NextData(uint64_t offset) const {
  if (offset >= size_) return size_;
  if (handle_ == -1 || offset > static_cast<uint64_t>(INT64_MAX)) return offset;
  const off_t at = lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_DATA);
  if (at >= 0) return std::min<uint64_t>(static_cast<uint64_t>(at), size_);
  return errno == ENXIO ? size_ : offset;
}

uint64_t ReadOnlyFile::NextHole(uint64_t offset) const {
  if (offset >= size_) return size_;
  if (handle_ == -1 || offset > static_cast<uint64_t>(INT64_MAX)) return size_;
  const off_t at = lseek(static_cast<int>(handle_), static_cast<off_t>(offset), SEEK_HOLE);
  if (at >= 0) return std::min<uint64_t>(static_cast<uint64_t>(at), size_);
  return size_;
}

}  // namespace kelm::port
