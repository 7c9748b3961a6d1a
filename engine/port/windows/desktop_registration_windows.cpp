// Offering the viewer for every file in Explorer: a verb "Hex Editor" for
// all file types in the current user's part of the registry.
//
//   HKCU\SOFTWARE\Classes\*\shell\Hex Editor           "icon" = "<program>"
//   HKCU\SOFTWARE\Classes\*\shell\Hex Editor\command   (default) = "<program>" "%1"
//
// Registered means the command key exists. Failures carry the registry's
// error code and the step that failed: '1' creating the verb key, '2'
// writing "icon", '3' creating the command key, '4' writing the command (or
// deleting the verb when unregistering).
#include "engine/port/desktop_registration.h"

#include "engine/port/process_path.h"
#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/win32.h"

namespace kelm::port {

namespace {

constexpr const char* kVerbKeyA = "SOFTWARE\\Classes\\*\\shell\\Hex Editor";
constexpr const char* kCommandKeyA = "SOFTWARE\\Classes\\*\\shell\\Hex Editor\\command";

RegistrationResult Failure(char step, LSTATUS code) {
  return RegistrationResult{false, step, static_cast<int>(code), {}};
}

// Opens (creating when missing) a key under the current user for writing.
LSTATUS CreateKey(const char* path, HKEY& key) {
  return RegCreateKeyExA(HKEY_CURRENT_USER, path, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_WRITE, nullptr, &key,
                         nullptr);
}

// Data of a string value: the text and its terminating zero.
DWORD StringBytes(const std::wstring& text) { return static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)); }

}  // namespace

bool IsRegistered() {
  return RegQueryValueA(HKEY_CURRENT_USER, kCommandKeyA, nullptr, nullptr) == ERROR_SUCCESS;
}

RegistrationResult RegisterVerb() { return RegisterVerb(ProgramPath()); }

RegistrationResult RegisterVerb(const std::string& programPath) {
  HKEY verbKey = nullptr;
  if (const LSTATUS status = CreateKey(kVerbKeyA, verbKey); status != ERROR_SUCCESS) return Failure('1', status);

  if (programPath.empty()) {
    RegCloseKey(verbKey);
    return Failure('2', ERROR_FILE_NOT_FOUND);
  }
  const std::wstring quoted = L"\"" + WideFromUtf8(programPath) + L"\"";
  if (const LSTATUS status = RegSetValueExW(verbKey, L"icon", 0, REG_EXPAND_SZ,
                                            reinterpret_cast<const BYTE*>(quoted.c_str()), StringBytes(quoted));
      status != ERROR_SUCCESS) {
    RegCloseKey(verbKey);
    return Failure('2', status);
  }

  HKEY commandKey = nullptr;
  if (const LSTATUS status = CreateKey(kCommandKeyA, commandKey); status != ERROR_SUCCESS) {
    RegCloseKey(verbKey);
    return Failure('3', status);
  }
  const std::wstring command = quoted + L" \"%1\"";
  const LSTATUS status = RegSetValueW(commandKey, nullptr, REG_SZ, command.c_str(), StringBytes(command));
  RegCloseKey(commandKey);
  RegCloseKey(verbKey);
  if (status != ERROR_SUCCESS) return Failure('4', status);
  return RegistrationResult{};
}

RegistrationResult UnregisterVerb() {
  // The whole verb: its values, the command key and anything under it.
  const LSTATUS status = RegDeleteTreeA(HKEY_CURRENT_USER, kVerbKeyA);
  // A verb that is already gone counts as removed.
  if (status != ERROR_SUCCESS && status != ERROR_FILE_NOT_FOUND) return Failure('4', status);
  return RegistrationResult{};
}

std::string SystemErrorText(int error) {
  char buffer[256]{};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr,
                                      static_cast<DWORD>(error), 0, buffer, sizeof buffer, nullptr);
  if (length == 0) return "Unknown error " + std::to_string(static_cast<unsigned>(error)) + "\r\n";
  return std::string(buffer, length);
}

}  // namespace kelm::port
