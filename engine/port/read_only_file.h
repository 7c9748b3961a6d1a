// Opening a file for reading without a race between looking at it and
// opening it.
//
// A path checked first and opened after can be swapped in between: a FIFO
// put in a file's place makes a blocking open wait for a writer forever,
// freezing whichever thread opened it. So the path is opened first, without
// blocking, and the type is checked on the open descriptor; only a regular
// file or a block device is kept open. The descriptor is close-on-exec, so
// no program started later (Open With, clipboard tools) inherits it.
//
// Errors are errno values (on Windows the system's codes are mapped to the
// nearest errno value), or kNotReadableKind when the path names something
// that is not read as a file (Kind() tells what).
#pragma once

#include <cstdint>
#include <string>

namespace kelm::port {

enum class FileKind { None, Regular, BlockDevice, Directory, Fifo, Socket, CharacterDevice, Other };

// What Open yields for a directory, a FIFO, a socket, a character device
// or anything else that is not read as a file.
inline constexpr int kNotReadableKind = -1;

class ReadOnlyFile {
 public:
  ReadOnlyFile() = default;
  ~ReadOnlyFile();
  ReadOnlyFile(const ReadOnlyFile&) = delete;
  ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

  // Opens `path` read-only as described above. Yields 0, an errno value or
  // kNotReadableKind; a file that was open before is closed first.
  int Open(const std::string& path);
  void Close();

  // Takes `handle` (a descriptor or HANDLE open for reading, which is now
  // this object's to close) as a regular file of `size` bytes so far: the
  // spool of piped input, which grows while it is read (SetSize).
  void Adopt(intptr_t handle, uint64_t size) {
    Close();
    handle_ = handle;
    kind_ = handle == -1 ? FileKind::None : FileKind::Regular;
    size_ = handle == -1 ? 0 : size;
  }
  // The size the reads and the extent answers go by, for a file that grew.
  void SetSize(uint64_t size) {
    if (handle_ != -1) size_ = size;
  }

  bool IsOpen() const { return handle_ != -1; }
  // What the last Open found (None when nothing was there to look at).
  FileKind Kind() const { return kind_; }
  // The size when it was opened (a block device's real size).
  uint64_t Size() const { return size_; }
  // The time of the last change of its contents when it was opened, in
  // nanoseconds since 1970 (0 when unknown).
  int64_t ModifiedTime() const { return modified_; }

  // Reads up to `count` bytes found `offset` bytes into the file; yields
  // how many it read (fewer at the end of the file, 0 on an error). The
  // reads keep no position between them.
  uint64_t ReadAt(uint64_t offset, uint8_t* buffer, uint64_t count) const;

  // Where the file system says the data lies, so that work walking the file
  // can skip holes (ranges never written, which read as zeros). NextData
  // yields the first offset at or after `offset` that holds data, or Size()
  // when only a hole follows; NextHole the first offset at or after
  // `offset` that starts a hole, or Size() (the end of the file counts as
  // one). Where the file system cannot tell (or on an error) every byte
  // counts as data: NextData yields `offset` and NextHole Size(). An offset
  // at or past Size() yields Size() from both.
  uint64_t NextData(uint64_t offset) const;
  uint64_t NextHole(uint64_t offset) const;

 private:
  intptr_t handle_ = -1;  // a file descriptor, or a Windows HANDLE
  FileKind kind_ = FileKind::None;
  uint64_t size_ = 0;
  int64_t modified_ = 0;
};

}  // namespace kelm::port
