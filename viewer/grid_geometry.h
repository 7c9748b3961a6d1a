// Where the grid's parts sit on the screen, and the row length as a divisor.
// Shared by the code that builds the grid's objects, lays them out for a
// screen size and turns offsets into rows.
#pragma once

#include <cstdint>

#include "viewer/viewer_state.h"

// Column of the bar between the offsets (16 digits) and the hex pairs.
inline constexpr int32_t kLeftBarX = 16;
// Column of the first hex pair: the offsets, the bar and a blank before it.
inline constexpr int32_t kHexColumnX = 18;
// Columns each byte takes: a hex pair and a blank, a character and a blank.
inline constexpr int32_t kColumnsPerByte = 5;

// The status row's offset field while nothing is selected.
inline constexpr char16_t kNoOffset[] = u"----------------";

// bytesPerRow as a divisor: never 0, even before the first layout or after a
// bad one.
inline uint64_t RowLength() { return bytesPerRow > 0 ? static_cast<uint64_t>(bytesPerRow) : 1; }
