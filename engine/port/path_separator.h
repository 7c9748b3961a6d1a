// Where a path's last folder separator is ('/' everywhere, and '\' too on
// Windows), and the folder part of a path.
#pragma once

#include <string>
#include <string_view>

namespace kelm::port {

#ifdef _WIN32
inline constexpr std::string_view kPathSeparators = "/\\";
#else
inline constexpr std::string_view kPathSeparators = "/";
#endif

// The index of the last separator of `path`, or std::string::npos.
inline size_t LastPathSeparator(const std::string& path) { return path.find_last_of(kPathSeparators); }

// The folder of `path`, where the open and save dialogs start: "/" for a
// file at the root, empty (meaning the working directory) for a bare name.
inline std::string FolderOf(const std::string& path) {
  const size_t slash = LastPathSeparator(path);
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash);
}

}  // namespace kelm::port
