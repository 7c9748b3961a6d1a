// Whole-or-nothing file replacement with the Win32 file calls.
#include "engine/port/atomic_file_writer.h"

#include <algorithm>
#include <cerrno>

#include "engine/port/random_name.h"
#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/windows_errors.h"
#include "engine/port/windows/win32.h"

namespace kelm::port {

namespace {

// The folder part of `target` with its trailing separator ("" for a bare
// name: the working directory). Both separators count on Windows.
std::string FolderPart(const std::string& target) {
  const size_t separator = target.find_last_of("\\/");
  return separator == std::string::npos ? std::string() : target.substr(0, separator + 1);
}

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

AtomicFileWriter::~AtomicFileWriter() { Abandon(); }

// Only a regular file, or nothing, is replaced. A link (a reparse point)
// at the target is replaced itself by the move in Commit, not followed.
TargetInfo InspectTarget(const std::string& target, TargetLink /*link*/) {
  TargetInfo found;
  const DWORD attributes = GetFileAttributesW(WideFromUtf8(target).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) return found;
  found.exists = true;
  if ((attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) found.refusal = kTargetIsDirectory;
  return found;
}

int AtomicFileWriter::Open(const std::string& target, TargetLink link) {
  Abandon();
  target_ = target;
  if (const int error = InspectTarget(target, link).refusal; error != 0) return error;
  // A new file under a name no one can guess; CREATE_NEW fails on any
  // existing name, so nothing is followed or reused.
  HANDLE file = INVALID_HANDLE_VALUE;
  DWORD error = 0;
  for (int attempt = 0; attempt < kExclusiveCreateTries; ++attempt) {
    temporary_ = FolderPart(target) + kTemporaryPrefix + UnpredictableName(12);
    file = CreateFileW(WideFromUtf8(temporary_).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                       FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) break;
    error = GetLastError();
    if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
  }
  if (file == INVALID_HANDLE_VALUE) {
    temporary_.clear();
    return ErrnoFromWindows(error);
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  open_ = true;
  length_ = 0;
  endsInSkip_ = false;
  return 0;
}

int AtomicFileWriter::Write(const uint8_t* data, uint64_t size) {
  if (!open_) return EBADF;
  if (size > 0) endsInSkip_ = false;
  length_ += size;
  while (size > 0) {
    const DWORD step = static_cast<DWORD>(std::min<uint64_t>(size, uint64_t{1} << 30));
    DWORD written = 0;
    if (!WriteFile(AsHandle(handle_), data, step, &written, nullptr)) return ErrnoFromWindows(GetLastError());
    if (written == 0) return EIO;
    data += written;
    size -= written;
  }
  return 0;
}

// Moves the file pointer on: a write past the end, or SetEndOfFile in
// Commit, extends the file over the stretch, which then reads as zeros.
// The file is made sparse first (asking again is harmless), so that the
// stretch takes no space; where the file system has no sparse files it
// is written out as zeros, with the same bytes.
int AtomicFileWriter::Skip(uint64_t length) {
  if (!open_) return EBADF;
  if (length == 0) return 0;
  if (!FitsAfterEnd(length)) return EFBIG;
  DWORD ignored = 0;
  DeviceIoControl(AsHandle(handle_), FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
  LARGE_INTEGER distance;
  distance.QuadPart = static_cast<LONGLONG>(length);
  if (!SetFilePointerEx(AsHandle(handle_), distance, nullptr, FILE_CURRENT)) return ErrnoFromWindows(GetLastError());
  length_ += length;
  endsInSkip_ = true;
  return 0;
}

int AtomicFileWriter::Commit() {
  if (!open_) return EBADF;
  int error = 0;
  // Skipped bytes at the end exist only once the file is extended over them
  // (the file pointer stands at the end of the skip).
  if (endsInSkip_ && !SetEndOfFile(AsHandle(handle_))) error = ErrnoFromWindows(GetLastError());
  if (error == 0 && !FlushFileBuffers(AsHandle(handle_))) error = ErrnoFromWindows(GetLastError());
  if (!CloseHandle(AsHandle(handle_)) && error == 0) error = ErrnoFromWindows(GetLastError());
  handle_ = -1;
  // Replaces an existing target in one step. A target that another program
  // holds open without sharing deletion (the viewer's own file, for one)
  // cannot be replaced: that is reported, and the target keeps its bytes.
  if (error == 0 && !MoveFileExW(WideFromUtf8(temporary_).c_str(), WideFromUtf8(target_).c_str(),
                                 MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
    error = ErrnoFromWindows(GetLastError());
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

int RemoveFile(const std::string& path) {
  if (DeleteFileW(WideFromUtf8(path).c_str())) return 0;
  const DWORD error = GetLastError();
  if (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND) return 0;
  return ErrnoFromWindows(error);
}

}  // namespace kelm::port
