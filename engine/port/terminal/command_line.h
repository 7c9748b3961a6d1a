// Splitting a typed command ("open with" prompt) into an argument vector,
// without a shell: words are separated by blanks; single quotes keep
// everything up to the closing quote; double quotes keep blanks, and inside
// them a backslash escapes only " and \ ; outside quotes a backslash keeps the
// next character as it is. No variables, globbing or redirection: the words go
// to the program unchanged.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace kelm::port {

// The words of `line`, or nothing when a quote is left open.
std::optional<std::vector<std::string>> SplitCommandLine(const std::string& line);

}  // namespace kelm::port
