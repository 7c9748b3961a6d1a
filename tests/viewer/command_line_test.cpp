// The command line: options, "--" and files named like options, what help,
// version and usage errors print and their exit statuses, the screenshot
// tools run from the command line, and the help text and manual page kept
// in step with the keys the viewer really binds.
#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/screenshot.h"
#include "ui/screenshot_view.h"
#include "app/command_line.h"
#include "viewer/copy.h"
#include "viewer/help_text.h"
#include "viewer/marks.h"

using namespace kelm::viewer;

namespace {

CommandLine Parse(std::vector<std::string> args) {
  args.insert(args.begin(), "kelmhex");
  std::vector<const char*> argv;
  for (const std::string& arg : args) argv.push_back(arg.c_str());
  argv.push_back(nullptr);
  return ParseCommandLine(static_cast<int>(args.size()), argv.data());
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::stringstream stream(text);
  std::string line;
  while (std::getline(stream, line)) lines.push_back(line);
  return lines;
}

// A temporary folder per test.
class TempDir : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("kelmhex-cli-" + std::to_string(std::random_device{}()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir, ignored);
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  // A 3 x 2 screenshot written by the program's own encoder.
  std::string Screenshot(const std::string& name) {
    std::vector<kelm::port::CHAR_INFO> cells = {{u'a', 0x07}, {u'<', 0x1F}, {u'b', 0x4E},
                                                {u'c', 0x70}, {u'&', 0x07}, {u'd', 0x02}};
    kelm::port::ColourTable colours;
    for (int i = 0; i < 16; ++i) colours.rgb[i][0] = static_cast<uint8_t>(i * 16);
    return Write(name, KelmCEngineV2::EncodeScreenshot(cells, 3, 2, &colours));
  }

  std::filesystem::path dir;
};

struct Outcome {
  int status = -1;
  std::string out;
  std::string err;
};

Outcome RunAction(const CommandLine& command, const char* colorterm = nullptr, const char* noColor = nullptr) {
  std::ostringstream out;
  std::ostringstream err;
  Outcome run;
  run.status = RunCommandLineAction(command, out, err, colorterm, noColor);
  run.out = out.str();
  run.err = err.str();
  return run;
}

// --- parsing --------------------------------------------------------------------------

TEST(CommandLineParse, NoArgumentsViewsWithTheOpenDialog) {
  const CommandLine command = Parse({});
  EXPECT_EQ(command.action, CommandAction::View);
  EXPECT_FALSE(command.file.has_value());
}

TEST(CommandLineParse, FirstArgumentIsTheFileAndTheRestIsIgnored) {
  const CommandLine command = Parse({"data.bin", "--help", "other"});
  EXPECT_EQ(command.action, CommandAction::View);
  EXPECT_EQ(command.file, "data.bin");
}

TEST(CommandLineParse, HelpAndVersionInBothForms) {
  EXPECT_EQ(Parse({"--help"}).action, CommandAction::Help);
  EXPECT_EQ(Parse({"-h"}).action, CommandAction::Help);
  EXPECT_EQ(Parse({"--version"}).action, CommandAction::Version);
  EXPECT_EQ(Parse({"-V"}).action, CommandAction::Version);
  // The first option decides.
  EXPECT_EQ(Parse({"--version", "--help"}).action, CommandAction::Version);
}

TEST(CommandLineParse, DoubleDashMakesTheNextArgumentTheFile) {
  CommandLine command = Parse({"--", "--help"});
  EXPECT_EQ(command.action, CommandAction::View);
  EXPECT_EQ(command.file, "--help");

  command = Parse({"--", "-V"});
  EXPECT_EQ(command.action, CommandAction::View);
  EXPECT_EQ(command.file, "-V");

  command = Parse({"--", "--"});
  EXPECT_EQ(command.file, "--");

  command = Parse({"--"});
  EXPECT_EQ(command.action, CommandAction::View);
  EXPECT_FALSE(command.file.has_value());
}

TEST(CommandLineParse, LoneDashIsStandardInputAndDotSlashDashTheFile) {
  CommandLine command = Parse({"-"});
  EXPECT_EQ(command.action, CommandAction::View);
  EXPECT_TRUE(command.standardInput);
  EXPECT_FALSE(command.file.has_value());

  command = Parse({"--", "-"});
  EXPECT_TRUE(command.standardInput) << "as after the options";
  EXPECT_FALSE(command.file.has_value());

  command = Parse({"./-"});
  EXPECT_FALSE(command.standardInput);
  EXPECT_EQ(command.file, "./-");

  command = Parse({"-", "ignored"});
  EXPECT_TRUE(command.standardInput) << "what follows the file is ignored, as always";
  EXPECT_FALSE(Parse({"file.bin"}).standardInput);
}

TEST(CommandLineParse, UnknownOptionsAreUsageErrors) {
  for (const std::string option : {"--bogus", "-x", "--helpx", "--HELP", "-hV", "--show-screenshots"}) {
    const CommandLine command = Parse({option, "file.bin"});
    EXPECT_EQ(command.action, CommandAction::UsageError) << option;
    EXPECT_NE(command.error.find("'" + option + "'"), std::string::npos) << command.error;
    EXPECT_EQ(command.error.find('\n'), std::string::npos);
  }
}

TEST(CommandLineParse, ShowScreenshotTakesOneFile) {
  CommandLine command = Parse({"--show-screenshot", "a.ss"});
  EXPECT_EQ(command.action, CommandAction::ShowScreenshot);
  EXPECT_EQ(command.file, "a.ss");

  command = Parse({"--show-screenshot=dir/b.ss"});
  EXPECT_EQ(command.action, CommandAction::ShowScreenshot);
  EXPECT_EQ(command.file, "dir/b.ss");

  // A file named like an option is still the file here.
  command = Parse({"--show-screenshot", "--help"});
  EXPECT_EQ(command.action, CommandAction::ShowScreenshot);
  EXPECT_EQ(command.file, "--help");

  EXPECT_EQ(Parse({"--show-screenshot"}).action, CommandAction::UsageError);
  EXPECT_EQ(Parse({"--show-screenshot="}).action, CommandAction::UsageError);
  EXPECT_EQ(Parse({"--show-screenshot", ""}).action, CommandAction::UsageError);
  command = Parse({"--show-screenshot", "a.ss", "b.ss"});
  EXPECT_EQ(command.action, CommandAction::UsageError);
  EXPECT_NE(command.error.find("'b.ss'"), std::string::npos);
}

TEST(CommandLineParse, ScreenshotToHtmlDefaultsTheOutputBesideTheInput) {
  CommandLine command = Parse({"--screenshot-to-html", "shots/screenshot-Tue-Dec--8-04-46-54-2026.ss"});
  EXPECT_EQ(command.action, CommandAction::ScreenshotToHtml);
  EXPECT_EQ(command.file, "shots/screenshot-Tue-Dec--8-04-46-54-2026.ss");
  EXPECT_EQ(command.output, "shots/screenshot-Tue-Dec--8-04-46-54-2026.html");

  command = Parse({"--screenshot-to-html", "a.ss", "page.html"});
  EXPECT_EQ(command.output, "page.html");

  command = Parse({"--screenshot-to-html=a.ss", "page.html"});
  EXPECT_EQ(command.file, "a.ss");
  EXPECT_EQ(command.output, "page.html");

  EXPECT_EQ(Parse({"--screenshot-to-html"}).action, CommandAction::UsageError);
  EXPECT_EQ(Parse({"--screenshot-to-html", "a.ss", ""}).action, CommandAction::UsageError);
  EXPECT_EQ(Parse({"--screenshot-to-html", "a.ss", "b.html", "c"}).action, CommandAction::UsageError);
}

TEST(CommandLineParse, DefaultHtmlPathReplacesOnlyAnSsExtension) {
  EXPECT_EQ(DefaultHtmlPath("a.ss"), "a.html");
  EXPECT_EQ(DefaultHtmlPath("/x/y/shot.ss"), "/x/y/shot.html");
  EXPECT_EQ(DefaultHtmlPath("capture"), "capture.html");
  EXPECT_EQ(DefaultHtmlPath("a.ss.bak"), "a.ss.bak.html");
  EXPECT_EQ(DefaultHtmlPath("shots.ss/frame"), "shots.ss/frame.html");
  EXPECT_EQ(DefaultHtmlPath("dir/.ss"), "dir/.ss.html");
  EXPECT_EQ(DefaultHtmlPath("a.SS"), "a.SS.html");
}

// --- running the actions --------------------------------------------------------------

TEST(CommandLineRun, HelpGoesToStandardOutputWithStatusZero) {
  const Outcome run = RunAction(Parse({"--help"}));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, UsageText());
  EXPECT_TRUE(run.err.empty());
}

TEST(CommandLineRun, VersionIsTheProjectVersion) {
  const Outcome run = RunAction(Parse({"-V"}));
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(run.err.empty());

  const std::string cmake = ReadFile(std::filesystem::path(KELMHEX_SOURCE_DIR) / "CMakeLists.txt");
  const std::string declaration = "project(kelmhex VERSION ";
  const size_t at = cmake.find(declaration);
  ASSERT_NE(at, std::string::npos);
  const size_t start = at + declaration.size();
  const std::string version = cmake.substr(start, cmake.find_first_not_of("0123456789.", start) - start);
  ASSERT_FALSE(version.empty());
  EXPECT_EQ(run.out, "kelmhex " + version + "\n");
}

TEST(CommandLineRun, UsageErrorIsOneLinePlusTheHintOnStandardError) {
  const Outcome run = RunAction(Parse({"--bogus"}));
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty());
  const std::vector<std::string> lines = Lines(run.err);
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[0], "kelmhex: unknown option '--bogus'");
  EXPECT_EQ(run.err.substr(lines[0].size() + 1), UsageHint());
  EXPECT_NE(UsageHint().find("kelmhex --help"), std::string::npos);
}

TEST(CommandLineRun, AnOutputThatCannotBeWrittenIsAFailure) {
  std::ostream broken(nullptr);  // every write fails
  std::ostringstream err;
  EXPECT_EQ(RunCommandLineAction(Parse({"--help"}), broken, err), 1);
  EXPECT_NE(err.str().find("cannot write"), std::string::npos);
}

// Names and arguments from the command line never reach the terminal as
// control sequences, whichever message carries them.
TEST(CommandLineRun, MessagesShowControlCharactersOfArgumentsAsEscapes) {
  const std::string evil = "x\x1b]2;PWNED\x07\x1b]52;c;ZWNobyBwd25lZAo=\x07\xc2\x9b\xe2\x80\xae";
  const std::string shown = "x\\x1b]2;PWNED\\x07\\x1b]52;c;ZWNobyBwd25lZAo=\\x07\\u{009b}\\u{202e}";
  Outcome run = RunAction(Parse({"-" + evil}));
  EXPECT_EQ(Lines(run.err).at(0), "kelmhex: unknown option '-" + shown + "'");
  run = RunAction(Parse({"--show-screenshot", "a.ss", evil}));
  EXPECT_EQ(Lines(run.err).at(0), "kelmhex: unexpected argument '" + shown + "'");
  run = RunAction(Parse({"--show-screenshot", evil + ".ss"}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("kelmhex: " + shown + ".ss: cannot open", 0), 0u) << run.err;
}

class CommandLineScreenshot : public TempDir {};

TEST_F(CommandLineScreenshot, ShowPrintsThePictureInTheColoursAsked) {
  const std::string path = Screenshot("shot.ss");
  KelmCEngineV2::Screenshot shot;
  std::string error;
  ASSERT_TRUE(KelmCEngineV2::ReadScreenshotFile(path, shot, error)) << error;

  Outcome run = RunAction(Parse({"--show-screenshot", path}));
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, ScreenshotTerminalText(shot, ScreenshotColours::Standard16));
  EXPECT_TRUE(run.err.empty());

  run = RunAction(Parse({"--show-screenshot", path}), "truecolor");
  EXPECT_EQ(run.out, ScreenshotTerminalText(shot, ScreenshotColours::TrueColour));

  run = RunAction(Parse({"--show-screenshot", path}), "truecolor", "1");
  EXPECT_EQ(run.out, "a<b\nc&d\n");
}

TEST_F(CommandLineScreenshot, ATerminalThemeScreenshotShowsInTheTerminalsOwnColours) {
  // Taken under the terminal-colours theme: grey on the default background
  // (both defaults), red on it, and white on blue from the palette.
  const uint16_t theme = kelm::port::kTerminalDefaultColours;
  const std::vector<kelm::port::CHAR_INFO> cells = {{u'a', theme | 0x07}, {u'b', theme | 0x04}, {u'c', theme | 0x1F}};
  kelm::port::ColourTable colours;
  for (int i = 0; i < 16; ++i) colours.rgb[i][2] = static_cast<uint8_t>(i * 16);
  const std::string path = Write("theme.ss", KelmCEngineV2::EncodeScreenshot(cells, 3, 1, &colours));

  Outcome run = RunAction(Parse({"--show-screenshot", path}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "\x1b[0;39;49ma\x1b[0;31;49mb\x1b[0;97;44mc\x1b[0m\n");
  run = RunAction(Parse({"--show-screenshot", path}), "truecolor");
  EXPECT_EQ(run.out, "\x1b[0;39;49ma\x1b[0;38;2;0;0;64;49mb\x1b[0;38;2;0;0;240;48;2;0;0;16mc\x1b[0m\n");

  run = RunAction(Parse({"--screenshot-to-html", path}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(ReadFile(dir / "theme.html")
                .find("<span class=\"fd bd\">a</span><span class=\"f4 bd\">b</span><span class=\"fF b1\">c</span>"),
            std::string::npos);
}

TEST_F(CommandLineScreenshot, BrokenFilesFailWithStatusOneAndOneLine) {
  const std::string header = KelmCEngineV2::EncodeScreenshot({}, 0, 0, nullptr);
  const std::string good = ReadFile(Screenshot("good.ss"));
  const std::vector<std::pair<std::string, std::string>> files = {
      {Write("header.ss", header), "no picture"},
      {Write("magic.ss", "PNG\r\n" + good.substr(5)), "not a screenshot"},
      {Write("short.ss", good.substr(0, good.size() - 1)), "truncated"},
      {(dir / "missing.ss").string(), "cannot open"},
  };
  for (const auto& [path, message] : files) {
    for (const char* option : {"--show-screenshot", "--screenshot-to-html"}) {
      const Outcome run = RunAction(Parse({option, path}));
      EXPECT_EQ(run.status, 1) << path;
      EXPECT_TRUE(run.out.empty()) << path;
      const std::vector<std::string> lines = Lines(run.err);
      ASSERT_EQ(lines.size(), 1u) << run.err;
      EXPECT_EQ(lines[0].rfind("kelmhex: " + path + ": ", 0), 0u) << lines[0];
      EXPECT_NE(lines[0].find(message), std::string::npos) << lines[0];
    }
  }
  EXPECT_FALSE(std::filesystem::exists(dir / "header.html"));
}

TEST_F(CommandLineScreenshot, APictureNoConsoleCouldHaveIsRefusedBeforeItIsRead) {
  // 65535 x 256 cells passes a limit on cells alone and would expand to some
  // 500 MB of output: its header is enough to refuse it.
  std::string header = ReadFile(Screenshot("small.ss")).substr(0, 59);
  header[55] = '\xFF';
  header[56] = '\xFF';
  header[57] = '\x00';
  header[58] = '\x01';
  const std::string path = Write("wide.ss", header);
  std::filesystem::resize_file(path, KelmCEngineV2::ScreenshotFileSize(65535, 256));
  const Outcome run = RunAction(Parse({"--show-screenshot", path}));
  EXPECT_EQ(run.status, 1);
  EXPECT_TRUE(run.out.empty());
  EXPECT_NE(run.err.find("a picture of 65535 x 256 cells is larger than any terminal (a console has at most "
                         "2048 columns and 1024 rows)"),
            std::string::npos)
      << run.err;
}

TEST_F(CommandLineScreenshot, HtmlIsWrittenBesideTheScreenshot) {
  const std::string path = Screenshot("frame.ss");
  const Outcome run = RunAction(Parse({"--screenshot-to-html", path}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_NE(run.out.find("frame.html"), std::string::npos);
  const std::string page = ReadFile(dir / "frame.html");
  KelmCEngineV2::Screenshot shot;
  std::string error;
  ASSERT_TRUE(KelmCEngineV2::ReadScreenshotFile(path, shot, error));
  EXPECT_EQ(page, ScreenshotHtml(shot, "frame.ss"));
}

TEST_F(CommandLineScreenshot, HtmlReplacesALinkPlantedAtTheDefaultNameWithoutFollowingIt) {
  const std::string path = Screenshot("frame.ss");
  const std::string victim = Write("victim", "precious");
  std::filesystem::create_symlink(victim, dir / "frame.html");
  const Outcome run = RunAction(Parse({"--screenshot-to-html", path}));
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(ReadFile(victim), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / "frame.html"));
  EXPECT_NE(ReadFile(dir / "frame.html").find("<!DOCTYPE html>"), std::string::npos);
}

TEST_F(CommandLineScreenshot, HtmlNeverOverwritesTheScreenshotItself) {
  const std::string path = Screenshot("frame.ss");
  const std::string before = ReadFile(path);
  const Outcome run = RunAction(Parse({"--screenshot-to-html", path, (dir / "." / "frame.ss").string()}));
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.err.find("screenshot itself"), std::string::npos);
  EXPECT_EQ(ReadFile(path), before);
}

TEST_F(CommandLineScreenshot, HtmlThatCannotBeWrittenFails) {
  const std::string path = Screenshot("frame.ss");
  const std::string target = (dir / "no-such-folder" / "page.html").string();
  const Outcome run = RunAction(Parse({"--screenshot-to-html", path, target}));
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.err.rfind("kelmhex: " + target + ": cannot create", 0), 0u) << run.err;
}

// --- the program itself -------------------------------------------------------------------

#ifdef KELMHEX_BINARY
// Runs the built program with standard input from /dev/null (no terminal).
Outcome RunProgram(const std::string& arguments) {
  Outcome run;
  const std::string command = std::string("'") + KELMHEX_BINARY + "' " + arguments + " </dev/null 2>/dev/null";
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return run;
  char buffer[4096];
  size_t count = 0;
  while ((count = fread(buffer, 1, sizeof buffer, pipe)) > 0) run.out.append(buffer, count);
  const int status = pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

TEST(CommandLineProgram, OptionsWorkWithoutATerminal) {
  if (!std::filesystem::exists(KELMHEX_BINARY)) GTEST_SKIP() << "kelmhex is not built";
  Outcome run = RunProgram("--help");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, UsageText());
  run = RunProgram("--version");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out, VersionText());
  run = RunProgram("--no-such-option");
  EXPECT_EQ(run.status, 2);
  EXPECT_TRUE(run.out.empty());
  // Viewing needs the terminal: without one the set-up fails with status 1.
  run = RunProgram("-- --help");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.out.find("FATAL ERROR IN SETTING UP CONSOLE"), std::string::npos);
}
#endif

// --- the help text --------------------------------------------------------------------

std::string HexViewKeys() {
  std::string keys;
  for (const HelpSection& section : KeySections()) {
    if (section.title != "Hex view") continue;
    for (const HelpEntry& entry : section.entries) {
      keys += std::string(entry.keys) + ", ";
    }
  }
  return keys;
}

TEST(HelpText, ListsTheFunctionKeysQuitAndNavigation) {
  const std::string listed = HexViewKeys();
  for (const char* key :
       {"F1", "F2", "F3", "q", "F10", "Esc", "PgUp", "PgDn", "Home", "End", "Ctrl+Up", "Ctrl+Left"}) {
    EXPECT_NE(listed.find(std::string(key) + ","), std::string::npos) << key;
  }
}

// The text with every run of blanks and line breaks made one space.
std::string Flowed(const std::string& text) {
  std::string out;
  for (char c : text) {
    const bool blank = c == ' ' || c == '\n';
    if (blank && (out.empty() || out.back() == ' ')) continue;
    out += blank ? ' ' : c;
  }
  return out;
}

TEST(HelpText, UsageTellsOptionsScreenshotsAndExitStatuses) {
  const std::string text = UsageText();
  const std::string flowed = Flowed(text);
  for (const char* needle : {"--help", "--version", "--show-screenshot FILE.ss", "--screenshot-to-html FILE.ss",
                             "kelmhex -- --help", "working directory", "screenshot-Tue-Dec--8-04-46-54-2026.ss",
                             "Ctrl+Shift+C", "Ctrl+Y", "OSC 52", "SSH", "COLORTERM", "NO_COLOR"}) {
    EXPECT_NE(flowed.find(needle), std::string::npos) << needle;
  }
  std::vector<std::string> statuses;
  for (const HelpEntry& entry : ExitStatuses()) statuses.emplace_back(entry.keys);
  EXPECT_EQ(statuses, (std::vector<std::string>{"0", "1", "2", "128+N"}));
  const std::string afterHeading = text.substr(text.find("Exit status:"));
  for (const std::string& status : statuses) {
    EXPECT_NE(afterHeading.find("\n  " + status + " "), std::string::npos) << status;
  }
}

TEST(HelpText, UsageLinesFitEightyColumns) {
  for (const std::string& line : Lines(UsageText())) EXPECT_LE(line.size(), 79u) << line;
  for (const std::string& line : Lines(UsageHint())) EXPECT_LE(line.size(), 79u) << line;
}

// Joins the words of wrapped lines back into one text.
std::string Rejoin(const std::vector<std::string>& pieces) {
  std::string text;
  for (const std::string& piece : pieces) {
    std::stringstream words(piece);
    std::string word;
    while (words >> word) text += (text.empty() ? "" : " ") + word;
  }
  return text;
}

TEST(HelpText, KeyTableFitsAnyWidthAndLosesNoWord) {
  for (int width = 8; width <= 120; ++width) {
    const std::vector<HelpLine> lines = FormatKeyTable(KeySections(), width);
    for (const HelpLine& line : lines) {
      ASSERT_LE(static_cast<int>(line.text.size()), width) << "width " << width << ": " << line.text;
    }
  }
  // At a readable width every entry's words come back in order.
  const std::vector<HelpLine> lines = FormatKeyTable(KeySections(), 60);
  std::vector<std::string> texts;
  size_t headings = 0;
  for (const HelpLine& line : lines) {
    if (line.heading) ++headings;
    texts.push_back(line.text);
  }
  EXPECT_EQ(headings, KeySections().size());
  std::string expected;
  for (const HelpSection& section : KeySections()) {
    expected += std::string(expected.empty() ? "" : " ") + std::string(section.title);
    for (const HelpEntry& entry : section.entries) {
      expected += " " + std::string(entry.keys) + " " + std::string(entry.action);
    }
  }
  EXPECT_EQ(Rejoin(texts), Rejoin({expected}));
}

TEST(HelpText, KeysStayBesideTheirActionWhenTheyFit) {
  const HelpSection section{"Title", {{"Ctrl+G", "seek to an offset and mark the byte there"}}};
  const std::vector<HelpLine> lines = FormatKeyTable({section}, 30);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[0].text, "Title");
  EXPECT_TRUE(lines[0].heading);
  EXPECT_EQ(lines[1].text, "  Ctrl+G  seek to an offset");
  EXPECT_EQ(lines[2].text, "          and mark the byte");
  EXPECT_EQ(lines[3].text, "          there");
  EXPECT_FALSE(lines[2].heading);
}

TEST(HelpText, LongKeysGetALineOfTheirOwn) {
  const HelpSection section{"T", {{"Ctrl+A", "all"}, {"Backspace, Ctrl+Backspace", "delete"}}};
  const std::vector<HelpLine> lines = FormatKeyTable({section}, 20);
  // The key column is two fifths of 20: 8 columns.
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[1].text, "  Ctrl+A    all");
  EXPECT_EQ(lines[2].text, "  Backspace,");
  EXPECT_EQ(lines[3].text, "  Ctrl+Backspace");
  EXPECT_EQ(lines[4].text, "            delete");
}

TEST(HelpText, WrapWordsCutsOnlyWordsLongerThanALine) {
  EXPECT_EQ(WrapWords("one two  three", 7), (std::vector<std::string>{"one two", "three"}));
  EXPECT_EQ(WrapWords("abcdefghij", 4), (std::vector<std::string>{"abcd", "efgh", "ij"}));
  EXPECT_EQ(WrapWords("   ", 4), std::vector<std::string>{});
  EXPECT_EQ(WrapWords("a bcdefg", 3), (std::vector<std::string>{"a", "bcd", "efg"}));
}

// --- the manual page ----------------------------------------------------------------------

TEST(ManPage, TheInstalledPageIsTheGeneratedOne) {
  const std::filesystem::path page = std::filesystem::path(KELMHEX_SOURCE_DIR) / "docs" / "kelmhex.1";
  const std::string expected = ManPageText();
  const std::string actual = ReadFile(page);
  if (actual != expected) {
    const std::filesystem::path fresh = std::filesystem::absolute("kelmhex.1.generated");
    std::ofstream(fresh, std::ios::binary) << expected;
    FAIL() << "docs/kelmhex.1 is out of date with the help text; the current page was written to " << fresh
           << ": copy it to " << page;
  }
}

TEST(ManPage, CoversTheSameGroundAsHelp) {
  const std::string page = ManPageText();
  for (const char* section : {".SH NAME", ".SH SYNOPSIS", ".SH DESCRIPTION", ".SH OPTIONS", ".SH KEYS AND MOUSE",
                              ".SH SCREENSHOTS", ".SH EXIT STATUS", ".SH ENVIRONMENT"}) {
    EXPECT_NE(page.find(std::string("\n") + section + "\n"), std::string::npos) << section;
  }
  // Every entry shows up as a tagged paragraph (roff writes '-' as "\-").
  const auto roff = [](std::string_view text) {
    std::string out;
    for (char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
    return out;
  };
  std::vector<HelpEntry> entries = CommandOptions();
  entries.insert(entries.end(), ExitStatuses().begin(), ExitStatuses().end());
  for (const HelpSection& section : KeySections()) {
    entries.insert(entries.end(), section.entries.begin(), section.entries.end());
  }
  for (const HelpEntry& entry : entries) {
    EXPECT_NE(page.find(".TP\n\\fB" + roff(entry.keys) + "\\fR\n" + roff(entry.action) + "\n"), std::string::npos)
        << entry.keys;
  }
}

TEST(ManPage, OnlyKnownMacrosStartALine) {
  for (const std::string& line : Lines(ManPageText())) {
    ASSERT_FALSE(line.empty());
    if (line[0] == '\'') ADD_FAILURE() << line;
    if (line[0] != '.') continue;
    const std::string macro = line.substr(0, line.find(' '));
    EXPECT_TRUE(macro == ".TH" || macro == ".SH" || macro == ".SS" || macro == ".TP" || macro == ".nf" ||
                macro == ".fi")
        << line;
  }
}

}  // namespace

namespace {

TEST(CommandLineWidth, ShortLongAndAttachedFormsAndBadValues) {
  const char* const shortForm[] = {"kelmhex", "-w", "16", "data.bin", nullptr};
  CommandLine command = ParseCommandLine(4, shortForm);
  EXPECT_EQ(command.action, CommandAction::View);
  EXPECT_EQ(command.bytesPerRow, 16);
  EXPECT_EQ(command.file, "data.bin");
  const char* const longFit[] = {"kelmhex", "--width", "fit", nullptr};
  EXPECT_EQ(ParseCommandLine(3, longFit).bytesPerRow, 0);
  const char* const attached[] = {"kelmhex", "--width=256", nullptr};
  EXPECT_EQ(ParseCommandLine(2, attached).bytesPerRow, 256);
  for (const char* bad : {"0", "257", "-1", "16x", "", "1000"}) {
    const char* const argv[] = {"kelmhex", "-w", bad, nullptr};
    command = ParseCommandLine(3, argv);
    EXPECT_EQ(command.action, CommandAction::UsageError) << bad;
    EXPECT_NE(command.error.find("1 to 256"), std::string::npos) << command.error;
  }
  const char* const missing[] = {"kelmhex", "-w", nullptr};
  EXPECT_EQ(ParseCommandLine(2, missing).action, CommandAction::UsageError);
}

}  // namespace
