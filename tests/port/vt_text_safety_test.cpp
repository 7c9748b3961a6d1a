// Text safety of the output (vt_text_safety.h): characters that must not
// reach the terminal as they are, and the window title sequence.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/port/cell_character_table.h"
#include "engine/port/terminal/codec/vt_output.h"
#include "engine/port/utf.h"
#include "tests/port/vt_frame.h"

namespace kelm::port {
namespace {

struct UnitRange {
  char16_t first;
  char16_t last;
  const char* what;
};

// Everything that must be replaced in a cell.
const UnitRange kUnsafe[] = {
    {0x0000, 0x001F, "C0 controls"},
    {0x007F, 0x007F, "DEL"},
    {0x0080, 0x009F, "C1 controls"},
    {0x00AD, 0x00AD, "soft hyphen"},
    {0x0300, 0x036F, "combining diacritical marks"},
    {0x061C, 0x061C, "Arabic letter mark"},
    {0x1100, 0x115F, "Hangul choseong (wide)"},
    {0x1AB0, 0x1AFF, "combining diacritical marks extended"},
    {0x1DC0, 0x1DFF, "combining diacritical marks supplement"},
    {0x200B, 0x200D, "zero-width space and joiners"},
    {0x200E, 0x200F, "left-to-right and right-to-left marks"},
    {0x2028, 0x2029, "line and paragraph separators"},
    {0x202A, 0x202E, "bidi embeddings and overrides"},
    {0x2060, 0x2064, "word joiner and invisible operators"},
    {0x2066, 0x2069, "bidi isolates"},
    {0x20D0, 0x20FF, "combining marks for symbols"},
    {0x2E80, 0xA4CF, "CJK (wide)"},
    {0xAC00, 0xD7A3, "Hangul syllables (wide)"},
    {0xD7B0, 0xD7FF, "Hangul jamo extended-B (conjoining, width 0)"},
    {0xD800, 0xDFFF, "surrogates"},
    {0xE000, 0xF8FF, "private use"},
    {0xF900, 0xFAFF, "CJK compatibility ideographs (wide)"},
    {0xFE20, 0xFE2F, "combining half marks"},
    {0xFE30, 0xFE4F, "CJK compatibility forms (wide)"},
    {0xFEFF, 0xFEFF, "byte-order mark"},
    {0xFF00, 0xFF60, "fullwidth forms"},
    {0xFFA0, 0xFFA0, "halfwidth Hangul filler"},
    {0xFFE0, 0xFFE6, "fullwidth signs"},
    {0xFFFE, 0xFFFF, "noncharacters"},
};

std::u16string AllUnsafeSamples() {
  std::u16string text;
  for (const UnitRange& range : kUnsafe) {
    // Every unit of the small ranges; edges and a few inside of the large ones.
    if (range.last - range.first < 64) {
      for (char32_t u = range.first; u <= range.last; ++u) text += static_cast<char16_t>(u);
    } else {
      for (char32_t u = range.first; u <= range.last; u += (range.last - range.first) / 37)
        text += static_cast<char16_t>(u);
      text += range.last;
    }
  }
  return text;
}

// --- Which characters are safe ------------------------------------------------

TEST(VtOutputSafety, EveryListedRangeIsUnsafe) {
  for (const UnitRange& range : kUnsafe) {
    for (char32_t u = range.first; u <= range.last; ++u)
      ASSERT_FALSE(IsSafeCellCharacter(static_cast<char16_t>(u)))
          << range.what << ": U+" << std::hex << static_cast<unsigned>(u);
  }
}

TEST(VtOutputSafety, PrintableAsciiLatinAndBoxCharactersAreSafe) {
  for (char16_t u = 0x20; u < 0x7F; ++u) EXPECT_TRUE(IsSafeCellCharacter(u)) << static_cast<int>(u);
  for (char16_t u = 0xA0; u <= 0xFF; ++u) {
    if (u != 0xAD) {
      EXPECT_TRUE(IsSafeCellCharacter(u)) << "U+" << std::hex << static_cast<int>(u);
    }
  }
  for (const char16_t u : std::u16string(u"\u25a0\u25a1\u2500\u2502\u253c\u2588\u2592\u00b7\u2022\u2190\u03a9"
                                         u"\u0416\u05d0\u0627\u20ac\u2122\u01b5\u1e9e\ufffd")) {
    EXPECT_TRUE(IsSafeCellCharacter(u)) << "U+" << std::hex << static_cast<int>(u);
  }
}

TEST(VtOutputSafety, EdgesAroundTheListedRangesAreSafe) {
  // Neighbours of the ranges that are ordinary one-cell characters.
  for (const char16_t u : std::u16string(u"\u00ac\u00ae\u02ff\u0370\u061b\u061d\u10ff\u1dbf\u200a\u2027"
                                         u"\u2030\u205f\u20bf\u2100\u2e52\uff61\uffe8")) {
    EXPECT_TRUE(IsSafeCellCharacter(u)) << "U+" << std::hex << static_cast<int>(u);
  }
}

// --- Unsafe characters on screen ---------------------------------------------------

TEST(VtOutputSafety, UnsafeCellsShowThePlaceholderAndTheBytesStayInert) {
  const std::u16string unsafe = AllUnsafeSamples();
  const int width = 40;
  const int height = static_cast<int>(unsafe.size() / (width - 2)) + 2;
  Frame frame(width, height, u'-');
  for (size_t i = 0; i < unsafe.size(); ++i)
    frame.At(1 + static_cast<int>(i) % (width - 2), static_cast<int>(i) / (width - 2)).UnicodeChar = unsafe[i];
  Terminal terminal(width, height);
  const std::string& bytes = terminal.Show(frame);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame, unsafe));
  for (size_t i = 0; i < bytes.size(); ++i) {
    const auto byte = static_cast<unsigned char>(bytes[i]);
    // The only controls: ESC of the encoder's sequences, CR and LF moves.
    EXPECT_TRUE(byte >= 0x20 || byte == 0x1B || byte == '\r' || byte == '\n')
        << "control byte " << int{byte} << " at " << i;
    EXPECT_NE(byte, 0x7F);
    // No UTF-8 encoded C1 (C2 80..C2 9F).
    if (byte == 0xC2 && i + 1 < bytes.size()) {
      EXPECT_FALSE(static_cast<unsigned char>(bytes[i + 1]) < 0xA0) << "C1 at " << i;
    }
  }
  // Every escape starts a sequence the encoder writes itself: what follows
  // ESC is never file content.
  for (size_t pos = bytes.find('\x1b'); pos != std::string::npos; pos = bytes.find('\x1b', pos + 1))
    EXPECT_EQ(bytes[pos + 1], '[') << "at " << pos;
}

TEST(VtOutputSafety, SafeNonAsciiCharactersAreSentAsUtf8) {
  Terminal terminal(10, 1);
  Frame frame(10, 1, u' ');
  frame.Put(0, 0, u"\u00e9\u25a0\u25a1x\u2500");
  const std::string& bytes = terminal.Show(frame);
  EXPECT_NE(bytes.find("\xc3\xa9"), std::string::npos);
  EXPECT_NE(bytes.find("\xe2\x96\xa0"), std::string::npos);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame));
}

TEST(VtOutputSafety, WideCharactersDoNotShiftTheRow) {
  Terminal terminal(12, 2);
  Frame frame(12, 2, u' ');
  frame.Put(0, 0, u"a\u4e00b\uac00c\uff21d");
  frame.Put(0, 1, u"\u3042\u3042\u3042xyz");
  terminal.Show(frame);
  EXPECT_TRUE(ShowsFrame(terminal.screen, frame, u"\u4e00\uac00\uff21\u3042"));
  EXPECT_EQ(terminal.screen.RowText(0), "a.b.c.d      ");
  EXPECT_EQ(terminal.screen.RowText(1), "...xyz       ");
}

TEST(VtOutputSafety, AmbiguousCharactersDrawnWideDoNotShiftTheRow) {
  // A terminal with CJK widths draws these two cells wide; the encoder sends
  // the position again after each, so the following cells land right.
  for (const bool fullRedraw : {true, false}) {
    Terminal terminal(12, 2);
    terminal.screen.SetWideCharacters(U"\u25a0\u00e9");
    Frame frame(12, 2, u'-');
    if (!fullRedraw) terminal.Show(frame);
    frame.Put(0, 1, u"\u25a0x\u00e9yz\u25a0\u25a0w");
    terminal.Show(frame);
    // Each cell written after a wide glyph wipes the glyph (as terminals do),
    // but stays in its own column.
    const VtScreen& screen = terminal.screen;
    const char* mode = fullRedraw ? "full redraw" : "changed cells";
    EXPECT_EQ(screen.At(1, 1).ch, U'x') << mode;
    EXPECT_EQ(screen.At(3, 1).ch, U'y') << mode;
    EXPECT_EQ(screen.At(4, 1).ch, U'z') << mode;
    EXPECT_EQ(screen.At(7, 1).ch, U'w') << mode;
    for (int c = 8; c < 12; ++c) EXPECT_EQ(screen.At(c, 1).ch, U'-') << mode << " column " << c;
    EXPECT_EQ(screen.RowText(0), "------------ ") << mode;
    EXPECT_TRUE(screen.errors().empty());
  }
}

// --- Window title -------------------------------------------------------------------

TEST(VtTitle, IsAnOsc2StringEndedByStringTerminator) {
  EXPECT_EQ(TitleSequence(u"kelmhex - a.bin"), "\x1b]2;kelmhex - a.bin\x1b\\");
  EXPECT_EQ(TitleSequence(u""), "\x1b]2;\x1b\\");
}

TEST(VtTitle, ControlsAndBidiCharactersAreRemoved) {
  std::u16string title = u"a";
  for (char16_t u = 0; u < 0x20; ++u) title += u;
  title += u"b\x7f\x80\x85\x9b\x9c\x9f";
  title += u"c\u061c\u200e\u200f\u202a\u202b\u202c\u202d\u202e\u2066\u2067\u2068\u2069\u2028\u2029d";
  VtScreen screen(10, 2);
  screen.Feed(TitleSequence(title));
  EXPECT_TRUE(screen.errors().empty()) << screen.errors().front();
  EXPECT_EQ(screen.title(), "abcd");
  EXPECT_EQ(screen.RowText(0), "          ");  // nothing leaked onto the screen
}

TEST(VtTitle, ZeroWidthAndFormatCharactersGoAsInTheCells) {
  // U+200B, U+200D, U+FEFF, soft hyphen, word joiner, variation selector 16,
  // Hangul filler, Arabic number sign and a tag character (a surrogate pair).
  const std::u16string title = u"a\u200bb\u200dc\ufeffd\u00ade\u2060f\ufe0fg\u3164h\u0600i\U000E0041j";
  VtScreen screen(10, 2);
  screen.Feed(TitleSequence(title));
  EXPECT_TRUE(screen.errors().empty());
  EXPECT_EQ(screen.title(), "abcdefghij");
}

TEST(VtTitle, OneRuleForTitleAndCells) {
  // Whatever the title drops as a control or an invisible character, a cell
  // shows as the placeholder.
  for (char32_t cp = 0; cp < 0x110000; ++cp) {
    if (!IsControlOrInvisible(cp)) continue;
    if (cp <= 0xFFFF) {
      ASSERT_FALSE(IsSafeCellCharacter(static_cast<char16_t>(cp))) << "U+" << std::hex << static_cast<unsigned>(cp);
    }
    std::u16string one;
    if (cp <= 0xFFFF) {
      one += static_cast<char16_t>(cp);
    } else {
      one += static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10));
      one += static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF));
    }
    ASSERT_EQ(TitleSequence(u"x" + one + u"y"), "\x1b]2;xy\x1b\\") << "U+" << std::hex << static_cast<unsigned>(cp);
  }
  // Printable characters around them stay in both.
  for (const char32_t cp : {U'a', U'\u00e9', U'\u200a', U'\u2010', U'\u205f', U'\ufe10', U'\U0001F600'}) {
    EXPECT_FALSE(IsControlOrInvisible(cp)) << "U+" << std::hex << static_cast<unsigned>(cp);
  }
}

TEST(VtTitle, KeepsOtherCharactersAndSurrogatePairsButDropsLoneSurrogates) {
  std::u16string title = u"\u00e9\u4e00";
  title += static_cast<char16_t>(0xD800);  // lone high
  title += u"x";
  title += static_cast<char16_t>(0xDC00);  // lone low
  title += u"\U0001F600";
  title += static_cast<char16_t>(0xDBFF);  // high at the end
  VtScreen screen(10, 2);
  screen.Feed(TitleSequence(title));
  EXPECT_TRUE(screen.errors().empty());
  EXPECT_EQ(screen.title(), "\xc3\xa9\xe4\xb8\x80x\xf0\x9f\x98\x80");
}

TEST(VtTitle, IsCappedAt200BytesWithoutCuttingACharacter) {
  struct Case {
    std::u16string title;
    size_t expectedBytes;
  };
  const Case cases[] = {
      {std::u16string(300, u'a'), 200},
      {std::u16string(199, u'a') + u"\u00e9", 199},       // 2-byte character would end at 201
      {std::u16string(198, u'a') + u"\u00e9zz", 200},     // fits exactly
      {std::u16string(70, u'\u20ac'), 198},               // 3-byte characters: 66 fit
      {std::u16string(197, u'a') + u"\U0001F600", 197},   // 4-byte character would end at 201
      {std::u16string(196, u'a') + u"\U0001F600b", 200},
  };
  for (const Case& c : cases) {
    VtScreen screen(4, 1);
    const std::string sequence = TitleSequence(c.title);
    screen.Feed(sequence);
    EXPECT_TRUE(screen.errors().empty());
    EXPECT_EQ(screen.title().size(), c.expectedBytes) << sequence.size();
    EXPECT_EQ(ToUtf8(FromUtf8(screen.title())), screen.title()) << "not valid UTF-8";
    EXPECT_EQ(sequence.substr(sequence.size() - 2), "\x1b\\");
  }
}

}  // namespace
}  // namespace kelm::port
