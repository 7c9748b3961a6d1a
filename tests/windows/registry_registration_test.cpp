// The Explorer verb in the current user's registry (wine's registry when the
// tests run under wine): registering writes both keys with the quoted
// program path, the state is read back from the registry every time, and
// unregistering removes the whole verb.
#include <gtest/gtest.h>

#include <string>

#include "engine/port/desktop_registration.h"
#include "engine/port/process_path.h"
#include "engine/port/windows/wide_text.h"
#include "engine/port/windows/win32.h"

namespace {

using namespace kelm::port;

constexpr const wchar_t* kVerbKey = L"SOFTWARE\\Classes\\*\\shell\\Hex Editor";
constexpr const wchar_t* kCommandKey = L"SOFTWARE\\Classes\\*\\shell\\Hex Editor\\command";

bool KeyExists(const wchar_t* path) {
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
  RegCloseKey(key);
  return true;
}

// A string value with its type; nothing when it cannot be read.
struct StringValue {
  bool found = false;
  DWORD type = 0;
  std::wstring text;
};

StringValue ReadString(const wchar_t* path, const wchar_t* name) {
  StringValue value;
  HKEY key = nullptr;
  if (RegOpenKeyExW(HKEY_CURRENT_USER, path, 0, KEY_READ, &key) != ERROR_SUCCESS) return value;
  wchar_t buffer[2048]{};
  DWORD bytes = sizeof buffer - sizeof(wchar_t);
  if (RegQueryValueExW(key, name, nullptr, &value.type, reinterpret_cast<BYTE*>(buffer), &bytes) == ERROR_SUCCESS) {
    value.found = true;
    value.text.assign(buffer, bytes / sizeof(wchar_t));
    while (!value.text.empty() && value.text.back() == L'\0') value.text.pop_back();
  }
  RegCloseKey(key);
  return value;
}

class RegistryRegistration : public ::testing::Test {
 protected:
  void SetUp() override { RegDeleteTreeW(HKEY_CURRENT_USER, kVerbKey); }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, kVerbKey); }
};

TEST_F(RegistryRegistration, NothingRegisteredAtFirst) {
  EXPECT_FALSE(IsRegistered());
  EXPECT_FALSE(KeyExists(kVerbKey));
}

TEST_F(RegistryRegistration, RegisterWritesIconAndQuotedCommand) {
  const std::string program = "C:\\Program Files\\kelmhex\\kelmhex.exe";
  const RegistrationResult result = RegisterVerb(program);
  ASSERT_TRUE(result.ok) << "step " << result.step << " error " << result.error;
  EXPECT_TRUE(IsRegistered());

  const StringValue icon = ReadString(kVerbKey, L"icon");
  ASSERT_TRUE(icon.found);
  EXPECT_EQ(icon.type, static_cast<DWORD>(REG_EXPAND_SZ));
  EXPECT_EQ(icon.text, L"\"C:\\Program Files\\kelmhex\\kelmhex.exe\"");

  const StringValue command = ReadString(kCommandKey, nullptr);
  ASSERT_TRUE(command.found);
  EXPECT_EQ(command.type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(command.text, L"\"C:\\Program Files\\kelmhex\\kelmhex.exe\" \"%1\"");
}

TEST_F(RegistryRegistration, RegisterWithoutPathNamesTheRunningProgram) {
  ASSERT_TRUE(RegisterVerb().ok);
  const StringValue command = ReadString(kCommandKey, nullptr);
  ASSERT_TRUE(command.found);
  const std::wstring program = WideFromUtf8(ProgramPath());
  ASSERT_FALSE(program.empty());
  EXPECT_EQ(command.text, L"\"" + program + L"\" \"%1\"");
}

TEST_F(RegistryRegistration, NonAsciiProgramPathIsStoredAsUtf16) {
  // "Grüße" and a character outside the basic plane.
  const std::string program = "C:\\Gr\xC3\xBC\xC3\x9F" "e\\\xF0\x9F\x98\x80\\kelmhex.exe";
  ASSERT_TRUE(RegisterVerb(program).ok);
  const StringValue icon = ReadString(kVerbKey, L"icon");
  ASSERT_TRUE(icon.found);
  EXPECT_EQ(icon.text, L"\"C:\\Gr\u00FC\u00DF" L"e\\\xD83D\xDE00\\kelmhex.exe\"");
}

TEST_F(RegistryRegistration, RegisteringTwiceKeepsOneVerb) {
  ASSERT_TRUE(RegisterVerb("C:\\a\\old.exe").ok);
  ASSERT_TRUE(RegisterVerb("C:\\b\\new.exe").ok);
  EXPECT_EQ(ReadString(kCommandKey, nullptr).text, L"\"C:\\b\\new.exe\" \"%1\"");
  EXPECT_EQ(ReadString(kVerbKey, L"icon").text, L"\"C:\\b\\new.exe\"");
}

TEST_F(RegistryRegistration, UnregisterRemovesTheWholeVerb) {
  ASSERT_TRUE(RegisterVerb("C:\\kelmhex.exe").ok);
  // Something else under the verb goes too.
  HKEY extra = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, L"SOFTWARE\\Classes\\*\\shell\\Hex Editor\\command\\extra", 0,
                            nullptr, 0, KEY_WRITE, nullptr, &extra, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(extra);

  const RegistrationResult result = UnregisterVerb();
  EXPECT_TRUE(result.ok);
  EXPECT_FALSE(IsRegistered());
  EXPECT_FALSE(KeyExists(kVerbKey));
}

TEST_F(RegistryRegistration, UnregisterWhenNothingIsRegisteredSucceeds) {
  EXPECT_TRUE(UnregisterVerb().ok);
  EXPECT_FALSE(KeyExists(kVerbKey));
}

TEST_F(RegistryRegistration, VerbWithoutCommandKeyIsNotRegistered) {
  // What a registration that stopped after the verb key leaves behind.
  HKEY verb = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, kVerbKey, 0, nullptr, 0, KEY_WRITE, nullptr, &verb, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(verb);
  EXPECT_FALSE(IsRegistered());
  // The next registration completes it.
  ASSERT_TRUE(RegisterVerb("C:\\x.exe").ok);
  EXPECT_TRUE(IsRegistered());
}

TEST_F(RegistryRegistration, StateIsReadFromTheRegistryEachTime) {
  ASSERT_TRUE(RegisterVerb("C:\\x.exe").ok);
  ASSERT_TRUE(IsRegistered());
  // Removed behind the program's back.
  ASSERT_EQ(RegDeleteTreeW(HKEY_CURRENT_USER, kVerbKey), ERROR_SUCCESS);
  EXPECT_FALSE(IsRegistered());
}

TEST(RegistryErrorText, SystemMessagesNameTheError) {
  const std::string denied = SystemErrorText(ERROR_ACCESS_DENIED);
  const std::string missing = SystemErrorText(ERROR_FILE_NOT_FOUND);
  EXPECT_FALSE(denied.empty());
  EXPECT_FALSE(missing.empty());
  EXPECT_NE(denied, missing);
}

TEST(RegistryErrorText, UnknownCodeStillGivesText) {
  const std::string text = SystemErrorText(0x3FFFFFFF);
  EXPECT_NE(text.find("1073741823"), std::string::npos) << text;
}

}  // namespace
