// The scrollbar's cells and the file's bytes: which share of the file each
// cell of the bar stands for, which cells the visible part covers, and the
// row a click on a cell shows. Pure arithmetic, exact for every size up to
// 2^64 - 1 bytes: the products are taken in 128 bits.
//
// Cell c of n stands for the offsets [ceil(c * size / n), ceil((c + 1) *
// size / n)), so an offset o lies in cell floor(o * n / size). A file of
// fewer bytes than cells gives some cells an empty share.
#pragma once

#include <cstdint>

namespace kelm::viewer {

// First offset of cell `cell`'s share (`cell` in 0..cells; `cells` gives
// `size`). 0 when there are no cells.
uint64_t BarCellStart(uint64_t size, int32_t cells, int32_t cell);

// The cell whose share holds `offset`; offsets at or past the end of the
// file (and every offset of an empty file) give the last cell.
int32_t BarCellOf(uint64_t size, int32_t cells, uint64_t offset);

// The bar's cells that the visible part [first, first + length) covers.
struct ThumbCells {
  int32_t first = 0;
  int32_t count = 0;
};

// The thumb: the cells from the one holding `first` to the one holding the
// last visible byte of the file, at least one cell (the last one when the
// view lies past the end). The whole bar for an empty file, none without
// cells. `length` may run past 2^64 - 1 (it is clipped to the file).
ThumbCells ThumbFor(uint64_t size, int32_t cells, uint64_t first, uint64_t length);

// The first row (of `rowLength` bytes) whose first offset lies in cell
// `cell`'s share, so that showing it puts the thumb on that cell; when no
// row starts in the share (shares shorter than a row), the row holding the
// share's first byte. `rowLength` 0 counts as 1.
uint64_t BarCellRow(uint64_t size, int32_t cells, int32_t cell, uint64_t rowLength);

}  // namespace kelm::viewer
