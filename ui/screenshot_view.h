// Showing a screenshot file to people: the picture printed to a terminal
// with its colours, or a self-contained HTML page with the picture in a
// monospace grid and the file's colour table.
//
// A cell taken in the terminal's own default colours keeps them: printed,
// it asks the terminal for its defaults (SGR 39 and 49); on the page it has
// no colour of its own and shows the page's colours, which the page names.
//
// Characters are sanitised exactly as the terminal output does it: anything
// that could act as a control sequence, and anything not one cell wide,
// becomes '.', so a screenshot of a hostile file is as harmless to print as
// the viewer's own screen was.
#pragma once

#include <ostream>
#include <string>

#include "engine/core/screenshot_reader.h"

// How the picture's colours reach the terminal.
enum class ScreenshotColours {
  None,        // characters only (NO_COLOR)
  Standard16,  // the 16 ANSI colours (console index mapped to ANSI)
  TrueColour,  // 24-bit colour from the file's colour table
};

// The colours to use for the values of $COLORTERM and $NO_COLOR (null when
// unset): none when NO_COLOR is set and not empty, 24-bit when COLORTERM is
// "truecolor" or "24bit", otherwise the 16 standard colours.
ScreenshotColours ScreenshotColoursFor(const char* colorterm, const char* noColor);

// The character a cell shows: itself when it is safe for a terminal cell,
// '.' otherwise.
char16_t ShownCharacter(char16_t ch);

// The picture as terminal output: one line per row in UTF-8, each row
// starting with its colours in full and ending with the colours reset and a
// line break; colour changes only where the colours change. Written to
// `out` row by row as it is made, so that only one row's text is ever held.
void WriteScreenshotTerminalText(std::ostream& out, const KelmCEngineV2::Screenshot& shot,
                                 ScreenshotColours colours);
// The same output as one string.
std::string ScreenshotTerminalText(const KelmCEngineV2::Screenshot& shot, ScreenshotColours colours);

// A whole HTML page (no external resources): `title` as its title and
// heading, the picture as a grid of cells coloured from the file's colour
// table (classes "fN" and "bN"; "fd" and "bd" for the default colours,
// which are the page's own, said in a line under the grid), and the colour
// table itself. Every text is HTML-escaped.
std::string ScreenshotHtml(const KelmCEngineV2::Screenshot& shot, const std::string& title);

// Where --screenshot-to-html writes when no output is named: the input path
// with its ".ss" replaced by ".html", or with ".html" added when it does not
// end in ".ss".
std::string DefaultHtmlPath(const std::string& screenshotPath);

// Writes `text` to `path`, replacing the file (a link at `path` is replaced,
// not followed). False with a message in
// `error` when the file could not be written completely.
bool WriteTextFile(const std::string& path, const std::string& text, std::string& error);
