// Showing screenshots: the picture as terminal text in 16 or 24-bit colours
// or none, every character sanitised like the terminal output does it, and
// the self-contained HTML page with its grid, colour classes and colour
// table, every text escaped.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/screenshot.h"
#include "engine/core/screenshot_reader.h"
#include "ui/screenshot_view.h"

namespace {

using KelmCEngineV2::Screenshot;
using kelm::port::CHAR_INFO;

Screenshot Picture(int width, int height, std::vector<CHAR_INFO> cells) {
  Screenshot shot;
  shot.width = width;
  shot.height = height;
  shot.cells = std::move(cells);
  for (int i = 0; i < 16; ++i) {
    shot.colours.rgb[i][0] = static_cast<uint8_t>(i);
    shot.colours.rgb[i][1] = static_cast<uint8_t>(0x10 + i);
    shot.colours.rgb[i][2] = static_cast<uint8_t>(0xF0 + i);
  }
  return shot;
}

size_t Count(const std::string& text, const std::string& needle) {
  size_t count = 0;
  for (size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + 1)) ++count;
  return count;
}

// --- terminal text -----------------------------------------------------------------------

TEST(ScreenshotTerminal, StandardColoursMapConsoleIndexesToAnsi) {
  // Console 1 is blue and 4 red; ANSI has them the other way round. 12 is
  // bright red on the console.
  const Screenshot shot = Picture(3, 1, {{u'A', 0x41}, {u'B', 0x41}, {u'C', 0x0C}});
  EXPECT_EQ(ScreenshotTerminalText(shot, ScreenshotColours::Standard16),
            "\x1b[0;34;41mAB\x1b[0;91;40mC\x1b[0m\n");
}

TEST(ScreenshotTerminal, TrueColourComesFromTheFilesTable) {
  const Screenshot shot = Picture(2, 2, {{u'x', 0x7E}, {u'y', 0x7E}, {u'z', 0x07}, {u'w', 0x70}});
  EXPECT_EQ(ScreenshotTerminalText(shot, ScreenshotColours::TrueColour),
            "\x1b[0;38;2;14;30;254;48;2;7;23;247mxy\x1b[0m\n"
            "\x1b[0;38;2;7;23;247;48;2;0;16;240mz\x1b[0;38;2;0;16;240;48;2;7;23;247mw\x1b[0m\n");
}

TEST(ScreenshotTerminal, EveryRowStartsWithItsColoursAndEndsReset) {
  // The same colours on both rows: the second row still sets them, so a
  // terminal that wrapped or a pager that cut a line shows them right.
  const Screenshot shot = Picture(1, 3, {{u'a', 0x1F}, {u'b', 0x1F}, {u'c', 0x1F}});
  EXPECT_EQ(ScreenshotTerminalText(shot, ScreenshotColours::Standard16),
            "\x1b[0;97;44ma\x1b[0m\n\x1b[0;97;44mb\x1b[0m\n\x1b[0;97;44mc\x1b[0m\n");
}

TEST(ScreenshotTerminal, NoColoursGivesPlainRows) {
  const Screenshot shot = Picture(2, 2, {{u'a', 0x1F}, {u' ', 0x42}, {u'c', 0x00}, {u'd', 0xFF}});
  EXPECT_EQ(ScreenshotTerminalText(shot, ScreenshotColours::None), "a \ncd\n");
}

TEST(ScreenshotTerminal, CharactersThatCouldActOnTheTerminalBecomeDots) {
  // ESC, BEL, DEL, a C1 CSI, a bidi override, a lone surrogate and a
  // double-width character; then an accented letter, which stays.
  const Screenshot shot = Picture(8, 1, {{0x1B, 7}, {0x07, 7}, {0x7F, 7}, {0x9B, 7}, {0x202E, 7}, {0xD800, 7},
                                         {0x4E2D, 7}, {0x00E9, 7}});
  EXPECT_EQ(ScreenshotTerminalText(shot, ScreenshotColours::None), ".......\xC3\xA9\n");
  const std::string coloured = ScreenshotTerminalText(shot, ScreenshotColours::Standard16);
  // The only escapes are the two colour sequences.
  EXPECT_EQ(Count(coloured, "\x1b"), 2u);
  EXPECT_EQ(Count(coloured, "\x1b["), 2u);
}

TEST(ScreenshotTerminal, AnEmptyPictureIsBlankLines) {
  const Screenshot shot = Picture(0, 2, {});
  EXPECT_EQ(ScreenshotTerminalText(shot, ScreenshotColours::Standard16), "\n\n");
}

// Counts what reaches it and remembers the largest single write.
class WriteRecorder : public std::streambuf {
 public:
  size_t total = 0;
  size_t largest = 0;
  size_t writes = 0;

 protected:
  std::streamsize xsputn(const char*, std::streamsize count) override {
    total += static_cast<size_t>(count);
    largest = std::max(largest, static_cast<size_t>(count));
    ++writes;
    return count;
  }
  int_type overflow(int_type ch) override {
    if (ch != traits_type::eof()) xsputn(nullptr, 1);
    return ch;
  }
};

TEST(ScreenshotTerminal, TheLargestPictureIsWrittenRowByRow) {
  // 2048 x 1024 cells whose colours change in every cell, in 24-bit colour:
  // the most output a screenshot can make (some 80 MB), never held whole.
  const int width = static_cast<int>(KelmCEngineV2::kMaxScreenshotColumns);
  const int height = static_cast<int>(KelmCEngineV2::kMaxScreenshotRows);
  std::vector<CHAR_INFO> cells(static_cast<size_t>(width) * height);
  for (size_t i = 0; i < cells.size(); ++i) cells[i] = CHAR_INFO{u'x', static_cast<uint16_t>(i % 2 ? 0xF0 : 0x0F)};
  const Screenshot shot = Picture(width, height, std::move(cells));
  WriteRecorder recorder;
  std::ostream out(&recorder);
  WriteScreenshotTerminalText(out, shot, ScreenshotColours::TrueColour);
  EXPECT_EQ(recorder.writes, static_cast<size_t>(height));
  // One row: per cell its colours (at most 38 bytes) and its character.
  EXPECT_LE(recorder.largest, static_cast<size_t>(width) * 39 + 8);
  EXPECT_GT(recorder.total, static_cast<size_t>(width) * height * 20);

  // The same bytes as the whole text, on a smaller picture.
  const Screenshot small = Picture(3, 2, {{u'a', 0x1F}, {u'b', 0x1F}, {u'c', 0x2E}, {u'd', 0x07}, {u'e', 0x70}, {u'f', 0x70}});
  std::ostringstream text;
  WriteScreenshotTerminalText(text, small, ScreenshotColours::Standard16);
  EXPECT_EQ(text.str(), ScreenshotTerminalText(small, ScreenshotColours::Standard16));
  EXPECT_EQ(text.str(), "\x1b[0;97;44mab\x1b[0;93;42mc\x1b[0m\n\x1b[0;37;40md\x1b[0;30;47mef\x1b[0m\n");
}

// Cells taken in the terminal's own colours, beside palette cells: both
// defaults, a default background under yellow, a default foreground on red,
// and a palette cell.
constexpr uint16_t kDefaultFg = KelmCEngineV2::kScreenshotDefaultForeground;
constexpr uint16_t kDefaultBg = KelmCEngineV2::kScreenshotDefaultBackground;

Screenshot DefaultsPicture() {
  return Picture(5, 1, {{u'a', 0x07 | kDefaultFg | kDefaultBg}, {u'b', 0x0E | kDefaultBg}, {u'c', 0x47 | kDefaultFg},
                        {u'd', 0x47 | kDefaultFg}, {u'e', 0x41}});
}

TEST(ScreenshotTerminal, DefaultColoursAskTheTerminalForItsOwn) {
  const Screenshot shot = DefaultsPicture();
  EXPECT_EQ(ScreenshotTerminalText(shot, ScreenshotColours::Standard16),
            "\x1b[0;39;49ma\x1b[0;93;49mb\x1b[0;39;41mcd\x1b[0;34;41me\x1b[0m\n");
  EXPECT_EQ(ScreenshotTerminalText(shot, ScreenshotColours::TrueColour),
            "\x1b[0;39;49ma\x1b[0;38;2;14;30;254;49mb\x1b[0;39;48;2;4;20;244mcd"
            "\x1b[0;38;2;1;17;241;48;2;4;20;244me\x1b[0m\n");
  EXPECT_EQ(ScreenshotTerminalText(shot, ScreenshotColours::None), "abcde\n");

  // The palette's grey on black is not the terminal's default: it stays 37;40.
  const Screenshot grey = Picture(2, 1, {{u'x', 0x07}, {u'y', 0x07 | kDefaultFg | kDefaultBg}});
  EXPECT_EQ(ScreenshotTerminalText(grey, ScreenshotColours::Standard16),
            "\x1b[0;37;40mx\x1b[0;39;49my\x1b[0m\n");
}

TEST(ScreenshotTerminal, ColoursChosenFromTheEnvironment) {
  EXPECT_EQ(ScreenshotColoursFor(nullptr, nullptr), ScreenshotColours::Standard16);
  EXPECT_EQ(ScreenshotColoursFor("truecolor", nullptr), ScreenshotColours::TrueColour);
  EXPECT_EQ(ScreenshotColoursFor("24bit", nullptr), ScreenshotColours::TrueColour);
  EXPECT_EQ(ScreenshotColoursFor("yes", nullptr), ScreenshotColours::Standard16);
  EXPECT_EQ(ScreenshotColoursFor("truecolor", ""), ScreenshotColours::TrueColour);
  EXPECT_EQ(ScreenshotColoursFor("truecolor", "1"), ScreenshotColours::None);
  EXPECT_EQ(ScreenshotColoursFor(nullptr, "yes"), ScreenshotColours::None);
}

// --- the HTML page -----------------------------------------------------------------------

// The text of the page's grid: tags removed, entities turned back.
std::string GridText(const std::string& page) {
  const std::string open = "<pre class=\"screen\">";
  const size_t start = page.find(open);
  const size_t end = page.find("</pre>");
  if (start == std::string::npos || end == std::string::npos) return "(no grid)";
  std::string inner = page.substr(start + open.size(), end - start - open.size());
  std::string text;
  bool inTag = false;
  for (char c : inner) {
    if (c == '<') inTag = true;
    if (!inTag) text += c;
    if (c == '>') inTag = false;
  }
  const std::pair<const char*, const char*> entities[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [entity, character] : entities) {
    for (size_t at = text.find(entity); at != std::string::npos; at = text.find(entity, at + 1)) {
      text.replace(at, std::string(entity).size(), character);
    }
  }
  return text;
}

TEST(ScreenshotHtmlPage, GridHoldsEveryRowEscaped) {
  const Screenshot shot = Picture(4, 2, {{u'<', 7}, {u'&', 7}, {u'>', 7}, {u'"', 7},
                                         {u'\'', 7}, {0x1B, 7}, {0x00E9, 7}, {u' ', 7}});
  const std::string page = ScreenshotHtml(shot, "shot.ss");
  EXPECT_EQ(GridText(page), "<&>\"\n'.\xC3\xA9 ");
  // Inside the grid the markup characters only appear as entities.
  EXPECT_NE(page.find("&lt;&amp;&gt;&quot;"), std::string::npos);
  EXPECT_EQ(page.find('\x1b'), std::string::npos);
}

TEST(ScreenshotHtmlPage, CellsCarryTheirColourClasses) {
  const Screenshot shot = Picture(3, 1, {{u'a', 0x4E}, {u'b', 0x4E}, {u'c', 0xF0}});
  const std::string page = ScreenshotHtml(shot, "t");
  EXPECT_NE(page.find("<span class=\"fE b4\">ab</span><span class=\"f0 bF\">c</span>"), std::string::npos);
  // The classes come from the file's colour table, not from a fixed palette.
  EXPECT_NE(page.find(".fE { color: #0e1efe; }"), std::string::npos);
  EXPECT_NE(page.find(".b4 { background-color: #0414f4; }"), std::string::npos);
}

TEST(ScreenshotHtmlPage, DefaultColoursAreThePagesOwn) {
  const std::string page = ScreenshotHtml(DefaultsPicture(), "t");
  EXPECT_NE(page.find("<span class=\"fd bd\">a</span><span class=\"fE bd\">b</span>"
                      "<span class=\"fd b4\">cd</span><span class=\"f1 b4\">e</span>"),
            std::string::npos);
  // A default colour has no colour of its own: the text takes the page's,
  // the background lets the page's show through; a line says which they are.
  EXPECT_NE(page.find(".fd { color: inherit; }"), std::string::npos);
  EXPECT_NE(page.find(".bd { background-color: transparent; }"), std::string::npos);
  EXPECT_NE(page.find("body { background: #1c1c1c; color: #d0d0d0;"), std::string::npos);
  EXPECT_NE(page.find("<p>Cells in the terminal's own default colours are shown in this page's colours, "
                      "#d0d0d0 on #1c1c1c.</p>"),
            std::string::npos);
  EXPECT_EQ(GridText(page), "abcde");

  // A page of palette colours only has none of it.
  const std::string palette = ScreenshotHtml(Picture(1, 1, {{u'x', 0x07}}), "t");
  EXPECT_NE(palette.find("<span class=\"f7 b0\">x</span>"), std::string::npos);
  for (const char* absent : {".fd", ".bd", "default colours"}) {
    EXPECT_EQ(palette.find(absent), std::string::npos) << absent;
  }
}

TEST(ScreenshotHtmlPage, ShowsTheColourTable) {
  const std::string page = ScreenshotHtml(Picture(1, 1, {{u'x', 7}}), "t");
  const size_t table = page.find("<table class=\"colours\">");
  ASSERT_NE(table, std::string::npos);
  const std::string rows = page.substr(table);
  EXPECT_EQ(Count(rows, "<tr><td>"), 16u);
  EXPECT_NE(rows.find("<td>9</td><td class=\"b9\">"), std::string::npos);
  EXPECT_NE(rows.find("#0919f9 (9, 25, 249)"), std::string::npos);
}

TEST(ScreenshotHtmlPage, IsSelfContainedWithAnEscapedTitle) {
  const std::string page = ScreenshotHtml(Picture(1, 1, {{u'x', 7}}), "a<b>&\"c'\x1b.ss");
  EXPECT_EQ(page.rfind("<!DOCTYPE html>", 0), 0u);
  EXPECT_NE(page.find("<meta charset=\"utf-8\">"), std::string::npos);
  EXPECT_NE(page.find("<title>a&lt;b&gt;&amp;&quot;c&#39;..ss</title>"), std::string::npos);
  for (const char* external : {"<script", "<link", "src=", "http:", "https:", "url("}) {
    EXPECT_EQ(page.find(external), std::string::npos) << external;
  }
  EXPECT_NE(page.find("</html>"), std::string::npos);
}

TEST(ScreenshotHtmlPage, AWholeFrameFromTheEncoderKeepsItsShape) {
  // 119 x 30 cells of the encoder's output read back and laid out.
  std::vector<CHAR_INFO> cells;
  for (int i = 0; i < 119 * 30; ++i) {
    cells.push_back(CHAR_INFO{static_cast<char16_t>(u'!' + i % 90), static_cast<uint16_t>(i % 256)});
  }
  kelm::port::ColourTable colours;
  Screenshot shot;
  std::string error;
  ASSERT_TRUE(KelmCEngineV2::DecodeScreenshot(KelmCEngineV2::EncodeScreenshot(cells, 119, 30, &colours), shot, error));
  const std::string grid = GridText(ScreenshotHtml(shot, "frame"));
  std::vector<std::string> rows;
  std::stringstream stream(grid);
  for (std::string row; std::getline(stream, row);) rows.push_back(row);
  ASSERT_EQ(rows.size(), 30u);
  for (const std::string& row : rows) EXPECT_EQ(row.size(), 119u);
  EXPECT_EQ(rows[1].substr(0, 3), ">?@");  // cells 119, 120, 121
}

// --- writing ----------------------------------------------------------------------------

TEST(ScreenshotHtmlPage, WrittenFileHoldsExactlyThePage) {
  const std::filesystem::path dir =
      std::filesystem::temp_directory_path() / ("kelmhex-page-" + std::to_string(std::random_device{}()));
  std::filesystem::create_directories(dir);
  const std::string page = ScreenshotHtml(Picture(1, 1, {{u'x', 7}}), "t");
  std::string error;
  ASSERT_TRUE(WriteTextFile((dir / "p.html").string(), page, error)) << error;
  std::ifstream in(dir / "p.html", std::ios::binary);
  std::stringstream back;
  back << in.rdbuf();
  EXPECT_EQ(back.str(), page);

  EXPECT_FALSE(WriteTextFile((dir / "missing" / "p.html").string(), page, error));
  EXPECT_NE(error.find("cannot create"), std::string::npos);
  std::filesystem::remove_all(dir);
}

}  // namespace
