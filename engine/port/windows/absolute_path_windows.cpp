#include "engine/port/absolute_path.h"

#include <vector>

#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/win32.h"

namespace kelm::port {

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return {};
  const std::wstring wide = WideFromUtf8(path);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return {};
  std::vector<wchar_t> buffer(static_cast<size_t>(needed) + 1);
  const DWORD length = GetFullPathNameW(wide.c_str(), static_cast<DWORD>(buffer.size()), buffer.data(), nullptr);
  if (length == 0 || length >= buffer.size()) return {};
  return Utf8FromWide(std::wstring(buffer.data(), length));
}

}  // namespace kelm::port
