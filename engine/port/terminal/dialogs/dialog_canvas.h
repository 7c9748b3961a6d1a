// A grid of cells a terminal dialog draws on, and the pieces every dialog
// draws the same way (the title bar, an edit field).
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "engine/port/console_types.h"

namespace kelm::port {

class DialogCanvas {
 public:
  DialogCanvas(int columns, int rows, uint16_t attributes = 0x07);
  DialogCanvas(std::vector<CHAR_INFO> cells, int columns, int rows);
  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  const std::vector<CHAR_INFO>& Cells() const { return cells_; }
  CHAR_INFO At(int x, int y) const;
  void Put(int x, int y, char16_t ch, uint16_t attributes);
  // Writes text from (x, y), cut at `maxWidth` cells (or the screen edge).
  void Text(int x, int y, std::u16string_view text, uint16_t attributes, int maxWidth = -1);
  void Fill(int x, int y, int width, int height, uint16_t attributes);
  // A single-line frame with `caption` in its top edge.
  void Frame(int x, int y, int width, int height, uint16_t attributes, std::u16string_view caption = {});
  // Row `y` as text (tests and diagnostics).
  std::u16string Row(int y) const;

 private:
  int columns_;
  int rows_;
  std::vector<CHAR_INFO> cells_;
};

// The top row in the title colours with `title` from the second column.
void DrawTitleBar(DialogCanvas& canvas, std::u16string_view title);
// An edit field of `width` cells at (x, y) showing `shown` with the caret
// after it; its end is kept, behind a '<', when it is wider than the field.
// Nothing is drawn in a field of one cell or less.
void DrawEditField(DialogCanvas& canvas, int x, int y, int width, std::u16string shown);

}  // namespace kelm::port
