#include "engine/port/absolute_path.h"

#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <memory>

namespace kelm::port {

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return {};
  const std::unique_ptr<char, decltype(&std::free)> real(realpath(path.c_str(), nullptr), &std::free);
  if (real) return real.get();
  if (path[0] == '/') return path;
  char folder[PATH_MAX];
  if (getcwd(folder, sizeof folder) == nullptr) return {};
  const std::string base(folder);
  return base == "/" ? "/" + path : base + "/" + path;
}

}  // namespace kelm::port
