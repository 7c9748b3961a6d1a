// The absolute form of a path, which names a file the same way whatever
// the working directory: the key under which state about that file is kept.
#pragma once

#include <string>

namespace kelm::port {

// `path` resolved to an absolute path: links and "." / ".." resolved where
// the file exists (realpath; GetFullPathNameW on Windows), otherwise joined
// to the working directory as it is. Empty when not even that is known.
std::string AbsolutePath(const std::string& path);

}  // namespace kelm::port
