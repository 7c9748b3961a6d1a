#include "viewer/help_text.h"

#include <algorithm>

#include "viewer/key_bindings.h"

namespace kelm::viewer {

#ifndef KELMHEX_VERSION
#define KELMHEX_VERSION "unknown"
#endif

namespace {

// Width of the --help text.
constexpr int kUsageWidth = 79;
// Narrowest table FormatKeyTable lays out.
constexpr int kMinTableWidth = 8;
// Indent of the entries under a heading, and the gap between the columns.
constexpr int kEntryIndent = 2;
constexpr int kColumnGap = 2;

constexpr std::string_view kSynopsis[] = {
    "kelmhex [--] [FILE | -]",
    "cmd | kelmhex",
    "kelmhex --show-screenshot FILE.ss",
    "kelmhex --screenshot-to-html FILE.ss [OUT.html]",
    "kelmhex --help | --version",
};

constexpr std::string_view kSummary = "an interactive hex viewer for the terminal";

constexpr std::string_view kDescription =
    "Shows FILE as rows of a 16-digit hexadecimal offset, the bytes as hex pairs and the bytes as "
    "characters, as many bytes per row as the terminal is wide. Without FILE a file chooser asks for "
    "one; with - (or without FILE while standard input is a pipe) the bytes of standard input are "
    "shown as they arrive. Select bytes with the mouse or the keys: up to eight selected bytes are decoded at once as "
    "integers, floats and characters in the status row and in the inspector panel. Ranges can be "
    "coloured and named, copied to the clipboard and exported to a file. The file is only ever read.";

constexpr std::string_view kScreenshots =
    "F2 saves the screen as it is shown to a file in the working directory named screenshot- "
    "followed by the local date and time as the C library's ctime writes it, with every ':' and "
    "space turned into '-', and .ss (for example screenshot-Tue-Dec--8-04-46-54-2026.ss). A second "
    "capture within the same second replaces the first. Print one with --show-screenshot or turn it "
    "into a web page with --screenshot-to-html.";

constexpr std::string_view kClipboard =
    "Copies go to the terminal's clipboard through OSC 52, which also works over SSH (in tmux set "
    "set-clipboard on), and to wl-copy, xclip or xsel when a local display is reachable. Most "
    "terminals send Ctrl+Shift+C exactly as Ctrl+C unless they speak the kitty keyboard protocol or "
    "xterm's modifyOtherKeys; Ctrl+Y copies hex pairs in every terminal. For the same reason Ctrl+M "
    "is Enter in most terminals, and Ctrl+K opens the mark form everywhere. Copies are limited to 16 "
    "MiB of text; a larger selection is refused with a message (export it instead, which streams).";

constexpr std::string_view kEnvironment =
    "--show-screenshot uses the screenshot's own colour table as 24-bit colour when COLORTERM is "
    "truecolor or 24bit, the 16 standard terminal colours otherwise, and no colours at all when "
    "NO_COLOR is set (and not empty).";

const std::vector<HelpEntry> kOptions = {
    {"-h, --help", "show this help and exit"},
    {"-V, --version", "show the version and exit"},
    {"-w, --width N|fit",
     "bytes per grid row: N from 1 to 256 (fewer, with a note in the status row, while the window is "
     "too narrow), or fit, as many as the window holds (the default); wins over the settings file"},
    {"--show-screenshot FILE.ss",
     "print the screenshot's picture to the terminal with its colours, then exit"},
    {"--screenshot-to-html FILE.ss [OUT.html]",
     "write the screenshot as a self-contained HTML page (a monospace grid and the colour table); "
     "OUT.html defaults to FILE.ss with .html in place of .ss"},
    {"FILE",
     "the file to view; - reads standard input (as does no FILE while standard input is not a "
     "terminal): the bytes are kept in an unnamed temporary file in $TMPDIR (or /tmp) as they arrive, "
     "the size and End grow with them, the status field input says whether more is arriving, and "
     "the keys come from the terminal (/dev/tty). Reload and Open With need a real file. A file "
     "named - is ./-"},
    {"--", "end of the options: the next argument is the file to view, even one named like an "
           "option (kelmhex -- --help)"},
};

const std::vector<HelpEntry> kExitStatuses = {
    {"0", "normal quit (q or F10, also F10 in the file chooser)"},
    {"1",
     "the terminal could not be set up (standard input or output is not a terminal; for piped "
     "input: no controlling terminal), no temporary file for piped input, or a screenshot file that "
     "is not valid or cannot be read or written"},
    {"2", "usage error (an unknown option, a missing argument)"},
    {"128+N", "ended by signal N (143 for SIGTERM; 129 when the terminal hangs up)"},
};

// The hex view's rows as help entries (the key handler reads the same table).
std::vector<HelpEntry> HexViewEntries() {
  std::vector<HelpEntry> entries;
  for (const KeyBinding& binding : HexViewBindings()) entries.push_back({binding.keys, binding.action});
  return entries;
}

const std::vector<HelpSection> kKeySections = {
    {"Hex view", HexViewEntries()},
    {"Mouse",
     {
         {"Click a byte", "select it; a click on the first selected byte deselects"},
         {"Shift+click", "extend the selection from where it began"},
         {"Drag", "select the bytes from the press to the pointer"},
         {"Right click", "deselect"},
         {"Wheel", "scroll"},
         {"Point at a mark", "show the mark's name"},
         {"File", "menu: Open, Open With, Reload, Export, Export as, Copy as, Marks, Export marks, Import marks"},
         {"Settings", "add or remove \"Hex Editor\" in the file managers' menus"},
         {"Click outside a box", "close it (not the inspector panel)"},
     }},
    {"File map (the bar at the right edge)",
     {
         {"Click the bar", "show that part of the file"},
         {"Drag the bar", "scroll with the pointer (a press on the thumb keeps hold of it)"},
         {"Wheel over the bar", "scroll by one cell of the bar"},
         {"Bright line", "the thumb: the part of the file on screen"},
         {"Grey", "holes and zeros"},
         {"Green", "text (ASCII, UTF-8, UTF-16)"},
         {"Magenta", "high entropy: compressed or encrypted data"},
         {"Blue", "other data"},
         {"Black", "not sampled yet"},
         {"Settings", "\"File map\" turns the bar off and on"},
     }},
    {"Boxes and forms",
     {
         {"Esc", "close the topmost box; in a text field the first Esc leaves the field"},
         {"Enter", "Seek, length and find forms: go to the offset, set the length, search"},
         {"Backspace", "text field: delete the last character"},
         {"Ctrl+Backspace", "text field: delete the last word"},
         {"Del", "text field: delete everything"},
         {"Ctrl+V, Ctrl+C, Ctrl+X", "text field: paste, copy, cut"},
         {"Ctrl+E, Ctrl+L", "find form: search text as UTF-8, UTF-16 LE or BE; letters in any case or exact"},
         {"Drag a slider", "mark form: choose the foreground and background colours"},
         {"[OK]", "mark form: make the mark"},
         {"Drag the panel", "inspector: move it"},
         {"[ ]", "inspector: show this value in the status field \"dec\""},
         {"List of marks", "Up, Down, wheel: move; Enter, click: select the mark; Del: remove it; typing: filter by name"},
         {"Copy as", "h, c, p, b or a click: hex string, C array, Python bytes, base64"},
         {"Esc while exporting", "cancel the export"},
         {"Esc while searching", "stop the search (or the walk of b, Shift+B), then the count of matches"},
     }},
    {"Help box",
     {
         {"Up, Down, PgUp, PgDn", "scroll"},
         {"Home, End, wheel", "scroll to the start, the end; scroll"},
         {"Esc, F1", "close"},
     }},
    {"File chooser (open and save)",
     {
         {"Typing", "filter by the start of the name ('.' shows hidden names, '/' enters a folder)"},
         {"Tab", "complete the name"},
         {"Up, Down, PgUp, PgDn", "move through the list"},
         {"Home, End", "go to the first, the last entry"},
         {"Enter, second click", "open the folder or choose the file"},
         {"Left, Backspace", "with an empty name: go to the parent folder"},
         {"Right", "enter the highlighted folder"},
         {"Ctrl+U", "clear the name"},
         {"Ctrl+V", "paste"},
         {"Esc, Ctrl+C", "cancel"},
         {"F10", "quit the program"},
     }},
};

void AppendWrapped(std::string& out, std::string_view text, int width, std::string_view indent = {}) {
  for (const std::string& line : WrapWords(text, width - static_cast<int>(indent.size()))) {
    out += indent;
    out += line;
    out += '\n';
  }
}

// A two-column list (options, statuses) for --help, the second column
// starting at `column`.
void AppendTwoColumns(std::string& out, const std::vector<HelpEntry>& entries, int column) {
  const int actionWidth = kUsageWidth - column;
  for (const HelpEntry& entry : entries) {
    std::vector<std::string> lines = WrapWords(entry.action, actionWidth);
    std::string first(kEntryIndent, ' ');
    first += entry.keys;
    const bool ownLine = static_cast<int>(first.size()) + kColumnGap > column;
    if (ownLine) {
      out += first;
      out += '\n';
    } else {
      first.resize(static_cast<size_t>(column), ' ');
      out += first;
      out += lines.empty() ? std::string() : lines.front();
      out += '\n';
      if (!lines.empty()) lines.erase(lines.begin());
    }
    for (const std::string& line : lines) {
      out += std::string(static_cast<size_t>(column), ' ');
      out += line;
      out += '\n';
    }
  }
}

// --- roff ------------------------------------------------------------------------------

// Text safe in roff: backslashes escaped, '-' as a minus sign (so options
// copy as ASCII), and a line never starting with a control character.
std::string Roff(std::string_view text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') {
      out += "\\e";
    } else if (c == '-') {
      out += "\\-";
    } else {
      out += c;
    }
  }
  if (!out.empty() && (out.front() == '.' || out.front() == '\'')) out.insert(0, "\\&");
  return out;
}

void RoffEntries(std::string& out, const std::vector<HelpEntry>& entries) {
  for (const HelpEntry& entry : entries) {
    out += ".TP\n\\fB";
    out += Roff(entry.keys);
    out += "\\fR\n";
    out += Roff(entry.action);
    out += '\n';
  }
}

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

}  // namespace

std::string_view ProgramVersion() { return KELMHEX_VERSION; }

std::string VersionText() {
  std::string text(kProgramName);
  text += ' ';
  text += ProgramVersion();
  text += '\n';
  return text;
}

std::string UsageHint() {
  std::string text = "Usage: ";
  text += kSynopsis[0];
  text += "\nTry '";
  text += kProgramName;
  text += " --help' for more information.\n";
  return text;
}

const std::vector<HelpSection>& KeySections() { return kKeySections; }
const std::vector<HelpEntry>& CommandOptions() { return kOptions; }
const std::vector<HelpEntry>& ExitStatuses() { return kExitStatuses; }

std::vector<std::string> WrapWords(std::string_view text, int width) {
  const size_t limit = static_cast<size_t>(std::max(width, 1));
  std::vector<std::string> lines;
  std::string line;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    size_t end = text.find(' ', i);
    if (end == std::string_view::npos) end = text.size();
    std::string_view word = text.substr(i, end - i);
    i = end;
    while (!word.empty()) {
      const size_t room = line.empty() ? limit : (line.size() + 1 < limit ? limit - line.size() - 1 : 0);
      if (word.size() <= room) {
        if (!line.empty()) line += ' ';
        line += word;
        word = {};
      } else if (!line.empty()) {
        lines.push_back(std::move(line));
        line.clear();
      } else {
        // A word wider than a whole line is cut.
        lines.emplace_back(word.substr(0, limit));
        word.remove_prefix(limit);
      }
    }
  }
  if (!line.empty()) lines.push_back(std::move(line));
  return lines;
}

std::vector<HelpLine> FormatKeyTable(const std::vector<HelpSection>& sections, int width) {
  width = std::max(width, kMinTableWidth);
  size_t longestKeys = 0;
  for (const HelpSection& section : sections) {
    for (const HelpEntry& entry : section.entries) longestKeys = std::max(longestKeys, entry.keys.size());
  }
  // The key column takes what the keys need, but at most two fifths of the
  // width; longer keys get a line of their own.
  const int keyWidth = std::min(static_cast<int>(longestKeys), std::max(1, width * 2 / 5));
  const int column = kEntryIndent + keyWidth + kColumnGap;
  const int actionWidth = width - column;

  std::vector<HelpLine> lines;
  for (const HelpSection& section : sections) {
    if (!lines.empty()) lines.push_back(HelpLine{});
    for (const std::string& title : WrapWords(section.title, width)) lines.push_back(HelpLine{title, true});
    for (const HelpEntry& entry : section.entries) {
      const std::string indent(kEntryIndent, ' ');
      std::vector<std::string> keyLines = WrapWords(entry.keys, width - kEntryIndent);
      if (keyLines.empty()) keyLines.emplace_back();
      for (const std::string& keys : keyLines) lines.push_back(HelpLine{indent + keys, false});
      std::vector<std::string> actions = WrapWords(entry.action, actionWidth);
      HelpLine& last = lines.back();
      if (static_cast<int>(entry.keys.size()) <= keyWidth && !actions.empty()) {
        // The action's first line goes beside the keys.
        last.text.resize(static_cast<size_t>(column), ' ');
        last.text += actions.front();
        actions.erase(actions.begin());
      }
      for (const std::string& action : actions) {
        lines.push_back(HelpLine{std::string(static_cast<size_t>(column), ' ') + action, false});
      }
    }
  }
  return lines;
}

std::string UsageText() {
  std::string text;
  text += kProgramName;
  text += " - ";
  text += kSummary;
  text += "\n\n";
  for (size_t i = 0; i < std::size(kSynopsis); ++i) {
    text += i == 0 ? "Usage: " : "       ";
    text += kSynopsis[i];
    text += '\n';
  }
  text += '\n';
  AppendWrapped(text, kDescription, kUsageWidth);

  text += "\nOptions:\n";
  AppendTwoColumns(text, kOptions, 30);

  text += "\nKeys and mouse:\n";
  for (const HelpLine& line : FormatKeyTable(kKeySections, kUsageWidth - kEntryIndent)) {
    if (!line.text.empty()) text += std::string(kEntryIndent, ' ') + line.text;
    text += '\n';
  }

  text += "\nScreenshots:\n";
  AppendWrapped(text, kScreenshots, kUsageWidth, "  ");
  text += "\nClipboard and terminals:\n";
  AppendWrapped(text, kClipboard, kUsageWidth, "  ");
  text += "\nEnvironment:\n";
  AppendWrapped(text, kEnvironment, kUsageWidth, "  ");
  text += "\nExit status:\n";
  AppendTwoColumns(text, kExitStatuses, 10);
  return text;
}

std::string ManPageText() {
  std::string out;
  out += ".TH ";
  out += Upper(kProgramName);
  out += " 1 \"\" \"";
  out += Roff(VersionText().substr(0, VersionText().size() - 1));
  out += "\" \"User Commands\"\n";
  out += ".SH NAME\n";
  out += Roff(kProgramName);
  out += " \\- ";
  out += Roff(kSummary);
  out += '\n';

  out += ".SH SYNOPSIS\n.nf\n";
  for (std::string_view line : kSynopsis) {
    out += Roff(line);
    out += '\n';
  }
  out += ".fi\n";

  out += ".SH DESCRIPTION\n";
  out += Roff(kDescription);
  out += '\n';

  out += ".SH OPTIONS\n";
  RoffEntries(out, kOptions);

  out += ".SH KEYS AND MOUSE\n";
  for (const HelpSection& section : kKeySections) {
    out += ".SS ";
    out += Roff(section.title);
    out += '\n';
    RoffEntries(out, section.entries);
  }

  out += ".SH SCREENSHOTS\n";
  out += Roff(kScreenshots);
  out += '\n';
  out += ".SH CLIPBOARD AND TERMINALS\n";
  out += Roff(kClipboard);
  out += '\n';
  out += ".SH ENVIRONMENT\n";
  out += Roff(kEnvironment);
  out += '\n';
  out += ".SH EXIT STATUS\n";
  RoffEntries(out, kExitStatuses);
  return out;
}

}  // namespace kelm::viewer
