// The Win32 console's dialogs: the common open and save dialogs, the
// shell's open-with dialog and the message box, each only where the process
// has a desktop to show them on.
#include <string>
#include <vector>

#include "engine/port/utf.h"
#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/windows_console.h"
// The system headers come last (see win32.h).
#include "engine/port/windows/win32.h"

namespace kelm::port {

namespace {

// Common-dialog flags: the file and its folder must exist, and the dialog
// leaves the working directory alone.
constexpr DWORD kOpenDialogFlags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR;  // 0x1808
// The save dialog must accept a new name, so it does not ask for an
// existing file; it asks before replacing one.
constexpr DWORD kSaveDialogFlags = OFN_PATHMUSTEXIST | OFN_NOCHANGEDIR | OFN_OVERWRITEPROMPT;
// Room for a long path from a dialog.
constexpr DWORD kDialogPathCapacity = 4096;

// COM for the shell's dialogs, once on each thread that shows one.
void EnsureComOnThisThread() {
  thread_local bool initialised = false;
  if (initialised) return;
  initialised = true;
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
}

// Whether this process can put a window on a desktop. Without one (a
// service, or wine with no display) the common dialogs come back at once as
// if cancelled, and asking again would never end. A hidden window that is
// made and destroyed at once tells, without showing anything.
bool DesktopAvailable() {
  static const bool available = [] {
    HWND probe = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleW(nullptr), nullptr);
    if (probe == nullptr) return false;
    DestroyWindow(probe);
    return true;
  }();
  return available;
}

std::optional<std::string> RunFileDialog(bool save, const std::string& startDir, uint32_t& error) {
  if (!DesktopAvailable()) {
    error = CDERR_DIALOGFAILURE;
    return std::nullopt;
  }
  EnsureComOnThisThread();
  std::vector<WCHAR> file(kDialogPathCapacity, 0);
  const std::wstring initial = WideFromUtf8(startDir);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = nullptr;
  dialog.lpstrFile = file.data();
  dialog.nMaxFile = kDialogPathCapacity;
  dialog.lpstrInitialDir = startDir.empty() ? nullptr : initial.c_str();
  BOOL chosen = FALSE;
  if (save) {
    dialog.lpstrFilter = L"All Files (*.*)\0*.*\0";
    dialog.nFilterIndex = 1;
    dialog.Flags = kSaveDialogFlags;
    chosen = GetSaveFileNameW(&dialog);
  } else {
    dialog.Flags = kOpenDialogFlags;
    chosen = GetOpenFileNameW(&dialog);
  }
  if (!chosen || file[0] == 0) {
    error = chosen ? 0 : CommDlgExtendedError();
    return std::nullopt;
  }
  error = 0;
  return Utf8FromWide(file.data());
}

}  // namespace

std::optional<std::string> WindowsConsole::OpenFileDialog(const std::string& startDir) {
  return RunFileDialog(false, startDir, lastDialogError_);
}

std::optional<std::string> WindowsConsole::SaveFileDialog(const std::string& startDir) {
  return RunFileDialog(true, startDir, lastDialogError_);
}

uint32_t WindowsConsole::OpenWithDialog(const std::string& path) {
  if (!DesktopAvailable()) return kOpenWithFail;
  EnsureComOnThisThread();
  const std::wstring file = WideFromUtf8(path);
  OPENASINFO info{};
  info.pcszFile = file.c_str();
  info.pcszClass = nullptr;
  info.oaifInFlags = OAIF_EXEC;
  return static_cast<uint32_t>(SHOpenWithDialog(nullptr, &info));
}

void WindowsConsole::MessageBox(const std::u16string& text, const std::u16string& caption) {
  if (!DesktopAvailable()) {
    // No desktop for the box: the message goes where the user can read it.
    WriteReport(ToUtf8(caption) + ": " + ToUtf8(text) + "\n");
    return;
  }
  MessageBoxW(nullptr, WideFromU16(text).c_str(), WideFromU16(caption).c_str(), MB_OK);
}

}  // namespace kelm::port
