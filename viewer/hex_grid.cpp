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
#include "viewer/offset_math.h"
#include "viewer/scroll_bar.h"
#include "viewer/search_highlight.h"
#include "viewer/viewer_state.h"

namespace {

constexpr char kDefaultForeground = '7';
constexpr char kDefaultBackground = '0';
constexpr char kNonPrintableForeground = '8';

bool IsPrintable(uint8_t byte) { return byte >= 0x20 && byte <= 0x7E; }

// The bytes of the visible window as last read, with what they were read for.
struct WindowBytes {
  bool valid = false;
  uint64_t first = 0;
  int32_t bytesPerRow = 0;
  int32_t rows = 0;
  std::vector<uint8_t> bytes;
  uint64_t count = 0;  // bytes actually read; the rest lie past the end
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
      window.rows == rows) {
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
  std::u16string hex;
  std::u16string chars;
  hex.reserve(rowCount * perRow * 3);
  chars.reserve(rowCount * perRow * 2);
  size_t index = 0;
  for (size_t r = 0; r < rowCount; ++r) {
    for (size_t k = 0; k < perRow; ++k, ++index) {
      if (index < bytes.count) {
        const uint8_t byte = bytes.bytes[index];
        hex += static_cast<char16_t>(kelm::port::HexDigit(byte >> 4));
        hex += static_cast<char16_t>(kelm::port::HexDigit(byte));
        hex += u' ';
        chars += IsPrintable(byte) ? static_cast<char16_t>(byte) : u'.';
        chars += u' ';
      } else {
        // At or past the end of the file (or of what could still be read).
        hex.append(3, u' ');
        chars.append(2, u' ');
      }
    }
    hex.back() = u'\n';
    chars.back() = u'\n';
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
    fill(charBackground, charForeground, charRow + 2 * static_cast<size_t>(from),
         charRow + 2 * static_cast<size_t>(to) + (endsRange ? 0 : 1));
  }
}

void RecolourGrid() {
  if (hexColumn == nullptr || charColumn == nullptr) return;
  std::string hexForeground(hexColumn->text.size(), kDefaultForeground);
  std::string hexBackground(hexColumn->text.size(), kDefaultBackground);
  std::string charForeground(charColumn->text.size(), kDefaultForeground);
  std::string charBackground(charColumn->text.size(), kDefaultBackground);

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

  // Non-printable characters are grey whatever range covers them.
  if (!charColumn->text.empty() && bytesPerRow > 0) {
    const WindowBytes& bytes = VisibleBytes(hexColumn->GetHeight(), /*readAgain=*/false);
    const auto perRow = static_cast<size_t>(bytesPerRow);
    const size_t charStride = static_cast<size_t>(charColumn->GetWidth()) + 1;
    for (size_t index = 0; index < bytes.count; ++index) {
      if (IsPrintable(bytes.bytes[index])) continue;
      const size_t cell = (index / perRow) * charStride + 2 * (index % perRow);
      if (cell < charForeground.size()) charForeground[cell] = kNonPrintableForeground;
    }
  }

  hexColumn->SetForeground(std::move(hexForeground));
  hexColumn->SetBackground(std::move(hexBackground));
  charColumn->SetForeground(std::move(charForeground));
  charColumn->SetBackground(std::move(charBackground));
}
