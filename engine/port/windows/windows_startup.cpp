#include "engine/port/windows/windows_startup.h"

#include "engine/port/process_path.h"
#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/win32.h"

namespace kelm::port {

std::vector<std::string> CommandLineArgumentsUtf8() {
  std::vector<std::string> arguments;
  int count = 0;
  LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
  if (wide == nullptr) return arguments;
  for (int i = 0; i < count; ++i) arguments.push_back(Utf8FromWide(wide[i]));
  LocalFree(wide);
  return arguments;
}

std::string AbsolutePath(const std::string& path) {
  if (path.empty()) return path;
  const std::wstring wide = WideFromUtf8(path);
  const DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
  if (needed == 0) return path;
  std::wstring full(needed, L'\0');
  const DWORD length = GetFullPathNameW(wide.c_str(), needed, full.data(), nullptr);
  if (length == 0 || length >= needed) return path;
  full.resize(length);
  return Utf8FromWide(full);
}

std::wstring ProgramFolder(const std::wstring& programPath) {
  const size_t backslash = programPath.rfind(L'\\');
  return backslash == std::wstring::npos ? programPath : programPath.substr(0, backslash);
}

void EnterProgramFolder() {
  const std::wstring program = WideFromUtf8(ProgramPath());
  if (program.empty()) return;
  SetCurrentDirectoryW(ProgramFolder(program).c_str());
}

bool StandardInputIsPipe() { return GetFileType(GetStdHandle(STD_INPUT_HANDLE)) == FILE_TYPE_PIPE; }

}  // namespace kelm::port
