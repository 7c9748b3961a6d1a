// The scrollbar at the grid's right edge: one column of cells that maps the
// viewed file, each cell coloured by what its share of the file holds (see
// viewer/file_map.h), sampled a slice per frame while cells remain, with a
// thumb over the cells the visible rows cover (viewer/bar_geometry.h).
//
// A click on a cell outside the thumb shows that cell's share from its
// first row; a press on the thumb grabs it, and dragging moves the view with
// the pointer; the wheel over the bar moves the view one cell per notch.
//
// Frame thread only (and start-up, under the engine lock).
#pragma once

#include <cstdint>

#include "viewer/file_map.h"

namespace kelm::viewer {

// Colour digits of the bar's cells, by class, and of the thumb's character.
inline constexpr char kMapUnknownColour = '0';
inline constexpr char kMapZerosColour = '8';
inline constexpr char kMapTextColour = '2';
inline constexpr char kMapRandomColour = '5';
inline constexpr char kMapOtherColour = '1';
inline constexpr char kThumbColour = 'F';
// The thumb's cells show this character over their class colour; the other
// cells are blank.
inline constexpr char16_t kThumbCharacter = u'\u2503';  // heavy vertical line

// Bytes the bar may read per frame while it samples, and the time its
// sampling may take per frame (at least one cell is always sampled).
inline constexpr uint64_t kMapFrameReadBudget = 64 * 1024;
inline constexpr uint64_t kMapFrameTimeMs = 8;

// Whether the bar is shown (a viewer setting, on by default). Change it with
// SetShowFileMap so that the grid is laid out again.
extern bool showFileMap;
void SetShowFileMap(bool shown);

// Columns the grid's layout leaves free at the right for the bar.
int32_t ScrollBarColumns();

// Creates the bar's object in the "Objects" layer (by InitGrid, after the
// key handler was added, so the bar sees the wheel before the key handler).
void InitScrollBar();
// Places the bar in the screen's last drawn column, over the grid's rows, for
// a screen of `width` x `height` cells (by LayoutGrid).
void LayoutScrollBar(int32_t width, int32_t height);
// Redraws the bar's cells and thumb from the map and the view (RefreshGrid
// calls it, so the thumb follows every change of the view at once).
void PaintScrollBar();
// The viewed file was loaded (again): the map is sampled afresh.
void RestartFileMap();

// The map as sampled so far (for tests and benchmarks).
const FileMap& ViewedFileMap();

// Forgets the bar's object (its layer owns it), as ForgetScreenObjects does.
void ForgetScrollBar();
// Only for tests: the bar, its map and the setting back to their start.
void ResetScrollBarForTests();

}  // namespace kelm::viewer
