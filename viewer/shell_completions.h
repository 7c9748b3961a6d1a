// Tab completion scripts for bash, zsh and fish, made from the option table
// that --help and the manual page are made of (CommandOptions()), so that the
// shells offer exactly the options the program documents. The build writes
// them with tools/write_completions.cpp; a test keeps them in step with the
// table.
//
// All texts are ASCII.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelm::viewer {

// One option of the table as the completions see it.
struct CompletionOption {
  // Its spellings, short first as the table lists them ("-h", "--help").
  std::vector<std::string> names;
  // The arguments it takes, as --help names them ("FILE.ss", "[OUT.html]").
  std::vector<std::string> arguments;
  // A value argument instead of a file ("N|fit"), as --help names it; the
  // scripts complete nothing for it.
  std::string value;
  // The first clause of its description ("show this help and exit").
  std::string summary;
};

// The table's options taken apart: in an entry's keys every word that starts
// with '-' (a trailing ',' dropped) is a name and every other word an
// argument.
std::vector<CompletionOption> CompletionOptions();

// The file-name suffix an argument asks for ("ss" for "FILE.ss" and
// "[FILE.ss]"); empty when it names none.
std::string ArgumentSuffix(std::string_view argument);

// The completion script of each shell, installed as
// share/bash-completion/completions/kelmhex, share/zsh/vendor-completions/_kelmhex
// and share/fish/vendor_completions.d/kelmhex.fish.
std::string BashCompletionScript();
std::string ZshCompletionScript();
std::string FishCompletionScript();

}  // namespace kelm::viewer
