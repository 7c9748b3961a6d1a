#include "engine/port/terminal/codec/vt_output.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "engine/port/ansi_colours.h"
#include "engine/port/terminal/codec/vt_output_parts.h"
#include "engine/port/utf.h"

namespace kelm::port {

using namespace vt_encoding;

// --- Encoder ------------------------------------------------------------------------

void VtOutputEncoder::Invalidate() {
  valid_ = false;
  colours_ = kUnknown;
}

void VtOutputEncoder::Encode(const CHAR_INFO* cells, int width, int height, std::string& out, int shownWidth) {
  if (cells == nullptr || width <= 0 || height <= 0) {
    // Nothing to show; whatever comes next is drawn in full.
    valid_ = false;
    return;
  }
  const size_t start = out.size();
  if (options_.synchronizedOutput) out += kSyncBegin;
  const size_t bodyStart = out.size();

  const int columns = shownWidth > width ? shownWidth : width;
  const bool sizeChanged = columns != width_ || height != height_;
  width_ = columns;
  height_ = height;
  BuildKeys(cells, width);
  // Something else may have moved the cursor since the last frame (a title,
  // a query); positions are always sent afresh.
  cursorRow_ = kUnknown;
  cursorColumn_ = kUnknown;

  if (!valid_ || sizeChanged) {
    front_.assign(next_.size(), kUnknownCell);
    // Reset colours first: the clear fills with the current background on
    // many terminals, and the columns outside the frame must stay default.
    out += kResetColours;
    colours_ = kDefaultColours;
    out += kClearScreen;
    valid_ = true;
  } else if (options_.scrollDetection) {
    ScrollPlan plan;
    for (int i = 0; i < kMaxScrollsPerFrame && FindScroll(plan); ++i) ApplyScroll(plan, out);
  }

  DrawChangedCells(out);

  if (out.size() == bodyStart) {
    out.resize(start);  // nothing changed: not even the synchronized-output marks
    return;
  }
  MoveCursor(0, 0, out);
  if (options_.synchronizedOutput) out += kSyncEnd;
}

void VtOutputEncoder::BuildKeys(const CHAR_INFO* cells, int frameWidth) {
  const size_t count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  next_.resize(count);
  if (frameWidth == width_) {
    for (size_t i = 0; i < count; ++i) next_[i] = MakeKey(cells[i]);
    return;
  }
  const auto frame = static_cast<size_t>(frameWidth);
  const auto shown = static_cast<size_t>(width_);
  for (size_t r = 0; r < static_cast<size_t>(height_); ++r) {
    const CHAR_INFO* row = cells + r * frame;
    uint32_t* keys = &next_[r * shown];
    for (size_t c = 0; c < frame; ++c) keys[c] = MakeKey(row[c]);
    // The spare columns: blanks in the background of the row's last cell.
    CHAR_INFO blank;
    blank.UnicodeChar = u' ';
    blank.Attributes = static_cast<uint16_t>(row[frame - 1].Attributes & (kBackgroundBits | kDefaultColoursBit));
    const uint32_t key = MakeKey(blank);
    for (size_t c = frame; c < shown; ++c) keys[c] = key;
  }
}

bool VtOutputEncoder::RowUnchanged(int row) const {
  const size_t w = static_cast<size_t>(width_);
  return std::memcmp(&next_[row * w], &front_[row * w], w * sizeof(CellKey)) == 0;
}

void VtOutputEncoder::DrawChangedCells(std::string& out) {
  for (int r = 0; r < height_; ++r) {
    if (RowUnchanged(r)) continue;
    const size_t rowStart = static_cast<size_t>(r) * width_;
    for (int c = 0; c < width_; ++c) {
      const size_t i = rowStart + c;
      if (next_[i] == front_[i]) continue;
      MoveCursor(r, c, out);
      WriteCell(next_[i], out);
      front_[i] = next_[i];
    }
  }
}

// Moves the cursor by the cheapest of: CUP; along the row (CUF, CUB, CHA,
// CR, CR + CUF, or rewriting up to kMaxGapRewrite unchanged ASCII cells that
// already have the colours in force); or CUU, CUD or line feeds followed by
// a move along the row. A line feed scrolls only at the bottom margin; the
// scroll region is always the whole screen here and the target row lies on
// the frame, which is no taller than the screen, so a line feed always
// lands on a lower row.
void VtOutputEncoder::MoveCursor(int row, int column, std::string& out) {
  if (cursorRow_ == row && cursorColumn_ == column) return;

  enum class Along { None, Rewrite, Forward, Back, Return, ReturnForward, Column };
  const auto alongRow = [&](int from, bool mayRewrite, Along& how) {
    int cost = ColumnCost(column);
    how = Along::Column;
    const int viaReturn = column == 0 ? 1 : 1 + CountSequenceCost(column);
    if (viaReturn < cost) {
      cost = viaReturn;
      how = column == 0 ? Along::Return : Along::ReturnForward;
    }
    if (from == kUnknown) return cost;
    if (from == column) {
      how = Along::None;
      return 0;
    }
    if (column > from) {
      const int gap = column - from;
      if (CountSequenceCost(gap) < cost) {
        cost = CountSequenceCost(gap);
        how = Along::Forward;
      }
      if (mayRewrite && gap <= kMaxGapRewrite && gap <= cost) {
        const size_t rowStart = static_cast<size_t>(row) * width_;
        bool writable = true;
        for (int c = from; c < column && writable; ++c) {
          const uint32_t key = next_[rowStart + c];
          writable = key == front_[rowStart + c] && KeyChar(key) < 0x80 && ColoursFit(key);
        }
        if (writable) {
          cost = gap;
          how = Along::Rewrite;
        }
      }
    } else if (CountSequenceCost(from - column) < cost) {
      cost = CountSequenceCost(from - column);
      how = Along::Back;
    }
    return cost;
  };

  enum class Route { Position, SameRow, Vertical, LineFeeds };
  Route route = Route::Position;
  Along along = Along::None;
  int best = PositionCost(row, column);
  if (cursorRow_ == row) {
    Along how;
    const int cost = alongRow(cursorColumn_, true, how);
    if (cost < best) best = cost, route = Route::SameRow, along = how;
  } else if (cursorRow_ != kUnknown) {
    Along how;
    const int distance = row > cursorRow_ ? row - cursorRow_ : cursorRow_ - row;
    const int cost = CountSequenceCost(distance) + alongRow(cursorColumn_, false, how);
    if (cost < best) best = cost, route = Route::Vertical, along = how;
    if (row > cursorRow_) {
      // The column after line feeds is not relied on (a terminal translating
      // LF to CR LF would move it): only absolute moves along the row follow.
      const int feeds = distance + alongRow(kUnknown, false, how);
      if (feeds < best) best = feeds, route = Route::LineFeeds, along = how;
    }
  }

  if (route == Route::Position) {
    AppendPosition(out, row, column);
  } else {
    if (route == Route::Vertical) {
      if (row > cursorRow_) {
        AppendCountSequence(out, row - cursorRow_, kCursorDown);
      } else {
        AppendCountSequence(out, cursorRow_ - row, kCursorUp);
      }
    } else if (route == Route::LineFeeds) {
      out.append(static_cast<size_t>(row - cursorRow_), kLineFeed);
      cursorColumn_ = kUnknown;
    }
    switch (along) {
      case Along::None:
        break;
      case Along::Rewrite: {
        const size_t rowStart = static_cast<size_t>(row) * width_;
        for (int c = cursorColumn_; c < column; ++c) out += static_cast<char>(KeyChar(next_[rowStart + c]));
        break;
      }
      case Along::Forward:
        AppendCountSequence(out, column - cursorColumn_, kCursorForward);
        break;
      case Along::Back:
        AppendCountSequence(out, cursorColumn_ - column, kCursorBack);
        break;
      case Along::Return:
        out += kCarriageReturn;
        break;
      case Along::ReturnForward:
        out += kCarriageReturn;
        AppendCountSequence(out, column, kCursorForward);
        break;
      case Along::Column:
        AppendColumn(out, column);
        break;
    }
  }
  cursorRow_ = row;
  cursorColumn_ = column;
}

// Whether `key` can be written with the colours in force: exactly, or for a
// plain space (whose foreground does not show) with the same background.
bool VtOutputEncoder::ColoursFit(uint32_t key) const {
  const uint16_t attributes = KeyAttributes(key);
  if (colours_ == kDefaultColours) {
    // Just after SGR 0: the terminal's own colours are in force.
    return IsPlainSpace(KeyChar(key), attributes) ? UsesDefaultBackground(attributes) : IsResetState(attributes);
  }
  if (colours_ < 0) return false;
  if (IsPlainSpace(KeyChar(key), attributes)) {
    return (colours_ & (kBackgroundBits | kReverseVideo | kUnderscore)) == (attributes & kBackgroundBits) &&
           UsesDefaultBackground(static_cast<uint16_t>(colours_)) == UsesDefaultBackground(attributes);
  }
  return colours_ == attributes;
}

// Sends SGR for the colours of `key`: only the parts that change, or the
// whole set after a reset or when the state is unknown.
void VtOutputEncoder::SetColours(uint32_t key, std::string& out) {
  uint16_t target = KeyAttributes(key);
  if (IsPlainSpace(KeyChar(key), target)) {
    // Keep the foreground in force: the next cell probably needs it.
    target |= colours_ >= 0 ? (colours_ & kForegroundBits) : kLightGrey;
  }
  if (IsResetState(target)) {
    // SGR 0 is the shortest way to the terminal's own colours (3 bytes
    // against at least 5): a frame in the terminal's colours goes back to
    // them after every grey stand-in or mark.
    out += kResetColours;
    colours_ = kDefaultColours;
    return;
  }
  bool first = true;
  const auto parameter = [&](int p) {
    if (!first) out += ';';
    AppendNumber(out, p);
    first = false;
  };
  const int fg = UsesDefaultForeground(target) ? kSgrDefaultForeground : AnsiForeground(target & kForegroundBits);
  const int bg =
      UsesDefaultBackground(target) ? kSgrDefaultBackground : AnsiBackground((target & kBackgroundBits) >> 4);
  out += kCsi;
  if (colours_ == kUnknown) {
    parameter(kSgrReset);
    parameter(fg);
    parameter(bg);
    if (target & kUnderscore) parameter(kSgrUnderline);
    if (target & kReverseVideo) parameter(kSgrReverse);
  } else {
    // After SGR 0 the state is known too: the terminal's own colours.
    const auto current = colours_ == kDefaultColours ? static_cast<uint16_t>(kDefaultColoursBit | kLightGrey)
                                                     : static_cast<uint16_t>(colours_);
    if ((current & kForegroundBits) != (target & kForegroundBits) ||
        UsesDefaultForeground(current) != UsesDefaultForeground(target)) {
      parameter(fg);
    }
    if ((current & kBackgroundBits) != (target & kBackgroundBits) ||
        UsesDefaultBackground(current) != UsesDefaultBackground(target)) {
      parameter(bg);
    }
    if ((current ^ target) & kUnderscore)
      parameter((target & kUnderscore) ? kSgrUnderline : kSgrNoUnderline);
    if ((current ^ target) & kReverseVideo)
      parameter((target & kReverseVideo) ? kSgrReverse : kSgrNoReverse);
  }
  out += kSelectGraphics;
  colours_ = target;
}

void VtOutputEncoder::WriteCell(uint32_t key, std::string& out) {
  if (!ColoursFit(key)) SetColours(key, out);
  const char16_t ch = KeyChar(key);
  AppendUtf8(out, ch);
  if (ch < 0x80 && cursorColumn_ != kUnknown && cursorColumn_ + 1 < width_) {
    ++cursorColumn_;
  } else {
    // Past the frame's last column, or after a glyph whose width the
    // terminal may see differently: send the position again next time.
    cursorColumn_ = kUnknown;
  }
}

}  // namespace kelm::port
