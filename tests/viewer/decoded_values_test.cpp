// The inspector records, their derived texts, the integer rows and the whole
// refresh from the selected bytes.

#include "tests/viewer/decoded_test_support.h"

using namespace kelm::viewer;

namespace {

// ---- records ---------------------------------------------------------------

TEST(InspectorRecords, NewRecordShowsNothingAndIsMarkedChanged) {
  InspectorValue record(u"XY");
  EXPECT_EQ(record.name, u"XY");
  EXPECT_EQ(record.value, u"---");
  EXPECT_EQ(record.suffix, u"");
  EXPECT_TRUE(record.changed);
}

TEST(InspectorRecords, SetAssignsBothTextsAndMarksChangedEvenWhenEqual) {
  InspectorValue record(u"LE u");
  record.changed = false;
  record.Set(u"16", u"42");
  EXPECT_EQ(record.suffix, u"16");
  EXPECT_EQ(record.value, u"42");
  EXPECT_EQ(record.name, u"LE u");
  EXPECT_TRUE(record.changed);

  record.changed = false;
  record.Set(u"16", u"42");
  EXPECT_TRUE(record.changed);
}

TEST(InspectorRecords, NineRecordsInPanelOrderWithTheirNames) {
  const std::vector<InspectorValue*> expected = {&leUnsigned, &leSigned, &beUnsigned,
                                                 &beSigned,   &leFloat,  &beFloat,
                                                 &leChar,     &beChar,   &utf8Char};
  ASSERT_EQ(inspectorValues.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(inspectorValues[i], expected[i]) << "row " << i;
  }
  const std::vector<std::u16string> names = {u"LE u", u"LE s", u"BE u", u"BE s", u"LE ",
                                             u"BE ",  u"LE ",  u"BE ",  u"UTF-8"};
  for (size_t i = 0; i < names.size(); ++i) {
    EXPECT_EQ(inspectorValues[i]->name, names[i]) << "row " << i;
  }
}

TEST(InspectorRecords, FirstRowIsChosenAtStart) {
  // Checked before any fixture changes the choice in this process.
  EXPECT_EQ(selectedValue, &leUnsigned);
}

TEST(InspectorRecords, RowAndStatusTextsJoinNameSuffixAndValue) {
  InspectorValue record(u"LE u");
  record.Set(u"32", u"305419896");
  EXPECT_EQ(RowText(record), u"LE u32: 305419896");
  EXPECT_EQ(StatusText(record), u"305419896 LE u32");

  InspectorValue floatRow(u"LE ");
  EXPECT_EQ(RowText(floatRow), u"LE : ---");
}

TEST_F(InspectorTest, ClearSetsEveryRecordToNothingAndMarksItChanged) {
  for (InspectorValue* record : inspectorValues) {
    record->changed = false;
  }
  ClearInspectorValues();
  ExpectAllEmpty();
  for (const InspectorValue* record : inspectorValues) {
    EXPECT_TRUE(record->changed);
  }
}

// ---- integers --------------------------------------------------------------

struct IntegerCase {
  std::vector<uint8_t> bytes;
  std::u16string bits;
  std::u16string leUnsignedText;
  std::u16string leSignedText;
  std::u16string beUnsignedText;
  std::u16string beSignedText;
};

TEST_F(InspectorTest, IntegersInBothOrdersAndEveryWidth) {
  const std::vector<IntegerCase> cases = {
      {{0x41}, u"8", u"65", u"65", u"65", u"65"},
      {{0x80}, u"8", u"128", u"-128", u"128", u"-128"},
      {{0xFF, 0x7F}, u"16", u"32767", u"32767", u"65407", u"-129"},
      {{0x80, 0x00, 0x01}, u"24", u"65664", u"65664", u"8388609", u"-8388607"},
      {{0xFF, 0xFF, 0xFF}, u"24", u"16777215", u"-1", u"16777215", u"-1"},
      {{0x78, 0x56, 0x34, 0x12}, u"32", u"305419896", u"305419896", u"2018915346", u"2018915346"},
      {{0x00, 0x00, 0x00, 0x00, 0x80}, u"40", u"549755813888", u"-549755813888", u"128", u"128"},
      {{0x80, 0x00, 0x00, 0x00, 0x00, 0x00},
       u"48",
       u"128",
       u"128",
       u"140737488355328",
       u"-140737488355328"},
      {{0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80},
       u"56",
       u"36028797018963969",
       u"-36028797018963967",
       u"281474976710784",
       u"281474976710784"},
      {{0xFE, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       u"56",
       u"72057594037927934",
       u"-2",
       u"71776119061217279",
       u"-281474976710657"},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF},
       u"64",
       u"18446744073709551615",
       u"-1",
       u"18446744073709551615",
       u"-1"},
      {{0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00},
       u"64",
       u"128",
       u"128",
       u"9223372036854775808",
       u"-9223372036854775808"},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, u"64", u"0", u"0", u"0", u"0"},
  };
  for (const IntegerCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    DecodeIntegers(c.bytes.data(), c.bytes.size());
    ExpectRecord(leUnsigned, c.bits, c.leUnsignedText);
    ExpectRecord(leSigned, c.bits, c.leSignedText);
    ExpectRecord(beUnsigned, c.bits, c.beUnsignedText);
    ExpectRecord(beSigned, c.bits, c.beSignedText);
  }
}

TEST_F(InspectorTest, IntegersNeedOneToEightBytes) {
  const std::vector<uint8_t> nine(9, 0x01);
  DecodeIntegers(nine.data(), 9);
  for (const InspectorValue* record : {&leUnsigned, &leSigned, &beUnsigned, &beSigned}) {
    ExpectRecord(*record, u"", u"---");
  }
  DecodeIntegers(nine.data(), 8);
  EXPECT_EQ(leUnsigned.suffix, u"64");
  DecodeIntegers(nine.data(), 0);
  for (const InspectorValue* record : {&leUnsigned, &leSigned, &beUnsigned, &beSigned}) {
    ExpectRecord(*record, u"", u"---");
  }
}

TEST_F(InspectorTest, IntegersDoNotTouchTheOtherRecords) {
  const std::vector<uint8_t> bytes = {0x41};
  DecodeIntegers(bytes.data(), 1);
  for (const InspectorValue* record : {&leFloat, &beFloat, &leChar, &beChar, &utf8Char}) {
    EXPECT_EQ(record->value, u"stale");
  }
}

// ---- the refresh, one row of the worked examples at a time -------------------

TEST_F(InspectorTest, OneLetterByte) {
  const StatusTexts texts = Refresh({0x41});
  for (const InspectorValue* record : {&leUnsigned, &leSigned, &beUnsigned, &beSigned}) {
    ExpectRecord(*record, u"8", u"65");
  }
  ExpectRecord(leFloat, u"", u"---");
  ExpectRecord(beFloat, u"", u"---");
  EXPECT_EQ(RowText(leFloat), u"LE : ---");
  ExpectRecord(leChar, u"char", u"A");
  ExpectRecord(beChar, u"char", u"A");
  ExpectRecord(utf8Char, u"", u"A");
  EXPECT_EQ(texts.bin, u"01000001");
  EXPECT_EQ(texts.dec, u"65 LE u8");
}

TEST_F(InspectorTest, TwoBytesHideTheBinaryField) {
  const StatusTexts texts = Refresh({0xFF, 0x7F});
  ExpectRecord(leUnsigned, u"16", u"32767");
  ExpectRecord(leSigned, u"16", u"32767");
  ExpectRecord(beUnsigned, u"16", u"65407");
  ExpectRecord(beSigned, u"16", u"-129");
  EXPECT_EQ(texts.bin, u"");
  EXPECT_EQ(texts.dec, u"32767 LE u16");
}

TEST_F(InspectorTest, ThreeBytesHaveNoFloatOrCharacter) {
  Refresh({0x80, 0x00, 0x01});
  ExpectRecord(leUnsigned, u"24", u"65664");
  ExpectRecord(leSigned, u"24", u"65664");
  ExpectRecord(beUnsigned, u"24", u"8388609");
  ExpectRecord(beSigned, u"24", u"-8388607");
  ExpectRecord(leFloat, u"", u"---");
  ExpectRecord(beFloat, u"", u"---");
  ExpectRecord(leChar, u"", u"---");
  ExpectRecord(beChar, u"", u"---");
  ExpectRecord(utf8Char, u"", u"---");
}

// One record after a refresh on these bytes.
struct RecordCase {
  std::vector<uint8_t> bytes;
  const InspectorValue* record;
  std::u16string suffix;
  std::u16string value;
};

TEST_F(InspectorTest, RefreshDecodesEachRecord) {
  const std::vector<RecordCase> cases = {
      // Eight ones and the smallest signed value.
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, &leUnsigned, u"64", u"18446744073709551615"},
      {{0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, &leSigned, u"64", u"-1"},
      {{0x80, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}, &beSigned, u"64", u"-9223372036854775808"},
      // Half, single and double floats in both orders.
      {{0x00, 0x3C}, &leFloat, u"Half", u"1.000000"},
      {{0x00, 0x3C}, &beFloat, u"Half", u"0.000004"},
      {{0x00, 0x00, 0x80, 0x3F}, &leFloat, u"Single", u"1.000000"},
      {{0x00, 0x00, 0x80, 0x3F}, &beFloat, u"Single", u"0.000000"},
      {{0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x3F}, &leFloat, u"Double", u"1.000000"},
      // Wide characters in both orders; NUL and DEL by their names.
      {{0x0A, 0x00}, &leChar, u"wchar", u"LF"},
      {{0x0A, 0x00}, &beChar, u"wchar", std::u16string(1, char16_t{0x0A00})},
      {{0x00}, &leChar, u"char", u"NULL"},
      {{0x00}, &beChar, u"char", u"NULL"},
      {{0x7F}, &leChar, u"char", u"DEL"},
      // The UTF-8 row shows one character only.
      {{0xC3, 0xA9}, &utf8Char, u"", u"\u00E9"},
      {{0x41, 0x42}, &utf8Char, u"", u"---"},
  };
  for (const RecordCase& c : cases) {
    SCOPED_TRACE(::testing::PrintToString(c.bytes));
    Refresh(c.bytes);
    ExpectRecord(*c.record, c.suffix, c.value);
  }
}

// A refresh that shows nothing at all: what was read, of how long a
// selection, and whether it is active.
struct NothingCase {
  std::vector<uint8_t> read;
  uint64_t selectionLength;
  bool active;
  const char* what;
};

TEST_F(InspectorTest, RefreshShowsNothing) {
  const std::vector<NothingCase> cases = {
      {{1, 2, 3, 4, 5, 6, 7, 8, 9}, 9, true, "nine bytes"},
      {{0x41}, uint64_t{1} << 40, true, "a huge selection, whatever was read"},
      {{0x41}, 1, false, "no selection"},
      {{}, 1, true, "a selection beyond the end reads nothing"},
      {{}, 0, true, "an empty selection"},
  };
  for (const NothingCase& c : cases) {
    SCOPED_TRACE(c.what);
    const StatusTexts texts = RefreshWith(c.read, c.selectionLength, c.active);
    ExpectAllEmpty();
    EXPECT_EQ(texts.bin, u"");
    EXPECT_EQ(texts.dec, u"");
  }
}

TEST_F(InspectorTest, SelectionCutByTheEndDecodesWhatWasRead) {
  // Four bytes selected, two left before the end: a half float and 16 bits.
  const StatusTexts texts = RefreshWith({0x00, 0x3C}, 4, true);
  ExpectRecord(leUnsigned, u"16", u"15360");
  ExpectRecord(leFloat, u"Half", u"1.000000");
  EXPECT_EQ(texts.dec, u"15360 LE u16");
  EXPECT_EQ(texts.bin, u"");
}

TEST_F(InspectorTest, MoreBytesThanSelectedAreIgnored) {
  StatusTexts texts;
  const std::vector<uint8_t> bytes = {0x41, 0x42, 0x43, 0x44};
  RefreshInspectorFrom(bytes.data(), bytes.size(), 1, true, texts.bin, texts.dec);
  ExpectRecord(leUnsigned, u"8", u"65");
  EXPECT_EQ(texts.bin, u"01000001");
}

TEST_F(InspectorTest, StatusShowsTheChosenRow) {
  selectedValue = &beSigned;
  StatusTexts texts = Refresh({0xFF, 0x7F});
  EXPECT_EQ(texts.dec, u"-129 BE s16");

  selectedValue = &leChar;
  texts = Refresh({0x0A, 0x00});
  EXPECT_EQ(texts.dec, u"LF LE wchar");

  selectedValue = &utf8Char;
  texts = Refresh({0xC3, 0xA9});
  EXPECT_EQ(texts.dec, u"\u00E9 UTF-8");
}

TEST_F(InspectorTest, ChosenRowWithoutValueHidesTheDecimalField) {
  selectedValue = &leFloat;
  const StatusTexts texts = Refresh({0x41});
  EXPECT_EQ(texts.dec, u"");
  EXPECT_EQ(texts.bin, u"01000001");
}

TEST_F(InspectorTest, RefreshMarksEveryRecordChanged) {
  for (InspectorValue* record : inspectorValues) {
    record->changed = false;
  }
  Refresh({0x41, 0x42, 0x43, 0x44});
  for (const InspectorValue* record : inspectorValues) {
    EXPECT_TRUE(record->changed) << ::testing::PrintToString(record->name);
  }
}

TEST_F(InspectorTest, FourBytesRowAndStatusTexts) {
  const StatusTexts texts = Refresh({0x78, 0x56, 0x34, 0x12});
  EXPECT_EQ(RowText(leUnsigned), u"LE u32: 305419896");
  EXPECT_EQ(texts.dec, u"305419896 LE u32");
}

TEST_F(InspectorTest, BinaryFieldFollowsTheSingleByte) {
  EXPECT_EQ(Refresh({0x00}).bin, u"00000000");
  EXPECT_EQ(Refresh({0xFF}).bin, u"11111111");
  EXPECT_EQ(Refresh({0x80}).bin, u"10000000");
}

}  // namespace
