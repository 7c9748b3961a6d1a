// Keeping topRow inside the offsets that exist.
#include <limits>

#include "viewer/grid_geometry.h"
#include "viewer/offset_math.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

int64_t MaxTopRow() {
  const uint64_t perRow = RowLength();
  const uint64_t rows = kMaxOffset / perRow;
  constexpr auto kMaxRow = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  return static_cast<int64_t>(rows < kMaxRow ? rows : kMaxRow);
}

int64_t ClampTopRow(int64_t row) {
  if (row < 0) return 0;
  const int64_t limit = MaxTopRow();
  return row > limit ? limit : row;
}

void ScrollRows(int64_t rows) {
  const int64_t current = ClampTopRow(topRow);
  int64_t target = 0;
  if (rows >= 0) {
    target = current > std::numeric_limits<int64_t>::max() - rows ? std::numeric_limits<int64_t>::max()
                                                                   : current + rows;
  } else {
    // current >= 0, so current + rows cannot fall below the int64 range.
    target = current + rows;
  }
  topRow = ClampTopRow(target);
  RefreshGrid();
}

}  // namespace kelm::viewer
