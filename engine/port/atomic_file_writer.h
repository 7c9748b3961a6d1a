// Writing a file so that it is replaced whole or not at all.
//
// The bytes go to a new temporary file beside the target, which is put in
// the target's place only when every byte was written and saved to the
// disk. A failed or abandoned write never leaves a half-written target; the
// target keeps its old contents until the replacement.
//
// The temporary file has a name no other user can guess and is created
// exclusively, never through a symbolic link; the rename then replaces
// whatever is at the target's name, so a link planted there is replaced,
// not followed (unless the caller asks to follow it, below). Only a regular
// file, or nothing, is replaced: a directory, a FIFO, a device or a socket
// at the target is refused. Replacing a file keeps its permission bits but
// never its set-user-ID, set-group-ID or sticky bits (on POSIX systems).
//
// Errors are errno values (on Windows the system's codes are mapped to the
// nearest errno value) or one of the refusals below; WriteErrorText words
// either.
#pragma once

#include <cstdint>
#include <string>

namespace kelm::port {

// What Open does with a symbolic link at the target's name.
enum class TargetLink {
  Replace,  // the link itself is replaced (files the program names itself)
  Follow,   // the file it leads to is replaced (a target the user chose and confirmed)
};            // (on Windows a link at the target is always replaced itself)

// Refusals of a target that is not a regular file (negative, apart from
// errno values).
inline constexpr int kTargetIsFifo = -1;
inline constexpr int kTargetIsDevice = -2;
inline constexpr int kTargetIsSocket = -3;
inline constexpr int kTargetIsDirectory = -4;
inline constexpr int kTargetIsBrokenLink = -5;
inline constexpr int kTargetIsSpecial = -6;

// What is at a target's name, as Open treats it.
struct TargetInfo {
  bool exists = false;
  int refusal = 0;             // 0, or the refusal or errno value Open yields
  std::string linkedFile;      // the file a followed link leads to ("" when none)
  uint64_t otherHardLinks = 0; // other names of the replaced file, which keep its old bytes
};
TargetInfo InspectTarget(const std::string& target, TargetLink link);

// An error of the writer in words: strerror for an errno value, a sentence
// for a refusal.
std::string WriteErrorText(int error);

class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  // Abandons a write that was not committed.
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file for `target`. Yields 0 or an error.
  int Open(const std::string& target, TargetLink link = TargetLink::Replace);
  // Appends bytes. Yields 0 or an error.
  int Write(const uint8_t* data, uint64_t size);
  // Appends `length` zero bytes without writing them: the position moves on
  // and the file is extended to it at the latest by Commit, so on a file
  // system that keeps holes (POSIX) the skipped stretch takes no space and
  // costs nothing whatever its length. (On Windows the file is not made
  // sparse: the stretch reads as zeros but takes its space on the disk.) A
  // length beyond the largest file offset is refused with EFBIG. Yields 0
  // or an error.
  int Skip(uint64_t length);
  // Saves the bytes to the disk and puts the file in the target's place.
  // Yields 0 or an error (the temporary file is removed then).
  int Commit();
  // Removes the temporary file; the target is left as it was.
  void Abandon();

  // The temporary file's path while a write is open (for tests).
  const std::string& TemporaryPath() const { return temporary_; }

 private:
  // Whether `more` bytes after the ones so far stay within the largest file
  // offset.
  bool FitsAfterEnd(uint64_t more) const { return more <= static_cast<uint64_t>(INT64_MAX) - length_; }

  std::string target_;
  std::string temporary_;
  intptr_t handle_ = -1;  // a file descriptor, or a Windows HANDLE
  bool open_ = false;
  uint64_t length_ = 0;      // bytes written and skipped so far
  bool endsInSkip_ = false;  // the last bytes were skipped: Commit extends the file to length_
};

// Writes `bytes` to `target` through an AtomicFileWriter (a link at the
// target is replaced). Yields 0 or an error.
int WriteFileAtomically(const std::string& target, const std::string& bytes);

// Removes the file (or link) at `path` that the program wrote itself; a
// link is removed, not followed. Yields 0 (also when nothing was there) or
// an error.
int RemoveFile(const std::string& path);

// The prefix of the writer's temporary names (a dot file beside the target).
inline constexpr char kTemporaryPrefix[] = ".kelmhex-tmp-";

}  // namespace kelm::port
