// The one UTF-8 step decoder and the hex-digit helpers, as case tables.
#include <gtest/gtest.h>

#include <string>

#include "engine/port/hex_digits.h"
#include "engine/port/utf.h"

namespace {

using kelm::port::DecodeUtf8Step;
using kelm::port::Utf8Step;
using Kind = Utf8Step::Kind;

struct StepCase {
  const char* name;
  std::string bytes;
  Kind kind;
  size_t length;
  char32_t codePoint;
};

TEST(Utf8Step, DecodesOneCharacterOrNamesTheIllFormedPrefix) {
  const StepCase cases[] = {
      {"ASCII", "A", Kind::Character, 1, U'A'},
      {"two bytes", "\xC3\xA9", Kind::Character, 2, 0xE9},
      {"three bytes", "\xE2\x82\xAC", Kind::Character, 3, 0x20AC},
      {"four bytes", "\xF0\x9F\x98\x80", Kind::Character, 4, 0x1F600},
      {"largest", "\xF4\x8F\xBF\xBF", Kind::Character, 4, 0x10FFFF},
      {"only the first character", "\xC3\xA9z", Kind::Character, 2, 0xE9},
      {"cut short", "\xE2\x82", Kind::Incomplete, 0, 0},
      {"lead alone", "\xF0", Kind::Incomplete, 0, 0},
      {"continuation byte", "\x80", Kind::Invalid, 1, 0},
      {"overlong lead C0", "\xC0\x80", Kind::Invalid, 1, 0},
      {"lead F5", "\xF5\x80\x80\x80", Kind::Invalid, 1, 0},
      {"overlong three bytes", "\xE0\x80\x80", Kind::Invalid, 1, 0},
      {"surrogate", "\xED\xA0\x80", Kind::Invalid, 1, 0},
      {"above U+10FFFF", "\xF4\x90\x80\x80", Kind::Invalid, 1, 0},
      {"broken after two bytes", "\xE2\x82z", Kind::Invalid, 2, 0},
      {"broken after three bytes", "\xF0\x9F\x98z", Kind::Invalid, 3, 0},
  };
  for (const StepCase& c : cases) {
    const Utf8Step step = DecodeUtf8Step(reinterpret_cast<const unsigned char*>(c.bytes.data()), c.bytes.size());
    EXPECT_EQ(step.kind, c.kind) << c.name;
    EXPECT_EQ(step.length, c.length) << c.name;
    if (c.kind == Kind::Character) {
      EXPECT_EQ(step.codePoint, c.codePoint) << c.name;
    }
  }
}

TEST(HexDigits, BothWays) {
  EXPECT_EQ(kelm::port::HexDigit(0), '0');
  EXPECT_EQ(kelm::port::HexDigit(10), 'A');
  EXPECT_EQ(kelm::port::HexDigit(0x1F), 'F');  // only the low four bits
  EXPECT_EQ(kelm::port::HexDigit(11, true), 'b');
  for (unsigned v = 0; v < 16; ++v) {
    EXPECT_EQ(kelm::port::HexDigitValue(kelm::port::HexDigit(v)), static_cast<int>(v));
    EXPECT_EQ(kelm::port::HexDigitValue(kelm::port::HexDigit(v, true)), static_cast<int>(v));
  }
  for (char32_t c : {U'g', U'G', U'/', U':', U'@', U'`', char32_t{0x0161}, char32_t{0xFF10}}) {
    EXPECT_EQ(kelm::port::HexDigitValue(c), -1) << static_cast<uint32_t>(c);
  }
}

}  // namespace
