// The completion scripts in the shells themselves: bash's completion
// function called as bash calls it on Tab, and zsh and fish typing Tab in a
// terminal. In a folder holding a screenshot, a web page, binary files
// (two whose names start as the screenshot's does), a file named like an
// option and a sub-folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "tests/e2e/tmux_terminal.h"
#include "viewer/shell_completions.h"

using namespace kelm::viewer;

namespace {

using kelm::e2e::ProgramRun;
using kelm::e2e::RunWithoutTerminal;
using kelm::e2e::TmuxTerminal;

bool HaveProgram(const std::string& name) {
  return RunWithoutTerminal({"sh", "-c", "command -v " + name}, "/dev/null").exitStatus == 0;
}

class CompletionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = std::filesystem::temp_directory_path() / ("kelmhex-completions-" + std::to_string(std::random_device{}()));
    std::filesystem::create_directories(folder / "sub");
    for (const char* name : {"shot.ss", "show.bin", "sha.bin", "page.html", "data.bin", "-odd"}) std::ofstream(folder / name) << "x";
    scripts = folder.string() + "-scripts";
    std::filesystem::create_directories(scripts);
    std::ofstream(scripts / "kelmhex") << BashCompletionScript();
    std::ofstream(scripts / "_kelmhex") << ZshCompletionScript();
    std::ofstream(scripts / "kelmhex.fish") << FishCompletionScript();
  }
  void TearDown() override {
    std::filesystem::remove_all(folder);
    std::filesystem::remove_all(scripts);
  }

  // What bash's completion offers for the words typed so far (the last one
  // is the word being completed), sorted, one per line.
  std::string Bash(const std::string& typed) {
    std::ostringstream script;
    script << "source '" << (scripts / "kelmhex").string() << "' && cd '" << folder.string() << "' && "
           << "COMP_WORDS=(" << typed << ") && COMP_CWORD=$((${#COMP_WORDS[@]} - 1)) && "
           << "[[ " << (typed.empty() || typed.back() == ' ' ? "1" : "0") << " == 1 ]] && "
           << "COMP_WORDS+=('') && COMP_CWORD=$((COMP_CWORD + 1)); "
           << "_kelmhex && printf '%s\\n' \"${COMPREPLY[@]}\" | sort";
    const ProgramRun run = RunWithoutTerminal({"bash", "--norc", "--noprofile", "-c", script.str()}, "/dev/null");
    EXPECT_EQ(run.exitStatus, 0) << run.errors;
    return run.output;
  }

  std::filesystem::path folder;
  std::filesystem::path scripts;
};

TEST_F(CompletionsTest, BashOffersOptionsAndFilesOfTheRightSuffix) {
  EXPECT_EQ(Bash("kelmhex --s"), "--screenshot-to-html\n--show-screenshot\n");
  // Every option for "-" (in the order sort gives in the test's locale, so
  // each is looked for on its own line).
  const std::string all = "\n" + Bash("kelmhex -");
  for (const char* word :
       {"-h", "--help", "-V", "--version", "-w", "--width", "--show-screenshot", "--screenshot-to-html", "--"}) {
    EXPECT_NE(all.find("\n" + std::string(word) + "\n"), std::string::npos) << word << " in " << all;
  }
  EXPECT_EQ(std::count(all.begin(), all.end(), '\n'), 10) << "nine options and no file: " << all;
  // The screenshot options take .ss files (and folders to walk into), the
  // page a .html file; a file is any file, also one named like an option
  // after "--".
  EXPECT_EQ(Bash("kelmhex --show-screenshot "), "shot.ss\nsub\n");
  EXPECT_EQ(Bash("kelmhex --screenshot-to-html "), "shot.ss\nsub\n");
  EXPECT_EQ(Bash("kelmhex --screenshot-to-html shot.ss "), "page.html\nsub\n");
  EXPECT_EQ(Bash("kelmhex d"), "data.bin\n");
  EXPECT_EQ(Bash("kelmhex -- -"), "-odd\n");
}

TEST_F(CompletionsTest, ZshCompletesOptionsAndScreenshotFiles) {
  if (!TmuxTerminal::Available() || !HaveProgram("zsh")) GTEST_SKIP() << "needs tmux and zsh";
  TmuxTerminal::Options options;
  options.workingDirectory = folder.string();
  options.env["PS1"] = "zsh$ ";
  TmuxTerminal term({"zsh", "-f"}, options);
  ASSERT_TRUE(term.Started()) << term.Error();
  term.SendText("PS1='zsh$ '; fpath=('" + scripts.string() + "' $fpath); autoload -Uz compinit; compinit -u -D");
  term.SendKeys({"Enter"});
  term.SendText("clear");
  term.SendKeys({"Enter"});
  ASSERT_TRUE(term.WaitForScreen([](const std::vector<std::string>& rows) {
    return !rows.empty() && rows.front() == "zsh$";
  })) << term.ScreenText();
  term.SendText("kelmhex --show-s");
  term.SendKeys({"Tab"});
  ASSERT_TRUE(term.WaitForText("zsh$ kelmhex --show-screenshot")) << term.ScreenText();
  // The space typed takes the place of the one zsh put after the option.
  // Of the files starting "sh" only the screenshot is offered: any file
  // would stop at their common "sh".
  term.SendText(" sh");
  term.SendKeys({"Tab"});
  EXPECT_TRUE(term.WaitForText("zsh$ kelmhex --show-screenshot shot.ss")) << term.ScreenText();
}

TEST_F(CompletionsTest, FishCompletesOptionsAndScreenshotFiles) {
  if (!TmuxTerminal::Available() || !HaveProgram("fish")) GTEST_SKIP() << "needs tmux and fish";
  TmuxTerminal::Options options;
  options.workingDirectory = folder.string();
  options.env["XDG_CONFIG_HOME"] = (folder / "config").string();
  options.env["XDG_DATA_HOME"] = (folder / "data").string();
  TmuxTerminal term({"fish", "--no-config"}, options);
  ASSERT_TRUE(term.Started()) << term.Error();
  term.SendText("function fish_prompt; echo 'fish> '; end; source '" + (scripts / "kelmhex.fish").string() +
                "'; clear");
  term.SendKeys({"Enter"});
  ASSERT_TRUE(term.WaitForScreen([](const std::vector<std::string>& rows) {
    return !rows.empty() && rows.front() == "fish>";
  })) << term.ScreenText();
  term.SendText("kelmhex --show-s");
  term.SendKeys({"Tab"});
  ASSERT_TRUE(term.WaitForText("fish> kelmhex --show-screenshot")) << term.ScreenText();
  // fish has put a space after the completed option. It offers every file
  // starting "sh", those with the option's suffix first: the screenshot
  // heads the list, before sha.bin that sorts ahead of it.
  term.SendText("sh");
  term.SendKeys({"Tab"});
  EXPECT_TRUE(term.WaitForScreen([](const std::vector<std::string>& rows) {
    return rows.size() > 1 && rows[1].rfind("shot.ss ", 0) == 0 && rows[1].find("sha.bin") != std::string::npos;
  })) << term.ScreenText();
}

}  // namespace
