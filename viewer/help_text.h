// The program's own description of itself: usage, options, every key and
// mouse action, where screenshots go and the exit statuses. One source for
// `kelmhex --help`, the F1 help box and the manual page (docs/kelmhex.1 is
// the output of ManPageText(), checked by a test); the option table also
// makes the shell completions (viewer/shell_completions.h).
//
// All texts are ASCII.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelm::viewer {

inline constexpr std::string_view kProgramName = "kelmhex";

// One line of a two-column table: the keys (or the mouse action, the option,
// the status) and what it does.
struct HelpEntry {
  std::string_view keys;
  std::string_view action;
};

// A titled group of entries (the keys of one place: the hex view, the
// mouse, boxes and forms, the help box, the file chooser).
struct HelpSection {
  std::string_view title;
  std::vector<HelpEntry> entries;
};

// The version of the program ("0.1.0").
std::string_view ProgramVersion();

// "kelmhex 0.1.0" and a line break.
std::string VersionText();

// The usage lines and a pointer to --help, for a usage error on stderr.
std::string UsageHint();

// The whole --help text, lines of at most 79 columns.
std::string UsageText();

// The keys and mouse actions, grouped by where they act.
const std::vector<HelpSection>& KeySections();

// The command-line options, in the order --help lists them.
const std::vector<HelpEntry>& CommandOptions();

// The exit statuses and what they mean.
const std::vector<HelpEntry>& ExitStatuses();

// One line of a formatted key table; headings are the section titles.
struct HelpLine {
  std::string text;
  bool heading = false;
};

// The sections as a two-column table fitted into `width` columns: for each
// section a heading line, then one entry per line ("  keys  action"), the
// action wrapped under its own column. Keys too long for their column get a
// line of their own. Sections are separated by an empty line. No line is
// longer than `width` (at least 8 is assumed; narrower widths are treated as
// 8).
std::vector<HelpLine> FormatKeyTable(const std::vector<HelpSection>& sections, int width);

// Splits `text` into lines of at most `width` columns at spaces; a word
// longer than the width is cut.
std::vector<std::string> WrapWords(std::string_view text, int width);

// The manual page in roff (man macros), covering the same ground as --help.
std::string ManPageText();

}  // namespace kelm::viewer
