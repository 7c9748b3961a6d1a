// Output encoder's scroll planner: bands of rows moved by scrolling, and long
// random runs of frames and edits checked against the interpreted screen.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <random>
#include <vector>

#include "engine/port/terminal/codec/vt_output.h"
#include "tests/port/vt_frame.h"

namespace kelm::port {
namespace {

constexpr int kWidth = 119;  // a 120-column terminal
constexpr int kHeight = 40;

std::vector<uint8_t> RandomBytes(size_t count, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<uint8_t> data(count);
  for (uint8_t& byte : data) byte = static_cast<uint8_t>(rng());
  return data;
}

VtOutputOptions Options(bool synchronized, bool scrollDetection, bool withIndex) {
  VtOutputOptions options;
  options.synchronizedOutput = synchronized;
  options.scrollDetection = scrollDetection;
  options.scrollWithIndex = withIndex;
  return options;
}

struct GridScroll {
  std::unique_ptr<Terminal> terminal;
  size_t bytes = 0;
};

// Moves the hex grid by `rows` (negative: towards the start of the file) from
// the view at byte 64 * perRow and checks the screen.
GridScroll ScrollGrid(const VtOutputOptions& options, int rows) {
  GridScroll result{std::make_unique<Terminal>(kWidth, kHeight, options)};
  const std::vector<uint8_t> data = RandomBytes(1 << 16, 7);
  const size_t perRow = HexBytesPerRow(kWidth);
  const size_t top = 64 * perRow;
  result.terminal->Show(HexViewerFrame(kWidth, kHeight, data, top));
  const Frame moved = HexViewerFrame(kWidth, kHeight, data, top + rows * perRow);
  result.bytes = result.terminal->Show(moved).size();
  EXPECT_TRUE(ShowsFrame(result.terminal->screen, moved)) << "rows " << rows;
  return result;
}

size_t GridScrollBytes(const VtOutputOptions& options, int rows) { return ScrollGrid(options, rows).bytes; }

// --- Scrolling the grid -------------------------------------------------------

TEST(VtOutputScroll, GridMovedByOneRowWritesAboutOneRow) {
  for (const int rows : {1, -1}) {
    const size_t scrolled = GridScrollBytes(Options(false, true, false), rows);
    const size_t redrawn = GridScrollBytes(Options(false, false, false), rows);
    // One row of 119 cells plus colour changes in the character column, the
    // scroll and a few moves; without scrolling every grid row is rewritten.
    EXPECT_LE(scrolled, 260u) << "rows " << rows;
    EXPECT_GT(redrawn, 8 * scrolled) << "rows " << rows;
  }
}

TEST(VtOutputScroll, GridMovedBySeveralRows) {
  for (const int rows : {3, -3, 10, -17}) {
    const size_t scrolled = GridScrollBytes(Options(true, true, false), rows);
    const size_t redrawn = GridScrollBytes(Options(true, false, false), rows);
    EXPECT_LT(scrolled, redrawn * 3 / 4) << "rows " << rows;
  }
}

TEST(VtOutputScroll, IndexAndReverseIndexGiveTheSameScreen) {
  for (const int rows : {1, -1, 4, -4}) {
    const size_t withIndex = GridScrollBytes(Options(false, true, true), rows);
    const size_t withScroll = GridScrollBytes(Options(false, true, false), rows);
    EXPECT_LT(withIndex, withScroll + 20u + 2u * std::abs(rows)) << "rows " << rows;
  }
}

TEST(VtOutputScroll, RowsOutsideTheBandAreKept) {
  const GridScroll scroll = ScrollGrid(Options(false, true, false), 1);
  const VtScreen& screen = scroll.terminal->screen;
  // The menu row and both rules are untouched by the scroll.
  EXPECT_EQ(screen.RowText(0).substr(0, 10), " File  Edi");
  EXPECT_EQ(screen.At(16, 1).ch, U'+');
  EXPECT_EQ(screen.At(16, kHeight - 2).ch, U'+');
  EXPECT_EQ(screen.At(0, kHeight - 2).ch, U'-');
}

TEST(VtOutputScroll, MovedBandWithBackgroundEraseOffAndOn) {
  for (const bool bce : {false, true}) {
    Terminal terminal(30, 12);
    terminal.SetBackgroundColourErase(bce);
    Frame frame(30, 12);
    for (int r = 0; r < 12; ++r) frame.Put(0, r, u"row " + std::u16string(1, u'a' + r) + u" text here", 0x0017 + r);
    terminal.Show(frame);
    Frame moved = frame;
    // Rows 3..9 move up two rows; rows 8 and 9 get new content, coloured.
    for (int r = 3; r <= 7; ++r)
      std::copy_n(&frame.At(0, r + 2), 30, &moved.At(0, r));
    moved.Put(0, 8, u"new row eight", 0x00E1);
    moved.Put(0, 9, u"new row nine", 0x0056);
    const size_t bytes = terminal.Show(moved).size();
    EXPECT_TRUE(ShowsFrame(terminal.screen, moved)) << "bce " << bce;
    EXPECT_LT(bytes, 2u * 30u + 100u);
  }
}

// Random frames, random bands moved by random distances, random edits on
// top: the screen always shows the frame.
TEST(VtOutputScroll, RandomBandsAndShifts) {
  std::mt19937 rng(12345);
  for (int iteration = 0; iteration < 300; ++iteration) {
    const int width = std::uniform_int_distribution<int>(1, 30)(rng);
    const int height = std::uniform_int_distribution<int>(2, 16)(rng);
    Terminal terminal(width, height, Options(rng() % 2, true, rng() % 2));
    terminal.SetBackgroundColourErase(rng() % 2);
    Frame frame = RandomFrame(rng, width, height, true);
    terminal.Show(frame);
    for (int step = 0; step < 4; ++step) {
      const int top = std::uniform_int_distribution<int>(0, height - 2)(rng);
      const int bottom = std::uniform_int_distribution<int>(top + 1, height - 1)(rng);
      const int distance = std::uniform_int_distribution<int>(1, bottom - top)(rng);
      const bool up = rng() % 2;
      Frame moved = RandomFrame(rng, width, height, true);  // new rows
      for (int r = 0; r < height; ++r) {
        int source = r;
        if (r >= top && r <= bottom) source = up ? r + distance : r - distance;
        if (r < top || r > bottom || (source >= top && source <= bottom))
          std::copy_n(&frame.At(0, source), width, &moved.At(0, r));
      }
      const int edits = std::uniform_int_distribution<int>(0, 3)(rng);
      for (int e = 0; e < edits; ++e)
        moved.At(static_cast<int>(rng() % width), static_cast<int>(rng() % height)).UnicodeChar = u'%';
      terminal.Show(moved);
      ASSERT_TRUE(ShowsFrame(terminal.screen, moved, RandomFrameUnsafeCharacters()))
          << "iteration " << iteration << " step " << step << ": " << width << "x" << height << " rows " << top
          << ".." << bottom << (up ? " up " : " down ") << distance;
      frame = moved;
    }
  }
}

// --- Random frames and edits ---------------------------------------------------

TEST(VtOutputRandom, FramesAndEditsKeepTheScreenEqualToTheFrame) {
  std::mt19937 rng(424242);
  int width = 24;
  int height = 8;
  Terminal terminal(width, height);
  Frame frame = RandomFrame(rng, width, height, true);
  terminal.Show(frame);
  for (int iteration = 0; iteration < 3000; ++iteration) {
    Frame next = frame;
    const int kind = static_cast<int>(rng() % 100);
    bool expectFull = false;
    if (kind < 3) {  // resize
      width = std::uniform_int_distribution<int>(1, 40)(rng);
      height = std::uniform_int_distribution<int>(1, 14)(rng);
      terminal.Resize(width, height);
      next = RandomFrame(rng, width, height, true);
      expectFull = true;
    } else if (kind < 5) {  // something else drew on the terminal
      terminal.screen.Fill(U'@', 3, 4);
      terminal.encoder.Invalidate();
      expectFull = true;
    } else if (kind < 15) {  // a new frame
      next = RandomFrame(rng, width, height, true);
    } else if (kind < 25) {  // nothing
    } else if (kind < 40) {  // a filled rectangle (a dialog)
      const int x0 = static_cast<int>(rng() % width), y0 = static_cast<int>(rng() % height);
      const int x1 = std::min(width, x0 + 1 + static_cast<int>(rng() % 12));
      const int y1 = std::min(height, y0 + 1 + static_cast<int>(rng() % 5));
      const auto attributes = static_cast<uint16_t>(rng() & 0xC0FF);
      for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x) next.At(x, y) = CHAR_INFO{(x + y) % 3 ? u' ' : u'=', attributes};
    } else if (kind < 55) {  // rows moved within the frame
      if (height >= 2) {
        const int distance = 1 + static_cast<int>(rng() % (height - 1));
        const bool up = rng() % 2;
        for (int r = 0; r < height; ++r) {
          const int source = up ? r + distance : r - distance;
          if (source >= 0 && source < height) std::copy_n(&frame.At(0, source), width, &next.At(0, r));
        }
      }
    } else {  // scattered cell edits
      const Frame noise = RandomFrame(rng, width, height, true);
      const int edits = 1 + static_cast<int>(rng() % 20);
      for (int e = 0; e < edits; ++e) {
        const size_t i = rng() % next.cells.size();
        next.cells[i] = noise.cells[i];
      }
    }
    const std::string& bytes = terminal.Show(next);
    ASSERT_TRUE(ShowsFrame(terminal.screen, next, RandomFrameUnsafeCharacters())) << "iteration " << iteration;
    if (!bytes.empty()) {
      ASSERT_EQ(terminal.screen.cursorRow(), 0) << "iteration " << iteration;
      ASSERT_EQ(terminal.screen.cursorColumn(), 0) << "iteration " << iteration;
    }
    if (expectFull) {
      ASSERT_NE(bytes.find("\x1b[2J"), std::string::npos) << "iteration " << iteration;
    } else if (next.cells == frame.cells) {
      ASSERT_TRUE(bytes.empty()) << "iteration " << iteration;
    }
    frame = next;
  }
}

}  // namespace
}  // namespace kelm::port
