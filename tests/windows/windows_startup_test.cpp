// Start-up pieces on Windows: the program's folder, absolute paths made
// before the working directory changes, the UTF-8 command line, text
// conversions at the Win32 boundary, the clock and memrchr.
#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/port/process_path.h"
#include "engine/port/windows/posix_compat.h"
#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/windows_console.h"
#include "engine/port/windows/windows_startup.h"
#include "engine/port/windows/win32.h"

namespace {

using namespace kelm::port;

TEST(ProgramFolder, CutsBeforeTheLastBackslash) {
  EXPECT_EQ(ProgramFolder(L"C:\\tools\\kelmhex\\kelmhex.exe"), L"C:\\tools\\kelmhex");
  EXPECT_EQ(ProgramFolder(L"C:\\kelmhex.exe"), L"C:");
  EXPECT_EQ(ProgramFolder(L"kelmhex.exe"), L"kelmhex.exe");
}

TEST(ProgramPath, IsTheRunningTestProgram) {
  const std::string path = ProgramPath();
  ASSERT_GT(path.size(), 4u);
  EXPECT_EQ(path.substr(path.size() - 4), ".exe");
  EXPECT_TRUE(std::filesystem::exists(std::filesystem::path(WideFromUtf8(path))));
}

TEST(AbsolutePath, RelativeNameJoinsTheCurrentFolder) {
  wchar_t current[MAX_PATH]{};
  ASSERT_GT(GetCurrentDirectoryW(MAX_PATH, current), 0u);
  std::wstring expected = current;
  if (expected.back() != L'\\') expected += L'\\';
  expected += L"sub\\file.bin";
  EXPECT_EQ(WideFromUtf8(AbsolutePath("sub\\file.bin")), expected);
  EXPECT_EQ(WideFromUtf8(AbsolutePath(".\\sub\\..\\sub\\file.bin")), expected);
}

TEST(AbsolutePath, AbsoluteNameStaysAndEmptyStaysEmpty) {
  EXPECT_EQ(AbsolutePath("C:\\data\\x.bin"), "C:\\data\\x.bin");
  EXPECT_EQ(AbsolutePath(""), "");
}

TEST(AbsolutePath, RelativeFileStillOpensAfterEnteringTheProgramFolder) {
  namespace fs = std::filesystem;
  const fs::path folder = fs::temp_directory_path() / "kelmhex-startup-relative";
  fs::create_directories(folder);
  const fs::path previous = fs::current_path();
  fs::current_path(folder);
  { std::FILE* file = _wfopen(L"relative.bin", L"wb"); ASSERT_NE(file, nullptr); std::fputs("abc", file); std::fclose(file); }
  const std::string absolute = AbsolutePath("relative.bin");
  EnterProgramFolder();
  const fs::path now = fs::current_path();
  fs::current_path(previous);
  EXPECT_EQ(now.wstring(), ProgramFolder(WideFromUtf8(ProgramPath())));
  EXPECT_TRUE(fs::exists(fs::path(WideFromUtf8(absolute))));
  std::error_code ignored;
  fs::remove_all(folder, ignored);
}

TEST(CommandLine, ArgumentsComeAsUtf8) {
  const std::vector<std::string> arguments = CommandLineArgumentsUtf8();
  ASSERT_FALSE(arguments.empty());
  // The program's own name first.
  EXPECT_NE(arguments[0].find("windows_tests"), std::string::npos) << arguments[0];
}

TEST(WideText, RoundTripsEveryPlane) {
  const std::string utf8 = "a\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80";
  const std::wstring wide = WideFromUtf8(utf8);
  EXPECT_EQ(wide, L"a\u00E9\u20AC\xD83D\xDE00");
  EXPECT_EQ(Utf8FromWide(wide), utf8);
  EXPECT_EQ(Utf8FromWide(wide.c_str()), utf8);
  EXPECT_EQ(Utf8FromWide(static_cast<const wchar_t*>(nullptr)), "");
  EXPECT_EQ(U16FromWide(WideFromU16(u"x\u2592")), u"x\u2592");
}

TEST(WindowsClock, TicksAreMonotonicAndOnlyTheWallClockGivesTheDate) {
  WindowsConsole console;
  const uint64_t before = console.Ticks();
  console.Sleep(100);
  const uint64_t after = console.Ticks();
  EXPECT_GE(after - before, 50u);  // the tick count moves in steps of 10-16 ms
  EXPECT_LT(after - before, 5000u);
  const auto now = std::chrono::duration_cast<std::chrono::seconds>(
                       std::chrono::system_clock::now().time_since_epoch())
                       .count();
  EXPECT_LT(std::llabs(console.WallClockSeconds() - static_cast<int64_t>(now)), 5);
}

TEST(PosixCompat, MemrchrFindsTheLastMatch) {
  const char text[] = "abcabc";
  EXPECT_EQ(memrchr(text, 'b', 6), text + 4);
  EXPECT_EQ(memrchr(text, 'a', 3), text);
  EXPECT_EQ(memrchr(text, 'z', 6), nullptr);
  EXPECT_EQ(memrchr(text, 'a', 0), nullptr);
  const unsigned char high[] = {0xFF, 0x00, 0xFF, 0x01};
  EXPECT_EQ(memrchr(high, 0xFF, 4), high + 2);
}

}  // namespace
