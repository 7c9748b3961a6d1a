// The desktop entry that offers the viewer for every file: its exact text,
// the escaping of the program path on the Exec line, the folder it goes to,
// registering and unregistering against a temporary XDG_DATA_HOME, and the
// failure steps.
#include "engine/port/desktop_registration.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

#include "engine/port/process_path.h"
#include "tests/support/read_file.h"

namespace {

namespace fs = std::filesystem;
using namespace kelm::port;

using test_support::ReadFile;

// Points XDG_DATA_HOME at a fresh temporary folder for one test and puts the
// environment back afterwards.
class RegistrationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelmhex-registration-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    SaveVariable("XDG_DATA_HOME", savedDataHome, hadDataHome);
    SaveVariable("HOME", savedHome, hadHome);
    setenv("XDG_DATA_HOME", (root / "data").c_str(), 1);
  }
  void TearDown() override {
    RestoreVariable("XDG_DATA_HOME", savedDataHome, hadDataHome);
    RestoreVariable("HOME", savedHome, hadHome);
    std::error_code ignored;
    fs::permissions(root, fs::perms::owner_all, fs::perm_options::add, ignored);
    fs::remove_all(root, ignored);
  }

  static void SaveVariable(const char* name, std::string& value, bool& had) {
    const char* current = std::getenv(name);
    had = current != nullptr;
    value = had ? current : "";
  }
  static void RestoreVariable(const char* name, const std::string& value, bool had) {
    if (had) {
      setenv(name, value.c_str(), 1);
    } else {
      unsetenv(name);
    }
  }

  fs::path EntryPath() const { return root / "data" / "applications" / kDesktopEntryFileName; }

  fs::path root;
  std::string savedDataHome;
  std::string savedHome;
  bool hadDataHome = false;
  bool hadHome = false;
};

// --- Exec escaping ------------------------------------------------------------

TEST(ExecEscaping, PlainPathStaysAsItIs) {
  EXPECT_EQ(EscapeExecArgument("/usr/local/bin/kelmhex"), "/usr/local/bin/kelmhex");
}

TEST(ExecEscaping, BlankMakesQuotes) {
  EXPECT_EQ(EscapeExecArgument("/opt/hex tools/kelmhex"), "\"/opt/hex tools/kelmhex\"");
}

TEST(ExecEscaping, QuoteDollarAndBacktickAreEscapedInsideQuotes) {
  EXPECT_EQ(EscapeExecArgument("/a\"b"), "\"/a\\\\\"b\"");
  EXPECT_EQ(EscapeExecArgument("/a$b"), "\"/a\\\\$b\"");
  EXPECT_EQ(EscapeExecArgument("/a`b"), "\"/a\\\\`b\"");
}

TEST(ExecEscaping, BackslashBecomesFourBackslashes) {
  // Quoting escapes it to \\ and the string escapes double each of those.
  EXPECT_EQ(EscapeExecArgument("/a\\b"), "\"/a\\\\\\\\b\"");
}

TEST(ExecEscaping, PercentIsDoubledWithOrWithoutQuotes) {
  EXPECT_EQ(EscapeExecArgument("/100%/kelmhex"), "/100%%/kelmhex");
  EXPECT_EQ(EscapeExecArgument("/100% sure/kelmhex"), "\"/100%% sure/kelmhex\"");
}

TEST(ExecEscaping, EveryReservedCharacterCausesQuotes) {
  for (const char c : std::string(" \t\n\"'\\><~|&;$*?#()`")) {
    const std::string escaped = EscapeExecArgument(std::string("/x") + c + "y");
    EXPECT_EQ(escaped.front(), '"') << "character " << static_cast<int>(c);
    EXPECT_EQ(escaped.back(), '"') << "character " << static_cast<int>(c);
  }
  EXPECT_EQ(EscapeExecArgument("/x=y,z+w"), "/x=y,z+w");
}

TEST(ExecEscaping, ControlCharactersUseStringEscapes) {
  EXPECT_EQ(EscapeExecArgument("/a\tb"), "\"/a\\tb\"");
  EXPECT_EQ(EscapeExecArgument("/a\nb"), "\"/a\\nb\"");
  // A value must stay on one line of the file.
  EXPECT_EQ(EscapeExecArgument("/a\nb").find('\n'), std::string::npos);
}

// --- the entry ------------------------------------------------------------------

TEST(DesktopEntry, ExactText) {
  EXPECT_EQ(DesktopEntryText("/usr/bin/kelmhex"),
            "[Desktop Entry]\n"
            "Type=Application\n"
            "Name=Hex Editor\n"
            "Exec=/usr/bin/kelmhex %f\n"
            "Terminal=true\n"
            "MimeType=application/octet-stream;\n");
}

TEST(DesktopEntry, ExecLineOfAPathWithBlanksAndPercent) {
  const std::string text = DesktopEntryText("/home/a b/50%/kelmhex");
  EXPECT_NE(text.find("\nExec=\"/home/a b/50%%/kelmhex\" %f\n"), std::string::npos) << text;
}

TEST(ProgramPathTest, NamesThisExecutable) {
  const std::string path = ProgramPath();
  ASSERT_FALSE(path.empty());
  EXPECT_EQ(path.front(), '/');
  EXPECT_TRUE(fs::equivalent(path, "/proc/self/exe"));
}

// --- the folder -------------------------------------------------------------------

TEST_F(RegistrationTest, FolderFollowsXdgDataHome) {
  EXPECT_EQ(ApplicationsDirectory(), (root / "data" / "applications").string());
  EXPECT_EQ(DesktopEntryPath(), EntryPath().string());
}

TEST_F(RegistrationTest, FolderDefaultsToHomeWhenXdgDataHomeIsUnsetOrRelative) {
  setenv("HOME", root.c_str(), 1);
  unsetenv("XDG_DATA_HOME");
  EXPECT_EQ(ApplicationsDirectory(), (root / ".local/share/applications").string());
  setenv("XDG_DATA_HOME", "relative/data", 1);
  EXPECT_EQ(ApplicationsDirectory(), (root / ".local/share/applications").string());
  setenv("XDG_DATA_HOME", "", 1);
  EXPECT_EQ(ApplicationsDirectory(), (root / ".local/share/applications").string());
}

// --- register and unregister ---------------------------------------------------------

TEST_F(RegistrationTest, RegisterWritesTheEntryAndCreatesTheFolders) {
  EXPECT_FALSE(IsRegistered());
  const RegistrationResult result = RegisterVerb("/opt/my tools/kelmhex");
  ASSERT_TRUE(result.ok) << result.step << " " << result.error;
  EXPECT_TRUE(IsRegistered());
  EXPECT_EQ(ReadFile(EntryPath()), DesktopEntryText("/opt/my tools/kelmhex"));
  // Only the entry is left in the folder: the temporary file was renamed.
  int files = 0;
  for (const auto& item : fs::directory_iterator(EntryPath().parent_path())) {
    (void)item;
    ++files;
  }
  EXPECT_EQ(files, 1);
  struct stat info {};
  ASSERT_EQ(stat(EntryPath().c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0022, 0u);  // not writable by others
}

TEST_F(RegistrationTest, RegisterWithoutArgumentNamesTheRunningProgram) {
  ASSERT_TRUE(RegisterVerb().ok);
  EXPECT_EQ(ReadFile(EntryPath()), DesktopEntryText(ProgramPath()));
}

TEST_F(RegistrationTest, RegisterReplacesAnOlderEntry) {
  ASSERT_TRUE(RegisterVerb("/old/kelmhex").ok);
  ASSERT_TRUE(RegisterVerb("/new/kelmhex").ok);
  EXPECT_EQ(ReadFile(EntryPath()), DesktopEntryText("/new/kelmhex"));
}

TEST_F(RegistrationTest, UnregisterDeletesTheEntryAndKeepsOtherFiles) {
  ASSERT_TRUE(RegisterVerb("/usr/bin/kelmhex").ok);
  std::ofstream(EntryPath().parent_path() / "other.desktop") << "[Desktop Entry]\n";
  const RegistrationResult result = UnregisterVerb();
  EXPECT_TRUE(result.ok);
  EXPECT_FALSE(IsRegistered());
  EXPECT_FALSE(fs::exists(EntryPath()));
  EXPECT_TRUE(fs::exists(EntryPath().parent_path() / "other.desktop"));
}

TEST_F(RegistrationTest, UnregisterOfAMissingEntrySucceeds) {
  EXPECT_TRUE(UnregisterVerb().ok);
  EXPECT_FALSE(IsRegistered());
}

TEST_F(RegistrationTest, StateIsReadFromTheDiskEveryTime) {
  EXPECT_FALSE(IsRegistered());
  fs::create_directories(EntryPath().parent_path());
  std::ofstream(EntryPath()) << "written by someone else\n";
  EXPECT_TRUE(IsRegistered());
  fs::remove(EntryPath());
  EXPECT_FALSE(IsRegistered());
}

// --- failures ----------------------------------------------------------------------------

TEST_F(RegistrationTest, FolderBelowARegularFileFailsAtStepOne) {
  std::ofstream(root / "plain") << "x";
  setenv("XDG_DATA_HOME", (root / "plain" / "data").c_str(), 1);
  const RegistrationResult result = RegisterVerb("/usr/bin/kelmhex");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.step, '1');
  EXPECT_EQ(result.error, ENOTDIR);
  EXPECT_FALSE(IsRegistered());
}

TEST_F(RegistrationTest, ApplicationsBeingAFileFailsAtStepOne) {
  fs::create_directories(root / "data");
  std::ofstream(root / "data" / "applications") << "x";
  const RegistrationResult result = RegisterVerb("/usr/bin/kelmhex");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.step, '1');
  EXPECT_EQ(result.error, ENOTDIR);
}

TEST_F(RegistrationTest, ProgramPathThatIsNotUtf8FailsAtStepTwoAndWritesNothing) {
  const RegistrationResult result = RegisterVerb("/opt/\xFF\xFE/kelmhex");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.step, '2');
  EXPECT_EQ(result.error, EILSEQ);
  EXPECT_FALSE(IsRegistered());
  EXPECT_TRUE(fs::is_empty(EntryPath().parent_path()));
}

TEST_F(RegistrationTest, ProgramPathWithControlCharactersIsRefusedWithAMessage) {
  // The desktop-entry format allows no control characters in the Exec line,
  // escaped or not: C0 (a BEL, a line break, ESC), DEL and C1 (CSI as UTF-8).
  for (const std::string path : {"/opt/a\x07" "b/kelmhex", "/opt/a\nb/kelmhex", "/opt/\x1b]2;x/kelmhex",
                                 "/opt/a\x7F/kelmhex", "/opt/a\xC2\x9B" "b/kelmhex"}) {
    const RegistrationResult result = RegisterVerb(path);
    EXPECT_FALSE(result.ok) << path;
    EXPECT_EQ(result.step, '2');
    EXPECT_NE(result.message.find("control characters"), std::string::npos) << result.message;
    EXPECT_FALSE(IsRegistered());
    EXPECT_TRUE(fs::is_empty(EntryPath().parent_path()));
  }
  // Other characters beyond ASCII are fine (U+00A0 follows the C1 range).
  EXPECT_TRUE(RegisterVerb("/opt/caf\xC3\xA9\xC2\xA0x/kelmhex").ok);
}

TEST_F(RegistrationTest, EntryNameTakenByAFolderFailsAtStepFourWithoutLeftovers) {
  fs::create_directories(EntryPath() / "inside");
  const RegistrationResult result = RegisterVerb("/usr/bin/kelmhex");
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.step, '4');
  int files = 0;
  for (const auto& item : fs::directory_iterator(EntryPath().parent_path())) {
    EXPECT_EQ(item.path().filename(), kDesktopEntryFileName);
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST_F(RegistrationTest, UnregisterFailureIsStepFour) {
  // A non-empty folder in the entry's place cannot be unlinked.
  fs::create_directories(EntryPath() / "inside");
  const RegistrationResult result = UnregisterVerb();
  EXPECT_FALSE(result.ok);
  EXPECT_EQ(result.step, '4');
  EXPECT_NE(result.error, 0);
}

TEST(SystemErrorTextTest, IsTheSystemsMessage) {
  EXPECT_EQ(SystemErrorText(ENOENT), "No such file or directory");
  EXPECT_EQ(SystemErrorText(ENOTDIR), "Not a directory");
}

}  // namespace
