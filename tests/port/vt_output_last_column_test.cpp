// The terminal's last column painted in the frame's colours, and cells that
// ask for the terminal's own default colours.
#include <gtest/gtest.h>

#include "engine/port/terminal/codec/vt_output.h"
#include "tests/port/vt_frame.h"
#include "tests/port/vt_screen.h"

namespace kelm::port {
namespace {

constexpr int kBlue = 1;  // console index; ANSI 4

TEST(VtOutputLastColumn, TheSpareColumnTakesEachRowsLastBackground) {
  VtOutputEncoder encoder;
  VtScreen screen(6, 3);
  Frame frame(5, 3, u'x');
  frame.At(4, 1).Attributes = static_cast<uint16_t>(0x0007 | (kBlue << 4));
  std::string bytes;
  encoder.Encode(frame.cells.data(), 5, 3, bytes, 6);
  screen.Feed(bytes);
  EXPECT_TRUE(screen.errors().empty());
  EXPECT_EQ(screen.At(5, 0).ch, U' ');
  EXPECT_EQ(screen.At(5, 0).background, 0) << "black, not the terminal's own background";
  EXPECT_EQ(screen.At(5, 1).background, 4) << "the blue of the row's last cell";
  EXPECT_EQ(screen.At(5, 2).background, 0);
  EXPECT_EQ(screen.cursorRow(), 0);
  EXPECT_EQ(screen.cursorColumn(), 0) << "the cursor never wrapped or scrolled";
  EXPECT_EQ(screen.At(0, 0).ch, U'x') << "nothing scrolled";

  // Only a change of the row's last background redraws the spare cell.
  bytes.clear();
  encoder.Encode(frame.cells.data(), 5, 3, bytes, 6);
  EXPECT_TRUE(bytes.empty());
  frame.At(4, 1).Attributes = 0x0007;
  bytes.clear();
  encoder.Encode(frame.cells.data(), 5, 3, bytes, 6);
  screen.Feed(bytes);
  EXPECT_EQ(screen.At(5, 1).background, 0);
}

TEST(VtOutputDefaultColours, MarkedCellsUseTheTerminalsDefaults) {
  VtOutputEncoder encoder;
  VtScreen screen(5, 1);
  Frame frame(4, 1, u'a');
  for (CHAR_INFO& cell : frame.cells) cell.Attributes |= kTerminalDefaultColours;
  frame.At(1, 0).Attributes = kTerminalDefaultColours | 0x000E;                // yellow on default
  frame.At(2, 0).Attributes = kTerminalDefaultColours | 0x0007 | (kBlue << 4);  // grey on blue stays
  std::string bytes;
  encoder.Encode(frame.cells.data(), 4, 1, bytes, 5);
  screen.Feed(bytes);
  ASSERT_TRUE(screen.errors().empty());
  EXPECT_EQ(screen.At(0, 0).foreground, VtCell::kDefaultColour);
  EXPECT_EQ(screen.At(0, 0).background, VtCell::kDefaultColour);
  EXPECT_EQ(screen.At(1, 0).foreground, 11);
  EXPECT_EQ(screen.At(1, 0).background, VtCell::kDefaultColour);
  EXPECT_EQ(screen.At(2, 0).foreground, 7);
  EXPECT_EQ(screen.At(2, 0).background, 4);
  EXPECT_EQ(screen.At(3, 0).background, VtCell::kDefaultColour);
  EXPECT_EQ(screen.At(4, 0).background, VtCell::kDefaultColour) << "the spare column too";

  // The same cells without the mark: the console's black and grey.
  for (CHAR_INFO& cell : frame.cells) cell.Attributes &= static_cast<uint16_t>(~kTerminalDefaultColours);
  bytes.clear();
  encoder.Encode(frame.cells.data(), 4, 1, bytes, 5);
  screen.Feed(bytes);
  EXPECT_EQ(screen.At(0, 0).foreground, 7);
  EXPECT_EQ(screen.At(0, 0).background, 0);
  EXPECT_EQ(screen.At(4, 0).background, 0);
}

}  // namespace
}  // namespace kelm::port
