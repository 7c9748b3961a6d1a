#include "viewer/mark_list.h"

#include "viewer/viewer_state.h"

namespace kelm::viewer {

void RemoveMark(size_t index) {
  if (index >= markedRanges.size()) return;
  markedRanges.erase(markedRanges.begin() + static_cast<std::ptrdiff_t>(index));
  if (!seekMark) return;
  if (*seekMark == index) {
    seekMark.reset();
  } else if (*seekMark > index) {
    --*seekMark;
  }
}

void RemoveSeekMark() {
  if (!seekMark) return;
  const size_t index = *seekMark;
  seekMark.reset();
  RemoveMark(index);
}

}  // namespace kelm::viewer
