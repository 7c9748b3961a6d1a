// Text at the Win32 boundary.
//
// The port hands file paths around as std::string. On Windows those strings
// hold UTF-8 (the program's manifest makes UTF-8 the process's code page, so
// the C and C++ libraries read them the same way); the wide Win32 calls take
// UTF-16, converted here.
#pragma once

#include <string>

namespace kelm::port {

// UTF-8 to UTF-16 for a wide Win32 call.
std::wstring WideFromUtf8(const std::string& text);
// UTF-16 from a wide Win32 call to UTF-8; stops at a NUL.
std::string Utf8FromWide(const wchar_t* text);
std::string Utf8FromWide(const std::wstring& text);

// The engine's UTF-16 text as wide text, and back.
std::wstring WideFromU16(const std::u16string& text);
std::u16string U16FromWide(const std::wstring& text);

}  // namespace kelm::port
