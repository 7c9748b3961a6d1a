#include "app/command_line.h"

#include <filesystem>
#include <ostream>
#include <string_view>

#include "engine/core/screenshot_reader.h"
#include "engine/port/printable_text.h"
#include "ui/screenshot_view.h"
#include "viewer/help_text.h"

using namespace kelm::viewer;

namespace {

using kelm::port::EscapedText;
using kelm::port::WriteMessage;

constexpr std::string_view kEndOfOptions = "--";
constexpr std::string_view kStandardInput = "-";
constexpr std::string_view kShowScreenshot = "--show-screenshot";
constexpr std::string_view kScreenshotToHtml = "--screenshot-to-html";
constexpr std::string_view kWidthShort = "-w";
constexpr std::string_view kWidthLong = "--width";

// The most bytes a row may be asked for.
constexpr int32_t kMaxRowWidth = 256;

// The viewer on `arg`: a file, or standard input for "-".
CommandLine ViewOf(CommandLine command, std::string_view arg) {
  if (arg == kStandardInput) {
    command.standardInput = true;
  } else {
    command.file = std::string(arg);
  }
  return command;
}

CommandLine UsageError(std::string message) {
  CommandLine command;
  command.action = CommandAction::UsageError;
  command.error = std::move(message);
  return command;
}

// "--name=value": the value when `arg` is the option with an attached value.
std::optional<std::string> AttachedValue(std::string_view arg, std::string_view option) {
  if (arg.size() > option.size() && arg.substr(0, option.size()) == option && arg[option.size()] == '=') {
    return std::string(arg.substr(option.size() + 1));
  }
  return std::nullopt;
}

// The screenshot options: their file (attached or the next argument), an
// optional output for the HTML page, and nothing after that.
CommandLine ParseScreenshotOption(CommandAction action, std::string_view option, int argc,
                                  const char* const* argv, int at) {
  CommandLine command;
  command.action = action;
  const std::string_view arg = argv[at];
  int next = at + 1;
  if (std::optional<std::string> attached = AttachedValue(arg, option)) {
    command.file = std::move(*attached);
  } else if (next < argc) {
    command.file = argv[next++];
  }
  if (!command.file || command.file->empty()) {
    return UsageError("option '" + std::string(option) + "' needs a screenshot file (FILE.ss)");
  }
  if (action == CommandAction::ScreenshotToHtml) {
    if (next < argc) {
      command.output = argv[next++];
      if (command.output.empty()) return UsageError("the HTML output file name is empty");
    } else {
      command.output = DefaultHtmlPath(*command.file);
    }
  }
  if (next < argc) return UsageError("unexpected argument '" + EscapedText(argv[next]) + "'");
  return command;
}

void WriteFailure(std::ostream& err, const std::string& path, const std::string& message) {
  WriteMessage(err, std::string(kProgramName) + ": " + EscapedText(path) + ": " + message + '\n');
}

// Whether two paths name the same existing file.
bool SameFile(const std::string& a, const std::string& b) {
  std::error_code ec;
  const bool same = std::filesystem::equivalent(a, b, ec);
  return !ec && same;
}

int Finish(std::ostream& out, std::ostream& err) {
  out.flush();
  if (!out) {
    WriteMessage(err, std::string(kProgramName) + ": cannot write to standard output\n");
    return kExitFailure;
  }
  return kExitOk;
}

}  // namespace

std::optional<int32_t> ParseRowWidth(std::string_view text) {
  if (text == "fit") return 0;
  if (text.empty() || text.size() > 3) return std::nullopt;
  int32_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value < 1 || value > kMaxRowWidth) return std::nullopt;
  return value;
}

CommandLine ParseCommandLine(int argc, const char* const* argv) {
  CommandLine command;
  for (int i = 1; i < argc; ++i) {
    if (argv[i] == nullptr) break;
    const std::string_view arg = argv[i];
    if (arg == kWidthShort || arg == kWidthLong || AttachedValue(arg, kWidthLong)) {
      std::optional<std::string> value = AttachedValue(arg, kWidthLong);
      if (!value) {
        if (i + 1 >= argc || argv[i + 1] == nullptr) {
          return UsageError("option '" + std::string(arg) + "' needs a width: 1 to 256 bytes a row, or fit");
        }
        value = argv[++i];
      }
      const std::optional<int32_t> width = ParseRowWidth(*value);
      if (!width) {
        return UsageError("bad width '" + EscapedText(*value) + "': give 1 to 256 bytes a row, or fit");
      }
      command.bytesPerRow = width;
      continue;
    }
    if (arg == kEndOfOptions) {
      if (i + 1 < argc && argv[i + 1] != nullptr) return ViewOf(command, argv[i + 1]);
      return command;
    }
    if (arg == "-h" || arg == "--help") {
      command.action = CommandAction::Help;
      return command;
    }
    if (arg == "-V" || arg == "--version") {
      command.action = CommandAction::Version;
      return command;
    }
    if (arg == kShowScreenshot || AttachedValue(arg, kShowScreenshot)) {
      return ParseScreenshotOption(CommandAction::ShowScreenshot, kShowScreenshot, argc, argv, i);
    }
    if (arg == kScreenshotToHtml || AttachedValue(arg, kScreenshotToHtml)) {
      return ParseScreenshotOption(CommandAction::ScreenshotToHtml, kScreenshotToHtml, argc, argv, i);
    }
    if (arg.size() > 1 && arg[0] == '-') return UsageError("unknown option '" + EscapedText(arg) + "'");
    // The first argument that is not an option is the file; the rest is
    // ignored.
    return ViewOf(command, arg);
  }
  return command;
}

int RunCommandLineAction(const CommandLine& command, std::ostream& out, std::ostream& err,
                         const char* colorterm, const char* noColor) {
  switch (command.action) {
    case CommandAction::View:
      return kExitOk;  // the viewer is started by the caller
    case CommandAction::Help:
      WriteMessage(out, UsageText());
      return Finish(out, err);
    case CommandAction::Version:
      WriteMessage(out, VersionText());
      return Finish(out, err);
    case CommandAction::UsageError:
      WriteMessage(err, std::string(kProgramName) + ": " + command.error + '\n' + UsageHint());
      return kExitUsage;
    case CommandAction::ShowScreenshot:
    case CommandAction::ScreenshotToHtml:
      break;
  }

  const std::string& path = command.file.value_or(std::string());
  KelmCEngineV2::Screenshot shot;
  std::string error;
  if (!KelmCEngineV2::ReadScreenshotFile(path, shot, error)) {
    WriteFailure(err, path, error);
    return kExitFailure;
  }

  if (command.action == CommandAction::ShowScreenshot) {
    WriteScreenshotTerminalText(out, shot, ScreenshotColoursFor(colorterm, noColor));
    return Finish(out, err);
  }

  if (SameFile(path, command.output)) {
    WriteFailure(err, command.output, "is the screenshot itself; name another output file");
    return kExitFailure;
  }
  const std::string title = std::filesystem::path(path).filename().string();
  if (!WriteTextFile(command.output, ScreenshotHtml(shot, title), error)) {
    WriteFailure(err, command.output, error);
    return kExitFailure;
  }
  WriteMessage(out, std::string(kProgramName) + ": wrote " + EscapedText(command.output) + " (" +
                        std::to_string(shot.width) + " x " + std::to_string(shot.height) + " cells)\n");
  return Finish(out, err);
}
