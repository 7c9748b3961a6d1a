#include "engine/port/user_folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>

namespace kelm::port {

namespace {

constexpr const char* kProgramFolder = "/kelmhex";

// An XDG variable's value when it is an absolute path, or `fallback` (a
// path below the home folder) otherwise.
std::string BaseFolder(const char* variable, const char* fallback) {
  const char* value = std::getenv(variable);
  if (value != nullptr && value[0] == '/') return std::string(value) + kProgramFolder;
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return home + fallback + kProgramFolder;
}

}  // namespace

std::string HomeFolder() {
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return home;
  struct passwd entry {};
  struct passwd* found = nullptr;
  char buffer[4096];
  if (getpwuid_r(getuid(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr &&
      found->pw_dir != nullptr && found->pw_dir[0] == '/') {
    return found->pw_dir;
  }
  return {};
}

std::string ConfigFolder() { return BaseFolder("XDG_CONFIG_HOME", "/.config"); }

std::string StateFolder() { return BaseFolder("XDG_STATE_HOME", "/.local/state"); }

int MakeFolders(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) == 0) return S_ISDIR(info.st_mode) ? 0 : ENOTDIR;
  if (errno != ENOENT) return errno;
  const size_t slash = path.find_last_of('/');
  if (slash != std::string::npos && slash > 0) {
    const int parentError = MakeFolders(path.substr(0, slash));
    if (parentError != 0) return parentError;
  }
  if (mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) return errno;
  return 0;
}

}  // namespace kelm::port
