#include "engine/port/atomic_file_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>

#include "engine/port/random_name.h"

namespace kelm::port {

namespace {

// The folder part of `target`, with its trailing slash ("" for a bare name:
// the working directory).
std::string FolderPart(const std::string& target) {
  const size_t slash = target.rfind('/');
  return slash == std::string::npos ? std::string() : target.substr(0, slash + 1);
}

// Why a file of this type is not replaced.
int RefusalFor(mode_t mode) {
  if (S_ISDIR(mode)) return kTargetIsDirectory;
  if (S_ISFIFO(mode)) return kTargetIsFifo;
  if (S_ISCHR(mode) || S_ISBLK(mode)) return kTargetIsDevice;
  if (S_ISSOCK(mode)) return kTargetIsSocket;
  return kTargetIsSpecial;
}

// Decides where the file goes and which permission bits it gets.
TargetInfo Resolve(const std::string& target, TargetLink link, std::string& place, mode_t& keptMode,
                   bool& keepMode) {
  TargetInfo found;
  place = target;
  keepMode = false;
  struct stat info {};
  if (lstat(target.c_str(), &info) != 0) {
    if (errno != ENOENT) found.refusal = errno;
    return found;
  }
  found.exists = true;
  if (S_ISLNK(info.st_mode)) {
    // Replaced as a link: the new file gets the usual permissions.
    if (link == TargetLink::Replace) return found;
    if (stat(target.c_str(), &info) != 0) {
      found.refusal = errno == ENOENT ? kTargetIsBrokenLink : errno;
      return found;
    }
    if (!S_ISREG(info.st_mode)) {
      found.refusal = RefusalFor(info.st_mode);
      return found;
    }
    char* real = realpath(target.c_str(), nullptr);
    if (real == nullptr) {
      found.refusal = errno;
      return found;
    }
    place = real;
    found.linkedFile = real;
    std::free(real);
  } else if (!S_ISREG(info.st_mode)) {
    found.refusal = RefusalFor(info.st_mode);
    return found;
  }
  if (info.st_nlink > 1) found.otherHardLinks = static_cast<uint64_t>(info.st_nlink) - 1;
  // The permission bits only: a copy of a set-user-ID program's mode would
  // make a set-user-ID file of the written bytes.
  keptMode = info.st_mode & 0777;
  keepMode = true;
  return found;
}

}  // namespace

TargetInfo InspectTarget(const std::string& target, TargetLink link) {
  std::string place;
  mode_t mode = 0;
  bool keep = false;
  return Resolve(target, link, place, mode, keep);
}

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

int AtomicFileWriter::Open(const std::string& target, TargetLink link) {
  Abandon();
  mode_t keptMode = 0;
  bool keepMode = false;
  if (const int error = Resolve(target, link, target_, keptMode, keepMode).refusal; error != 0) return error;

  // A new file under a name no one can guess, created exclusively: O_EXCL
  // fails on any existing name, a symbolic link included, so nothing is
  // followed. The usual permissions (the process's umask applies).
  int fd = -1;
  for (int attempt = 0; attempt < kExclusiveCreateTries; ++attempt) {
    temporary_ = FolderPart(target_) + kTemporaryPrefix + UnpredictableName(12);
    fd = open(temporary_.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC | O_NOCTTY, 0666);
    if (fd >= 0 || errno != EEXIST) break;
  }
  if (fd < 0) {
    const int error = errno;
    temporary_.clear();
    return error;
  }
  handle_ = fd;
  open_ = true;
  length_ = 0;
  endsInSkip_ = false;
  if (keepMode) fchmod(fd, keptMode);
  return 0;
}

int AtomicFileWriter::Write(const uint8_t* data, uint64_t size) {
  if (!open_) return EBADF;
  const int fd = static_cast<int>(handle_);
  if (size > 0) endsInSkip_ = false;
  length_ += size;
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

// Moves the position on: the next write, or the truncate in Commit, makes
// the file longer and the stretch a hole.
int AtomicFileWriter::Skip(uint64_t length) {
  if (!open_) return EBADF;
  if (length == 0) return 0;
  if (!FitsAfterEnd(length)) return EFBIG;
  if (lseek(static_cast<int>(handle_), static_cast<off_t>(length), SEEK_CUR) < 0) return errno;
  length_ += length;
  endsInSkip_ = true;
  return 0;
}

int AtomicFileWriter::Commit() {
  if (!open_) return EBADF;
  const int fd = static_cast<int>(handle_);
  int error = 0;
  // Skipped bytes at the end exist only once the file is extended over them.
  if (endsInSkip_ && ftruncate(fd, static_cast<off_t>(length_)) != 0) error = errno;
  if (error == 0 && fsync(fd) != 0) error = errno;
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

int RemoveFile(const std::string& path) {
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return errno;
  return 0;
}

}  // namespace kelm::port
