#include "tests/port/vt_frame.h"

#include <cstdio>

#include "engine/port/terminal_default_colours.h"

namespace kelm::port {

namespace {

constexpr uint16_t kDarkGreyOnBlack = 0x0008;
constexpr uint16_t kUnderscore = 0x8000;
constexpr uint16_t kReverseVideo = 0x4000;

std::string Describe(const VtCell& cell) {
  char text[96];
  std::snprintf(text, sizeof text, "U+%04X fg %d bg %d%s%s", static_cast<unsigned>(cell.ch), cell.foreground,
                cell.background, cell.underline ? " underline" : "", cell.reverse ? " reverse" : "");
  return text;
}

char16_t HexDigit(int value) { return static_cast<char16_t>(value < 10 ? u'0' + value : u'A' + value - 10); }

}  // namespace

void Frame::Put(int column, int row, std::u16string_view text, uint16_t attributes) {
  for (size_t i = 0; i < text.size() && column + static_cast<int>(i) < width; ++i)
    At(column + static_cast<int>(i), row) = CHAR_INFO{text[i], attributes};
}

const std::string& Terminal::Show(const Frame& frame) {
  bytes.clear();
  encoder.Encode(frame.cells.data(), frame.width, frame.height, bytes);
  screen.Feed(bytes);
  return bytes;
}

void Terminal::Resize(int width, int height) {
  screen = VtScreen(width + 1, height);
  screen.SetBackgroundColourErase(backgroundColourErase);
  screen.Fill(U'#', 1, 3);
}

void Terminal::SetBackgroundColourErase(bool on) {
  backgroundColourErase = on;
  screen.SetBackgroundColourErase(on);
}

::testing::AssertionResult ShowsFrame(const VtScreen& screen, const Frame& frame, std::u16string_view replaced) {
  if (!screen.errors().empty()) {
    auto failure = ::testing::AssertionFailure() << screen.errors().size() << " screen error(s):";
    for (size_t i = 0; i < screen.errors().size() && i < 5; ++i) failure << "\n  " << screen.errors()[i];
    return failure;
  }
  if (screen.hasPendingBytes()) return ::testing::AssertionFailure() << "an incomplete sequence is left";
  if (screen.inSynchronizedUpdate()) return ::testing::AssertionFailure() << "synchronized update left open";
  int mismatches = 0;
  auto failure = ::testing::AssertionFailure();
  for (int r = 0; r < screen.rows(); ++r) {
    for (int c = 0; c < screen.columns(); ++c) {
      const VtCell& got = screen.At(c, r);
      bool ok;
      std::string expected;
      if (c >= frame.width || r >= frame.height) {
        ok = got.ch == U' ' && got.background == VtCell::kDefaultColour && !got.underline && !got.reverse;
        expected = "blank in the default colours";
      } else {
        const CHAR_INFO& cell = frame.At(c, r);
        const char32_t ch = replaced.find(cell.UnicodeChar) != std::u16string_view::npos
                                ? char32_t{kReplacementCell}
                                : char32_t{cell.UnicodeChar};
        // A cell marked for the terminal's defaults shows them where the rule
        // says so, its palette colours elsewhere.
        const int fg = ShowsDefaultForeground(cell.Attributes) ? VtCell::kDefaultColour
                                                               : kConsoleToAnsi[cell.Attributes & 0xF];
        const int bg = ShowsDefaultBackground(cell.Attributes) ? VtCell::kDefaultColour
                                                               : kConsoleToAnsi[(cell.Attributes >> 4) & 0xF];
        const bool underline = (cell.Attributes & kUnderscore) != 0;
        const bool reverse = (cell.Attributes & kReverseVideo) != 0;
        ok = got.ch == ch && got.background == bg && got.underline == underline && got.reverse == reverse;
        // The foreground of a plain space does not show.
        if (ch != U' ' || underline || reverse) ok = ok && got.foreground == fg;
        expected = Describe(VtCell{ch, fg, bg, underline, reverse});
      }
      if (!ok && ++mismatches <= 5)
        failure << "\n  cell (" << c << ", " << r << "): got " << Describe(got) << ", expected " << expected;
    }
  }
  if (mismatches > 0) return failure << "\n  " << mismatches << " cell(s) differ";
  return ::testing::AssertionSuccess();
}

int CountSgr(std::string_view bytes) {
  int count = 0;
  for (size_t i = 0; i + 1 < bytes.size(); ++i) {
    if (bytes[i] != '\x1b' || bytes[i + 1] != '[') continue;
    size_t j = i + 2;
    while (j < bytes.size() && ((bytes[j] >= '0' && bytes[j] <= '9') || bytes[j] == ';')) ++j;
    if (j < bytes.size() && bytes[j] == 'm') ++count;
  }
  return count;
}

int CountOf(std::string_view bytes, std::string_view needle) {
  int count = 0;
  for (size_t pos = bytes.find(needle); pos != std::string_view::npos; pos = bytes.find(needle, pos + 1)) ++count;
  return count;
}

int HexBytesPerRow(int width) { return (width - 18) / 5; }

Frame HexViewerFrame(int width, int height, const std::vector<uint8_t>& data, size_t firstByte) {
  Frame frame(width, height);
  const int perRow = HexBytesPerRow(width);
  const int charColumn = 3 * perRow + 19;
  frame.Put(0, 0, u" File  Edit  View  Help", 0x0070);
  for (int c = 23; c < width; ++c) frame.At(c, 0) = CHAR_INFO{u' ', 0x0070};
  for (int c = 0; c < width; ++c) {
    const char16_t rule = (c == 16 || c == charColumn - 1) ? u'+' : u'-';
    frame.At(c, 1) = CHAR_INFO{rule, kGreyOnBlack};
    frame.At(c, height - 2) = CHAR_INFO{rule, kGreyOnBlack};
  }
  for (int r = 0; r + 4 < height; ++r) {
    const size_t rowOffset = firstByte + static_cast<size_t>(r) * perRow;
    const int y = r + 2;
    for (int d = 0; d < 16; ++d) frame.At(d, y).UnicodeChar = HexDigit(static_cast<int>((rowOffset >> (4 * (15 - d))) & 0xF));
    frame.At(16, y).UnicodeChar = u'|';
    frame.At(charColumn - 1, y).UnicodeChar = u'|';
    for (int k = 0; k < perRow; ++k) {
      const size_t offset = rowOffset + k;
      if (offset >= data.size()) continue;
      const uint8_t byte = data[offset];
      frame.At(18 + 3 * k, y).UnicodeChar = HexDigit(byte >> 4);
      frame.At(19 + 3 * k, y).UnicodeChar = HexDigit(byte & 0xF);
      const bool printable = byte >= 0x20 && byte <= 0x7E;
      frame.At(charColumn + 2 * k, y) =
          CHAR_INFO{printable ? static_cast<char16_t>(byte) : u'.', printable ? kGreyOnBlack : kDarkGreyOnBlack};
    }
  }
  char status[64];
  std::snprintf(status, sizeof status, "%016zX", firstByte);
  for (int i = 0; status[i] != 0 && i < width; ++i) frame.At(i, height - 1).UnicodeChar = static_cast<char16_t>(status[i]);
  return frame;
}

std::u16string_view RandomFrameUnsafeCharacters() {
  static const std::u16string unsafe = {u'\x00', u'\x07', u'\x1b', u'\x7f', u'\x9b', u'\x9c', u'\u202e',
                                        u'\u0301', u'\u4e00', u'\xad', static_cast<char16_t>(0xD800),
                                        static_cast<char16_t>(0xDC00), u'\uFEFF', u'\uE000'};
  return unsafe;
}

Frame RandomFrame(std::mt19937& rng, int width, int height, bool withUnsafe) {
  static const std::u16string safe = u"  ..ab0F|-\u00e9\u25a0\u2500";
  const std::u16string_view unsafe = RandomFrameUnsafeCharacters();
  // Console colours, underline (0x8000), reverse (0x4000), and cells in the
  // terminal's own colours (0x2000: both defaults, grey on the default
  // background, a background of its own, underlined defaults).
  static const uint16_t attributes[] = {0x0007, 0x0007, 0x0008, 0x0070, 0x001E, 0x00CF, 0x0040, 0x4007,
                                        0x8007, 0x0107, 0x2007, 0x2007, 0x2008, 0x2047, 0xA007, 0x6000};
  Frame frame(width, height);
  std::uniform_int_distribution<int> pick(0, 99);
  for (CHAR_INFO& cell : frame.cells) {
    const int p = pick(rng);
    if (withUnsafe && p < 8) {
      cell.UnicodeChar = unsafe[pick(rng) % unsafe.size()];
    } else {
      cell.UnicodeChar = safe[pick(rng) % safe.size()];
    }
    cell.Attributes = attributes[pick(rng) % std::size(attributes)];
  }
  return frame;
}

}  // namespace kelm::port
