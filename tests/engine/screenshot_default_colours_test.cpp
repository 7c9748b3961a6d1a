// Screenshots of the terminal's default colours: a frame with such cells is
// written in version 2, '-' in the digit streams, and read back with the
// default-colour bits; a frame without them is version 1 as it always was;
// version 1 files written before still read; damaged version 2 files are
// refused with a message that says what is wrong.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/screenshot.h"
#include "engine/core/screenshot_reader.h"

namespace {

using KelmCEngineV2::DecodeScreenshot;
using KelmCEngineV2::EncodeScreenshot;
using KelmCEngineV2::kScreenshotDefaultBackground;
using KelmCEngineV2::kScreenshotDefaultForeground;
using KelmCEngineV2::Screenshot;
using KelmCEngineV2::ScreenshotAttributes;
using kelm::port::CHAR_INFO;
using kelm::port::ColourTable;
using kelm::port::kTerminalDefaultColours;

constexpr uint16_t kBothDefaults = kScreenshotDefaultForeground | kScreenshotDefaultBackground;

ColourTable SampleColours() {
  ColourTable colours;
  for (int i = 0; i < 16; ++i) {
    colours.rgb[i][0] = static_cast<uint8_t>(i * 16);
    colours.rgb[i][1] = static_cast<uint8_t>(i);
    colours.rgb[i][2] = static_cast<uint8_t>(255 - i);
  }
  return colours;
}

// The file's foreground and background digits, as two strings.
struct Digits {
  std::string foreground;
  std::string background;
};

Digits DigitsOf(const std::string& bytes, size_t cells) {
  return {bytes.substr(59 + 2 * cells, cells), bytes.substr(59 + 3 * cells, cells)};
}

std::string DecodeError(const std::string& bytes) {
  Screenshot shot;
  std::string error;
  EXPECT_FALSE(DecodeScreenshot(bytes, shot, error)) << "the bytes were taken as a screenshot";
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  return error;
}

Screenshot Decoded(const std::string& bytes) {
  Screenshot shot;
  std::string error;
  EXPECT_TRUE(DecodeScreenshot(bytes, shot, error)) << error;
  return shot;
}

// A terminal-theme frame of 4 x 1 cells: grey on the default background
// (both defaults), yellow on the default background, grey on blue (a
// palette background, so grey is the palette's too), white on red.
std::vector<CHAR_INFO> ThemeFrame() {
  return {{u'a', kTerminalDefaultColours | 0x07},
          {u'b', kTerminalDefaultColours | 0x0E},
          {u'c', kTerminalDefaultColours | 0x17},
          {u'd', kTerminalDefaultColours | 0x4F}};
}

// --- which colours are the terminal's -------------------------------------------------------

TEST(ScreenshotDefaultColours, FrameAttributesKeepOnlyTheColoursShown) {
  EXPECT_EQ(ScreenshotAttributes(kTerminalDefaultColours | 0x07), 0x07 | kBothDefaults);
  EXPECT_EQ(ScreenshotAttributes(kTerminalDefaultColours | 0x0E), 0x0E | kScreenshotDefaultBackground);
  EXPECT_EQ(ScreenshotAttributes(kTerminalDefaultColours | 0x17), 0x17);
  EXPECT_EQ(ScreenshotAttributes(kTerminalDefaultColours | 0x70), 0x70);
  // Without the theme's bit grey on black is the palette's.
  EXPECT_EQ(ScreenshotAttributes(0x07), 0x07);
  // Reverse video and underscore never were in the file.
  EXPECT_EQ(ScreenshotAttributes(0xC000 | 0x1E), 0x1E);
}

// --- writing and reading back -----------------------------------------------------------------

TEST(ScreenshotDefaultColours, AThemeFrameIsVersionTwoAndReadsBackAsShown) {
  const ColourTable colours = SampleColours();
  const std::string bytes = EncodeScreenshot(ThemeFrame(), 4, 1, &colours);
  ASSERT_EQ(bytes.size(), 59u + 4 * 4);
  EXPECT_EQ(bytes.substr(0, 7), std::string("kelmsh\x02"));
  const Digits digits = DigitsOf(bytes, 4);
  EXPECT_EQ(digits.foreground, "-E7F");
  EXPECT_EQ(digits.background, "--14");

  const Screenshot shot = Decoded(bytes);
  ASSERT_EQ(shot.cells.size(), 4u);
  EXPECT_EQ(shot.cells[0], (CHAR_INFO{u'a', 0x07 | kBothDefaults}));
  EXPECT_EQ(shot.cells[1], (CHAR_INFO{u'b', 0x0E | kScreenshotDefaultBackground}));
  EXPECT_EQ(shot.cells[2], (CHAR_INFO{u'c', 0x17}));
  EXPECT_EQ(shot.cells[3], (CHAR_INFO{u'd', 0x4F}));
  EXPECT_EQ(shot.colours.rgb[15][2], 240);
}

TEST(ScreenshotDefaultColours, EachDefaultColourIsKeptOnItsOwn) {
  // A default foreground on a palette background cannot come from a frame,
  // but the format holds it and every view shows it: it survives a round
  // trip, as does the reverse, next to palette cells.
  Screenshot shot;
  shot.colours = SampleColours();
  shot.width = 2;
  shot.height = 2;
  shot.cells = {{u'w', 0x47 | kScreenshotDefaultForeground},
                {u'x', 0x0C | kScreenshotDefaultBackground},
                {u'y', 0x07 | kBothDefaults},
                {u'z', 0xA5}};
  const std::string bytes = EncodeScreenshot(shot);
  EXPECT_EQ(bytes[6], 2);
  const Digits digits = DigitsOf(bytes, 4);
  EXPECT_EQ(digits.foreground, "-C-5");
  EXPECT_EQ(digits.background, "4--A");
  const Screenshot back = Decoded(bytes);
  EXPECT_EQ(back.width, 2);
  EXPECT_EQ(back.height, 2);
  EXPECT_EQ(back.cells, shot.cells);
}

TEST(ScreenshotDefaultColours, ADefaultColourReadsWithThePalettesGreyOnBlack) {
  // A lone '-' in either stream: the index is what the palette showed there
  // (7, 0), the other colour stays what the file says.
  Screenshot shot;
  shot.colours = SampleColours();
  shot.width = 2;
  shot.height = 1;
  shot.cells = {{u'p', 0x3B}, {u'q', 0x3B}};
  std::string bytes = EncodeScreenshot(shot);
  bytes[6] = 2;
  bytes[59 + 4] = '-';      // foreground of the first cell
  bytes[59 + 4 + 3] = '-';  // background of the second cell
  const Screenshot back = Decoded(bytes);
  EXPECT_EQ(back.cells[0].Attributes, 0x37 | kScreenshotDefaultForeground);
  EXPECT_EQ(back.cells[1].Attributes, 0x0B | kScreenshotDefaultBackground);
}

TEST(ScreenshotDefaultColours, WithoutADefaultCellTheFileIsVersionOneAsBefore) {
  const ColourTable colours = SampleColours();
  // The theme is on, but no cell has background 0: nothing shows a default.
  std::vector<CHAR_INFO> theme = {{u'a', kTerminalDefaultColours | 0x17}, {u'b', kTerminalDefaultColours | 0x2E}};
  std::vector<CHAR_INFO> plain = {{u'a', 0x17}, {u'b', 0x2E}};
  const std::string bytes = EncodeScreenshot(theme, 2, 1, &colours);
  EXPECT_EQ(bytes, EncodeScreenshot(plain, 2, 1, &colours));
  EXPECT_EQ(bytes[6], 1);
  EXPECT_EQ(bytes.substr(59), std::string("a\0b\0" "7E" "12", 8));

  // Grey on black without the theme is palette grey on black, version 1.
  const std::string black = EncodeScreenshot({{u' ', 0x07}}, 1, 1, &colours);
  EXPECT_EQ(black[6], 1);
  EXPECT_EQ(black.substr(59), std::string(" \0" "70", 4));

  // An abandoned capture keeps the version it would have had.
  EXPECT_EQ(EncodeScreenshot(plain, 2, 1, nullptr), std::string("kelmsh\x01"));
  EXPECT_EQ(EncodeScreenshot(ThemeFrame(), 4, 1, nullptr), std::string("kelmsh\x02"));
}

TEST(ScreenshotDefaultColours, AVersionOneFileFromBeforeStillReads) {
  // 2 x 1 cells written byte by byte as version 1 always was, lower-case
  // digit included: no cell comes back with a default colour.
  std::string file = "kelmsh\x01";
  for (int i = 0; i < 16; ++i) file += std::string{static_cast<char>(i), static_cast<char>(i * 2), '\x7F'};
  file += std::string("\x02\x00\x01\x00", 4);
  file += std::string("H\0i\0", 4);
  file += "7e";
  file += "01";
  const Screenshot shot = Decoded(file);
  EXPECT_EQ(shot.width, 2);
  EXPECT_EQ(shot.height, 1);
  EXPECT_EQ(shot.cells, (std::vector<CHAR_INFO>{{u'H', 0x07}, {u'i', 0x1E}}));
  EXPECT_EQ(shot.colours.rgb[3][1], 6);
}

// --- damaged files ----------------------------------------------------------------------------

std::string ThemeFile() {
  const ColourTable colours = SampleColours();
  return EncodeScreenshot(ThemeFrame(), 4, 1, &colours);
}

TEST(ScreenshotDefaultColours, MarksOtherThanTheDashAreRefused) {
  std::string bytes = ThemeFile();
  bytes[59 + 8 + 1] = '*';  // foreground of the second cell
  EXPECT_EQ(DecodeError(bytes),
            "the foreground colour of the cell in row 1, column 2 is '*', neither a hexadecimal digit nor '-' "
            "(the terminal's default colour)");
  bytes = ThemeFile();
  bytes[59 + 12 + 3] = '\x1b';  // background of the fourth cell
  EXPECT_EQ(DecodeError(bytes),
            "the background colour of the cell in row 1, column 4 is byte 1B hex, neither a hexadecimal digit nor "
            "'-' (the terminal's default colour)");
  bytes = ThemeFile();
  bytes[59 + 12] = 'd';  // a digit is still a digit in version 2
  EXPECT_EQ(Decoded(bytes).cells[0].Attributes, 0xD7 | kScreenshotDefaultForeground);
}

TEST(ScreenshotDefaultColours, AVersionOneFileHoldsNoDefaultMark) {
  std::string bytes = ThemeFile();
  bytes[6] = 1;
  EXPECT_EQ(DecodeError(bytes),
            "the foreground colour of the cell in row 1, column 1 is '-', the terminal's default colour, which only "
            "version 2 screenshots hold");
}

TEST(ScreenshotDefaultColours, VersionTwoSizesAreCheckedAsVersionOnes) {
  const std::string bytes = ThemeFile();
  EXPECT_EQ(DecodeError(bytes.substr(0, bytes.size() - 1)),
            "truncated: a picture of 4 x 1 cells needs 75 bytes, the file has 74");
  EXPECT_EQ(DecodeError(bytes + "-"), "wrong size: a picture of 4 x 1 cells needs exactly 75 bytes, the file has 76");
  EXPECT_NE(DecodeError(bytes.substr(0, 40)).find("ends inside the header"), std::string::npos);
  EXPECT_NE(DecodeError(bytes.substr(0, 7)).find("no picture"), std::string::npos);
  // The header's size is checked before any digit: a claim of a larger
  // picture is refused on its length, not on what the digits would be.
  std::string claimed = bytes;
  claimed[55] = 5;
  EXPECT_EQ(DecodeError(claimed), "truncated: a picture of 5 x 1 cells needs 79 bytes, the file has 75");
}

TEST(ScreenshotDefaultColours, LaterVersionsAreRefused) {
  std::string bytes = ThemeFile();
  for (const int version : {0, 3, 255}) {
    bytes[6] = static_cast<char>(version);
    EXPECT_EQ(DecodeError(bytes), "screenshot format version " + std::to_string(version) +
                                      " is not known (only versions 1 and 2 are)");
  }
}

}  // namespace
