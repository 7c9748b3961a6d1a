// The command line of kelmhex:
//
//   kelmhex [-w N|fit] [--] [FILE | -]                view FILE (or choose one),
//                                                     or standard input for "-"
//   kelmhex -h | --help                               usage, keys, exit statuses
//   kelmhex -V | --version
//   kelmhex --show-screenshot FILE.ss                 print a screenshot
//   kelmhex --screenshot-to-html FILE.ss [OUT.html]   write it as a web page
//
// Options are looked for before the file only: the first argument that is
// not an option is the file, and what follows it is ignored, as it always
// was. "--" ends the options, so a file named "--help" is viewed with
// `kelmhex -- --help`; a lone "-" (before or after "--") stands for
// standard input, so a file of that name is viewed as ./-. The two screenshot options
// also take their file as --show-screenshot=FILE.ss.
//
// Everything but viewing runs without the terminal: help, version, the
// screenshot tools and usage errors never touch the terminal's modes.
#pragma once

#include <cstdint>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>

enum class CommandAction {
  View,              // start the viewer (on `file`, or with the open dialog)
  Help,              // --help
  Version,           // --version
  ShowScreenshot,    // --show-screenshot `file`
  ScreenshotToHtml,  // --screenshot-to-html `file` [`output`]
  UsageError,        // `error` says what is wrong
};

struct CommandLine {
  CommandAction action = CommandAction::View;
  // View: the file to view, nothing for the open dialog. Screenshot tools:
  // the screenshot file.
  std::optional<std::string> file;
  // View: the file was "-", the data comes on standard input (`file` empty).
  bool standardInput = false;
  // ScreenshotToHtml: the page to write (the default already filled in).
  std::string output;
  // UsageError: one line, without the program name.
  std::string error;
  // View: -w / --width, when given: 0 for "fit", else 1..256 bytes a row.
  std::optional<int32_t> bytesPerRow;
};

// Exit statuses.
inline constexpr int kExitOk = 0;
inline constexpr int kExitFailure = 1;  // a bad screenshot file, output not written
inline constexpr int kExitUsage = 2;

CommandLine ParseCommandLine(int argc, const char* const* argv);

// The value of -w / --width: 0 for "fit", 1..256 for a count; nothing for
// anything else.
std::optional<int32_t> ParseRowWidth(std::string_view text);

// Runs an action that needs no terminal (everything but View): writes
// help and version to `out`, usage errors and failures to `err` ("kelmhex:
// " and one line, plus the usage hint for usage errors), and yields the exit
// status. The colours of --show-screenshot come from `colorterm` and
// `noColor` (the values of COLORTERM and NO_COLOR, null when unset).
int RunCommandLineAction(const CommandLine& command, std::ostream& out, std::ostream& err,
                         const char* colorterm = nullptr, const char* noColor = nullptr);
