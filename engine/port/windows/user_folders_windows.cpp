#include "engine/port/user_folders.h"

#include <cerrno>

#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/win32.h"
#include "engine/port/windows/windows_errors.h"

namespace kelm::port {

namespace {

// An environment variable's value as UTF-8; empty when unset.
std::string Environment(const wchar_t* name) {
  wchar_t buffer[32768];
  const DWORD length = GetEnvironmentVariableW(name, buffer, static_cast<DWORD>(sizeof buffer / sizeof buffer[0]));
  if (length == 0 || length >= sizeof buffer / sizeof buffer[0]) return {};
  return Utf8FromWide(std::wstring(buffer, length));
}

// A folder variable's value with the program's folder below it, or
// `fallback` below the home folder when it is unset.
std::string BaseFolder(const wchar_t* variable, const char* fallback) {
  const std::string value = Environment(variable);
  if (!value.empty()) return value + "\\kelmhex";
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return home + fallback + "\\kelmhex";
}

}  // namespace

std::string HomeFolder() { return Environment(L"USERPROFILE"); }

std::string ConfigFolder() { return BaseFolder(L"APPDATA", "\\AppData\\Roaming"); }

std::string StateFolder() { return BaseFolder(L"LOCALAPPDATA", "\\AppData\\Local"); }

int MakeFolders(const std::string& path) {
  const std::wstring wide = WideFromUtf8(path);
  const DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0 ? 0 : ENOTDIR;
  const size_t slash = path.find_last_of("\\/");
  // Stop above a drive ("C:") or at the root.
  if (slash != std::string::npos && slash > 0 && path[slash - 1] != ':') {
    const int parentError = MakeFolders(path.substr(0, slash));
    if (parentError != 0) return parentError;
  }
  if (!CreateDirectoryW(wide.c_str(), nullptr)) {
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS) return ErrnoFromWindows(error);
  }
  return 0;
}

}  // namespace kelm::port
