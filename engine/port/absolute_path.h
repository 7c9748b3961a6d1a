// The absolute form of a path, which names a file the same way whatever
// the working directory: the key under which state about that file is kept.
#pragma once

#include <string>

namespace kelm::port {

// `path` resolved to an absolute path: links and "." / ".." resolved where
// the file exists (realpath), otherwise joined to the working directory as
// it is; empty when not even that is known. On Windows GetFullPathNameW
// against the current directory (engine/port/windows/windows_startup.cpp),
// the path unchanged when the system cannot resolve it.
std::string AbsolutePath(const std::string& path);

}  // namespace kelm::port
