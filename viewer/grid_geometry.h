// Where the grid's parts sit on the screen, and the row length as a divisor.
// Shared by the code that builds the grid's objects, lays them out for a
// screen size and turns offsets into rows.
#pragma once

#include <cstdint>

#include "viewer/display_options.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

// Column of the bar between the offsets (16 digits) and the hex pairs.
inline constexpr int32_t kLeftBarX = 16;
// Column of the first hex pair: the offsets, the bar and a blank before it.
inline constexpr int32_t kHexColumnX = 18;
// The smallest screen (as the engine draws it) the grid is laid out in; a
// smaller one shows only the "too small" line.
inline constexpr int32_t kMinimumWidth = 30;
inline constexpr int32_t kMinimumHeight = 5;

// Columns each byte takes: a hex pair and a blank, then its character cells.
inline int32_t ColumnsPerByte() { return 3 + CharCellWidth(); }
// The most bytes a row of a screen `width` columns wide holds: the hex
// pairs from column 18, the bar, and the characters up to the last column.
inline int32_t BytesThatFit(int32_t width) {
  const int32_t room = width - kHexColumnX - 2 + CharCellWidth();
  return room > 0 ? room / ColumnsPerByte() : 0;
}
// Column of the character column's first cell for `perRow` bytes a row.
inline int32_t CharColumnX(int32_t perRow) { return 3 * perRow + kHexColumnX + 1; }

// The status row's offset field while nothing is selected.
inline constexpr char16_t kNoOffset[] = u"----------------";

// bytesPerRow as a divisor: never 0, even before the first layout or after a
// bad one.
inline uint64_t RowLength() { return bytesPerRow > 0 ? static_cast<uint64_t>(bytesPerRow) : 1; }

}  // namespace kelm::viewer
