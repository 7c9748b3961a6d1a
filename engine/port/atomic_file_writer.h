// Writing a file so that it is replaced whole or not at all.
//
// The bytes go to a new temporary file beside the target, which is put in
// the target's place only when every byte was written and saved to the
// disk. A failed or abandoned write never leaves a half-written target; the
// target keeps its old contents until the replacement. Replacing a file
// keeps its permissions (on POSIX systems).
//
// Errors are errno values (on Windows the system's codes are mapped to the
// nearest errno value), so callers show them with strerror.
#pragma once

#include <cstdint>
#include <string>

namespace kelm::port {

class AtomicFileWriter {
 public:
  AtomicFileWriter() = default;
  // Abandons a write that was not committed.
  ~AtomicFileWriter();
  AtomicFileWriter(const AtomicFileWriter&) = delete;
  AtomicFileWriter& operator=(const AtomicFileWriter&) = delete;

  // Creates the temporary file for `target`. Yields 0 or an error.
  int Open(const std::string& target);
  // Appends bytes. Yields 0 or an error.
  int Write(const uint8_t* data, uint64_t size);
  // Saves the bytes to the disk and puts the file in the target's place.
  // Yields 0 or an error (the temporary file is removed then).
  int Commit();
  // Removes the temporary file; the target is left as it was.
  void Abandon();

  // The temporary file's path while a write is open (for tests).
  const std::string& TemporaryPath() const { return temporary_; }

 private:
  std::string target_;
  std::string temporary_;
  intptr_t handle_ = -1;  // a file descriptor, or a Windows HANDLE
  bool open_ = false;
};

}  // namespace kelm::port
