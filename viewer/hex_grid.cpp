// The grid's texts and colours: offsets, hex pairs and characters of the
// visible window, painted with the marks and the selection.
//
// The window is read with one read per rebuild and its bytes are kept, so a
// recolour (selection or marks changed) needs no read at all. The cost of
// both steps grows with the screen size, never with the file size or the
// length of a range.
#include <algorithm>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/port/hex_digits.h"
#include "viewer/char_cells.h"
#include "viewer/display_options.h"
#include "viewer/offset_math.h"
#include "viewer/scroll_bar.h"
#include "viewer/search_highlight.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

constexpr char kDefaultForeground = '7';
constexpr char kDefaultBackground = '0';
constexpr char kNonPrintableForeground = '8';

// The bytes of the visible window as last read, with what they were read for.
struct WindowBytes {
  bool valid = false;
  uint64_t first = 0;
  int32_t bytesPerRow = 0;
  int32_t rows = 0;
  std::vector<uint8_t> bytes;
  uint64_t count = 0;  // bytes actually read; the rest lie past the end
  bool utf8 = false;   // what `cells` were made for
  CharContext context;  // in UTF-8 mode: the bytes around the window
  std::vector<CharCell> cells;  // the character column's cell of each byte read
};

WindowBytes window;

uint64_t FirstVisibleOffset() {
  return static_cast<uint64_t>(ClampTopRow(topRow)) * static_cast<uint64_t>(bytesPerRow);
}

// The bytes of `rows` rows from the first visible one. Read again when asked
// (a rebuild shows the file as it is now) or when the view moved, the layout
// changed or a file was loaded since the last read.
const WindowBytes& VisibleBytes(int32_t rows, bool readAgain) {
  const uint64_t first = FirstVisibleOffset();
  if (!readAgain && window.valid && window.first == first && window.bytesPerRow == bytesPerRow &&
      window.rows == rows && window.utf8 == displayOptions.utf8) {
    return window;
  }
  window.valid = true;
  window.first = first;
  window.bytesPerRow = bytesPerRow;
  window.rows = rows;
  const uint64_t size = rows > 0 && bytesPerRow > 0
                            ? static_cast<uint64_t>(rows) * static_cast<uint64_t>(bytesPerRow)
                            : 0;
  window.bytes.resize(size);
  MarkedRange range;
  range.start = first;
  range.length = size;
  window.count = size == 0 ? 0 : ReadRange(window.bytes.data(), size, range);
  window.utf8 = displayOptions.utf8;
  window.context = CharContext{};
  if (window.utf8 && window.count > 0) {
    // A character may start up to three bytes before the window and end up
    // to three after it.
    uint8_t before[3] = {};
    MarkedRange earlier;
    earlier.start = first >= 3 ? first - 3 : 0;
    earlier.length = first - earlier.start;
    const uint64_t got = earlier.length == 0 ? 0 : ReadRange(before, earlier.length, earlier);
    for (uint64_t i = 0; i < got; ++i) window.context.before[i] = before[got - 1 - i];
    window.context.beforeCount = static_cast<size_t>(got);
    if (window.count == size && first + size >= first) {
      MarkedRange later;
      later.start = first + size;
      later.length = 3;
      window.context.afterCount = static_cast<size_t>(ReadRange(window.context.after, 3, later));
    }
  }
  BuildCharCells(window.bytes.data(), static_cast<size_t>(window.count), window.context, window.utf8,
                 window.cells);
  return window;
}

void SetColumnText(KelmCEngineV2::Object* column, std::u16string text, bool opaque) {
  column->SetText(std::move(text));
  if (opaque) {
    column->FillOpaqueMask();
  } else {
    column->SetOpaqueMask(std::string());
  }
}

void ClearColumns() {
  SetColumnText(offsetColumn, std::u16string(), false);
  SetColumnText(hexColumn, std::u16string(), true);
  SetColumnText(charColumn, std::u16string(), true);
}

}  // namespace

void ForgetGridWindow() {
  window.valid = false;
  window.bytes.clear();
  window.bytes.shrink_to_fit();
  window.count = 0;
  window.cells.clear();
  window.cells.shrink_to_fit();
}

std::u16string HexOffsetText(uint64_t value) {
  std::u16string text(16, u'0');
  for (int i = 15; i >= 0; --i) {
    text[static_cast<size_t>(i)] = static_cast<char16_t>(kelm::port::HexDigit(static_cast<unsigned>(value & 0xF)));
    value >>= 4;
  }
  return text;
}

void RefreshGrid() {
  if (offsetColumn == nullptr || hexColumn == nullptr || charColumn == nullptr) return;
  topRow = ClampTopRow(topRow);
  const int32_t rows = KelmCEngineV2::mainEngine != nullptr ? KelmCEngineV2::mainEngine->GetScreenHeight() - 4 : 0;
  if (fileSize == 0 || rows < 1 || bytesPerRow < 1) {
    ClearColumns();
    RecolourGrid();
    PaintScrollBar();
    return;
  }

  const auto perRow = static_cast<size_t>(bytesPerRow);
  const auto rowCount = static_cast<size_t>(rows);
  const uint64_t first = FirstVisibleOffset();

  std::u16string offsets;
  offsets.reserve(rowCount * 17);
  for (size_t r = 0; r < rowCount; ++r) {
    const uint64_t rowStep = static_cast<uint64_t>(r) * perRow;
    // A row whose offset would not fit in 64 bits shows no offset.
    offsets += rowStep > kMaxOffset - first ? std::u16string(16, u' ') : HexOffsetText(first + rowStep);
    offsets += u'\n';
  }
  offsets.pop_back();

  const WindowBytes& bytes = VisibleBytes(rows, /*readAgain=*/true);
  const bool spaced = CharCellWidth() == 2;
  std::u16string hex;
  std::u16string chars;
  hex.reserve(rowCount * perRow * 3);
  chars.reserve(rowCount * (perRow * static_cast<size_t>(CharCellWidth()) + (spaced ? 0 : 1)));
  size_t index = 0;
  for (size_t r = 0; r < rowCount; ++r) {
    for (size_t k = 0; k < perRow; ++k, ++index) {
      if (index < bytes.count) {
        const uint8_t byte = bytes.bytes[index];
        hex += static_cast<char16_t>(kelm::port::HexDigit(byte >> 4));
        hex += static_cast<char16_t>(kelm::port::HexDigit(byte));
        hex += u' ';
        chars += bytes.cells[index].ch;
        if (spaced) chars += u' ';
      } else {
        // At or past the end of the file (or of what could still be read).
        hex.append(3, u' ');
        chars.append(spaced ? 2 : 1, u' ');
      }
    }
    hex.back() = u'\n';
    // Spaced, the row's last blank becomes its line break; compact rows
    // have no blank to give.
    if (spaced) {
      chars.back() = u'\n';
    } else {
      chars += u'\n';
    }
  }
  hex.pop_back();
  chars.pop_back();

  SetColumnText(offsetColumn, std::move(offsets), false);
  SetColumnText(hexColumn, std::move(hex), true);
  SetColumnText(charColumn, std::move(chars), true);
  RecolourGrid();
  PaintScrollBar();
}

bool RangeIsVisible(const MarkedRange& range) {
  const uint64_t first = FirstVisibleOffset();
  const uint64_t rows = hexColumn != nullptr && hexColumn->GetHeight() > 0
                            ? static_cast<uint64_t>(hexColumn->GetHeight())
                            : 0;
  const uint64_t windowEnd = SaturatingAdd(first, static_cast<uint64_t>(bytesPerRow) * rows);
  const uint64_t rangeEnd = SaturatingAdd(range.start, range.length);
  return range.start <= windowEnd && first <= rangeEnd;
}

void PaintRange(const MarkedRange& range, std::string& hexBackground, std::string& hexForeground,
                std::string& charBackground, std::string& charForeground) {
  if (range.length == 0 || hexColumn == nullptr || charColumn == nullptr || bytesPerRow < 1) return;
  const auto perRow = static_cast<uint64_t>(bytesPerRow);
  const uint64_t rows = hexColumn->GetHeight() > 0 ? static_cast<uint64_t>(hexColumn->GetHeight()) : 0;
  if (rows == 0) return;

  // Clip the range to the window first: only visible bytes are walked.
  const uint64_t windowFirst = FirstVisibleOffset();
  const uint64_t windowLast = SaturatingAdd(windowFirst, rows * perRow - 1);
  const uint64_t rangeLast = LastByteOf(range.start, range.length);
  const uint64_t low = range.start > windowFirst ? range.start : windowFirst;
  const uint64_t high = rangeLast < windowLast ? rangeLast : windowLast;
  if (low > high) return;

  const size_t hexStride = static_cast<size_t>(hexColumn->GetWidth()) + 1;
  const size_t charStride = static_cast<size_t>(charColumn->GetWidth()) + 1;
  const auto cellWidth = static_cast<size_t>(CharCellWidth());
  // Cells [from, to] of a colour-string pair, cut to the strings.
  const auto fillOne = [](std::string& colours, char digit, size_t from, size_t to) {
    if (from >= colours.size()) return;
    const size_t end = to < colours.size() ? to + 1 : colours.size();
    std::fill(colours.begin() + static_cast<std::ptrdiff_t>(from), colours.begin() + static_cast<std::ptrdiff_t>(end),
              digit);
  };
  const auto fill = [&range, &fillOne](std::string& background, std::string& foreground, size_t from, size_t to) {
    fillOne(background, range.background, from, to);
    fillOne(foreground, range.foreground, from, to);
  };

  // Row by row: the painted bytes of a row are one run of cells, the pairs
  // (or characters) with the spaces between them, and the space after the
  // run's last byte unless that byte ends the range.
  const uint64_t firstIndex = low - windowFirst;
  const uint64_t lastIndex = high - windowFirst;
  for (uint64_t row = firstIndex / perRow; row <= lastIndex / perRow; ++row) {
    const uint64_t rowFirst = row * perRow;
    const uint64_t from = firstIndex > rowFirst ? firstIndex - rowFirst : 0;
    const uint64_t to = lastIndex < rowFirst + perRow - 1 ? lastIndex - rowFirst : perRow - 1;
    const bool endsRange = windowFirst + rowFirst + to == rangeLast;
    const size_t hexRow = static_cast<size_t>(row) * hexStride;
    const size_t charRow = static_cast<size_t>(row) * charStride;
    fill(hexBackground, hexForeground, hexRow + 3 * static_cast<size_t>(from),
         hexRow + 3 * static_cast<size_t>(to) + (endsRange ? 1 : 2));
    fill(charBackground, charForeground, charRow + cellWidth * static_cast<size_t>(from),
         charRow + cellWidth * static_cast<size_t>(to) + (endsRange ? 0 : cellWidth - 1));
  }
}

void RecolourGrid() {
  if (hexColumn == nullptr || charColumn == nullptr) return;
  std::string hexForeground(hexColumn->text.size(), kDefaultForeground);
  std::string hexBackground(hexColumn->text.size(), kDefaultBackground);
  std::string charForeground(charColumn->text.size(), kDefaultForeground);
  std::string charBackground(charColumn->text.size(), kDefaultBackground);
  const bool haveBytes = !charColumn->text.empty() && bytesPerRow > 0;
  const WindowBytes* bytes = haveBytes ? &VisibleBytes(hexColumn->GetHeight(), /*readAgain=*/false) : nullptr;
  const auto perRow = static_cast<size_t>(bytesPerRow > 0 ? bytesPerRow : 1);
  const size_t hexStride = static_cast<size_t>(hexColumn->GetWidth()) + 1;
  const size_t charStride = static_cast<size_t>(charColumn->GetWidth()) + 1;
  const auto cellWidth = static_cast<size_t>(CharCellWidth());
  const auto charCell = [&](size_t index) { return (index / perRow) * charStride + cellWidth * (index % perRow); };

  // Byte classes first, so that marks and the selection lie over them.
  if (bytes != nullptr && displayOptions.byteClassColours) {
    for (size_t index = 0; index < bytes->count; ++index) {
      const char colour = ByteClassColour(bytes->bytes[index]);
      const size_t hexCell = (index / perRow) * hexStride + 3 * (index % perRow);
      if (hexCell + 1 < hexForeground.size()) hexForeground[hexCell] = hexForeground[hexCell + 1] = colour;
      if (charCell(index) < charForeground.size()) charForeground[charCell(index)] = colour;
    }
  }

  // Later marks paint over earlier ones; the selection over every mark.
  for (const MarkedRange& mark : markedRanges) {
    if (RangeIsVisible(mark)) PaintRange(mark, hexBackground, hexForeground, charBackground, charForeground);
  }
  // The search pattern's matches in view, over the marks.
  if (hexColumn->GetHeight() > 0 && bytesPerRow > 0) {
    const WindowBytes& shown = VisibleBytes(hexColumn->GetHeight(), /*readAgain=*/false);
    PaintSearchMatches(shown.bytes.data(), shown.count, hexBackground, hexForeground, charBackground, charForeground);
  }
  if (selectionActive) {
    if (RangeIsVisible(selection)) {
      PaintRange(selection, hexBackground, hexForeground, charBackground, charForeground);
    }
    const std::string decimal = std::to_string(selection.length);
    SetStatusField(u"len", HexOffsetText(selection.length) + u" " + std::u16string(decimal.begin(), decimal.end()));
  } else {
    for (StatusField& field : statusFields) field.visible = field.shownWithoutSelection && !field.value.empty();
    RenderStatusLine();
  }

  // Stand-ins for bytes without a character of their own are grey whatever
  // range covers them (with byte-class colours on, their class says it).
  if (bytes != nullptr && !displayOptions.byteClassColours) {
    for (size_t index = 0; index < bytes->count && index < bytes->cells.size(); ++index) {
      if (!bytes->cells[index].faint) continue;
      if (charCell(index) < charForeground.size()) charForeground[charCell(index)] = kNonPrintableForeground;
    }
  }

  hexColumn->SetForeground(std::move(hexForeground));
  hexColumn->SetBackground(std::move(hexBackground));
  charColumn->SetForeground(std::move(charForeground));
  charColumn->SetBackground(std::move(charBackground));
}

}  // namespace kelm::viewer
