// Opening a file for reading with the Win32 file calls: the handle is
// opened first and its type checked after, and it is never inherited by a
// child process.
#include <algorithm>
#include <cerrno>

#include "engine/port/read_only_file.h"
#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/windows_errors.h"
#include "engine/port/windows/win32.h"

namespace kelm::port {

namespace {

HANDLE AsHandle(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

ReadOnlyFile::~ReadOnlyFile() { Close(); }

void ReadOnlyFile::Close() {
  if (handle_ != -1) CloseHandle(AsHandle(handle_));
  handle_ = -1;
  size_ = 0;
  modified_ = 0;
}

int ReadOnlyFile::Open(const std::string& path) {
  Close();
  kind_ = FileKind::None;
  // Others may read and write the file meanwhile, as the C library's open
  // allows, but not delete it. FILE_FLAG_BACKUP_SEMANTICS opens a folder
  // too, so that it is told apart below rather than failing as denied.
  HANDLE file = CreateFileW(WideFromUtf8(path).c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return ErrnoFromWindows(GetLastError());
  const DWORD type = GetFileType(file);
  if (type == FILE_TYPE_DISK) {
    BY_HANDLE_FILE_INFORMATION info{};
    if (!GetFileInformationByHandle(file, &info)) {
      const int error = ErrnoFromWindows(GetLastError());
      CloseHandle(file);
      return error;
    }
    kind_ = (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? FileKind::Directory : FileKind::Regular;
  } else if (type == FILE_TYPE_PIPE) {
    kind_ = FileKind::Fifo;
  } else if (type == FILE_TYPE_CHAR) {
    kind_ = FileKind::CharacterDevice;
  } else {
    kind_ = FileKind::Other;
  }
  if (kind_ != FileKind::Regular) {
    CloseHandle(file);
    return kNotReadableKind;
  }
  LARGE_INTEGER size{};
  if (!GetFileSizeEx(file, &size)) {
    const int error = ErrnoFromWindows(GetLastError());
    CloseHandle(file);
    return error;
  }
  handle_ = reinterpret_cast<intptr_t>(file);
  size_ = size.QuadPart > 0 ? static_cast<uint64_t>(size.QuadPart) : 0;
  FILETIME written{};
  if (GetFileTime(file, nullptr, nullptr, &written)) {
    // 100-nanosecond steps since 1601; 11644473600 seconds lie before 1970.
    const uint64_t steps = (static_cast<uint64_t>(written.dwHighDateTime) << 32) | written.dwLowDateTime;
    modified_ = (static_cast<int64_t>(steps) - INT64_C(116444736000000000)) * 100;
  }
  return 0;
}

uint64_t ReadOnlyFile::ReadAt(uint64_t offset, uint8_t* buffer, uint64_t count) const {
  if (handle_ == -1 || buffer == nullptr) return 0;
  uint64_t done = 0;
  while (done < count) {
    const DWORD step = static_cast<DWORD>(std::min<uint64_t>(count - done, uint64_t{1} << 30));
    OVERLAPPED at{};
    const uint64_t position = offset + done;
    at.Offset = static_cast<DWORD>(position & 0xFFFFFFFFu);
    at.OffsetHigh = static_cast<DWORD>(position >> 32);
    DWORD got = 0;
    if (!ReadFile(AsHandle(handle_), buffer + done, step, &got, &at) || got == 0) break;
    done += got;
  }
  return done;
}

namespace {

// Up to `capacity` allocated ranges of [offset, end) of the file, from
// FSCTL_QUERY_ALLOCATED_RANGES: the count, or -1 where the file system
// gives no answer. `more` is set when ranges beyond those lie in the stretch.
int AllocatedRanges(HANDLE file, uint64_t offset, uint64_t end, FILE_ALLOCATED_RANGE_BUFFER* ranges, int capacity,
                    bool& more) {
  FILE_ALLOCATED_RANGE_BUFFER query{};
  query.FileOffset.QuadPart = static_cast<LONGLONG>(offset);
  query.Length.QuadPart = static_cast<LONGLONG>(end - offset);
  DWORD bytes = 0;
  const DWORD size = static_cast<DWORD>(sizeof(FILE_ALLOCATED_RANGE_BUFFER) * static_cast<size_t>(capacity));
  more = false;
  if (!DeviceIoControl(file, FSCTL_QUERY_ALLOCATED_RANGES, &query, sizeof query, ranges, size, &bytes, nullptr)) {
    if (GetLastError() != ERROR_MORE_DATA) return -1;
    more = true;
  }
  return static_cast<int>(bytes / sizeof(FILE_ALLOCATED_RANGE_BUFFER));
}

constexpr int kRangesPerQuery = 32;

// Offsets past INT64_MAX cannot be asked for (the query takes signed ones).
constexpr uint64_t kLargestQueryOffset = static_cast<uint64_t>(INT64_MAX);

}  // namespace

// The file system's allocated ranges tell where data lies. A file that is
// not sparse is one range; where the query fails (a file system without it,
// a network share) every byte counts as data.
uint64_t ReadOnlyFile::NextData(uint64_t offset) const {
  if (offset >= size_) return size_;
  if (handle_ == -1 || size_ > kLargestQueryOffset) return offset;
  FILE_ALLOCATED_RANGE_BUFFER ranges[1]{};
  bool more = false;
  const int count = AllocatedRanges(AsHandle(handle_), offset, size_, ranges, 1, more);
  if (count < 0) return offset;
  if (count == 0) return size_;  // only a hole follows
  const auto start = static_cast<uint64_t>(ranges[0].FileOffset.QuadPart);
  return std::min(std::max(start, offset), size_);
}

uint64_t ReadOnlyFile::NextHole(uint64_t offset) const {
  if (offset >= size_) return size_;
  if (handle_ == -1 || size_ > kLargestQueryOffset) return size_;
  // Walks ranges that touch one another from `offset`; the first gap (or
  // the end of the last range) is the hole.
  uint64_t at = offset;
  FILE_ALLOCATED_RANGE_BUFFER ranges[kRangesPerQuery]{};
  for (;;) {
    bool more = false;
    const int count = AllocatedRanges(AsHandle(handle_), at, size_, ranges, kRangesPerQuery, more);
    if (count < 0) return size_;  // no answer: the rest counts as data
    for (int i = 0; i < count; ++i) {
      const auto start = static_cast<uint64_t>(ranges[i].FileOffset.QuadPart);
      const auto length = static_cast<uint64_t>(ranges[i].Length.QuadPart);
      if (start > at) return std::min(at, size_);
      at = std::max(at, start + length);
      if (at >= size_) return size_;
    }
    if (!more || count == 0) return std::min(at, size_);
  }
}

}  // namespace kelm::port
