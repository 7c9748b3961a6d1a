// Paths as the file chooser handles them: raw bytes, '/' separated.
#pragma once

#include <string>

namespace kelm::port {

// `path` with a leading "~" or "~/" replaced by $HOME (or the user's home
// folder from the password database); any other path as it is.
std::string ExpandHome(const std::string& path);
// An absolute path with "." and ".." components and repeated slashes taken
// out, without a trailing slash ("/" for the root). A relative path is taken
// from `base`.
std::string NormalizePath(const std::string& path, const std::string& base);
// The folder above `folder` ("/" stays "/").
std::string ParentFolder(const std::string& folder);
// `folder` + '/' + `name`, without doubling the root's slash.
std::string JoinPath(const std::string& folder, const std::string& name);
// The working directory, "/" when it cannot be found out.
std::string WorkingDirectory();

}  // namespace kelm::port
