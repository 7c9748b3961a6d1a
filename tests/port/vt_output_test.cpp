// Output encoder: changed cells only, cursor moves, colours, full redraws,
// synchronized output. Every test checks the effect on an interpreted screen.
#include <gtest/gtest.h>

#include "engine/port/ansi_colours.h"
#include "engine/port/terminal/codec/vt_output.h"
#include "tests/port/vt_frame.h"

namespace kelm::port {
namespace {

constexpr std::string_view kSyncBegin = "\x1b[?2026h";
constexpr std::string_view kSyncEnd = "\x1b[?2026l";
constexpr std::string_view kClear = "\x1b[2J";

VtOutputOptions Unsynchronized() {
  VtOutputOptions options;
  options.synchronizedOutput = false;
  return options;
}

Frame SampleScreen(int width, int height) {
  Frame frame(width, height);
  frame.Put(0, 0, u" File  Edit  View", 0x0070);
  for (int r = 1; r < height; ++r) frame.Put(0, r, u"0000000000000010| 41 42 43 44 |A B C D", kGreyOnBlack);
  return frame;
}

// --- Nothing changed ----------------------------------------------------------

TEST(VtOutputIdle, UnchangedFrameWritesNothing) {
  Terminal terminal(30, 6);
  const Frame frame = SampleScreen(30, 6);
  EXPECT_FALSE(terminal.Show(frame).empty());
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(terminal.Show(frame).size(), 0u) << "frame " << i;
    EXPECT_EQ(terminal.Show(SampleScreen(30, 6)).size(), 0u) << "equal copy " << i;
  }
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputIdle, AttributeBitsThatDoNotShowAreIgnored) {
  Terminal terminal(10, 2);
  Frame frame(10, 2, u'x');
  terminal.Show(frame);
  for (CHAR_INFO& cell : frame.cells) cell.Attributes |= 0x0300;  // grid and other unused bits
  EXPECT_EQ(terminal.Show(frame).size(), 0u);
}

TEST(VtOutputIdle, ForegroundOfAPlainSpaceIsNotRedrawn) {
  Terminal terminal(10, 2);
  Frame frame(10, 2);
  terminal.Show(frame);
  for (CHAR_INFO& cell : frame.cells) cell.Attributes = 0x0003;  // same black background
  EXPECT_EQ(terminal.Show(frame).size(), 0u);

  // An underlined space shows its foreground: it is drawn.
  frame.At(4, 1).Attributes = 0x8003;
  EXPECT_GT(terminal.Show(frame).size(), 0u);
  frame.At(4, 1).Attributes = 0x8005;
  EXPECT_GT(terminal.Show(frame).size(), 0u);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputIdle, SwappingOneUnsafeCharacterForAnotherWritesNothing) {
  Terminal terminal(10, 2);
  Frame frame(10, 2, u'a');
  frame.At(3, 1).UnicodeChar = u'\x01';
  terminal.Show(frame);
  frame.At(3, 1).UnicodeChar = u'\x1b';  // shows the same placeholder
  EXPECT_EQ(terminal.Show(frame).size(), 0u);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame, u"\x1b"));
}

// --- Changed cells --------------------------------------------------------------

TEST(VtOutputDiff, OneChangedCellWritesOnlyThatCell) {
  Terminal terminal(80, 24, Unsynchronized());
  Frame frame = SampleScreen(80, 24);
  terminal.Show(frame);
  frame.At(40, 12) = CHAR_INFO{u'Z', kGreyOnBlack};
  const std::string& bytes = terminal.Show(frame);
  // A cursor position (at most 8 bytes), the character and the move home.
  EXPECT_LE(bytes.size(), 14u) << bytes;
  EXPECT_EQ(CountOf(bytes, "Z"), 1);
  EXPECT_EQ(CountOf(bytes, kClear), 0);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputDiff, ChangedCellInANewColourSendsOneColourChange) {
  Terminal terminal(40, 5, Unsynchronized());
  Frame frame = SampleScreen(40, 5);
  terminal.Show(frame);
  frame.Put(5, 3, u"0123456789", 0x001E);
  const std::string& bytes = terminal.Show(frame);
  EXPECT_EQ(CountSgr(bytes), 1) << bytes;
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputDiff, ColourChangeSendsOnlyThePartThatChanged) {
  Terminal terminal(20, 2, Unsynchronized());
  Frame frame(20, 2);
  terminal.Show(frame);
  // Same foreground throughout, the background changes at every cell.
  for (int c = 0; c < 8; ++c) frame.At(c, 1) = CHAR_INFO{u'x', static_cast<uint16_t>(0x0E | ((c % 2 + 1) << 4))};
  const std::string& bytes = terminal.Show(frame);
  EXPECT_EQ(CountSgr(bytes), 8);
  // After the first colour change each one names only the background:
  // ESC [ 4 n m is 5 bytes.
  size_t pos = bytes.find("\x1b[");
  int single = 0;
  for (; pos != std::string::npos; pos = bytes.find("\x1b[", pos + 1)) {
    const size_t end = bytes.find_first_not_of("0123456789;", pos + 2);
    if (end != std::string::npos && bytes[end] == 'm' && bytes.find(';', pos) > end) ++single;
  }
  EXPECT_GE(single, 7) << bytes;
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputDiff, CloseChangesInARowAreJoinedCheaply) {
  Terminal terminal(60, 4, Unsynchronized());
  Frame frame = SampleScreen(60, 4);
  terminal.Show(frame);
  frame.At(20, 2).UnicodeChar = u'7';
  frame.At(23, 2).UnicodeChar = u'8';
  frame.At(26, 2).UnicodeChar = u'9';
  const std::string& bytes = terminal.Show(frame);
  // One cursor position (ESC [ 3 ; 2 1 H), then 7 cells rewritten or
  // skipped, then home.
  EXPECT_LE(bytes.size(), 7u + 7u + 3u) << bytes;
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputDiff, AColumnOfChangesUsesShortRelativeMoves) {
  Terminal terminal(119, 40, Unsynchronized());
  Frame frame = SampleScreen(119, 40);
  terminal.Show(frame);
  for (int r = 2; r < 38; ++r) frame.At(70, r).UnicodeChar = u'#';
  const std::string& bytes = terminal.Show(frame);
  // Per row: down one row and back one column (6 bytes) plus the character.
  EXPECT_LE(bytes.size(), 36u * 7u + 12u) << bytes;
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputDiff, EveryFrameEndsWithTheCursorAtTheTopLeft) {
  Terminal terminal(30, 8);
  Frame frame = SampleScreen(30, 8);
  terminal.Show(frame);
  EXPECT_EQ(terminal.screen.cursorRow(), 0);
  EXPECT_EQ(terminal.screen.cursorColumn(), 0);
  frame.At(29, 7).UnicodeChar = u'!';
  terminal.Show(frame);
  EXPECT_EQ(terminal.screen.cursorRow(), 0);
  EXPECT_EQ(terminal.screen.cursorColumn(), 0);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

// Line feeds move the cursor down cheaply; one sent on the bottom row would
// scroll the screen (the interpreter reports that as an error).
TEST(VtOutputDiff, LineFeedsMoveDownButNeverScroll) {
  Terminal terminal(20, 10);
  Frame frame(20, 10, u'a');
  terminal.Show(frame);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
  for (int r = 0; r < 10; ++r) frame.At(r % 2 == 0 ? 3 : 18, r).UnicodeChar = u'b';
  frame.At(19, 9).UnicodeChar = u'c';
  const std::string second = terminal.Show(frame);
  EXPECT_NE(second.find('\n'), std::string::npos) << "row to row by line feed";
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
  // The same after a scroll set a region and reset it.
  for (int r = 0; r + 1 < 10; ++r)
    for (int c = 0; c < 20; ++c) frame.At(c, r) = frame.At(c, r + 1);
  for (int c = 0; c < 20; ++c) frame.At(c, 9).UnicodeChar = static_cast<char16_t>(u'k' + c % 5);
  for (int r = 0; r < 9; ++r) frame.At(10, r).UnicodeChar = u'z';
  terminal.Show(frame);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
  // The column after a line feed is never relied on.
  terminal.screen.SetLineFeedReturns(true);
  for (int r = 0; r < 10; ++r) frame.At(r % 2 == 0 ? 17 : 5, r).UnicodeChar = u'y';
  EXPECT_NE(terminal.Show(frame).find('\n'), std::string::npos);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputDiff, ChangeInTheLastFrameColumnThenTheNextRow) {
  Terminal terminal(12, 3);
  Frame frame(12, 3, u'-');
  terminal.Show(frame);
  frame.At(11, 0).UnicodeChar = u'a';
  frame.At(0, 1).UnicodeChar = u'b';
  frame.At(11, 1).UnicodeChar = u'c';
  frame.At(1, 2).UnicodeChar = u'd';
  terminal.Show(frame);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputDiff, WorksWhenTheTerminalIsNoWiderThanTheFrame) {
  // Writing the last column then leaves the cursor there (no auto-wrap), so
  // the column after it must not be assumed.
  VtOutputEncoder encoder;
  VtScreen screen(8, 12);
  Frame frame(8, 12, u'a');
  std::string bytes;
  encoder.Encode(frame.cells.data(), 8, 12, bytes);
  screen.Feed(bytes);
  frame.At(7, 0).UnicodeChar = u'x';
  frame.At(0, 1).UnicodeChar = u'y';
  frame.At(1, 1).UnicodeChar = u'z';
  for (int r = 9; r < 12; ++r) frame.At(7, r).UnicodeChar = u'|';  // straight down the last column
  bytes.clear();
  encoder.Encode(frame.cells.data(), 8, 12, bytes);
  screen.Feed(bytes);
  EXPECT_TRUE(ShowsFrame(screen, frame));
}

// --- Full redraws ------------------------------------------------------------------

TEST(VtOutputFullRedraw, FirstFrameResetsColoursClearsAndDrawsEverything) {
  Terminal terminal(20, 4, Unsynchronized());
  terminal.screen.Fill(U'#', 1, 3);  // leftovers of the shell
  const Frame frame = SampleScreen(20, 4);
  const std::string& bytes = terminal.Show(frame);
  const size_t reset = bytes.find("\x1b[m");
  const size_t clear = bytes.find(kClear);
  ASSERT_NE(reset, std::string::npos);
  ASSERT_NE(clear, std::string::npos);
  EXPECT_LT(reset, clear);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputFullRedraw, SizeChangeRedrawsEverything) {
  Terminal terminal(20, 4);
  terminal.Show(SampleScreen(20, 4));
  for (const auto& [w, h] : {std::pair{26, 7}, std::pair{9, 2}, std::pair{9, 5}, std::pair{30, 5}}) {
    terminal.Resize(w, h);
    const Frame frame = SampleScreen(w, h);
    const std::string& bytes = terminal.Show(frame);
    EXPECT_EQ(CountOf(bytes, kClear), 1) << w << "x" << h;
    EXPECT_TRUE(ShowsFrame(terminal.screen, frame)) << w << "x" << h;
  }
}

TEST(VtOutputFullRedraw, InvalidateRedrawsTheSameFrame) {
  Terminal terminal(20, 4);
  const Frame frame = SampleScreen(20, 4);
  terminal.Show(frame);
  terminal.screen.Fill(U'?', 2, 5);  // a child program drew over it
  terminal.encoder.Invalidate();
  const std::string& bytes = terminal.Show(frame);
  EXPECT_EQ(CountOf(bytes, kClear), 1);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
  EXPECT_EQ(terminal.Show(frame).size(), 0u);
}

TEST(VtOutputFullRedraw, EmptyFrameWritesNothingAndTheNextFrameIsFull) {
  Terminal terminal(20, 4);
  terminal.Show(SampleScreen(20, 4));
  std::string bytes;
  terminal.encoder.Encode(nullptr, 0, 0, bytes);
  EXPECT_TRUE(bytes.empty());
  terminal.screen.Fill(U'?', 2, 5);
  const Frame frame = SampleScreen(20, 4);
  EXPECT_EQ(CountOf(terminal.Show(frame), kClear), 1);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputFullRedraw, ColumnsRightOfTheFrameStayDefaultWithBackgroundErase) {
  Terminal terminal(10, 3);
  terminal.SetBackgroundColourErase(true);
  Frame frame(10, 3, u' ', 0x0040);  // red background everywhere
  terminal.Show(frame);
  terminal.encoder.Invalidate();
  terminal.Show(frame);  // the clear happens while red was in force before
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

// --- Colours --------------------------------------------------------------------------

TEST(VtOutputColours, ConsoleIndexesMapToAnsiColours) {
  const int foreground[16] = {30, 34, 32, 36, 31, 35, 33, 37, 90, 94, 92, 96, 91, 95, 93, 97};
  for (int i = 0; i < 16; ++i) {
    EXPECT_EQ(AnsiForeground(i), foreground[i]) << "index " << i;
    EXPECT_EQ(AnsiBackground(i), foreground[i] + 10) << "index " << i;
  }
}

TEST(VtOutputColours, EveryForegroundAndBackgroundShowsOnScreen) {
  Terminal terminal(16, 16);
  Frame frame(16, 16);
  for (int bg = 0; bg < 16; ++bg)
    for (int fg = 0; fg < 16; ++fg) frame.At(fg, bg) = CHAR_INFO{u'A', static_cast<uint16_t>(bg << 4 | fg)};
  terminal.Show(frame);
  ASSERT_TRUE(ShowsFrame(terminal.screen, frame));
  EXPECT_EQ(terminal.screen.At(1, 4).foreground, 4);  // console blue is ANSI 4
  EXPECT_EQ(terminal.screen.At(4, 1).foreground, 1);  // console red is ANSI 1
  EXPECT_EQ(terminal.screen.At(12, 9).background, 12);

  // Transposed: every colour change between neighbours.
  for (int bg = 0; bg < 16; ++bg)
    for (int fg = 0; fg < 16; ++fg) frame.At(bg, fg) = CHAR_INFO{u'B', static_cast<uint16_t>(bg << 4 | fg)};
  terminal.Show(frame);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputColours, ReverseAndUnderlineAreShownAndCleared) {
  Terminal terminal(12, 2);
  Frame frame(12, 2, u'a');
  frame.At(1, 0).Attributes = 0x4007;
  frame.At(2, 0).Attributes = 0x8007;
  frame.At(3, 0).Attributes = 0xC01E;
  frame.At(5, 0) = CHAR_INFO{u' ', 0x4070};  // a reversed space shows its foreground
  terminal.Show(frame);
  ASSERT_TRUE(ShowsFrame(terminal.screen, frame));
  EXPECT_TRUE(terminal.screen.At(1, 0).reverse);
  EXPECT_TRUE(terminal.screen.At(2, 0).underline);
  EXPECT_FALSE(terminal.screen.At(4, 0).underline);
  for (CHAR_INFO& cell : frame.cells) cell.Attributes = (cell.Attributes & 0xC000) ? 0x0007 : 0xC007;
  terminal.Show(frame);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

// The terminal's own colours: SGR 0 takes the screen back to them, which is
// shorter than naming them; a default-colours mark on a cell where it shows
// nothing (a background of its own) sends no SGR, since an empty one would
// reset every colour.
TEST(VtOutputColours, TerminalDefaultsAreReachedByResetAndAMarkThatShowsNothingSendsNothing) {
  constexpr uint16_t kDefaults = kTerminalDefaultColours | 0x0007;
  Terminal terminal(6, 1);
  Frame frame(6, 1, u'a', kDefaults);
  frame.At(1, 0).Attributes = kTerminalDefaultColours | 0x0008;  // grey on the default background
  frame.At(3, 0).Attributes = kTerminalDefaultColours | 0x0008;
  terminal.Show(frame);
  ASSERT_TRUE(ShowsFrame(terminal.screen, frame));
  EXPECT_EQ(terminal.bytes.find("39"), std::string::npos) << "the defaults are reached by SGR 0";
  EXPECT_EQ(CountOf(terminal.bytes, "\x1b[90m"), 2);
  EXPECT_EQ(CountOf(terminal.bytes, "\x1b[m"), 3);  // before the clear, and after each grey cell

  Frame marked(6, 1, u'b', 0x0040);                                // black on red
  marked.At(1, 0).Attributes = kTerminalDefaultColours | 0x0040;   // the same colours, marked
  marked.At(2, 0).Attributes = 0x0040;
  terminal.Show(marked);
  EXPECT_TRUE(ShowsFrame(terminal.screen, marked));
  EXPECT_EQ(CountSgr(terminal.bytes), 1);
}

// --- Synchronized output ------------------------------------------------------------

TEST(VtOutputSync, NonEmptyFramesAreWrappedInSynchronizedOutput) {
  Terminal terminal(20, 4);
  Frame frame = SampleScreen(20, 4);
  for (int i = 0; i < 3; ++i) {
    frame.At(i, 2).UnicodeChar = u'*';
    const std::string& bytes = terminal.Show(frame);
    ASSERT_GE(bytes.size(), kSyncBegin.size() + kSyncEnd.size());
    EXPECT_EQ(bytes.substr(0, kSyncBegin.size()), kSyncBegin);
    EXPECT_EQ(bytes.substr(bytes.size() - kSyncEnd.size()), kSyncEnd);
    EXPECT_EQ(CountOf(bytes, "\x1b[?2026"), 2);
  }
  EXPECT_TRUE(terminal.Show(frame).empty());
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputSync, CanBeTurnedOff) {
  Terminal terminal(20, 4, Unsynchronized());
  Frame frame = SampleScreen(20, 4);
  EXPECT_EQ(CountOf(terminal.Show(frame), "2026"), 0);
  frame.At(3, 3).UnicodeChar = u'*';
  const std::string& bytes = terminal.Show(frame);
  EXPECT_EQ(CountOf(bytes, "2026"), 0);
  EXPECT_EQ(bytes.substr(bytes.size() - 3), "\x1b[H");
}

TEST(VtOutputSync, AppendsToWhatTheBufferHolds) {
  VtOutputEncoder encoder;
  const Frame frame = SampleScreen(10, 3);
  std::string bytes = "before";
  encoder.Encode(frame.cells.data(), 10, 3, bytes);
  EXPECT_EQ(bytes.substr(0, 6), "before");
  const size_t size = bytes.size();
  encoder.Encode(frame.cells.data(), 10, 3, bytes);
  EXPECT_EQ(bytes.size(), size);  // an idle frame leaves the buffer as it was
}

}  // namespace
}  // namespace kelm::port
