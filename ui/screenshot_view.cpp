#include "ui/screenshot_view.h"

#include <cstring>
#include <sstream>
#include <string_view>

#include "engine/port/ansi_colours.h"
#include "engine/port/atomic_file_writer.h"
#include "engine/port/hex_digits.h"
#include "engine/port/utf.h"
#include "engine/port/vt_text_safety.h"

namespace {

using KelmCEngineV2::Screenshot;
using kelm::port::CHAR_INFO;

constexpr std::string_view kCsi = "\x1b[";
constexpr std::string_view kResetColours = "\x1b[0m";
constexpr int kSgrTrueForeground = 38;
constexpr int kSgrTrueBackground = 48;
constexpr int kSgrDirectColour = 2;  // 38;2;r;g;b
constexpr int kSgrDefaultForeground = 39;  // the terminal's own colours
constexpr int kSgrDefaultBackground = 49;

constexpr uint16_t kForegroundBits = 0x000F;
constexpr int kBackgroundShift = 4;

int ForegroundIndex(const CHAR_INFO& cell) { return cell.Attributes & kForegroundBits; }
int BackgroundIndex(const CHAR_INFO& cell) { return (cell.Attributes >> kBackgroundShift) & kForegroundBits; }
bool DefaultForeground(const CHAR_INFO& cell) {
  return (cell.Attributes & KelmCEngineV2::kScreenshotDefaultForeground) != 0;
}
bool DefaultBackground(const CHAR_INFO& cell) {
  return (cell.Attributes & KelmCEngineV2::kScreenshotDefaultBackground) != 0;
}

void AppendNumber(std::string& out, int value) { out += std::to_string(value); }

void AppendTrueColour(std::string& out, int selector, const uint8_t rgb[3]) {
  AppendNumber(out, selector);
  out += ';';
  AppendNumber(out, kSgrDirectColour);
  for (int c = 0; c < 3; ++c) {
    out += ';';
    AppendNumber(out, rgb[c]);
  }
}

// The SGR sequence that sets both colours of `cell` from scratch; a
// default colour is the terminal's own (39, 49) in every mode.
void AppendColours(std::string& out, const Screenshot& shot, const CHAR_INFO& cell, ScreenshotColours mode) {
  out += kCsi;
  out += "0;";
  if (DefaultForeground(cell)) {
    AppendNumber(out, kSgrDefaultForeground);
  } else if (mode == ScreenshotColours::TrueColour) {
    AppendTrueColour(out, kSgrTrueForeground, shot.colours.rgb[ForegroundIndex(cell)]);
  } else {
    AppendNumber(out, kelm::port::AnsiForeground(ForegroundIndex(cell)));
  }
  out += ';';
  if (DefaultBackground(cell)) {
    AppendNumber(out, kSgrDefaultBackground);
  } else if (mode == ScreenshotColours::TrueColour) {
    AppendTrueColour(out, kSgrTrueBackground, shot.colours.rgb[BackgroundIndex(cell)]);
  } else {
    AppendNumber(out, kelm::port::AnsiBackground(BackgroundIndex(cell)));
  }
  out += 'm';
}

// #rrggbb of a colour table entry.
std::string CssColour(const uint8_t rgb[3]) {
  std::string text = "#";
  for (int c = 0; c < 3; ++c) {
    text += kelm::port::HexDigit(rgb[c] >> 4, true);
    text += kelm::port::HexDigit(rgb[c], true);
  }
  return text;
}

char DigitOf(int index) { return kelm::port::HexDigit(static_cast<unsigned>(index)); }

// The page's own colours, which also stand for the terminal's default
// colours: a cell in a default colour has no colour of its own (class "fd"
// or "bd") and shows the page's.
constexpr std::string_view kPageBackground = "#1c1c1c";
constexpr std::string_view kPageForeground = "#d0d0d0";

// The colour classes of a cell: "f" and "b" followed by the palette digit,
// or by 'd' for the terminal's default colour.
std::string CellClasses(const CHAR_INFO& cell) {
  std::string classes = "f";
  classes += DefaultForeground(cell) ? 'd' : DigitOf(ForegroundIndex(cell));
  classes += " b";
  classes += DefaultBackground(cell) ? 'd' : DigitOf(BackgroundIndex(cell));
  return classes;
}

bool HasDefaultColour(const Screenshot& shot) {
  for (const CHAR_INFO& cell : shot.cells) {
    if (DefaultForeground(cell) || DefaultBackground(cell)) return true;
  }
  return false;
}

void AppendEscaped(std::string& out, std::string_view text) {
  for (char c : text) {
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\'': out += "&#39;"; break;
      default: out += c; break;
    }
  }
}

// The title as text that is safe in a page: UTF-8 (a file name need not be;
// invalid bytes become U+FFFD) without control characters.
std::string CleanTitle(const std::string& title) {
  std::u16string wide = kelm::port::FromUtf8(title);
  for (char16_t& ch : wide) ch = ShownCharacter(ch);
  return kelm::port::ToUtf8(wide);
}

}  // namespace

ScreenshotColours ScreenshotColoursFor(const char* colorterm, const char* noColor) {
  if (noColor != nullptr && noColor[0] != '\0') return ScreenshotColours::None;
  if (colorterm != nullptr) {
    const std::string_view value = colorterm;
    if (value == "truecolor" || value == "24bit") return ScreenshotColours::TrueColour;
  }
  return ScreenshotColours::Standard16;
}

char16_t ShownCharacter(char16_t ch) {
  return kelm::port::IsSafeCellCharacter(ch) ? ch : kelm::port::kReplacementCell;
}

void WriteScreenshotTerminalText(std::ostream& stream, const Screenshot& shot, ScreenshotColours colours) {
  std::string out;
  std::u16string run;
  for (int32_t row = 0; row < shot.height; ++row) {
    out.clear();
    run.clear();
    for (int32_t column = 0; column < shot.width; ++column) {
      const CHAR_INFO& cell = shot.At(column, row);
      if (colours != ScreenshotColours::None &&
          (column == 0 || cell.Attributes != shot.At(column - 1, row).Attributes)) {
        out += kelm::port::ToUtf8(run);
        run.clear();
        AppendColours(out, shot, cell, colours);
      }
      run += ShownCharacter(cell.UnicodeChar);
    }
    out += kelm::port::ToUtf8(run);
    if (colours != ScreenshotColours::None && shot.width > 0) out += kResetColours;
    out += '\n';
    stream.write(out.data(), static_cast<std::streamsize>(out.size()));
    if (!stream) return;
  }
}

std::string ScreenshotTerminalText(const Screenshot& shot, ScreenshotColours colours) {
  std::ostringstream text;
  WriteScreenshotTerminalText(text, shot, colours);
  return std::move(text).str();
}

std::string ScreenshotHtml(const Screenshot& shot, const std::string& title) {
  const std::string cleanTitle = CleanTitle(title);
  const bool defaults = HasDefaultColour(shot);
  std::string page;
  page.reserve(shot.cells.size() * 4 + 4096);
  page += "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>";
  AppendEscaped(page, cleanTitle);
  page += "</title>\n<style>\n";
  page += "body { background: ";
  page += kPageBackground;
  page += "; color: ";
  page += kPageForeground;
  page += "; font-family: sans-serif; margin: 1em; }\n";
  page += "pre.screen { font-family: \"DejaVu Sans Mono\", \"Liberation Mono\", Consolas, monospace; "
          "font-size: 14px; line-height: 1.2; margin: 0; padding: 0; display: inline-block; }\n";
  page += "table.colours { border-collapse: collapse; font-family: monospace; }\n";
  page += "table.colours td { padding: 2px 8px; border: 1px solid #444444; }\n";
  for (int i = 0; i < 16; ++i) {
    const std::string colour = CssColour(shot.colours.rgb[i]);
    page += ".f";
    page += DigitOf(i);
    page += " { color: " + colour + "; }\n";
    page += ".b";
    page += DigitOf(i);
    page += " { background-color: " + colour + "; }\n";
  }
  // Only pages with default-coloured cells have these: a page of a palette
  // screenshot is as it always was.
  if (defaults) {
    page += "/* the terminal's default colours: the page's own */\n"
            ".fd { color: inherit; }\n.bd { background-color: transparent; }\n";
  }
  page += "</style>\n</head>\n<body>\n<h1>";
  AppendEscaped(page, cleanTitle);
  page += "</h1>\n<p>" + std::to_string(shot.width) + " &times; " + std::to_string(shot.height) +
          " cells</p>\n<pre class=\"screen\">";

  std::u16string run;
  for (int32_t row = 0; row < shot.height; ++row) {
    if (row > 0) page += '\n';
    int32_t column = 0;
    while (column < shot.width) {
      const uint16_t attributes = shot.At(column, row).Attributes;
      run.clear();
      while (column < shot.width && shot.At(column, row).Attributes == attributes) {
        run += ShownCharacter(shot.At(column, row).UnicodeChar);
        ++column;
      }
      page += "<span class=\"" + CellClasses(shot.At(column - 1, row)) + "\">";
      AppendEscaped(page, kelm::port::ToUtf8(run));
      page += "</span>";
    }
  }
  page += "</pre>\n";
  if (defaults) {
    page += "<p>Cells in the terminal's own default colours are shown in this page's colours, ";
    page += kPageForeground;
    page += " on ";
    page += kPageBackground;
    page += ".</p>\n";
  }
  page += "<h2>Colour table</h2>\n<table class=\"colours\">\n"
          "<tr><th>index</th><th>colour</th><th>red, green, blue</th></tr>\n";
  for (int i = 0; i < 16; ++i) {
    const uint8_t* rgb = shot.colours.rgb[i];
    page += "<tr><td>" + std::to_string(i) + "</td><td class=\"b";
    page += DigitOf(i);
    page += "\">&nbsp;&nbsp;&nbsp;&nbsp;</td><td>" + CssColour(rgb) + " (" + std::to_string(rgb[0]) + ", " +
            std::to_string(rgb[1]) + ", " + std::to_string(rgb[2]) + ")</td></tr>\n";
  }
  page += "</table>\n</body>\n</html>\n";
  return page;
}

std::string DefaultHtmlPath(const std::string& screenshotPath) {
  constexpr std::string_view kScreenshotExtension = ".ss";
  const size_t slash = screenshotPath.rfind('/');
  const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
  // A name that is only ".ss" has no stem to keep; it gets ".html" added.
  if (screenshotPath.size() > nameStart + kScreenshotExtension.size() &&
      screenshotPath.compare(screenshotPath.size() - kScreenshotExtension.size(), kScreenshotExtension.size(),
                             kScreenshotExtension) == 0) {
    return screenshotPath.substr(0, screenshotPath.size() - kScreenshotExtension.size()) + ".html";
  }
  return screenshotPath + ".html";
}

bool WriteTextFile(const std::string& path, const std::string& text, std::string& error) {
  // Written beside and renamed into place: a link planted at the name (the
  // default output's name is predictable) is replaced, never followed.
  if (const int code = kelm::port::WriteFileAtomically(path, text); code != 0) {
    error = "cannot create: " + kelm::port::WriteErrorText(code);
    return false;
  }
  return true;
}
