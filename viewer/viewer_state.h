// The viewer's process-wide state and the functions every part of the viewer
// calls on it. One viewer per process.
//
// Threads: the start-up code fills this state on the main thread while the
// frame thread already runs (holding the engine lock around edits of objects
// that are on screen); after start-up only the frame thread touches it.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "engine/port/read_only_file.h"
#include <vector>

#include "engine/core/object.h"

namespace kelm::viewer {

// A coloured byte range: the selection, a user's colour mark or the seek mark.
struct MarkedRange {
  char foreground = '7';  // colour digit '0'-'9', 'A'-'F'
  char background = '4';
  std::u16string name;    // empty: no tooltip
  uint64_t start = 0;     // offset of the first byte
  uint64_t length = 0;    // number of bytes
};

// One key/value field of the status row.
struct StatusField {
  std::u16string key;
  std::u16string value;
  bool visible = false;  // value non-empty after the last assignment
  // How many units at the end of `value` are a label that stays when the
  // row is too narrow: the part before it is then cut and ends in "...".
  size_t labelLength = 0;
  // A notice that stays on the row while nothing is selected (the other
  // fields describe the selection and go with it).
  bool shownWithoutSelection = false;
};

// --- the file ------------------------------------------------------------------
// The window title: this and the viewed file's name.
inline constexpr char16_t kTitlePrefix[] = u"KelmHex Viewer - ";
// Path of the viewed file as given or chosen (raw bytes: names need not be
// UTF-8).
extern std::string filePath;
// The open file; shared by the grid, copy, inspector and export. Only ever
// opened for reading.
extern kelm::port::ReadOnlyFile viewedFile;
// Size in bytes taken at the last load; 0 after a failed open.
extern uint64_t fileSize;
// Cleared at the start of a load, set when it has finished.
extern bool fileLoaded;

// --- the view and the selection --------------------------------------------------
extern int32_t bytesPerRow;  // 20 until the first layout
extern int64_t topRow;       // first visible row, never negative
extern MarkedRange selection;
extern bool selectionActive;
extern uint64_t selectionAnchor;
extern bool dragSelecting;

// --- marks -------------------------------------------------------------------------
extern std::vector<MarkedRange> markedRanges;
// Index into markedRanges of the mark added by the last seek ("SearchResult"),
// kept right when other marks are added or removed.
extern std::optional<size_t> seekMark;
extern std::u16string rangeName;
extern int32_t markForeground;
extern int32_t markBackground;
extern int32_t lastMarkForeground;
extern int32_t lastMarkBackground;

// --- screen objects (set by InitGrid) -------------------------------------------------
extern KelmCEngineV2::Object* offsetColumn;
extern KelmCEngineV2::Object* hexColumn;
extern KelmCEngineV2::Object* charColumn;
extern KelmCEngineV2::Object* leftSeparator;
extern KelmCEngineV2::Object* rightSeparator;
extern KelmCEngineV2::Object* topRule;
extern KelmCEngineV2::Object* bottomRule;
extern KelmCEngineV2::Object* statusOffset;
extern KelmCEngineV2::Object* statusLine;
extern KelmCEngineV2::Object* tipObject;
extern std::u16string tipText;
extern std::vector<StatusField> statusFields;

// --- status row ------------------------------------------------------------------------
void AddStatusField(const std::u16string& key, const std::u16string& value);
void SetStatusField(const std::u16string& key, const std::u16string& value, size_t labelLength = 0);
bool HasStatusField(const std::u16string& key);
// Shows `value` in the status row under `key` ("" for a message of its
// own) until it is set again; an empty value hides it. Unlike the
// selection's fields, a note stays when the selection ends.
void SetStatusNote(const std::u16string& key, const std::u16string& value);
void RenderStatusLine();

// --- file window -------------------------------------------------------------------------
void LoadFile(const std::string& path);
// The open dialog, started in the viewed file's folder; a chosen file is
// loaded and shown from its first row. Cancelling changes nothing. (Ctrl+N
// and File > Open.)
void OpenAnotherFile();
void ReportOpenFailure();
// Reads the bytes of `range` clipped to the file into `buffer`, which holds
// at least `capacity` bytes; yields the count read (0 when the range starts
// past the end). Never reads more than `capacity` bytes.
uint64_t ReadRange(uint8_t* buffer, uint64_t capacity, const MarkedRange& range);

// --- grid --------------------------------------------------------------------------------
// Lays the grid out for a screen size; below the smallest size it can be
// laid out in, only the "too small" line shows and the view is kept.
void LayoutGrid(KelmCEngineV2::Vector2 size);
// LayoutGrid for the current screen size (after a display option changed).
void RelayoutGrid();
void RefreshGrid();
void RecolourGrid();
// Whether the closed interval [start, start + length] of the range shares a
// point with the closed interval of the visible window (sums saturate instead
// of wrapping).
bool RangeIsVisible(const MarkedRange& range);
// Paints the part of `range` that lies in the visible rows into the colour
// strings of the hex and character columns. Only the visible part is walked,
// so a range of 2^64 bytes costs no more than a small one.
void PaintRange(const MarkedRange& range, std::string& hexBackground, std::string& hexForeground,
                std::string& charBackground, std::string& charForeground);
// 16 uppercase, zero-padded hexadecimal digits.
std::u16string HexOffsetText(uint64_t value);
// Forgets the cached bytes of the visible window, so that the next recolour
// reads the file again.
void ForgetGridWindow();

// --- scrolling -----------------------------------------------------------------------------
// The largest first row whose first offset (row x bytesPerRow) still fits in
// 64 bits.
int64_t MaxTopRow();
// `row` kept within 0..MaxTopRow().
int64_t ClampTopRow(int64_t row);
// Moves topRow by `rows` (saturating, kept within 0..MaxTopRow()) and rebuilds
// the grid.
void ScrollRows(int64_t rows);

// --- selection and keys ------------------------------------------------------------------------
struct ByteUnderMouseResult {
  bool over = false;
  uint64_t offset = 0;
};
ByteUnderMouseResult ByteUnderMouse();
void HandleGridMouse(KelmCEngineV2::Object* object);
void MoveSelectionBack(uint64_t step);
void MoveSelectionForward(uint64_t step);
void ShowSelectionOffset();
void HandleViewerKeys(KelmCEngineV2::Object* object);

// --- start-up ------------------------------------------------------------------------------------
// Builds the grid and status objects in the "Objects" layer and lays them out
// for the current screen size (grid_layout.cpp). Called once at start-up,
// after the menu bar, before the first file is loaded.
void InitGrid();

// Forgets the screen objects above (their layers own and delete them); for
// when the engine that holds them goes away.
void ForgetScreenObjects();

// Only for tests: every piece of viewer state back to its start value (the
// screen objects are forgotten, not deleted: their layer owns them).
void ResetViewerStateForTests();

}  // namespace kelm::viewer
