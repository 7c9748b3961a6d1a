// A small terminal emulator for tests: applies the bytes an output encoder
// writes to a grid of cells, so tests check what the screen shows instead of
// exact bytes.
//
// It understands the subset of sequences the encoder may use and reports
// everything else as an error: printable UTF-8 (strictly decoded), CR, IND
// (ESC D), RI (ESC M), CUP, CHA, CUF, CUB, CUU, CUD, SGR (0, 4, 7, 24, 27,
// 30-37, 39, 40-47, 49, 90-97, 100-107), DECSTBM, SU, SD, ED, EL, DEC private
// mode 2026 (synchronized output) and OSC strings ended by BEL or ST. A line
// feed, any other control character, a C1 character or malformed UTF-8 is
// an error. Auto-wrap is off, as the terminal backend sets it: writing in the
// last column overwrites it and leaves the cursor there.
#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kelm::port {

struct VtCell {
  static constexpr int kDefaultColour = -1;
  char32_t ch = U' ';
  int foreground = kDefaultColour;  // ANSI colour 0-15 (8-15 bright)
  int background = kDefaultColour;
  bool underline = false;
  bool reverse = false;
};

class VtScreen {
 public:
  VtScreen(int columns, int rows);

  // Erased cells and rows brought in by a scroll take the current background
  // colour (xterm's "bce"); off: they take the default colours.
  void SetBackgroundColourErase(bool on) { backgroundColourErase_ = on; }
  // Characters drawn two cells wide, as a terminal with CJK-width settings
  // draws ambiguous-width characters.
  void SetWideCharacters(std::u32string characters) { wide_ = std::move(characters); }
  // Line feed also returns to column 0, as a tty that turns LF into CR LF
  // on output would make it.
  void SetLineFeedReturns(bool on) { lineFeedReturns_ = on; }
  // Fills every cell, to check that a full redraw leaves nothing behind.
  void Fill(char32_t ch, int foreground, int background);

  // Applies bytes; a sequence cut at the end waits for the next call.
  void Feed(std::string_view bytes);

  const VtCell& At(int column, int row) const { return cells_[row * columns_ + column]; }
  int columns() const { return columns_; }
  int rows() const { return rows_; }
  int cursorRow() const { return cursorRow_; }
  int cursorColumn() const { return cursorColumn_; }
  // Inside a synchronized update (mode 2026 set and not yet reset).
  bool inSynchronizedUpdate() const { return synchronized_; }
  // Bytes of the last OSC 2 (window title) string.
  const std::string& title() const { return title_; }
  // Whether bytes are waiting for the rest of a sequence.
  bool hasPendingBytes() const { return !pending_.empty(); }
  // Everything the screen did not understand or that a terminal would take
  // as a control, in order.
  const std::vector<std::string>& errors() const { return errors_; }
  // The characters of a row as UTF-8.
  std::string RowText(int row) const;

 private:
  // Each returns the bytes consumed from `text`, or 0 when the sequence is
  // not complete yet.
  size_t ParseEscape(std::string_view text);
  size_t ParseCsi(std::string_view text);
  size_t ParseOsc(std::string_view text);
  size_t ParseUtf8(std::string_view text);

  void Print(char32_t ch);
  void ExecuteCsi(char privateMarker, const std::vector<int>& params, std::string_view intermediates,
                  char final, std::string_view raw);
  void SelectGraphics(const std::vector<int>& params, std::string_view raw);
  void ScrollRegion(int top, int bottom, int lines);  // lines > 0: up
  void Erase(int fromCell, int toCell);               // cell indexes, end excluded
  VtCell Blank() const;
  void Error(std::string message);

  int columns_;
  int rows_;
  std::vector<VtCell> cells_;
  int cursorRow_ = 0;
  bool lineFeedReturns_ = false;
  int cursorColumn_ = 0;
  int marginTop_ = 0;
  int marginBottom_;
  VtCell pen_;  // colours and flags of the next printed character
  bool synchronized_ = false;
  bool backgroundColourErase_ = true;
  std::u32string wide_;
  std::string title_;
  std::string pending_;
  std::vector<std::string> errors_;
};

}  // namespace kelm::port
