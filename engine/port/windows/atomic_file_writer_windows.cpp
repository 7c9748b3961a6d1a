// Whole-or-nothing file replacement with the Win32 file calls.
#include "engine/port/atomic_file_writer.h"

#include <algorithm>
#include <atomic>
#include <cerrno>

#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/win32.h"

namespace kelm::port {

namespace {

// The folder part of `target` with its trailing separator ("" for a bare
// name: the working directory). Both separators count on Windows.
std::string FolderPart(const std::string& target) {
  const size_t separator = target.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : target.substr(0, separator + 1);
}

// The errno value nearest to a system error, for strerror.
int ErrnoFor(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
      return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_LOCK_VIOLATION:
      return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS:
      return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL:
      return ENOSPC;
    case ERROR_WRITE_PROTECT:
      return EROFS;
    case ERROR_INVALID_NAME:
    case ERROR_BAD_PATHNAME:
    case ERROR_DIRECTORY:
      return EINVAL;
    case ERROR_FILENAME_EXCED_RANGE:
      return ENAMETOOLONG;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY:
      return ENOMEM;
    default:
      return EIO;
  }
}

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

int AtomicFileWriter::Open(const std::string& target) {
  Abandon();
  target_ = target;
  static std::atomic<unsigned> counter{0};
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD error = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    temporary_ = FolderPart(target) + ".kelmhex-export-" + std::to_string(GetCurrentProcessId()) + "-" +
                 std::to_string(counter.fetch_add(1));
    file = CreateFileW(WideFromUtf8(temporary_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) break;
    error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    temporary_.clear();
    return ErrnoFor(error);
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  open_ = true;
  return 0;
}

int AtomicFileWriter::Write(const uint8_t* data, uint64_t size) {
  if (!open_) return EBADF;
  while (size > 0) {
    const DWORD step = static_cast<DWORD>(std::min<uint64_t>(size, uint64_t{1} << 30));
    DWORD written = 0;
    if (!WriteFile(AsHandle(handle_), data, step, &written, nullptr)) return ErrnoFor(GetLastError());
    if (written == 0) return EIO;
    data += written;
    size -= written;
  }
  return 0;
}

int AtomicFileWriter::Commit() {
  if (!open_) return EBADF;
  int error = 0;
  if (!FlushFileBuffers(AsHandle(handle_))) error = ErrnoFor(GetLastError());
  if (!CloseHandle(AsHandle(handle_)) && error == 0) error = ErrnoFor(GetLastError());
  handle_ = -1;
  // Replaces an existing target in one step. A target that another program
  // holds open without sharing deletion (the viewer's own file, for one)
  // cannot be replaced: that is reported, and the target keeps its bytes.
  if (error == 0 && !MoveFileExW(WideFromUtf8(temporary_).c_str(), WideFromUtf8(target_).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = ErrnoFor(GetLastError());
  }
  if (error != 0) {
    Abandon();
    return error;
  }
  open_ = false;
  temporary_.clear();
  return 0;
}

void AtomicFileWriter::Abandon() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  handle_ = -1;
  if (open_ && !temporary_.empty()) DeleteFileW(WideFromUtf8(temporary_).c_str());
  open_ = false;
  temporary_.clear();
}

}  // namespace kelm::port
