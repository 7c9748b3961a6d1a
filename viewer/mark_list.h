// Removing colour marks from markedRanges while keeping seekMark right.
#pragma once

#include <cstddef>

namespace kelm::viewer {

// Removes markedRanges[index], keeping the order of the others. seekMark
// keeps naming the same mark (its index shifts down when an earlier mark
// goes) and is cleared when it named the removed one. An index past the end
// changes nothing.
void RemoveMark(size_t index);

// Removes the mark added by the last seek, if any, and clears seekMark.
void RemoveSeekMark();

}  // namespace kelm::viewer
