// Splitting the "open with" command into program arguments without a shell.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/port/terminal/command_line.h"

namespace kelm::port {
namespace {

using Words = std::vector<std::string>;

struct SplitCase {
  const char* line;
  std::optional<Words> expected;
};

TEST(TerminalCommandLine, SplitsOnBlanksAndHonoursQuotes) {
  const SplitCase cases[] = {
      {"", Words{}},
      {"   \t ", Words{}},
      {"xdg-open", Words{"xdg-open"}},
      {"  less   -R\t-S  ", Words{"less", "-R", "-S"}},
      {"'my editor' --flag", Words{"my editor", "--flag"}},
      {"\"a b\" c", Words{"a b", "c"}},
      {"pre'fix suf'fix", Words{"prefix suffix"}},
      {"a\\ b", Words{"a b"}},
      {"\"say \\\"hi\\\"\"", Words{"say \"hi\""}},
      {"'back\\slash'", Words{"back\\slash"}},
      {"\"keep \\n\"", Words{"keep \\n"}},
      {"''", Words{""}},
      {"x \"\" y", Words{"x", "", "y"}},
      {"'open", std::nullopt},
      {"\"open", std::nullopt},
  };
  for (const SplitCase& c : cases) {
    EXPECT_EQ(SplitCommandLine(c.line), c.expected) << c.line;
  }
}

TEST(TerminalCommandLine, ShellCharactersStayLiteral) {
  // No expansion, globbing, redirection or command chaining.
  EXPECT_EQ(SplitCommandLine("echo $HOME *.txt >out; rm -rf x | y && z"),
            (Words{"echo", "$HOME", "*.txt", ">out;", "rm", "-rf", "x", "|", "y", "&&", "z"}));
}

}  // namespace
}  // namespace kelm::port
