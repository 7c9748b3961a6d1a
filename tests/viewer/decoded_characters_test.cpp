// Character texts, UTF-8 decoding, the character rows and the binary digits.

#include <array>

#include "tests/viewer/decoded_test_support.h"

namespace {

std::u16string Decode(const std::vector<uint8_t>& bytes) {
  return DecodeUtf8(bytes.data(), bytes.size());
}

// ---- CharacterText ---------------------------------------------------------

TEST(CharacterText, ControlCodesHaveTheirAbbreviations) {
  EXPECT_EQ(CharacterText(0), u"NULL");
  EXPECT_EQ(CharacterText(1), u"SOH");
  EXPECT_EQ(CharacterText(8), u"BS");
  EXPECT_EQ(CharacterText(9), u"TAB");
  EXPECT_EQ(CharacterText(10), u"LF");
  EXPECT_EQ(CharacterText(13), u"CR");
  EXPECT_EQ(CharacterText(16), u"DLE");
  EXPECT_EQ(CharacterText(20), u"DC4");
  EXPECT_EQ(CharacterText(27), u"ESC");
  EXPECT_EQ(CharacterText(31), u"US");
  EXPECT_EQ(CharacterText(127), u"DEL");
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

TEST(CharacterText, OtherCodesAreThemselves) {
  EXPECT_EQ(CharacterText(32), u" ");
  EXPECT_EQ(CharacterText(0x41), u"A");
  EXPECT_EQ(CharacterText(126), u"~");
  EXPECT_EQ(CharacterText(128), std::u16string(1, char16_t{0x80}));
  EXPECT_EQ(CharacterText(0xE9), u"\u00E9");
  EXPECT_EQ(CharacterText(0x0A00), std::u16string(1, char16_t{0x0A00}));
  EXPECT_EQ(CharacterText(0xFFFF), std::u16string(1, char16_t{0xFFFF}));
}

// ---- DecodeUtf8 ------------------------------------------------------------

TEST(DecodeUtf8, WellFormedSequencesOfOneToThreeBytes) {
  EXPECT_EQ(Decode({0x41}), u"A");
  EXPECT_EQ(Decode({0x00}), std::u16string(1, u'\0'));
  EXPECT_EQ(Decode({0x7F}), u"\u007F");
  EXPECT_EQ(Decode({0xC2, 0x80}), u"\u0080");
  EXPECT_EQ(Decode({0xC3, 0xA9}), u"\u00E9");
  EXPECT_EQ(Decode({0xDF, 0xBF}), u"\u07FF");
  EXPECT_EQ(Decode({0xE0, 0xA0, 0x80}), u"\u0800");
  EXPECT_EQ(Decode({0xE2, 0x82, 0xAC}), u"\u20AC");
  EXPECT_EQ(Decode({0xEF, 0xBF, 0xBF}), std::u16string(1, char16_t{0xFFFF}));
}

TEST(DecodeUtf8, OneUnitPerCharacter) {
  EXPECT_EQ(Decode({0x41, 0x42}), u"AB");
  EXPECT_EQ(Decode({0x41, 0xC3, 0xA9, 0xE2, 0x82, 0xAC}), u"A\u00E9\u20AC");
  EXPECT_EQ(Decode({}), u"");
}

TEST(DecodeUtf8, FourByteSequenceBecomesASurrogatePair) {
  const std::u16string units = Decode({0xF0, 0x9F, 0x98, 0x80});  // U+1F600
  ASSERT_EQ(units.size(), 2u);
  EXPECT_EQ(units[0], char16_t{0xD83D});
  EXPECT_EQ(units[1], char16_t{0xDE00});
  EXPECT_EQ(Decode({0xF4, 0x8F, 0xBF, 0xBF}).size(), 2u);  // U+10FFFF
}

TEST(DecodeUtf8, TruncatedSequencesDecodeToNothing) {
  EXPECT_EQ(Decode({0xC3}), u"");
  EXPECT_EQ(Decode({0xE2, 0x82}), u"");
  EXPECT_EQ(Decode({0xF0, 0x9F, 0x98}), u"");
  EXPECT_EQ(Decode({0x41, 0xC3}), u"");
}

TEST(DecodeUtf8, NeverReadsPastTheGivenBytes) {
  // The bytes after `count` would complete the sequence if they were read.
  const std::array<uint8_t, 3> euro = {0xE2, 0x82, 0xAC};
  EXPECT_EQ(DecodeUtf8(euro.data(), 2), u"");
  EXPECT_EQ(DecodeUtf8(euro.data(), 1), u"");
  EXPECT_EQ(DecodeUtf8(euro.data(), 0), u"");
  EXPECT_EQ(DecodeUtf8(euro.data(), 3), u"\u20AC");
}

TEST(DecodeUtf8, LoneContinuationAndImpossibleLeadBytesDecodeToNothing) {
  EXPECT_EQ(Decode({0x80}), u"");
  EXPECT_EQ(Decode({0xBF}), u"");
  EXPECT_EQ(Decode({0x41, 0x80}), u"");
  EXPECT_EQ(Decode({0xF8, 0x88, 0x80, 0x80, 0x80}), u"");
  EXPECT_EQ(Decode({0xFC, 0x84, 0x80, 0x80, 0x80, 0x80}), u"");
  EXPECT_EQ(Decode({0xFE}), u"");
  EXPECT_EQ(Decode({0xFF}), u"");
  EXPECT_EQ(Decode({0xF5, 0x80, 0x80, 0x80}), u"");  // beyond U+10FFFF
}

TEST(DecodeUtf8, OverlongFormsDecodeToNothing) {
  EXPECT_EQ(Decode({0xC0, 0x80}), u"");        // U+0000 in two bytes
  EXPECT_EQ(Decode({0xC1, 0xBF}), u"");        // U+007F in two bytes
  EXPECT_EQ(Decode({0xE0, 0x80, 0x80}), u"");  // U+0000 in three bytes
  EXPECT_EQ(Decode({0xE0, 0x9F, 0xBF}), u"");  // U+07FF in three bytes
  EXPECT_EQ(Decode({0xF0, 0x8F, 0xBF, 0xBF}), u"");
}

TEST(DecodeUtf8, BadFollowingBytesAndSurrogatesDecodeToNothing) {
  EXPECT_EQ(Decode({0xC3, 0x41}), u"");
  EXPECT_EQ(Decode({0xE2, 0x82, 0x41}), u"");
  EXPECT_EQ(Decode({0xE2, 0xC3, 0xA9}), u"");
  EXPECT_EQ(Decode({0xED, 0xA0, 0x80}), u"");  // U+D800
  EXPECT_EQ(Decode({0xED, 0xBF, 0xBF}), u"");  // U+DFFF
  EXPECT_EQ(Decode({0xED, 0x9F, 0xBF}), u"\uD7FF");
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
