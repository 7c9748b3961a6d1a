#include "viewer/bar_geometry.h"

namespace kelm::viewer {

namespace {

__extension__ typedef unsigned __int128 Wide;

uint64_t CeilMulDiv(uint64_t a, uint64_t b, uint64_t c) {
  const Wide product = static_cast<Wide>(a) * b;
  return static_cast<uint64_t>((product + c - 1) / c);
}

uint64_t FloorMulDiv(uint64_t a, uint64_t b, uint64_t c) {
  return static_cast<uint64_t>(static_cast<Wide>(a) * b / c);
}

}  // namespace

uint64_t BarCellStart(uint64_t size, int32_t cells, int32_t cell) {
  if (cells <= 0 || cell <= 0) return 0;
  if (cell >= cells) return size;
  return CeilMulDiv(static_cast<uint64_t>(cell), size, static_cast<uint64_t>(cells));
}

int32_t BarCellOf(uint64_t size, int32_t cells, uint64_t offset) {
  if (cells <= 0) return 0;
  if (offset >= size) return cells - 1;
  return static_cast<int32_t>(FloorMulDiv(offset, static_cast<uint64_t>(cells), size));
}

ThumbCells ThumbFor(uint64_t size, int32_t cells, uint64_t first, uint64_t length) {
  if (cells <= 0) return {};
  if (size == 0) return {0, cells};
  if (first >= size) return {cells - 1, 1};
  const int32_t firstCell = BarCellOf(size, cells, first);
  // One past the last visible byte of the file.
  const uint64_t end = length >= size - first ? size : first + length;
  const auto endCell = static_cast<int32_t>(CeilMulDiv(end, static_cast<uint64_t>(cells), size));
  const int32_t count = endCell > firstCell ? endCell - firstCell : 1;
  return {firstCell, count};
}

uint64_t BarCellRow(uint64_t size, int32_t cells, int32_t cell, uint64_t rowLength) {
  const uint64_t perRow = rowLength > 0 ? rowLength : 1;
  const uint64_t start = BarCellStart(size, cells, cell);
  const uint64_t next = BarCellStart(size, cells, cell + 1);
  const uint64_t row = start / perRow;
  const uint64_t rowStart = row * perRow;
  // The next row starts inside the share when what is left of it from this
  // row's start is longer than a row (no sum that could wrap).
  if (rowStart < start && next > rowStart && next - rowStart > perRow) return row + 1;
  return row;
}

}  // namespace kelm::viewer
