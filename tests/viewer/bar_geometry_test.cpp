// The scrollbar's arithmetic: shares of cells, the thumb at both ends of the
// largest view, and the row a click on a cell shows.
#include <gtest/gtest.h>

#include <cstdint>

#include "viewer/bar_geometry.h"

using namespace kelm::viewer;

namespace {

constexpr uint64_t kLargest = ~0ULL;  // 2^64 - 1

TEST(BarGeometry, SharesCoverTheFileWithoutGapsOrOverlaps) {
  for (const uint64_t size : {uint64_t{1}, uint64_t{7}, uint64_t{26}, uint64_t{1000}, uint64_t{1} << 40, kLargest}) {
    for (const int32_t cells : {1, 3, 26, 77}) {
      EXPECT_EQ(BarCellStart(size, cells, 0), 0u);
      EXPECT_EQ(BarCellStart(size, cells, cells), size);
      for (int32_t c = 0; c < cells; ++c) {
        const uint64_t start = BarCellStart(size, cells, c);
        const uint64_t next = BarCellStart(size, cells, c + 1);
        ASSERT_LE(start, next) << size << " " << cells << " " << c;
        // Every offset of a share lies in that cell, so the thumb of a view
        // starting there starts at the cell.
        if (next > start) {
          EXPECT_EQ(BarCellOf(size, cells, start), c) << size << " " << cells;
          EXPECT_EQ(BarCellOf(size, cells, next - 1), c) << size << " " << cells;
        }
      }
    }
  }
  EXPECT_EQ(BarCellOf(10, 4, 10), 3) << "past the end: the last cell";
  EXPECT_EQ(BarCellOf(0, 4, 0), 3);
}

TEST(BarGeometry, ThumbAtBothEndsOfALargestView) {
  constexpr uint64_t perRow = 20;
  constexpr int32_t cells = 26;
  constexpr uint64_t shown = perRow * cells;
  // The first screen: the first cell only, since a screen is a tiny share.
  ThumbCells thumb = ThumbFor(kLargest, cells, 0, shown);
  EXPECT_EQ(thumb.first, 0);
  EXPECT_EQ(thumb.count, 1);
  // The last row the view can show (the last offset's row) is in the last
  // cell, and a length running past 2^64 is clipped, not wrapped.
  const uint64_t lastRowStart = kLargest / perRow * perRow;
  thumb = ThumbFor(kLargest, cells, lastRowStart, shown);
  EXPECT_EQ(thumb.first, cells - 1);
  EXPECT_EQ(thumb.count, 1);
  // Just before the last cell's share begins, and at its first byte.
  const uint64_t lastShare = BarCellStart(kLargest, cells, cells - 1);
  EXPECT_EQ(ThumbFor(kLargest, cells, lastShare - 1, 1).first, cells - 2);
  EXPECT_EQ(ThumbFor(kLargest, cells, lastShare - 1, 2).count, 2);
  EXPECT_EQ(ThumbFor(kLargest, cells, lastShare, 1).first, cells - 1);
  // The middle: half of 2^64 - 1 is in cell 13 of 26.
  EXPECT_EQ(ThumbFor(kLargest, cells, kLargest / 2 + 1, shown).first, 13);
  EXPECT_EQ(ThumbFor(kLargest, cells, kLargest / 2 - 1, shown).first, 12);
}

TEST(BarGeometry, ThumbSizeFollowsTheVisibleShare) {
  // A file that fits the screen: the whole bar.
  EXPECT_EQ(ThumbFor(100, 10, 0, 520).first, 0);
  EXPECT_EQ(ThumbFor(100, 10, 0, 520).count, 10);
  // Ten shares of 100 bytes: bytes 250 to 499 lie in cells 2 to 4, and one
  // byte more reaches the next cell.
  EXPECT_EQ(ThumbFor(1000, 10, 250, 250).first, 2);
  EXPECT_EQ(ThumbFor(1000, 10, 250, 250).count, 3);
  EXPECT_EQ(ThumbFor(1000, 10, 200, 300).count, 3);
  EXPECT_EQ(ThumbFor(1000, 10, 200, 301).count, 4);
  // A view past the end sits on the last cell; an empty file fills the bar.
  EXPECT_EQ(ThumbFor(1000, 10, 5000, 100).first, 9);
  EXPECT_EQ(ThumbFor(1000, 10, 5000, 100).count, 1);
  EXPECT_EQ(ThumbFor(0, 10, 0, 100).count, 10);
  EXPECT_EQ(ThumbFor(1000, 0, 0, 100).count, 0);
}

TEST(BarGeometry, CellRowPutsTheThumbOnTheCell) {
  constexpr int32_t cells = 26;
  for (const uint64_t size : {uint64_t{1} << 20, uint64_t{1} << 40, kLargest}) {
    for (const uint64_t perRow : {uint64_t{4}, uint64_t{19}, uint64_t{20}, uint64_t{256}}) {
      for (int32_t c = 0; c < cells; ++c) {
        const uint64_t row = BarCellRow(size, cells, c, perRow);
        const uint64_t first = row * perRow;
        EXPECT_GE(first, BarCellStart(size, cells, c)) << size << " " << perRow << " " << c;
        EXPECT_EQ(ThumbFor(size, cells, first, perRow * cells).first, c) << size << " " << perRow << " " << c;
      }
    }
  }
  // Shares shorter than a row: the row holding the share's first byte.
  EXPECT_EQ(BarCellRow(40, 26, 25, 20), 1u);
  EXPECT_EQ(BarCellRow(40, 26, 0, 20), 0u);
  EXPECT_EQ(BarCellRow(kLargest, 26, 25, 0), BarCellStart(kLargest, 26, 25)) << "a row of 0 bytes counts as 1";
}

}  // namespace
