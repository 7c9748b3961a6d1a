// The list of marks: a box on the "Menus" layer listing every mark of the
// viewed file by start offset (colour sample, name, start, length). Up,
// Down, PgUp, PgDn, Home, End and the wheel move in it; Enter or a click on
// a line jumps there (the mark becomes the selection and its row is
// brought into view) and closes the box; Delete removes the mark; typing
// filters by name (Backspace takes a character back); Esc closes it.
//
// The order by start is built when the marks change, not in every frame,
// and only the lines in view are drawn, so ten thousand marks cost no more
// per frame than ten.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "viewer/viewer_state.h"

namespace kelm::viewer {

// The box's inner size and its lines.
inline constexpr int32_t kMarkListWidth = 58;
inline constexpr int32_t kMarkListMostRows = 16;

// Indices of markedRanges ordered by start (then by length and age).
std::vector<size_t> MarksByStart();

// Whether `name` holds `filter` (ASCII letters of either case match).
bool NameMatches(const std::u16string& name, const std::u16string& filter);

// One line of the list: the colour sample "Ab", the name (20 cells), the
// start (16 hex digits) and the length (hex), cut or padded to `width`.
std::u16string MarkListLine(const MarkedRange& mark, int32_t width);

// Opens the box (again: only one is open at a time).
void OpenMarkList();

// Makes the mark markedRanges[index] the selection and brings its first row
// into view.
void JumpToMark(size_t index);

// The next mark starting after the selection's start (or the first mark when
// nothing is selected), and the previous one before it; each wraps round.
// Nothing when there are no marks.
std::optional<size_t> NextMarkAfterSelection();
std::optional<size_t> PreviousMarkBeforeSelection();

// The keys that jump without opening the box.
void JumpToNextMark();
void JumpToPreviousMark();

}  // namespace kelm::viewer
