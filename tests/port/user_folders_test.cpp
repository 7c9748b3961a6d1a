// The settings and state folders follow the XDG variables, ignore relative
// values, and fall back on the home folder.
#include <gtest/gtest.h>
#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "engine/port/user_folders.h"

namespace {

namespace fs = std::filesystem;
using namespace kelm::port;

// Sets an environment variable for the life of the object.
class ScopedVariable {
 public:
  ScopedVariable(const char* name, const char* value) : name_(name) {
    if (const char* old = getenv(name)) old_ = old;
    if (value != nullptr) {
      setenv(name, value, 1);
    } else {
      unsetenv(name);
    }
  }
  ~ScopedVariable() {
    if (old_) {
      setenv(name_, old_->c_str(), 1);
    } else {
      unsetenv(name_);
    }
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

TEST(UserFolders, FollowTheVariablesAndFallBackOnTheHomeFolder) {
  ScopedVariable home("HOME", "/home/someone");
  {
    ScopedVariable config("XDG_CONFIG_HOME", "/cfg");
    ScopedVariable state("XDG_STATE_HOME", "/st");
    EXPECT_EQ(ConfigFolder(), "/cfg/kelmhex");
    EXPECT_EQ(StateFolder(), "/st/kelmhex");
  }
  for (const char* invalid : {static_cast<const char*>(nullptr), "", "relative/path"}) {
    ScopedVariable config("XDG_CONFIG_HOME", invalid);
    ScopedVariable state("XDG_STATE_HOME", invalid);
    EXPECT_EQ(ConfigFolder(), "/home/someone/.config/kelmhex");
    EXPECT_EQ(StateFolder(), "/home/someone/.local/state/kelmhex");
  }
}

TEST(UserFolders, MakeFoldersCreatesPrivateParentsAndRefusesAFileInTheWay) {
  char pattern[] = "/tmp/kelmhex-folders-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path root = pattern;
  const fs::path deep = root / "a" / "b" / "c";
  EXPECT_EQ(MakeFolders(deep.string()), 0);
  EXPECT_TRUE(fs::is_directory(deep));
  EXPECT_EQ(fs::status(root / "a").permissions() & fs::perms::all, fs::perms::owner_all);
  EXPECT_EQ(MakeFolders(deep.string()), 0) << "a folder that is there is fine";
  std::ofstream(root / "file") << "x";
  EXPECT_EQ(MakeFolders((root / "file" / "below").string()), ENOTDIR);
  EXPECT_EQ(MakeFolders((root / "file").string()), ENOTDIR);
  fs::remove_all(root);
}

}  // namespace
