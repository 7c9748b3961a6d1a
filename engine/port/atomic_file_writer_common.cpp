// The writer's parts that are the same on every system.
#include <cstring>

#include "engine/port/atomic_file_writer.h"

namespace kelm::port {

std::string WriteErrorText(int error) {
  switch (error) {
    case kTargetIsFifo: return "Is a named pipe (FIFO), not a regular file";
    case kTargetIsDevice: return "Is a device, not a regular file";
    case kTargetIsSocket: return "Is a socket, not a regular file";
    case kTargetIsDirectory: return "Is a directory, not a regular file";
    case kTargetIsBrokenLink: return "Is a link to a file that does not exist";
    case kTargetIsSpecial: return "Is not a regular file";
    default: return std::strerror(error);
  }
}

int WriteFileAtomically(const std::string& target, const std::string& bytes) {
  AtomicFileWriter file;
  if (const int error = file.Open(target); error != 0) return error;
  if (const int error = file.Write(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size()); error != 0) {
    return error;
  }
  return file.Commit();
}

}  // namespace kelm::port
