// The pieces the terminal output encoder (vt_output.cpp) and its scroll
// planner (vt_scroll_plan.cpp) share: the sequences they write, the console
// attribute bits, cell keys and the byte costs the planner weighs. Internal
// to the codec.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "engine/port/console_types.h"
#include "engine/port/terminal_default_colours.h"
#include "engine/port/vt_text_safety.h"

namespace kelm::port::vt_encoding {

// --- Sequences ---------------------------------------------------------------
inline constexpr std::string_view kCsi = "\x1b[";
inline constexpr std::string_view kSyncBegin = "\x1b[?2026h";  // DECSET 2026: hold the frame
inline constexpr std::string_view kSyncEnd = "\x1b[?2026l";    // DECRST 2026: show it
inline constexpr std::string_view kResetColours = "\x1b[m";    // SGR 0
inline constexpr std::string_view kClearScreen = "\x1b[2J";    // ED 2
inline constexpr std::string_view kResetScrollRegion = "\x1b[r";  // DECSTBM, whole screen
inline constexpr std::string_view kIndex = "\x1b" "D";             // IND
inline constexpr std::string_view kReverseIndex = "\x1b" "M";      // RI

inline constexpr char kCarriageReturn = '\r';
inline constexpr char kLineFeed = '\n';       // down one row, same column
inline constexpr char kCursorPosition = 'H';   // CUP row ; column
inline constexpr char kCursorColumn = 'G';     // CHA column
inline constexpr char kCursorForward = 'C';    // CUF n
inline constexpr char kCursorBack = 'D';       // CUB n
inline constexpr char kCursorUp = 'A';         // CUU n
inline constexpr char kCursorDown = 'B';       // CUD n
inline constexpr char kSelectGraphics = 'm';   // SGR
inline constexpr char kSetScrollRegion = 'r';  // DECSTBM top ; bottom
inline constexpr char kScrollUp = 'S';         // SU n
inline constexpr char kScrollDown = 'T';       // SD n

// --- SGR parameters ------------------------------------------------------------
inline constexpr int kSgrReset = 0;
inline constexpr int kSgrUnderline = 4;
inline constexpr int kSgrReverse = 7;
inline constexpr int kSgrNoUnderline = 24;
inline constexpr int kSgrNoReverse = 27;
inline constexpr int kSgrDefaultForeground = 39;
inline constexpr int kSgrDefaultBackground = 49;

// --- Console attribute bits ----------------------------------------------------
inline constexpr uint16_t kForegroundBits = 0x000F;
inline constexpr uint16_t kBackgroundBits = 0x00F0;
inline constexpr uint16_t kIntensityBit = 0x0008;
inline constexpr uint16_t kReverseVideo = 0x4000;  // COMMON_LVB_REVERSE_VIDEO
inline constexpr uint16_t kUnderscore = 0x8000;    // COMMON_LVB_UNDERSCORE
inline constexpr uint16_t kDefaultColoursBit = kTerminalDefaultColours;
inline constexpr uint16_t kShownAttributeBits =
    kForegroundBits | kBackgroundBits | kReverseVideo | kUnderscore | kDefaultColoursBit;
inline constexpr uint16_t kLightGrey = 0x0007;

// --- Encoder state markers -------------------------------------------------------
// A cell whose content the terminal shows is not known (before a full redraw,
// rows a scroll brought in). 0xFFFF is never a safe character, so no real
// cell has this key.
inline constexpr uint32_t kUnknownCell = 0xFFFFFFFFu;
inline constexpr int kUnknown = -1;          // cursor row/column or colours not known
inline constexpr int kDefaultColours = -2;   // colours_ after SGR 0

// --- Tuning ----------------------------------------------------------------------
// Unchanged cells rewritten instead of skipped: CUF costs 3-5 bytes, so
// rewriting pays up to about this many ASCII cells.
inline constexpr int kMaxGapRewrite = 4;
// A cursor position and the first cell, as estimated for a changed row.
inline constexpr int kRowStartCost = 6;
// Estimated bytes of a scroll (reset colours, region, scroll, reset region,
// colours again); a scroll must save more than this.
inline constexpr long kScrollOverhead = 24;
inline constexpr int kScrollCandidates = 3;
inline constexpr int kMaxScrollsPerFrame = 4;

// --- Cell keys -------------------------------------------------------------------
inline char16_t KeyChar(uint32_t key) { return static_cast<char16_t>(key >> 16); }
inline uint16_t KeyAttributes(uint32_t key) { return static_cast<uint16_t>(key & 0xFFFF); }

inline bool IsPlainSpace(char16_t ch, uint16_t attributes) {
  return ch == u' ' && (attributes & (kReverseVideo | kUnderscore)) == 0;
}

// The SGR colours of an attribute: the console colours as ANSI numbers, or
// the terminal's defaults where the cell asks for them (kTerminalDefaultColours:
// background 0, and foreground 7 on it), by the one rule for them.
inline bool UsesDefaultBackground(uint16_t attributes) { return ShowsDefaultBackground(attributes); }
inline bool UsesDefaultForeground(uint16_t attributes) { return ShowsDefaultForeground(attributes); }
// Whether a cell shows exactly what SGR 0 leaves: both default colours, no
// underline, no reverse video.
inline bool IsResetState(uint16_t attributes) {
  return UsesDefaultForeground(attributes) && (attributes & (kReverseVideo | kUnderscore)) == 0;
}

inline uint32_t MakeKey(const CHAR_INFO& cell) {
  const char16_t ch = IsSafeCellCharacter(cell.UnicodeChar) ? cell.UnicodeChar : kReplacementCell;
  uint16_t attributes = cell.Attributes & kShownAttributeBits;
  if (IsPlainSpace(ch, attributes)) attributes &= ~kForegroundBits;
  // The default-colours mark shows only on the default background: on a
  // background of its own the cell looks the same without it.
  if (!UsesDefaultBackground(attributes)) attributes &= ~kDefaultColoursBit;
  return (static_cast<uint32_t>(ch) << 16) | attributes;
}

inline uint64_t HashRow(const uint32_t* keys, int width) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  for (int i = 0; i < width; ++i) hash = (hash ^ keys[i]) * 1099511628211ull;
  return hash;
}

// Rough cost in bytes of turning row `shown` into row `wanted`: the changed
// cells, the unchanged cells between them up to what a cursor move costs,
// and one cursor position per row.
inline int RowCost(const uint32_t* wanted, const uint32_t* shown, int width) {
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
inline int Digits(int n) {
  int digits = 1;
  while (n >= 10) n /= 10, ++digits;
  return digits;
}

inline void AppendNumber(std::string& out, int n) {
  char buffer[12];
  int length = 0;
  do {
    buffer[length++] = static_cast<char>('0' + n % 10);
    n /= 10;
  } while (n > 0);
  while (length > 0) out += buffer[--length];
}

// CSI n <final>, the count left out when it is 1 (the default).
inline int CountSequenceCost(int n) { return 3 + (n == 1 ? 0 : Digits(n)); }
inline void AppendCountSequence(std::string& out, int n, char final) {
  out += kCsi;
  if (n != 1) AppendNumber(out, n);
  out += final;
}

// CUP to a 0-based row and column: CSI H, CSI r H or CSI r ; c H.
inline int PositionCost(int row, int column) {
  if (column == 0) return row == 0 ? 3 : 3 + Digits(row + 1);
  return 4 + Digits(row + 1) + Digits(column + 1);
}
inline void AppendPosition(std::string& out, int row, int column) {
  out += kCsi;
  if (row != 0 || column != 0) AppendNumber(out, row + 1);
  if (column != 0) {
    out += ';';
    AppendNumber(out, column + 1);
  }
  out += kCursorPosition;
}

// CHA to a 0-based column: CSI G or CSI c G.
inline int ColumnCost(int column) { return column == 0 ? 3 : 3 + Digits(column + 1); }
inline void AppendColumn(std::string& out, int column) {
  out += kCsi;
  if (column != 0) AppendNumber(out, column + 1);
  out += kCursorColumn;
}

}  // namespace kelm::port::vt_encoding
