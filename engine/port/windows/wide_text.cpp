#include "engine/port/windows/wide_text.h"

#include <cwchar>

#include "engine/port/utf.h"

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows wide characters are UTF-16 units");

namespace kelm::port {

std::wstring WideFromU16(const std::u16string& text) { return std::wstring(text.begin(), text.end()); }

std::u16string U16FromWide(const std::wstring& text) { return std::u16string(text.begin(), text.end()); }

std::wstring WideFromUtf8(const std::string& text) { return WideFromU16(FromUtf8(text)); }

std::string Utf8FromWide(const std::wstring& text) { return ToUtf8(U16FromWide(text)); }

std::string Utf8FromWide(const wchar_t* text) {
  if (text == nullptr) return {};
  return Utf8FromWide(std::wstring(text, std::wcslen(text)));
}

}  // namespace kelm::port
