#include "engine/port/process_path.h"

#include <sys/stat.h>
#include <unistd.h>

#include <string_view>
#include <vector>

namespace kelm::port {

std::string ProgramPath() {
  // readlink does not say whether the name was cut, so grow the buffer until
  // the answer is shorter than the buffer.
  for (size_t size = 256; size <= (size_t{1} << 20); size *= 2) {
    std::vector<char> buffer(size);
    const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (length < 0) return {};
    if (static_cast<size_t>(length) < buffer.size()) {
      std::string path(buffer.data(), static_cast<size_t>(length));
      // A program file replaced while it runs (a rebuild, an upgrade) reads as
      // "<path> (deleted)"; the new file at the path is the program to name.
      constexpr std::string_view kDeleted = " (deleted)";
      struct stat info {};
      if (path.ends_with(kDeleted) && stat(path.c_str(), &info) != 0) {
        path.resize(path.size() - kDeleted.size());
      }
      return path;
    }
  }
  return {};
}

}  // namespace kelm::port
