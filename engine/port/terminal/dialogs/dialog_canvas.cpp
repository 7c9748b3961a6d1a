#include "engine/port/terminal/dialogs/dialog_canvas.h"

#include <algorithm>

#include "engine/port/terminal/dialogs/dialog_palette.h"

namespace kelm::port {

DialogCanvas::DialogCanvas(int columns, int rows, uint16_t attributes)
    : columns_(std::max(0, columns)), rows_(std::max(0, rows)),
      cells_(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), CHAR_INFO{u' ', attributes}) {}

DialogCanvas::DialogCanvas(std::vector<CHAR_INFO> cells, int columns, int rows)
    : columns_(std::max(0, columns)), rows_(std::max(0, rows)), cells_(std::move(cells)) {
  cells_.resize(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), CHAR_INFO{});
}

CHAR_INFO DialogCanvas::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= columns_ || y >= rows_) return CHAR_INFO{};
  return cells_[static_cast<size_t>(y) * static_cast<size_t>(columns_) + static_cast<size_t>(x)];
}

void DialogCanvas::Put(int x, int y, char16_t ch, uint16_t attributes) {
  if (x < 0 || y < 0 || x >= columns_ || y >= rows_) return;
  cells_[static_cast<size_t>(y) * static_cast<size_t>(columns_) + static_cast<size_t>(x)] =
      CHAR_INFO{ch, attributes};
}

void DialogCanvas::Text(int x, int y, std::u16string_view text, uint16_t attributes, int maxWidth) {
  int limit = columns_ - x;
  if (maxWidth >= 0) limit = std::min(limit, maxWidth);
  for (int i = 0; i < limit && static_cast<size_t>(i) < text.size(); ++i) {
    Put(x + i, y, text[static_cast<size_t>(i)], attributes);
  }
}

void DialogCanvas::Fill(int x, int y, int width, int height, uint16_t attributes) {
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) Put(column, row, u' ', attributes);
  }
}

void DialogCanvas::Frame(int x, int y, int width, int height, uint16_t attributes,
                         std::u16string_view caption) {
  if (width < 2 || height < 2) return;
  const int right = x + width - 1;
  const int bottom = y + height - 1;
  for (int column = x + 1; column < right; ++column) {
    Put(column, y, u'\u2500', attributes);
    Put(column, bottom, u'\u2500', attributes);
  }
  for (int row = y + 1; row < bottom; ++row) {
    Put(x, row, u'\u2502', attributes);
    Put(right, row, u'\u2502', attributes);
  }
  Put(x, y, u'\u250C', attributes);
  Put(right, y, u'\u2510', attributes);
  Put(x, bottom, u'\u2514', attributes);
  Put(right, bottom, u'\u2518', attributes);
  if (!caption.empty() && width > 4) {
    std::u16string title = u" " + std::u16string(caption) + u" ";
    Text(x + 2, y, title, attributes, width - 4);
  }
}

std::u16string DialogCanvas::Row(int y) const {
  std::u16string row;
  for (int x = 0; x < columns_; ++x) row += At(x, y).UnicodeChar;
  return row;
}

void DrawTitleBar(DialogCanvas& canvas, std::u16string_view title) {
  canvas.Fill(0, 0, canvas.Columns(), 1, dialog_colours::kTitleBar);
  canvas.Text(1, 0, title, dialog_colours::kTitleBar);
}

void DrawEditField(DialogCanvas& canvas, int x, int y, int width, std::u16string shown) {
  if (width <= 1) return;
  canvas.Fill(x, y, width, 1, dialog_colours::kEditLine);
  const size_t room = static_cast<size_t>(width - 1);  // one cell for the caret
  if (shown.size() > room) shown = u"<" + shown.substr(shown.size() - room + 1);
  canvas.Text(x, y, shown, dialog_colours::kEditLine);
  canvas.Put(x + static_cast<int>(shown.size()), y, u' ', dialog_colours::kCaret);
}

}  // namespace kelm::port
