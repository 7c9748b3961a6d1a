// The Win32 console's clipboard: Unicode text in and out of the system
// clipboard.
#include <algorithm>
#include <optional>
#include <string>

#include "engine/port/windows/windows_console.h"
// The system headers come last (see win32.h).
#include "engine/port/windows/win32.h"

namespace kelm::port {

ClipboardTarget WindowsConsole::SetClipboardText(const std::u16string& text) {
  const size_t bytes = (text.size() + 1) * sizeof(WCHAR);
  HGLOBAL block = GlobalAlloc(GMEM_MOVEABLE, bytes);
  if (block == nullptr) return ClipboardTarget::Failed;
  auto* target = static_cast<WCHAR*>(GlobalLock(block));
  if (target == nullptr) {
    GlobalFree(block);
    return ClipboardTarget::Failed;
  }
  std::copy(text.begin(), text.end(), target);
  target[text.size()] = 0;
  GlobalUnlock(block);
  if (!OpenClipboard(nullptr)) {
    GlobalFree(block);
    return ClipboardTarget::Failed;
  }
  EmptyClipboard();
  // On success the clipboard owns the block.
  const bool placed = SetClipboardData(CF_UNICODETEXT, block) != nullptr;
  if (!placed) GlobalFree(block);
  CloseClipboard();
  return placed ? ClipboardTarget::System : ClipboardTarget::Failed;
}

std::optional<std::u16string> WindowsConsole::GetClipboardText() {
  if (!IsClipboardFormatAvailable(CF_UNICODETEXT) && !IsClipboardFormatAvailable(CF_TEXT)) return std::nullopt;
  if (!OpenClipboard(nullptr)) return std::nullopt;
  std::optional<std::u16string> text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT); data != nullptr) {
    if (const auto* source = static_cast<const WCHAR*>(GlobalLock(data)); source != nullptr) {
      // Never read past the block, even when its text lacks the NUL.
      const size_t capacity = GlobalSize(data) / sizeof(WCHAR);
      size_t length = 0;
      while (length < capacity && source[length] != 0) ++length;
      text = std::u16string(source, source + length);
      GlobalUnlock(data);
    }
  }
  CloseClipboard();
  return text;
}

}  // namespace kelm::port
