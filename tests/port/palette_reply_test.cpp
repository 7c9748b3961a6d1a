#include <gtest/gtest.h>

#include "engine/port/terminal/codec/vt_input.h"
#include "engine/port/terminal/palette_reply.h"

namespace kelm::port {
namespace {

TEST(PaletteReply, ReadsBothTerminatorsAndScalesEveryDigitCount) {
  int index = -1;
  uint8_t rgb[3] = {};
  ASSERT_TRUE(ParsePaletteReply("\x1b]4;1;rgb:cdcd/0000/8080\x1b\\", index, rgb));
  EXPECT_EQ(index, 1);
  EXPECT_EQ(rgb[0], 0xCD);
  EXPECT_EQ(rgb[1], 0x00);
  EXPECT_EQ(rgb[2], 0x80);
  ASSERT_TRUE(ParsePaletteReply("\x1b]4;15;rgb:f/ff/fff\a", index, rgb));
  EXPECT_EQ(index, 15);
  EXPECT_EQ(rgb[0], 255);
  EXPECT_EQ(rgb[1], 255);
  EXPECT_EQ(rgb[2], 255);
  ASSERT_TRUE(ParsePaletteReply("\x1b]4;4;rgb:8/00/7f7f\a", index, rgb));
  EXPECT_EQ(rgb[0], 136);  // 8 of 15
  EXPECT_EQ(rgb[2], 127);
}

TEST(PaletteReply, RefusesEverythingElse) {
  int index = -1;
  uint8_t rgb[3] = {1, 2, 3};
  const char* bad[] = {
      "\x1b]4;16;rgb:00/00/00\a",        // not one of the 16 colours
      "\x1b]4;1;rgb:00/00\a",            // two components
      "\x1b]4;1;rgb:00000/00/00\a",      // five digits
      "\x1b]4;1;rgb:00/00/00",           // no terminator
      "\x1b]10;rgb:00/00/00\a",          // the foreground colour, not the palette
      "\x1b]4;1;rgba:00/00/00/00\a",
      "\x1b]4;;rgb:00/00/00\a",
      "\x1b]4;1;rgb:00/00/00x\a",
  };
  for (const char* reply : bad) {
    SCOPED_TRACE(reply + 1);
    EXPECT_FALSE(ParsePaletteReply(reply, index, rgb));
  }
  EXPECT_EQ(index, -1);
}

TEST(PaletteReply, TheDecoderHandsTheAnswerOverWhole) {
  VtInputDecoder decoder;
  std::vector<VtEvent> events;
  const std::string answer = "\x1b]4;9;rgb:1111/2222/3333\x1b\\";
  decoder.Feed(answer.data(), answer.size(), 0, events);
  decoder.Flush(1000, events);
  ASSERT_EQ(events.size(), 1u);
  ASSERT_EQ(events[0].kind, VtEvent::Kind::Reply);
  int index = -1;
  uint8_t rgb[3] = {};
  ASSERT_TRUE(ParsePaletteReply(events[0].reply, index, rgb));
  EXPECT_EQ(index, 9);
  EXPECT_EQ(rgb[2], 0x33);
}

TEST(PaletteReply, ConsoleTableSwapsRedAndBlueAndFillsTheGaps) {
  TerminalPalette palette;
  // ANSI 1 is red, ANSI 4 is blue, ANSI 12 light blue.
  palette.rgb[1][0] = 200;
  palette.rgb[4][2] = 210;
  palette.rgb[12][2] = 250;
  palette.answered = (1U << 1) | (1U << 4) | (1U << 12);
  const ColourTable table = ConsoleColourTable(palette);
  EXPECT_EQ(table.rgb[4][0], 200);  // console 4 is red
  EXPECT_EQ(table.rgb[1][2], 210);  // console 1 is blue
  EXPECT_EQ(table.rgb[9][2], 250);  // console 9 is light blue
  // Not answered: the classic console colours.
  EXPECT_EQ(table.rgb[12][0], 255);
  EXPECT_EQ(table.rgb[12][1], 0);
  EXPECT_EQ(table.rgb[7][0], 192);
}

TEST(PaletteReply, QueryAsksForTheSixteenColours) {
  const std::string query = PaletteQuery();
  EXPECT_EQ(query.find("\x1b]4;0;?\x1b\\"), 0u);
  EXPECT_NE(query.find("\x1b]4;15;?\x1b\\"), std::string::npos);
  EXPECT_EQ(query.find("\x1b]4;16;"), std::string::npos);
}

}  // namespace
}  // namespace kelm::port
