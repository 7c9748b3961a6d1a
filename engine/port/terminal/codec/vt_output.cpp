#include "engine/port/terminal/codec/vt_output.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <string_view>

#include "engine/port/terminal/codec/cell_character_table.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

// --- Sequences ---------------------------------------------------------------
constexpr std::string_view kCsi = "\x1b[";
constexpr std::string_view kSyncBegin = "\x1b[?2026h";  // DECSET 2026: hold the frame
constexpr std::string_view kSyncEnd = "\x1b[?2026l";    // DECRST 2026: show it
constexpr std::string_view kResetColours = "\x1b[m";    // SGR 0
constexpr std::string_view kClearScreen = "\x1b[2J";    // ED 2
constexpr std::string_view kResetScrollRegion = "\x1b[r";  // DECSTBM, whole screen
constexpr std::string_view kIndex = "\x1b" "D";             // IND
constexpr std::string_view kReverseIndex = "\x1b" "M";      // RI
constexpr std::string_view kTitleStart = "\x1b]2;";         // OSC 2 ;
constexpr std::string_view kStringTerminator = "\x1b\\";    // ST

constexpr char kCarriageReturn = '\r';
constexpr char kLineFeed = '\n';       // down one row, same column
constexpr char kCursorPosition = 'H';   // CUP row ; column
constexpr char kCursorColumn = 'G';     // CHA column
constexpr char kCursorForward = 'C';    // CUF n
constexpr char kCursorBack = 'D';       // CUB n
constexpr char kCursorUp = 'A';         // CUU n
constexpr char kCursorDown = 'B';       // CUD n
constexpr char kSelectGraphics = 'm';   // SGR
constexpr char kSetScrollRegion = 'r';  // DECSTBM top ; bottom
constexpr char kScrollUp = 'S';         // SU n
constexpr char kScrollDown = 'T';       // SD n

// --- SGR parameters ------------------------------------------------------------
constexpr int kSgrReset = 0;
constexpr int kSgrUnderline = 4;
constexpr int kSgrReverse = 7;
constexpr int kSgrNoUnderline = 24;
constexpr int kSgrNoReverse = 27;
constexpr int kSgrForeground = 30;        // + ANSI colour 0-7
constexpr int kSgrBrightForeground = 90;  // + ANSI colour 0-7
constexpr int kSgrBackgroundOffset = 10;  // background = foreground + 10

// --- Console attribute bits ----------------------------------------------------
constexpr uint16_t kForegroundBits = 0x000F;
constexpr uint16_t kBackgroundBits = 0x00F0;
constexpr uint16_t kIntensityBit = 0x0008;
constexpr uint16_t kReverseVideo = 0x4000;  // COMMON_LVB_REVERSE_VIDEO
constexpr uint16_t kUnderscore = 0x8000;    // COMMON_LVB_UNDERSCORE
constexpr uint16_t kShownAttributeBits =
    kForegroundBits | kBackgroundBits | kReverseVideo | kUnderscore;
constexpr uint16_t kLightGrey = 0x0007;

// --- Encoder state markers -------------------------------------------------------
// A cell whose content the terminal shows is not known (before a full redraw,
// rows a scroll brought in). 0xFFFF is never a safe character, so no real
// cell has this key.
constexpr uint32_t kUnknownCell = 0xFFFFFFFFu;
constexpr int kUnknown = -1;          // cursor row/column or colours not known
constexpr int kDefaultColours = -2;   // colours_ after SGR 0

// --- Tuning ----------------------------------------------------------------------
// Unchanged cells rewritten instead of skipped: CUF costs 3-5 bytes, so
// rewriting pays up to about this many ASCII cells.
constexpr int kMaxGapRewrite = 4;
// A cursor position and the first cell, as estimated for a changed row.
constexpr int kRowStartCost = 6;
// Estimated bytes of a scroll (reset colours, region, scroll, reset region,
// colours again); a scroll must save more than this.
constexpr long kScrollOverhead = 24;
constexpr int kScrollCandidates = 3;
constexpr int kMaxScrollsPerFrame = 4;

constexpr size_t kTitleMaxBytes = 200;

// --- Cell keys -------------------------------------------------------------------
char16_t KeyChar(uint32_t key) { return static_cast<char16_t>(key >> 16); }
uint16_t KeyAttributes(uint32_t key) { return static_cast<uint16_t>(key & 0xFFFF); }

bool IsPlainSpace(char16_t ch, uint16_t attributes) {
  return ch == u' ' && (attributes & (kReverseVideo | kUnderscore)) == 0;
}

uint32_t MakeKey(const CHAR_INFO& cell) {
  const char16_t ch = IsSafeCellCharacter(cell.UnicodeChar) ? cell.UnicodeChar : kReplacementCell;
  uint16_t attributes = cell.Attributes & kShownAttributeBits;
  if (IsPlainSpace(ch, attributes)) attributes &= ~kForegroundBits;
  return (static_cast<uint32_t>(ch) << 16) | attributes;
}

uint64_t HashRow(const uint32_t* keys, int width) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (int i = 0; i < width; ++i) hash = (hash ^ keys[i]) * 1099511628211ull;
  return hash;
}

// Rough cost in bytes of turning row `shown` into row `wanted`: the changed
// cells, the unchanged cells between them up to what a cursor move costs,
// and one cursor position per row.
int RowCost(const uint32_t* wanted, const uint32_t* shown, int width) {
  int cost = 0;
  int gap = -1;  // unchanged cells since the last changed one; -1: none changed yet
  for (int i = 0; i < width; ++i) {
    if (wanted[i] == shown[i]) {
      if (gap >= 0) ++gap;
      continue;
    }
    cost += gap < 0 ? kRowStartCost : std::min(gap, kMaxGapRewrite) + 1;
    gap = 0;
  }
  return cost;
}

// --- Writing numbers and sequences --------------------------------------------
int Digits(int n) {
  int digits = 1;
  while (n >= 10) n /= 10, ++digits;
  return digits;
}

void AppendNumber(std::string& out, int n) {
  char buffer[12];
  int length = 0;
  do {
    buffer[length++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0);
  while (length > 0) out += buffer[--length];
}

// CSI n <final>, the count left out when it is 1 (the default).
int CountSequenceCost(int n) { return 3 + (n == 1 ? 0 : Digits(n)); }
void AppendCountSequence(std::string& out, int n, char final) {
  out += kCsi;
  if (n != 1) AppendNumber(out, n);
  out += final;
}

// CUP to a 0-based row and column: CSI H, CSI r H or CSI r ; c H.
int PositionCost(int row, int column) {
  if (column == 0) return row == 0 ? 3 : 3 + Digits(row + 1);
  return 4 + Digits(row + 1) + Digits(column + 1);
}
void AppendPosition(std::string& out, int row, int column) {
  out += kCsi;
  if (row != 0 || column != 0) AppendNumber(out, row + 1);
  if (column != 0) {
    out += ';';
    AppendNumber(out, column + 1);
  }
  out += kCursorPosition;
}

// CHA to a 0-based column: CSI G or CSI c G.
int ColumnCost(int column) { return column == 0 ? 3 : 3 + Digits(column + 1); }
void AppendColumn(std::string& out, int column) {
  out += kCsi;
  if (column != 0) AppendNumber(out, column + 1);
  out += kCursorColumn;
}

int AnsiColour(int consoleIndex) {
  // Console order is blue 1, green 2, red 4; ANSI order is red 1, green 2,
  // blue 4: swap bits 0 and 2.
  return ((consoleIndex & 1) << 2) | (consoleIndex & 2) | ((consoleIndex & 4) >> 2);
}

// Characters removed from a window title: they would end the OSC string
// early, act as controls, reorder the text around them or hide in it. The
// same rule as the cells', which show them as the placeholder.
bool IsDroppedFromTitle(char32_t c) { return IsControlOrInvisible(c); }

}  // namespace

// --- Public helpers -----------------------------------------------------------------

int AnsiForeground(int consoleIndex) {
  consoleIndex &= kForegroundBits;
  return ((consoleIndex & kIntensityBit) ? kSgrBrightForeground : kSgrForeground) +
         AnsiColour(consoleIndex);
}

int AnsiBackground(int consoleIndex) { return AnsiForeground(consoleIndex) + kSgrBackgroundOffset; }

bool IsSafeCellCharacter(char16_t ch) {
  if (ch >= 0x20 && ch < 0x7F) return true;  // printable ASCII, the common case
  return !detail::IsListedUnsafeCellCharacter(ch);
}

std::string TitleSequence(const std::u16string& title) {
  std::string text;
  std::string character;
  for (size_t i = 0; i < title.size(); ++i) {
    char32_t c = title[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < title.size() && title[i + 1] >= 0xDC00 &&
        title[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (title[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      continue;  // lone surrogate: has no UTF-8 form
    }
    if (IsDroppedFromTitle(c)) continue;
    character.clear();
    AppendUtf8(character, c);
    if (text.size() + character.size() > kTitleMaxBytes) break;  // never cut a character
    text += character;
  }
  std::string sequence;
  sequence.reserve(kTitleStart.size() + text.size() + kStringTerminator.size());
  sequence += kTitleStart;
  sequence += text;
  sequence += kStringTerminator;
  return sequence;
}

// --- Encoder ------------------------------------------------------------------------

void VtOutputEncoder::Invalidate() {
  valid_ = false;
  colours_ = kUnknown;
}

void VtOutputEncoder::Encode(const CHAR_INFO* cells, int width, int height, std::string& out) {
  if (cells == nullptr || width <= 0 || height <= 0) {
    // Nothing to show; whatever comes next is drawn in full.
    valid_ = false;
    return;
  }
  const size_t start = out.size();
  if (options_.synchronizedOutput) out += kSyncBegin;
  const size_t bodyStart = out.size();

  const bool sizeChanged = width != width_ || height != height_;
  width_ = width;
  height_ = height;
  BuildKeys(cells);
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

void VtOutputEncoder::BuildKeys(const CHAR_INFO* cells) {
  const size_t count = static_cast<size_t>(width_) * static_cast<size_t>(height_);
  next_.resize(count);
  for (size_t i = 0; i < count; ++i) next_[i] = MakeKey(cells[i]);
}

bool VtOutputEncoder::RowUnchanged(int row) const {
  const size_t w = static_cast<size_t>(width_);
  return std::memcmp(&next_[row * w], &front_[row * w], w * sizeof(CellKey)) == 0;
}

// Looks for one band of rows that, moved up or down by whole rows, saves more
// bytes than the scroll costs. Rows are compared by hash to find candidate
// shifts; each candidate is then scored on the cells: for every row of the
// band, the estimated cost of updating it in place minus the cost after the
// shift; the rows the scroll brings in count as drawn in full.
bool VtOutputEncoder::FindScroll(ScrollPlan& plan) {
  const int w = width_;
  const int h = height_;
  if (h < 2) return false;
  bool anyRowChanged = false;
  for (int r = 0; r < h && !anyRowChanged; ++r) anyRowChanged = !RowUnchanged(r);
  if (!anyRowChanged) return false;  // the common idle frame: no hashing
  frontRowHash_.resize(h);
  nextRowHash_.resize(h);
  for (int r = 0; r < h; ++r) {
    frontRowHash_[r] = HashRow(&front_[static_cast<size_t>(r) * w], w);
    nextRowHash_[r] = HashRow(&next_[static_cast<size_t>(r) * w], w);
  }

  // Votes per shift s (new row r shows old row r + s), from rows that changed.
  std::vector<int> votes(2 * h + 1, 0);
  for (int r = 0; r < h; ++r) {
    if (nextRowHash_[r] == frontRowHash_[r]) continue;
    for (int source = 0; source < h; ++source)
      if (source != r && frontRowHash_[source] == nextRowHash_[r]) ++votes[source - r + h];
  }
  int candidates[kScrollCandidates];
  int candidateCount = 0;
  for (int k = 0; k < kScrollCandidates; ++k) {
    int bestIndex = -1;
    for (int i = 0; i < static_cast<int>(votes.size()); ++i)
      if (votes[i] > 0 && (bestIndex < 0 || votes[i] > votes[bestIndex])) bestIndex = i;
    if (bestIndex < 0) break;
    candidates[candidateCount++] = bestIndex - h;
    votes[bestIndex] = 0;
  }
  if (candidateCount == 0) return false;

  rowCost_.resize(h);
  for (int r = 0; r < h; ++r) {
    const size_t offset = static_cast<size_t>(r) * w;
    rowCost_[r] = RowCost(&next_[offset], &front_[offset], w);
  }
  // revealedPrefix[i]: sum over rows 0..i-1 of (in-place cost - full-row
  // cost), the change in cost when a row has to be drawn in full.
  const int fullRowCost = kRowStartCost + w - 1;
  std::vector<long> revealedPrefix(h + 1, 0);
  for (int r = 0; r < h; ++r) revealedPrefix[r + 1] = revealedPrefix[r] + rowCost_[r] - fullRowCost;
  shiftedCost_.resize(h);

  ScrollPlan best;
  for (int k = 0; k < candidateCount; ++k) {
    const int shift = candidates[k];
    const int distance = shift > 0 ? shift : -shift;
    if (distance >= h) continue;
    for (int r = 0; r < h; ++r) {
      const int source = r + shift;
      if (source < 0 || source >= h) continue;
      shiftedCost_[r] = RowCost(&next_[static_cast<size_t>(r) * w], &front_[static_cast<size_t>(source) * w], w);
    }
    if (shift > 0) {
      // Content rows top..e come from top+shift..e+shift; rows e+1..e+shift
      // are brought in. Kadane: the best sum of gains ending at e.
      long run = 0;
      int runStart = 0;
      for (int e = 0; e + shift < h; ++e) {
        const long gain = rowCost_[e] - shiftedCost_[e];
        if (e == 0 || run <= 0) {
          run = gain;
          runStart = e;
        } else {
          run += gain;
        }
        const long total = run + revealedPrefix[e + shift + 1] - revealedPrefix[e + 1];
        if (total > best.gain) best = ScrollPlan{runStart, e + shift, shift, total};
      }
    } else {
      // Content rows a..b come from a-distance..b-distance; rows
      // a-distance..a-1 are brought in. Kadane from the bottom up.
      long run = 0;
      int runEnd = h - 1;
      for (int a = h - 1; a >= distance; --a) {
        const long gain = rowCost_[a] - shiftedCost_[a];
        if (a == h - 1 || run <= 0) {
          run = gain;
          runEnd = a;
        } else {
          run += gain;
        }
        const long total = run + revealedPrefix[a] - revealedPrefix[a - distance];
        if (total > best.gain) best = ScrollPlan{a - distance, runEnd, shift, total};
      }
    }
  }
  if (best.gain <= kScrollOverhead) return false;
  plan = best;
  return true;
}

void VtOutputEncoder::ApplyScroll(const ScrollPlan& plan, std::string& out) {
  // The rows brought in are cleared with the current background on some
  // terminals, the columns right of the frame included: reset it first.
  if (colours_ != kDefaultColours) {
    out += kResetColours;
    colours_ = kDefaultColours;
  }
  out += kCsi;
  AppendNumber(out, plan.top + 1);
  out += ';';
  AppendNumber(out, plan.bottom + 1);
  out += kSetScrollRegion;
  const int distance = plan.shift > 0 ? plan.shift : -plan.shift;
  if (options_.scrollWithIndex) {
    // Index at the bottom margin scrolls the region up, reverse index at the
    // top margin scrolls it down. CUP is absolute (origin mode stays off).
    AppendPosition(out, plan.shift > 0 ? plan.bottom : plan.top, 0);
    for (int i = 0; i < distance; ++i) out += plan.shift > 0 ? kIndex : kReverseIndex;
  } else {
    AppendCountSequence(out, distance, plan.shift > 0 ? kScrollUp : kScrollDown);
  }
  out += kResetScrollRegion;
  // Setting the region homes the cursor on most terminals; do not rely on it.
  cursorRow_ = kUnknown;
  cursorColumn_ = kUnknown;

  const size_t w = static_cast<size_t>(width_);
  auto row = [&](int r) { return front_.begin() + static_cast<std::ptrdiff_t>(r * w); };
  if (plan.shift > 0) {
    for (int r = plan.top; r + distance <= plan.bottom; ++r)
      std::copy(row(r + distance), row(r + distance + 1), row(r));
    std::fill(row(plan.bottom - distance + 1), row(plan.bottom + 1), kUnknownCell);
  } else {
    for (int r = plan.bottom; r - distance >= plan.top; --r)
      std::copy(row(r - distance), row(r - distance + 1), row(r));
    std::fill(row(plan.top), row(plan.top + distance), kUnknownCell);
  }
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
  if (colours_ < 0) return false;
  const uint16_t attributes = KeyAttributes(key);
  if (IsPlainSpace(KeyChar(key), attributes)) {
    return (colours_ & (kBackgroundBits | kReverseVideo | kUnderscore)) ==
           (attributes & kBackgroundBits);
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
  bool first = true;
  const auto parameter = [&](int p) {
    if (!first) out += ';';
    AppendNumber(out, p);
    first = false;
  };
  const int fg = AnsiForeground(target & kForegroundBits);
  const int bg = AnsiBackground((target & kBackgroundBits) >> 4);
  out += kCsi;
  if (colours_ < 0) {
    if (colours_ == kUnknown) parameter(kSgrReset);
    parameter(fg);
    parameter(bg);
    if (target & kUnderscore) parameter(kSgrUnderline);
    if (target & kReverseVideo) parameter(kSgrReverse);
  } else {
    const auto current = static_cast<uint16_t>(colours_);
    if ((current & kForegroundBits) != (target & kForegroundBits)) parameter(fg);
    if ((current & kBackgroundBits) != (target & kBackgroundBits)) parameter(bg);
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
