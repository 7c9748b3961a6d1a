// The terminal output encoder: previous frame + new frame in, bytes out. Pure
// (no tty), so output volume is tested and measured directly.
//
// Writes only the cells that changed, with cheap cursor moves and colour
// changes only where the colour changes; nothing at all when nothing changed.
// The first frame, a size change or Invalidate() draws the whole screen.
// Console colour indexes (1 blue, 4 red) are mapped to the terminal's ANSI
// colours (1 red, 4 blue). Characters that would act as controls (C0, C1,
// DEL, lone surrogates, bidi and other format controls) and characters that
// are not one cell wide are replaced, so a file's bytes can never reach the
// terminal as a sequence and never shift a row (vt_text_safety.h). The
// encoder is in vt_output.cpp, its scroll planner in vt_scroll_plan.cpp.
//
// What the encoder assumes about the terminal:
// - Auto-wrap is off (DECAWM reset) and the frame sits at the top-left of a
//   screen at least as large. The encoder never relies on where the cursor
//   lands after the frame's last column or after a non-ASCII glyph: it sends
//   the position again before the next cell.
// - Line feeds move the cursor down: the frame is no taller than the screen
//   and the scroll region is reset after every scroll, so a line feed never
//   scrolls. The column after one is not relied on (a tty that turns LF
//   into CR LF on output would move it).
// - Nothing but this encoder writes cells or changes colours between frames;
//   after anything else did (a child program, a suspend), call Invalidate().
// - The terminal columns right of the frame and the rows below it are never
//   written and stay blank in the default colours (they are cleared with the
//   colours reset on every full redraw). Scrolling a band of rows uses a
//   scroll region, which always spans the full terminal width, so it moves
//   those blank columns too; that is harmless only because they are blank.
//   The engine's frame is one column narrower than the terminal, so the
//   terminal's last column is never written.
// - Rows a scroll brings in are treated as unknown and drawn in full, so it
//   does not matter whether the terminal fills them with the current
//   background colour (xterm's "bce") or with the default one; the colours are
//   reset before a scroll so the columns outside the frame stay default.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/vt_text_safety.h"

namespace kelm::port {

struct VtOutputOptions {
  // Wrap each non-empty frame in synchronized-output marks (DEC private mode
  // 2026), so terminals that know the mode show the frame at once instead of
  // tearing; terminals that do not know it ignore the marks.
  bool synchronizedOutput = true;
  // Look for bands of rows that moved up or down by whole rows and move them
  // with a scroll region instead of drawing them again.
  bool scrollDetection = true;
  // Scroll with index / reverse index (ESC D, ESC M) at the region's edge
  // instead of SU / SD (CSI n S, CSI n T). Costs a few bytes more; for
  // terminals without SU / SD (the Linux virtual console).
  bool scrollWithIndex = false;
};

class VtOutputEncoder {
 public:
  VtOutputEncoder() = default;
  explicit VtOutputEncoder(const VtOutputOptions& options) : options_(options) {}

  // Appends to `out` the bytes that turn what the terminal shows into `cells`
  // (width x height, row by row, at the top-left of the screen), ending with
  // the cursor at the top-left cell. Appends nothing when the terminal already
  // shows `cells`.
  //
  // With `shownWidth` wider than `width` (the terminal's width, when the
  // frame leaves its last column to spare), the columns right of the frame
  // are painted too: blanks in the background of the row's last cell, so
  // no stripe of the terminal's own background shows there. They are
  // written with auto-wrap off, so the cursor never wraps or scrolls.
  void Encode(const CHAR_INFO* cells, int width, int height, std::string& out, int shownWidth = 0);
  // The next Encode redraws everything (after a resize, a resume, a child
  // program that used the terminal).
  void Invalidate();

  const VtOutputOptions& options() const { return options_; }

 private:
  // A cell as the terminal shows it: the character (already sanitised) in
  // the high 16 bits, the attribute in the low 16 bits, the foreground
  // dropped for a plain space (it does not show). kUnknownCell never equals a
  // real cell.
  using CellKey = uint32_t;

  struct ScrollPlan {
    int top = 0;     // first row of the region
    int bottom = 0;  // last row of the region
    int shift = 0;   // > 0: content moves up by shift rows; < 0: down
    long gain = 0;   // estimated bytes saved
  };

  void BuildKeys(const CHAR_INFO* cells, int frameWidth);
  bool RowUnchanged(int row) const;  // the frame's row equals what is shown
  bool FindScroll(ScrollPlan& plan);
  void ApplyScroll(const ScrollPlan& plan, std::string& out);
  void DrawChangedCells(std::string& out);
  void MoveCursor(int row, int column, std::string& out);
  void SetColours(CellKey key, std::string& out);
  void WriteCell(CellKey key, std::string& out);
  bool ColoursFit(CellKey key) const;

  VtOutputOptions options_;
  std::vector<CellKey> front_;  // what the terminal shows now
  std::vector<CellKey> next_;   // the frame being encoded
  std::vector<uint64_t> frontRowHash_;
  std::vector<uint64_t> nextRowHash_;
  std::vector<int> rowCost_;      // per row: estimated bytes to update in place
  std::vector<int> shiftedCost_;  // per row: the same after a shift
  int width_ = 0;
  int height_ = 0;
  bool valid_ = false;
  // Terminal state as far as it is known; -1 = unknown.
  int cursorRow_ = -1;
  int cursorColumn_ = -1;
  int colours_ = -1;  // the attribute in force, kDefaultColours, or -1
};

}  // namespace kelm::port
