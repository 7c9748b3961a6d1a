// Half-precision conversion, the float rows and the "%f" texts.

#include <bit>
#include <cfloat>
#include <cmath>
#include <limits>

#include "tests/viewer/decoded_test_support.h"
#include "viewer/float_format.h"

using namespace kelm::viewer;

namespace {

// ---- HalfToFloat ---------------------------------------------------------

// The value of a binary16 pattern computed arithmetically, independently of
// how the converter assembles the bits.
double ReferenceHalf(uint16_t pattern) {
  const bool negative = pattern & 0x8000;
  const int exponent = (pattern >> 10) & 0x1F;
  const int mantissa = pattern & 0x3FF;
  double magnitude;
  if (exponent == 31) {
    magnitude = std::numeric_limits<double>::infinity();
  } else if (exponent == 0) {
    magnitude = std::ldexp(mantissa, -24);
  } else {
    magnitude = std::ldexp(1024 + mantissa, exponent - 25);
  }
  return negative ? -magnitude : magnitude;
}

TEST(HalfToFloat, EveryNumberMatchesItsArithmeticValue) {
  for (uint32_t pattern = 0; pattern <= 0xFFFF; ++pattern) {
    if (((pattern >> 10) & 0x1F) == 31 && (pattern & 0x3FF) != 0) {
      continue;  // NaNs are checked on their own
    }
    const float converted =
        HalfToFloat(static_cast<uint8_t>(pattern >> 8), static_cast<uint8_t>(pattern & 0xFF));
    const double expected = ReferenceHalf(static_cast<uint16_t>(pattern));
    ASSERT_EQ(static_cast<double>(converted), expected) << "pattern " << std::hex << pattern;
    ASSERT_EQ(std::signbit(converted), static_cast<bool>(pattern & 0x8000))
        << "pattern " << std::hex << pattern;
  }
}

TEST(HalfToFloat, KnownValues) {
  EXPECT_EQ(HalfToFloat(0x3C, 0x00), 1.0f);
  EXPECT_EQ(HalfToFloat(0xC0, 0x00), -2.0f);
  EXPECT_EQ(HalfToFloat(0x7B, 0xFF), 65504.0f);
  EXPECT_EQ(HalfToFloat(0x04, 0x00), std::ldexp(1.0f, -14));
  EXPECT_EQ(HalfToFloat(0x00, 0x01), std::ldexp(1.0f, -24));
  EXPECT_EQ(HalfToFloat(0x03, 0xFF), std::ldexp(1023.0f, -24));
  EXPECT_EQ(HalfToFloat(0x00, 0x3C), std::ldexp(60.0f, -24));
}

TEST(HalfToFloat, SignedZerosAndInfinities) {
  EXPECT_EQ(std::bit_cast<uint32_t>(HalfToFloat(0x00, 0x00)), 0x00000000u);
  EXPECT_EQ(std::bit_cast<uint32_t>(HalfToFloat(0x80, 0x00)), 0x80000000u);
  EXPECT_EQ(std::bit_cast<uint32_t>(HalfToFloat(0x7C, 0x00)), 0x7F800000u);
  EXPECT_EQ(std::bit_cast<uint32_t>(HalfToFloat(0xFC, 0x00)), 0xFF800000u);
}

TEST(HalfToFloat, NanKeepsSignAndPayloadInTheTopMantissaBits) {
  EXPECT_EQ(std::bit_cast<uint32_t>(HalfToFloat(0x7E, 0x00)), 0x7FC00000u);
  EXPECT_EQ(std::bit_cast<uint32_t>(HalfToFloat(0x7D, 0x01)), 0x7FA02000u);
  EXPECT_EQ(std::bit_cast<uint32_t>(HalfToFloat(0xFC, 0x01)), 0xFF802000u);
  EXPECT_TRUE(std::isnan(HalfToFloat(0xFF, 0xFF)));
}

// ---- float rows ------------------------------------------------------------

TEST_F(InspectorTest, FloatRowsNeedTwoFourOrEightBytes) {
  const std::vector<uint8_t> bytes(9, 0x3F);
  for (size_t count :
       {size_t{0}, size_t{1}, size_t{3}, size_t{5}, size_t{6}, size_t{7}, size_t{9}}) {
    SCOPED_TRACE(count);
    leFloat.Set(u"x", u"x");
    beFloat.Set(u"x", u"x");
    DecodeFloats(bytes.data(), count);
    ExpectRecord(leFloat, u"", u"---");
    ExpectRecord(beFloat, u"", u"---");
  }
}

TEST_F(InspectorTest, NegativeZeroKeepsItsSign) {
  DecodeFloats(std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0, 0x80}.data(), 8);
  ExpectRecord(leFloat, u"Double", u"-0.000000");
  ExpectRecord(beFloat, u"Double", u"0.000000");

  DecodeFloats(std::vector<uint8_t>{0x80, 0x00}.data(), 2);
  ExpectRecord(leFloat, u"Half", u"0.000008");  // the subnormal 128 x 2^-24
  ExpectRecord(beFloat, u"Half", u"-0.000000");
}

TEST_F(InspectorTest, InfinitiesInEveryWidth) {
  DecodeFloats(std::vector<uint8_t>{0x00, 0x7C}.data(), 2);
  ExpectRecord(leFloat, u"Half", u"inf");
  DecodeFloats(std::vector<uint8_t>{0xFC, 0x00}.data(), 2);
  ExpectRecord(beFloat, u"Half", u"-inf");

  DecodeFloats(std::vector<uint8_t>{0x00, 0x00, 0x80, 0xFF}.data(), 4);
  ExpectRecord(leFloat, u"Single", u"-inf");
  DecodeFloats(std::vector<uint8_t>{0x7F, 0x80, 0x00, 0x00}.data(), 4);
  ExpectRecord(beFloat, u"Single", u"inf");

  DecodeFloats(std::vector<uint8_t>{0, 0, 0, 0, 0, 0, 0xF0, 0x7F}.data(), 8);
  ExpectRecord(leFloat, u"Double", u"inf");
}

TEST_F(InspectorTest, NansWithAndWithoutTheSignBit) {
  DecodeFloats(std::vector<uint8_t>{0x00, 0x7E}.data(), 2);
  ExpectRecord(leFloat, u"Half", u"nan");
  DecodeFloats(std::vector<uint8_t>{0x00, 0xFE}.data(), 2);
  ExpectRecord(leFloat, u"Half", u"-nan");

  DecodeFloats(std::vector<uint8_t>{0x00, 0x00, 0xC0, 0xFF}.data(), 4);
  ExpectRecord(leFloat, u"Single", u"-nan");
  ExpectRecord(beFloat, u"Single", u"0.000000");

  const std::vector<uint8_t> allOnes(8, 0xFF);
  DecodeFloats(allOnes.data(), 8);
  ExpectRecord(leFloat, u"Double", u"-nan");
  ExpectRecord(beFloat, u"Double", u"-nan");
  DecodeFloats(std::vector<uint8_t>{0x7F, 0xF8, 0, 0, 0, 0, 0, 1}.data(), 8);
  ExpectRecord(beFloat, u"Double", u"nan");
}

TEST_F(InspectorTest, SinglePrecisionIsWidenedExactly) {
  // 0.1f is 0.100000001490116...; its text shows the single's own value.
  DecodeFloats(std::vector<uint8_t>{0xCD, 0xCC, 0xCC, 0x3D}.data(), 4);
  ExpectRecord(leFloat, u"Single", u"0.100000");
  // 16777217 cannot be a single; 0x4B800001 is 16777218.
  DecodeFloats(std::vector<uint8_t>{0x4B, 0x80, 0x00, 0x01}.data(), 4);
  ExpectRecord(beFloat, u"Single", u"16777218.000000");
}

TEST_F(InspectorTest, LargestDoublePrintsEveryDigit) {
  DecodeFloats(std::vector<uint8_t>{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0x7F}.data(), 8);
  const std::u16string expected =
      u"17976931348623157081452742373170435679807056752584499659891747680315726078002853876"
      u"05895586327668781715404589535143824642343213268894641827684675467035375169860499105"
      u"76551282076245490090389328944075868508455133942304583236903222948165808559332123348"
      u"274797826204144723168738177180919299881250404026184124858368.000000";
  ASSERT_EQ(expected.size(), 316u);
  ExpectRecord(leFloat, u"Double", expected);
  ExpectRecord(beFloat, u"Double", u"-nan");  // all-ones exponent, sign set

  DecodeFloats(std::vector<uint8_t>{0xFF, 0xEF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}.data(), 8);
  ExpectRecord(beFloat, u"Double", u"-" + expected);
}

TEST_F(InspectorTest, LargestHalfAndSingle) {
  DecodeFloats(std::vector<uint8_t>{0xFF, 0x7B}.data(), 2);
  ExpectRecord(leFloat, u"Half", u"65504.000000");
  DecodeFloats(std::vector<uint8_t>{0x7F, 0x7F, 0xFF, 0xFF}.data(), 4);
  ExpectRecord(beFloat, u"Single", u"340282346638528859811704183484516925440.000000");
}

// ---- "%f" texts ------------------------------------------------------------

TEST(FloatFormat, SixDigitsAfterThePoint) {
  EXPECT_EQ(FormatFixed(0.0), "0.000000");
  EXPECT_EQ(FormatFixed(1.0), "1.000000");
  EXPECT_EQ(FormatFixed(-2.5), "-2.500000");
  EXPECT_EQ(FormatFixed(123.456), "123.456000");
  EXPECT_EQ(FormatFixed(1e20), "100000000000000000000.000000");
  EXPECT_EQ(FormatFixed(0.0000004), "0.000000");
  EXPECT_EQ(FormatFixed(0.0000036), "0.000004");
}

TEST(FloatFormat, EveryIntegerDigitOfTheLargestDouble) {
  const std::string text = FormatFixed(DBL_MAX);
  EXPECT_EQ(text.size(), 316u);
  EXPECT_EQ(text.rfind("1797693134862315708145274237317043567980705675258449965989174768", 0), 0u);
  EXPECT_EQ(text.substr(text.size() - 14), "4858368.000000");
  EXPECT_EQ(FormatFixed(-DBL_MAX), "-" + text);
}

TEST(FloatFormat, SpecialValuesAsTheLibrarySpellsThem) {
  const double inf = std::numeric_limits<double>::infinity();
  EXPECT_EQ(FormatFixed(inf), "inf");
  EXPECT_EQ(FormatFixed(-inf), "-inf");
  EXPECT_EQ(FormatFixed(std::bit_cast<double>(uint64_t{0x7FF8000000000000})), "nan");
  EXPECT_EQ(FormatFixed(std::bit_cast<double>(uint64_t{0xFFF8000000000000})), "-nan");
  EXPECT_EQ(FormatFixed(-0.0), "-0.000000");
  EXPECT_EQ(FormatFixed(-DBL_MIN), "-0.000000");
}

TEST(FloatFormat, WideTextIsTheSameCharacters) {
  EXPECT_EQ(FormatFixedWide(-1.25), u"-1.250000");
  EXPECT_EQ(FormatFixedWide(-std::numeric_limits<double>::infinity()), u"-inf");
  EXPECT_EQ(FormatFixedWide(DBL_MAX).size(), 316u);
}

}  // namespace
