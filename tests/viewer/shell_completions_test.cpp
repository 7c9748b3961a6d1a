// The shell completions against the option table: --help, the manual page
// and the bash, zsh and fish scripts name exactly the same options, each
// script completes the arguments the table gives an option, and the command
// line takes every option the table lists. (Running the scripts in the
// shells themselves is in tests/e2e/completions_e2e_test.cpp.)
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "viewer/help_text.h"
#include "viewer/shell_completions.h"

using namespace kelm::viewer;

namespace {

using Names = std::set<std::string>;

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::vector<std::string> Words(const std::string& text) {
  std::vector<std::string> words;
  std::istringstream in(text);
  for (std::string word; in >> word;) words.push_back(word);
  return words;
}

// Every spelling in the table ("-h, --help" gives "-h" and "--help").
Names TableNames() {
  Names names;
  for (const HelpEntry& entry : CommandOptions()) {
    for (std::string word : Words(std::string(entry.keys))) {
      if (word.front() != '-') continue;
      if (word.size() > 1 && word.back() == ',') word.pop_back();
      names.insert(word);
    }
  }
  return names;
}

Names WithoutEndOfOptions(Names names) {
  names.erase("--");
  return names;
}

// The option words of the lines under "Options:" in --help, up to the next
// heading: the words before the two-space gap of each entry.
Names HelpNames() {
  Names names;
  bool inOptions = false;
  for (const std::string& line : Lines(UsageText())) {
    if (line == "Options:") {
      inOptions = true;
      continue;
    }
    if (!inOptions) continue;
    if (line.empty()) break;
    if (line.rfind("  -", 0) != 0) continue;  // a wrapped description
    const std::string keys = line.substr(2, line.find("  ", 2) - 2);
    for (std::string word : Words(keys)) {
      if (word.front() != '-') continue;
      if (word.back() == ',') word.pop_back();
      names.insert(word);
    }
  }
  return names;
}

// The option words of the tagged paragraphs of the page's OPTIONS section.
Names ManPageNames() {
  Names names;
  const std::vector<std::string> lines = Lines(ManPageText());
  bool inOptions = false;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind(".SH", 0) == 0) inOptions = lines[i] == ".SH OPTIONS";
    if (!inOptions || lines[i] != ".TP" || i + 1 == lines.size()) continue;
    std::string keys = std::regex_replace(lines[i + 1], std::regex(R"(\\f[BRI])"), "");
    keys = std::regex_replace(keys, std::regex(R"(\\-)"), "-");
    for (std::string word : Words(keys)) {
      if (word.front() != '-') continue;
      if (word.back() == ',') word.pop_back();
      names.insert(word);
    }
  }
  return names;
}

std::vector<std::string> Matches(const std::string& text, const std::string& pattern) {
  std::vector<std::string> found;
  const std::regex re(pattern);
  for (auto it = std::sregex_iterator(text.begin(), text.end(), re); it != std::sregex_iterator(); ++it) {
    found.push_back((*it)[1]);
  }
  return found;
}

// bash: the words offered for "-" and the case patterns that complete an
// option's argument ("-a|--b) _kelmhex_files 'ss'").
Names BashOfferedNames(const std::string& script) {
  Names names;
  for (const std::string& list : Matches(script, R"(compgen -W '([^']*)')")) {
    for (const std::string& word : Words(list)) names.insert(word);
  }
  return names;
}

std::vector<std::string> BashArgumentCases(const std::string& script) {
  return Matches(script, R"(\n +([-a-z|]+)\) _kelmhex_files '[a-z]*')");
}

// zsh: the option of each _arguments entry "'(- *)--name[summary]...'".
Names ZshNames(const std::string& script) {
  const std::vector<std::string> found = Matches(script, R"('\(- \*\)(-[^\[]*)\[)");
  return Names(found.begin(), found.end());
}

// fish: "-s x" is -x, "-l name" is --name, on each "complete -c kelmhex" line.
Names FishNames(const std::string& script) {
  Names names;
  for (const std::string& line : Lines(script)) {
    if (line.rfind("complete -c kelmhex ", 0) != 0) continue;
    for (const std::string& flag : Matches(line, R"( -s ([A-Za-z0-9]))")) names.insert("-" + flag);
    for (const std::string& flag : Matches(line, R"( -l ([a-z][a-z0-9-]*))")) names.insert("--" + flag);
  }
  return names;
}

TEST(ShellCompletions, HelpManPageAndTheThreeScriptsNameTheTableOptions) {
  const Names table = TableNames();
  ASSERT_GE(table.size(), 6u) << "the option table lost its options";
  EXPECT_EQ(HelpNames(), table) << "--help";
  EXPECT_EQ(ManPageNames(), table) << "the manual page";
  EXPECT_EQ(BashOfferedNames(BashCompletionScript()), table) << "bash";
  // zsh (_arguments -S) and fish handle "--" themselves.
  EXPECT_EQ(ZshNames(ZshCompletionScript()), WithoutEndOfOptions(table)) << "zsh";
  EXPECT_EQ(FishNames(FishCompletionScript()), WithoutEndOfOptions(table)) << "fish";
}

TEST(ShellCompletions, TheTableIsWhatTheCommandLineTakes) {
  for (const CompletionOption& option : CompletionOptions()) {
    for (const std::string& name : option.names) {
      std::vector<std::string> arguments = {"kelmhex", name};
      for (const std::string& argument : option.arguments) {
        if (argument.front() != '[') arguments.push_back("x." + ArgumentSuffix(argument));
      }
      // A value argument takes the last of its choices ("N|fit": fit).
      if (!option.value.empty()) arguments.push_back(option.value.substr(option.value.rfind('|') + 1));
      std::vector<const char*> argv;
      for (const std::string& argument : arguments) argv.push_back(argument.c_str());
      argv.push_back(nullptr);
      const CommandLine parsed = ParseCommandLine(static_cast<int>(arguments.size()), argv.data());
      EXPECT_NE(parsed.action, CommandAction::UsageError) << name << ": " << parsed.error;
    }
  }
}

TEST(ShellCompletions, OptionsWithArgumentsCompleteFilesOfTheirSuffix) {
  const std::string bash = BashCompletionScript();
  const std::string zsh = ZshCompletionScript();
  const std::string fish = FishCompletionScript();
  size_t withArguments = 0;
  size_t bashCases = 0;
  for (const CompletionOption& option : CompletionOptions()) {
    if (option.arguments.empty()) continue;
    ++withArguments;
    bashCases += option.arguments.size();
    std::string patterns;
    for (const std::string& name : option.names) patterns += (patterns.empty() ? "" : "|") + name;
    for (const std::string& argument : option.arguments) {
      const std::string suffix = ArgumentSuffix(argument);
      EXPECT_NE(bash.find("      " + patterns + ") _kelmhex_files '" + suffix + "'; return ;;"), std::string::npos)
          << patterns << " " << argument;
      EXPECT_NE(zsh.find("_files -g \"*." + suffix + "(-.)\""), std::string::npos) << argument;
    }
    const std::string longName = option.names.back().substr(2);
    const std::string firstSuffix = ArgumentSuffix(option.arguments.front());
    EXPECT_NE(fish.find("-l " + longName + " -r -k -a '(__fish_complete_suffix ." + firstSuffix + ")'"),
              std::string::npos)
        << longName;
  }
  EXPECT_EQ(withArguments, 2u) << "--show-screenshot and --screenshot-to-html take files";
  EXPECT_EQ(BashArgumentCases(bash).size(), bashCases);
  // The second argument of --screenshot-to-html is optional in zsh ("::").
  EXPECT_NE(zsh.find("::OUT.html:_files -g \"*.html(-.)\""), std::string::npos) << zsh;
}

TEST(ShellCompletions, SummariesAreTheFirstClauseQuotedForEachShell) {
  const std::vector<CompletionOption> options = CompletionOptions();
  ASSERT_FALSE(options.empty());
  EXPECT_EQ(options.front().names, (std::vector<std::string>{"-h", "--help"}));
  EXPECT_EQ(options.front().summary, "show this help and exit");
  for (const CompletionOption& option : options) {
    EXPECT_EQ(option.summary.find_first_of(",;:("), std::string::npos) << option.summary;
  }
  // "screenshot's": quoted for POSIX shells as '\'' and for fish as \'.
  EXPECT_NE(ZshCompletionScript().find("screenshot'\\''s picture"), std::string::npos);
  EXPECT_NE(FishCompletionScript().find("screenshot\\'s picture"), std::string::npos);
  EXPECT_EQ(ArgumentSuffix("[OUT.html]"), "html");
  EXPECT_EQ(ArgumentSuffix("FILE.ss"), "ss");
  EXPECT_EQ(ArgumentSuffix("FILE"), "");
}

}  // namespace
