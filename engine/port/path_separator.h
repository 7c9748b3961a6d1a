// Where a path's last folder separator is: '/' everywhere, and '\' too on
// Windows.
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

}  // namespace kelm::port
