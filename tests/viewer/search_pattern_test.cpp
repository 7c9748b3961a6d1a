// Reading typed search patterns: hexadecimal bytes, text after a quote, and
// what is refused with a reason.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "engine/port/utf.h"
#include "viewer/search.h"

using namespace kelm::viewer;

namespace {

using Outcome = ParsedPattern::Outcome;

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// --- typed patterns -----------------------------------------------------------------

std::vector<uint8_t> ParsedBytes(const std::u16string& typed) {
  const ParsedPattern parsed = ParseSearchPattern(typed);
  EXPECT_EQ(parsed.outcome, Outcome::Valid) << kelm::port::ToUtf8(typed) << ": " << kelm::port::ToUtf8(parsed.error);
  return parsed.pattern.bytes;
}

TEST(SearchPatternTest, HexPairsWithOrWithoutBlanksInEitherCase) {
  const std::vector<uint8_t> deadbeef = {0xDE, 0xAD, 0xBE, 0xEF};
  EXPECT_EQ(ParsedBytes(u"de ad be ef"), deadbeef);
  EXPECT_EQ(ParsedBytes(u"DEADBEEF"), deadbeef);
  EXPECT_EQ(ParsedBytes(u"  dEaD  bE\tEf "), deadbeef);
  EXPECT_EQ(ParsedBytes(u"00"), std::vector<uint8_t>{0x00});
  const ParsedPattern parsed = ParseSearchPattern(u"de ad be ef");
  EXPECT_FALSE(parsed.pattern.text);
  EXPECT_EQ(parsed.pattern.display, u"DE AD BE EF");
}

TEST(SearchPatternTest, InvalidHexIsRefusedWithAReason) {
  for (const std::u16string typed : {u"dea", u"d e", u"de a", u"xy", u"de g0", u"0x12", u"12-34"}) {
    const ParsedPattern parsed = ParseSearchPattern(typed);
    EXPECT_EQ(parsed.outcome, Outcome::Invalid) << kelm::port::ToUtf8(typed);
    EXPECT_FALSE(parsed.error.empty()) << kelm::port::ToUtf8(typed);
  }
  EXPECT_EQ(ParseSearchPattern(u"de g0").error, u"Not a hex digit: 'g' (for text, type \" first)");
  EXPECT_EQ(ParseSearchPattern(u"dea").error, u"Each byte needs two hex digits");
  EXPECT_EQ(ParseSearchPattern(u"d e").error, u"Each byte needs two hex digits");
}

TEST(SearchPatternTest, NothingButBlanksIsEmpty) {
  EXPECT_EQ(ParseSearchPattern(u"").outcome, Outcome::Empty);
  EXPECT_EQ(ParseSearchPattern(u"   \t ").outcome, Outcome::Empty);
}

TEST(SearchPatternTest, TextAfterALeadingQuoteIsItsUtf8Bytes) {
  EXPECT_EQ(ParsedBytes(u"\"Hello world"), Bytes("Hello world"));
  // The closing quote is optional; a second one is part of the text.
  EXPECT_EQ(ParsedBytes(u"\"Hello\""), Bytes("Hello"));
  EXPECT_EQ(ParsedBytes(u"\"a\"\""), Bytes("a\""));
  EXPECT_EQ(ParsedBytes(u"\"\"\""), Bytes("\""));
  // Blanks after the quote are text; blanks before it are not.
  EXPECT_EQ(ParsedBytes(u"  \" de ad"), Bytes(" de ad"));
  const ParsedPattern parsed = ParseSearchPattern(u"\"Hello\"");
  EXPECT_TRUE(parsed.pattern.text);
  EXPECT_EQ(parsed.pattern.display, u"\"Hello\"");
}

TEST(SearchPatternTest, NonAsciiTextIsSearchedAsUtf8) {
  EXPECT_EQ(ParsedBytes(u"\"h\u00E9"), (std::vector<uint8_t>{'h', 0xC3, 0xA9}));
  EXPECT_EQ(ParsedBytes(u"\"\u65E5\u672C"), (std::vector<uint8_t>{0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC}));
  // A surrogate pair is one character of four bytes.
  EXPECT_EQ(ParsedBytes(u"\"\U0001F600"), (std::vector<uint8_t>{0xF0, 0x9F, 0x98, 0x80}));
}

TEST(SearchPatternTest, EmptyTextAndBlankedControlCharactersAreRefused) {
  EXPECT_EQ(ParseSearchPattern(u"\"").outcome, Outcome::Invalid);
  EXPECT_EQ(ParseSearchPattern(u"\"\"").outcome, Outcome::Invalid);
  // A pasted line break arrives as U+0000: it cannot be searched as text.
  EXPECT_EQ(ParseSearchPattern(std::u16string(u"\"a\0b", 4)).outcome, Outcome::Invalid);
  // Between hex pairs it is a blank like a pasted tab.
  EXPECT_EQ(ParsedBytes(std::u16string(u"01") + u'\0' + u"02"), (std::vector<uint8_t>{0x01, 0x02}));
}

TEST(SearchPatternTest, TextInUtf16EitherWayAndInAnyCase) {
  using Bytes = std::vector<uint8_t>;
  TextSearchOptions little{TextEncoding::Utf16Le, false};
  TextSearchOptions big{TextEncoding::Utf16Be, false};
  EXPECT_EQ(ParseSearchPattern(u"\"A\u00E9", little).pattern.bytes, (Bytes{'A', 0, 0xE9, 0}));
  EXPECT_EQ(ParseSearchPattern(u"\"A\u00E9", big).pattern.bytes, (Bytes{0, 'A', 0, 0xE9}));
  EXPECT_TRUE(ParseSearchPattern(u"\"A", big).pattern.fold.empty());
  EXPECT_EQ(ParseSearchPattern(u"\"A", big).pattern.display, u"\"A\" (UTF-16 BE)");
  // Any case: letters kept in lower case with their fold bit, nothing else;
  // in UTF-16 only the letter's own byte folds.
  const SearchPattern any = ParseSearchPattern(u"\"A1z\u00C9", TextSearchOptions{TextEncoding::Utf8, true}).pattern;
  EXPECT_EQ(any.bytes, (Bytes{'a', '1', 'z', 0xC3, 0x89}));
  EXPECT_EQ(any.fold, (Bytes{0x20, 0, 0x20, 0, 0}));
  EXPECT_EQ(any.display, u"\"A1z\u00C9\" (any case)");
  const SearchPattern wide = ParseSearchPattern(u"\"Q", TextSearchOptions{TextEncoding::Utf16Be, true}).pattern;
  EXPECT_EQ(wide.bytes, (Bytes{0, 'q'}));
  EXPECT_EQ(wide.fold, (Bytes{0, 0x20}));
  EXPECT_EQ(wide.display, u"\"Q\" (UTF-16 BE, any case)");
  // Hex bytes ignore the text options.
  EXPECT_EQ(ParseSearchPattern(u"41 42", TextSearchOptions{TextEncoding::Utf16Le, true}).pattern.bytes, (Bytes{0x41, 0x42}));
  EXPECT_TRUE(ParseSearchPattern(u"41 42", TextSearchOptions{TextEncoding::Utf16Le, true}).pattern.fold.empty());
}

TEST(SearchPatternTest, AnyCaseMatchesBothCasesOfLettersOnly) {
  const SearchPattern pattern = ParseSearchPattern(u"\"a[", TextSearchOptions{TextEncoding::Utf8, true}).pattern;
  const PatternMatcher matcher(pattern.Needle());
  // '[' (5B) must not match '{' (7B) although they differ in the fold bit,
  // and 'A' matches while '!' (21, 'A' ^ 0x60) does not.
  const std::string text = "A[ a[ A{ ![ a[";
  const std::vector<uint8_t> data(text.begin(), text.end());
  EXPECT_EQ(matcher.CountIn(data.data(), data.size() - 1), 3u);
  EXPECT_EQ(matcher.FindFirst(data.data(), data.size() - 1), 0u);
  EXPECT_EQ(matcher.FindLast(data.data(), data.size() - 1), 12u);
  // Long enough for the sixteen-at-a-time key test.
  std::string longer(40, '.');
  longer += "xA[";
  const std::vector<uint8_t> more(longer.begin(), longer.end());
  EXPECT_EQ(matcher.FindFirst(more.data(), more.size() - 1), 41u);
}

}  // namespace
