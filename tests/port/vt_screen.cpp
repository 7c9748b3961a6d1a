#include "tests/port/vt_screen.h"

#include <algorithm>
#include <cstdio>

#include "engine/port/utf.h"

namespace kelm::port {

namespace {

constexpr char kEsc = '\x1b';
constexpr char kBel = '\x07';

std::string Printable(std::string_view raw) {
  std::string text;
  for (const char c : raw) {
    const auto u = static_cast<unsigned char>(c);
    if (u == 0x1B) {
      text += "ESC";
    } else if (u < 0x20 || u >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "<%02X>", u);
      text += hex;
    } else {
      text += c;
    }
  }
  return text;
}

// The parameter at `index`, or `fallback` when it is missing or empty (-1).
int Param(const std::vector<int>& params, size_t index, int fallback) {
  return index < params.size() && params[index] >= 0 ? params[index] : fallback;
}

// A count parameter: missing or 0 means 1.
int Count(const std::vector<int>& params) { return std::max(1, Param(params, 0, 1)); }


}  // namespace

VtScreen::VtScreen(int columns, int rows)
    : columns_(columns), rows_(rows), cells_(static_cast<size_t>(columns) * rows), marginBottom_(rows - 1) {}

void VtScreen::Fill(char32_t ch, int foreground, int background) {
  for (VtCell& cell : cells_) cell = VtCell{ch, foreground, background, false, false};
}

std::string VtScreen::RowText(int row) const {
  std::string text;
  for (int c = 0; c < columns_; ++c) AppendUtf8(text, At(c, row).ch);
  return text;
}

void VtScreen::Error(std::string message) { errors_.push_back(std::move(message)); }

VtCell VtScreen::Blank() const {
  VtCell blank;
  if (backgroundColourErase_) blank.background = pen_.background;
  return blank;
}

void VtScreen::Feed(std::string_view bytes) {
  pending_.append(bytes);
  std::string_view text = pending_;
  size_t pos = 0;
  while (pos < text.size()) {
    const auto byte = static_cast<unsigned char>(text[pos]);
    size_t used = 1;
    if (byte == 0x1B) {
      used = ParseEscape(text.substr(pos));
    } else if (byte == '\r') {
      cursorColumn_ = 0;
    } else if (byte == '\n') {
      // LF moves down and keeps the column (new-line mode is off). At the
      // bottom margin it would scroll, which the encoder must never cause.
      if (cursorRow_ == marginBottom_ || cursorRow_ == rows_ - 1) {
        Error("line feed at the bottom margin");
      } else {
        ++cursorRow_;
        if (lineFeedReturns_) cursorColumn_ = 0;
      }
    } else if (byte < 0x20 || byte == 0x7F) {
      Error("control character " + Printable(text.substr(pos, 1)));
    } else if (byte < 0x80) {
      Print(byte);
    } else {
      used = ParseUtf8(text.substr(pos));
    }
    if (used == 0) break;  // incomplete: keep for the next Feed
    pos += used;
  }
  pending_.erase(0, pos);
}

size_t VtScreen::ParseUtf8(std::string_view text) {
  const Utf8Step step = DecodeUtf8Step(reinterpret_cast<const unsigned char*>(text.data()), text.size());
  switch (step.kind) {
    case Utf8Step::Kind::Incomplete:
      return 0;  // wait for the rest
    case Utf8Step::Kind::Invalid:
      Error("ill-formed UTF-8 " + Printable(text.substr(0, std::min(text.size(), step.length + 1))));
      return step.length;
    case Utf8Step::Kind::Character:
      break;
  }
  if (step.codePoint >= 0x80 && step.codePoint <= 0x9F) {
    Error("C1 control " + Printable(text.substr(0, step.length)));
  } else {
    Print(step.codePoint);
  }
  return step.length;
}

void VtScreen::Print(char32_t ch) {
  const bool wide = wide_.find(ch) != std::u32string::npos;
  const int column = cursorColumn_;
  VtCell cell = pen_;
  cell.ch = ch;
  // Overwriting half of a wide glyph blanks its other half.
  if (column > 0 && cells_[cursorRow_ * columns_ + column].ch == U'\0')
    cells_[cursorRow_ * columns_ + column - 1].ch = U' ';
  if (column + 1 < columns_ && cells_[cursorRow_ * columns_ + column + 1].ch == U'\0')
    cells_[cursorRow_ * columns_ + column + 1].ch = U' ';
  cells_[cursorRow_ * columns_ + column] = cell;
  int advance = 1;
  if (wide && column + 1 < columns_) {
    VtCell tail = cell;
    tail.ch = U'\0';  // the right half of a wide glyph
    cells_[cursorRow_ * columns_ + column + 1] = tail;
    advance = 2;
  }
  // No auto-wrap: at the last column the cursor stays put.
  cursorColumn_ = std::min(columns_ - 1, column + advance);
}

size_t VtScreen::ParseEscape(std::string_view text) {
  if (text.size() < 2) return 0;
  switch (text[1]) {
    case '[':
      return ParseCsi(text);
    case ']':
      return ParseOsc(text);
    case 'D':  // IND
      if (cursorRow_ == marginBottom_) {
        ScrollRegion(marginTop_, marginBottom_, 1);
      } else if (cursorRow_ < rows_ - 1) {
        ++cursorRow_;
      }
      return 2;
    case 'M':  // RI
      if (cursorRow_ == marginTop_) {
        ScrollRegion(marginTop_, marginBottom_, -1);
      } else if (cursorRow_ > 0) {
        --cursorRow_;
      }
      return 2;
    default:
      Error("unknown escape " + Printable(text.substr(0, 2)));
      return 2;
  }
}

size_t VtScreen::ParseOsc(std::string_view text) {
  for (size_t i = 2; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    size_t end = 0;
    if (byte == static_cast<unsigned char>(kBel)) {
      end = i + 1;
    } else if (byte == static_cast<unsigned char>(kEsc)) {
      if (i + 1 >= text.size()) return 0;
      if (text[i + 1] != '\\') {
        Error("ESC inside an OSC string");
        return i;  // the ESC starts the next sequence, as in a terminal
      }
      end = i + 2;
    } else if (byte < 0x20 || byte == 0x7F) {
      Error("control character inside an OSC string " + Printable(text.substr(i, 1)));
      continue;
    } else if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
               static_cast<unsigned char>(text[i + 1]) <= 0x9F) {
      Error("C1 control inside an OSC string " + Printable(text.substr(i, 2)));
      continue;
    }
    if (end == 0) continue;
    const std::string_view body = text.substr(2, i - 2);
    if (body.substr(0, 2) == "2;") {
      title_ = std::string(body.substr(2));
    } else {
      Error("unexpected OSC " + Printable(body));
    }
    return end;
  }
  return 0;
}

size_t VtScreen::ParseCsi(std::string_view text) {
  size_t i = 2;
  char privateMarker = 0;
  if (i < text.size() && (text[i] == '?' || text[i] == '>' || text[i] == '<' || text[i] == '=')) {
    privateMarker = text[i++];
  }
  std::vector<int> params;
  int value = -1;
  bool anyParam = false;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      value = (value < 0 ? 0 : value) * 10 + (c - '0');
      value = std::min(value, 99999);
      anyParam = true;
    } else if (c == ';') {
      params.push_back(value);
      value = -1;
      anyParam = true;
    } else {
      break;
    }
  }
  if (anyParam) params.push_back(value);
  const size_t intermediatesStart = i;
  while (i < text.size() && text[i] >= 0x20 && text[i] <= 0x2F) ++i;
  if (i >= text.size()) return 0;
  const char final = text[i];
  if (final < 0x40 || final > 0x7E) {
    Error("malformed CSI " + Printable(text.substr(0, i + 1)));
    return i + 1;
  }
  ExecuteCsi(privateMarker, params, text.substr(intermediatesStart, i - intermediatesStart), final,
             text.substr(0, i + 1));
  return i + 1;
}

void VtScreen::ExecuteCsi(char privateMarker, const std::vector<int>& params,
                          std::string_view intermediates, char final, std::string_view raw) {
  if (!intermediates.empty()) {
    Error("unexpected CSI " + Printable(raw));
    return;
  }
  if (privateMarker == '?') {
    if ((final == 'h' || final == 'l') && params.size() == 1 && params[0] == 2026) {
      const bool set = final == 'h';
      if (set == synchronized_) Error(set ? "nested synchronized update" : "synchronized update not open");
      synchronized_ = set;
    } else {
      Error("unexpected private mode " + Printable(raw));
    }
    return;
  }
  if (privateMarker != 0) {
    Error("unexpected CSI " + Printable(raw));
    return;
  }
  const bool insideMargins = cursorRow_ >= marginTop_ && cursorRow_ <= marginBottom_;
  switch (final) {
    case 'H':  // CUP
      cursorRow_ = std::clamp(Param(params, 0, 1), 1, rows_) - 1;
      cursorColumn_ = std::clamp(Param(params, 1, 1), 1, columns_) - 1;
      break;
    case 'G':  // CHA
      cursorColumn_ = std::clamp(Param(params, 0, 1), 1, columns_) - 1;
      break;
    case 'C':  // CUF
      cursorColumn_ = std::min(columns_ - 1, cursorColumn_ + Count(params));
      break;
    case 'D':  // CUB
      cursorColumn_ = std::max(0, cursorColumn_ - Count(params));
      break;
    case 'A':  // CUU: stops at the top margin when inside the region
      cursorRow_ = std::max(insideMargins ? marginTop_ : 0, cursorRow_ - Count(params));
      break;
    case 'B':  // CUD: stops at the bottom margin when inside the region
      cursorRow_ = std::min(insideMargins ? marginBottom_ : rows_ - 1, cursorRow_ + Count(params));
      break;
    case 'm':
      SelectGraphics(params, raw);
      break;
    case 'r': {  // DECSTBM; homes the cursor
      const int top = std::max(1, Param(params, 0, 1)) - 1;
      const int bottom = std::min(rows_, Param(params, 1, rows_) == 0 ? rows_ : Param(params, 1, rows_)) - 1;
      if (top >= bottom) {
        Error("invalid scroll region " + Printable(raw));
        break;
      }
      marginTop_ = top;
      marginBottom_ = bottom;
      cursorRow_ = 0;
      cursorColumn_ = 0;
      break;
    }
    case 'S':  // SU
      ScrollRegion(marginTop_, marginBottom_, Count(params));
      break;
    case 'T':  // SD (with more than one parameter xterm reads it as mouse tracking)
      if (params.size() > 1) {
        Error("unexpected CSI " + Printable(raw));
        break;
      }
      ScrollRegion(marginTop_, marginBottom_, -Count(params));
      break;
    case 'J': {  // ED
      const int here = cursorRow_ * columns_ + cursorColumn_;
      const int mode = Param(params, 0, 0);
      if (mode == 0) {
        Erase(here, columns_ * rows_);
      } else if (mode == 1) {
        Erase(0, here + 1);
      } else if (mode == 2) {
        Erase(0, columns_ * rows_);
      } else {
        Error("unexpected ED " + Printable(raw));
      }
      break;
    }
    case 'K': {  // EL
      const int rowStart = cursorRow_ * columns_;
      const int mode = Param(params, 0, 0);
      if (mode == 0) {
        Erase(rowStart + cursorColumn_, rowStart + columns_);
      } else if (mode == 1) {
        Erase(rowStart, rowStart + cursorColumn_ + 1);
      } else if (mode == 2) {
        Erase(rowStart, rowStart + columns_);
      } else {
        Error("unexpected EL " + Printable(raw));
      }
      break;
    }
    default:
      Error("unexpected CSI " + Printable(raw));
  }
}

void VtScreen::SelectGraphics(const std::vector<int>& params, std::string_view raw) {
  std::vector<int> list = params;
  if (list.empty()) list.push_back(0);
  for (const int p : list) {
    if (p <= 0) {
      pen_ = VtCell{};
    } else if (p == 4) {
      pen_.underline = true;
    } else if (p == 24) {
      pen_.underline = false;
    } else if (p == 7) {
      pen_.reverse = true;
    } else if (p == 27) {
      pen_.reverse = false;
    } else if (p >= 30 && p <= 37) {
      pen_.foreground = p - 30;
    } else if (p == 39) {
      pen_.foreground = VtCell::kDefaultColour;
    } else if (p >= 40 && p <= 47) {
      pen_.background = p - 40;
    } else if (p == 49) {
      pen_.background = VtCell::kDefaultColour;
    } else if (p >= 90 && p <= 97) {
      pen_.foreground = p - 90 + 8;
    } else if (p >= 100 && p <= 107) {
      pen_.background = p - 100 + 8;
    } else {
      Error("unexpected SGR parameter in " + Printable(raw));
    }
  }
}

void VtScreen::ScrollRegion(int top, int bottom, int lines) {
  const int height = bottom - top + 1;
  const int distance = std::min(height, lines > 0 ? lines : -lines);
  auto row = [&](int r) { return cells_.begin() + static_cast<std::ptrdiff_t>(r) * columns_; };
  if (lines > 0) {
    std::copy(row(top + distance), row(bottom + 1), row(top));
    std::fill(row(bottom + 1 - distance), row(bottom + 1), Blank());
  } else {
    std::copy_backward(row(top), row(bottom + 1 - distance), row(bottom + 1));
    std::fill(row(top), row(top + distance), Blank());
  }
}

void VtScreen::Erase(int fromCell, int toCell) {
  std::fill(cells_.begin() + fromCell, cells_.begin() + toCell, Blank());
}

}  // namespace kelm::port
