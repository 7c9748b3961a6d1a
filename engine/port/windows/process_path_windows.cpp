// The running program's path on Windows.
#include "engine/port/process_path.h"

#include <vector>

#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/win32.h"

namespace kelm::port {

std::string ProgramPath() {
  // GetModuleFileNameW cuts a long path to the buffer without saying so
  // other than by filling it: grow the buffer until the path fits.
  for (DWORD size = MAX_PATH; size <= 32768; size *= 2) {
    std::vector<wchar_t> buffer(size);
    const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), size);
    if (length == 0) return {};
    if (length < size) return Utf8FromWide(std::wstring(buffer.data(), length));
  }
  return {};
}

}  // namespace kelm::port
