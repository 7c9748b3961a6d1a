// Character texts, UTF-8 decoding, the character rows and the binary digits.

#include <array>

#include "tests/viewer/decoded_test_support.h"

using namespace kelm::viewer;

namespace {

std::u16string Decode(const std::vector<uint8_t>& bytes) {
  return DecodeUtf8(bytes.data(), bytes.size());
}

// ---- CharacterText ---------------------------------------------------------

struct CharacterCase {
  uint16_t code;
  std::u16string text;
};

TEST(CharacterText, ControlCodesHaveTheirAbbreviationsOtherCodesAreThemselves) {
  const CharacterCase cases[] = {
      // Control codes: their abbreviations.
      {0, u"NULL"}, {1, u"SOH"}, {8, u"BS"}, {9, u"TAB"}, {10, u"LF"}, {13, u"CR"},
      {16, u"DLE"}, {20, u"DC4"}, {27, u"ESC"}, {31, u"US"}, {127, u"DEL"},
      // Every other code: itself, as one unit.
      {32, u" "}, {0x41, u"A"}, {126, u"~"}, {128, std::u16string(1, char16_t{0x80})}, {0xE9, u"\u00E9"},
      {0x0A00, std::u16string(1, char16_t{0x0A00})}, {0xFFFF, std::u16string(1, char16_t{0xFFFF})},
  };
  for (const CharacterCase& c : cases) EXPECT_EQ(CharacterText(c.code), c.text) << c.code;
}

TEST(CharacterText, EveryControlCodeIsANameNeverTheRawCode) {
  for (uint16_t code = 0; code < 32; ++code) {
    const std::u16string text = CharacterText(code);
    EXPECT_GE(text.size(), 2u) << code;
    for (char16_t unit : text) {
      EXPECT_TRUE(unit >= u'0' && unit <= u'Z') << code;
    }
  }
}

// ---- DecodeUtf8 ------------------------------------------------------------

struct Utf8Case {
  std::vector<uint8_t> bytes;
  std::u16string units;  // empty: decodes to nothing
  const char* what;
};

void ExpectDecodes(const std::vector<Utf8Case>& cases) {
  for (const Utf8Case& c : cases) {
    EXPECT_EQ(Decode(c.bytes), c.units) << c.what << ": " << ::testing::PrintToString(c.bytes);
  }
}

TEST(DecodeUtf8, WellFormedSequencesGiveOneUnitPerCharacter) {
  ExpectDecodes({
      {{0x41}, u"A", "ASCII"},
      {{0x00}, std::u16string(1, u'\0'), "NUL"},
      {{0x7F}, u"\u007F", "DEL"},
      {{0xC2, 0x80}, u"\u0080", "smallest two-byte"},
      {{0xC3, 0xA9}, u"\u00E9", "two bytes"},
      {{0xDF, 0xBF}, u"\u07FF", "largest two-byte"},
      {{0xE0, 0xA0, 0x80}, u"\u0800", "smallest three-byte"},
      {{0xE2, 0x82, 0xAC}, u"\u20AC", "three bytes"},
      {{0xEF, 0xBF, 0xBF}, std::u16string(1, char16_t{0xFFFF}), "largest three-byte"},
      {{0xED, 0x9F, 0xBF}, u"\uD7FF", "just below the surrogates"},
      {{0x41, 0x42}, u"AB", "two characters"},
      {{0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}, u"A\u00E9\u20AC", "one, two and three bytes"},
      {{}, u"", "no bytes"},
      // Four bytes become a surrogate pair.
      {{0xF0, 0x9F, 0x98, 0x80}, std::u16string{char16_t{0xD83D}, char16_t{0xDE00}}, "U+1F600"},
      {{0xF4, 0x8F, 0xBF, 0xBF}, std::u16string{char16_t{0xDBFF}, char16_t{0xDFFF}}, "U+10FFFF"},
  });
}

TEST(DecodeUtf8, IllFormedInputDecodesToNothing) {
  ExpectDecodes({
      // Cut short.
      {{0xC3}, u"", "two-byte lead alone"},
      {{0xE2, 0x82}, u"", "three-byte sequence cut short"},
      {{0xF0, 0x9F, 0x98}, u"", "four-byte sequence cut short"},
      {{0x41, 0xC3}, u"", "a character, then a lead alone"},
      // Lone continuation bytes and impossible leads.
      {{0x80}, u"", "continuation byte"},
      {{0xBF}, u"", "last continuation byte"},
      {{0x41, 0x80}, u"", "a character, then a continuation byte"},
      {{0xF8, 0x88, 0x80, 0x80, 0x80}, u"", "five-byte form"},
      {{0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}, u"", "six-byte form"},
      {{0xFE}, u"", "FE"},
      {{0xFF}, u"", "FF"},
      {{0xF5, 0x80, 0x80, 0x80}, u"", "beyond U+10FFFF"},
      // Overlong forms.
      {{0xC0, 0x80}, u"", "U+0000 in two bytes"},
      {{0xC1, 0xBF}, u"", "U+007F in two bytes"},
      {{0xE0, 0x80, 0x80}, u"", "U+0000 in three bytes"},
      {{0xE0, 0x9F, 0xBF}, u"", "U+07FF in three bytes"},
      {{0xF0, 0x8F, 0xBF, 0xBF}, u"", "U+FFFF in four bytes"},
      // Bad following bytes and surrogates.
      {{0xC3, 0x41}, u"", "second byte not a continuation"},
      {{0xE2, 0x82, 0x41}, u"", "third byte not a continuation"},
      {{0xE2, 0xC3, 0xA9}, u"", "a lead inside a sequence"},
      {{0xED, 0xA0, 0x80}, u"", "U+D800"},
      {{0xED, 0xBF, 0xBF}, u"", "U+DFFF"},
  });
}

TEST(DecodeUtf8, NeverReadsPastTheGivenBytes) {
  // The bytes after `count` would complete the sequence if they were read.
  const std::array<uint8_t, 3> euro = {0xE2, 0x82, 0xAC};
  EXPECT_EQ(DecodeUtf8(euro.data(), 2), u"");
  EXPECT_EQ(DecodeUtf8(euro.data(), 1), u"");
  EXPECT_EQ(DecodeUtf8(euro.data(), 0), u"");
  EXPECT_EQ(DecodeUtf8(euro.data(), 3), u"\u20AC");
}

// ---- character rows --------------------------------------------------------

TEST_F(InspectorTest, SingleByteIsACharInBothOrders) {
  const std::vector<uint8_t> tab = {0x09};
  DecodeCharacters(tab.data(), 1);
  ExpectRecord(leChar, u"char", u"TAB");
  ExpectRecord(beChar, u"char", u"TAB");
  ExpectRecord(utf8Char, u"", u"TAB");

  const std::vector<uint8_t> eAcute = {0xE9};
  DecodeCharacters(eAcute.data(), 1);
  ExpectRecord(leChar, u"char", u"\u00E9");
  ExpectRecord(beChar, u"char", u"\u00E9");
  ExpectRecord(utf8Char, u"", u"---");  // 0xE9 alone is a cut-short sequence
}

TEST_F(InspectorTest, TwoBytesAreAWideCharInBothOrders) {
  const std::vector<uint8_t> bytes = {0xE9, 0x00};
  DecodeCharacters(bytes.data(), 2);
  ExpectRecord(leChar, u"wchar", u"\u00E9");
  ExpectRecord(beChar, u"wchar", std::u16string(1, char16_t{0xE900}));
  ExpectRecord(utf8Char, u"", u"---");

  const std::vector<uint8_t> del = {0x00, 0x7F};
  DecodeCharacters(del.data(), 2);
  ExpectRecord(leChar, u"wchar", std::u16string(1, char16_t{0x7F00}));
  ExpectRecord(beChar, u"wchar", u"DEL");
}

TEST_F(InspectorTest, CharacterRowsNeedOneOrTwoBytes) {
  const std::vector<uint8_t> euro = {0xE2, 0x82, 0xAC};
  DecodeCharacters(euro.data(), 3);
  ExpectRecord(leChar, u"", u"---");
  ExpectRecord(beChar, u"", u"---");
  ExpectRecord(utf8Char, u"", u"\u20AC");

  DecodeCharacters(euro.data(), 0);
  ExpectRecord(leChar, u"", u"---");
  ExpectRecord(beChar, u"", u"---");
  ExpectRecord(utf8Char, u"", u"---");
}

TEST_F(InspectorTest, Utf8RowNeedsExactlyOneUnit) {
  const std::vector<std::vector<uint8_t>> notOne = {
      {0x41, 0x42},              // two characters
      {0xF0, 0x9F, 0x98, 0x80},  // beyond 16 bits
      {0xC0, 0x80},              // over-long
      {0xE2, 0x82},              // cut short
      {0x80},                    // lone continuation
      {0xF8, 0x88, 0x80, 0x80},  // 11111xxx lead
      {0xC3, 0xA9, 0x00},        // a character and a NULL
  };
  for (const std::vector<uint8_t>& bytes : notOne) {
    SCOPED_TRACE(::testing::PrintToString(bytes));
    utf8Char.Set(u"x", u"x");
    DecodeCharacters(bytes.data(), bytes.size());
    ExpectRecord(utf8Char, u"", u"---");
  }
}

TEST_F(InspectorTest, Utf8RowUsesTheCharacterTexts) {
  const std::vector<uint8_t> nul = {0x00};
  DecodeCharacters(nul.data(), 1);
  ExpectRecord(utf8Char, u"", u"NULL");
  const std::vector<uint8_t> del = {0x7F};
  DecodeCharacters(del.data(), 1);
  ExpectRecord(utf8Char, u"", u"DEL");
  const std::vector<uint8_t> twoByteControl = {0xC2, 0x85};
  DecodeCharacters(twoByteControl.data(), 2);
  ExpectRecord(utf8Char, u"", std::u16string(1, char16_t{0x85}));
}

// ---- ByteToBinary ----------------------------------------------------------

TEST(ByteToBinary, MostSignificantBitFirst) {
  EXPECT_EQ(ByteToBinary(0x41), u"01000001");
  EXPECT_EQ(ByteToBinary(0x00), u"00000000");
  EXPECT_EQ(ByteToBinary(0xFF), u"11111111");
  EXPECT_EQ(ByteToBinary(0x80), u"10000000");
  EXPECT_EQ(ByteToBinary(0x01), u"00000001");
}

TEST(ByteToBinary, EveryByteReadsBackAsItself) {
  for (int byte = 0; byte < 256; ++byte) {
    const std::u16string digits = ByteToBinary(static_cast<uint8_t>(byte));
    ASSERT_EQ(digits.size(), 8u);
    int value = 0;
    for (char16_t digit : digits) {
      ASSERT_TRUE(digit == u'0' || digit == u'1');
      value = value * 2 + (digit - u'0');
    }
    EXPECT_EQ(value, byte);
  }
}

}  // namespace
