// The status row: the offset display and the key/value fields.
#include <string>

#include "tests/viewer/viewer_harness.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

using StatusLine = ViewerTest;

TEST_F(StatusLine, FieldsExistInOrderAndStartHidden) {
  Start(Counting(40));
  ASSERT_EQ(statusFields.size(), 3u);
  EXPECT_EQ(statusFields[0].key, u"len");
  EXPECT_EQ(statusFields[1].key, u"dec");
  EXPECT_EQ(statusFields[2].key, u"bin");
  for (const StatusField& field : statusFields) EXPECT_FALSE(field.visible);
  EXPECT_EQ(StatusText(), "");
  EXPECT_EQ(Cells(29, 0, 16), "----------------");
}

TEST_F(StatusLine, SixteenByteSelection) {
  Start(Counting(64));
  ClickByte(4);
  ShiftClickByte(19);
  ASSERT_EQ(selection.length, 16u);
  EXPECT_EQ(StatusText(), "len: 0000000000000010 16");
  EXPECT_EQ(statusLine->text.substr(0, 26), u"len: 0000000000000010 16  ");
  EXPECT_EQ(Cells(29, 0, 16), "0000000000000004");
}

TEST_F(StatusLine, NoSelectionLeavesOnlySpaces) {
  Start(Counting(64));
  ClickByte(4);
  ASSERT_NE(StatusText(), "");
  RightClick(HexX(4), RowOf(4));
  EXPECT_FALSE(selectionActive);
  EXPECT_EQ(statusLine->text, std::u16string(118, u' '));
  EXPECT_EQ(Cells(29, 0, 16), "----------------");
}

TEST_F(StatusLine, TextIsExactlyTheScreenWidth) {
  Start(Counting(64), 41, 10);  // engine width 40
  SetStatusField(u"dec", std::u16string(100, u'x'));
  EXPECT_EQ(statusLine->text.size(), 40u);
  EXPECT_EQ(statusLine->text.substr(0, 7), u"dec: xx");
  EXPECT_EQ(statusLine->GetHeight(), 1) << "cut, never wrapped";
  SetStatusField(u"dec", u"1");
  EXPECT_EQ(statusLine->text, u"dec: 1  " + std::u16string(32, u' '));
}

TEST_F(StatusLine, SetAddAndHas) {
  Start(Counting(8));
  EXPECT_TRUE(HasStatusField(u"len"));
  EXPECT_FALSE(HasStatusField(u"LEN"));
  EXPECT_FALSE(HasStatusField(u"le"));

  SetStatusField(u"nosuch", u"value");
  EXPECT_EQ(statusFields.size(), 3u) << "an unknown key changes nothing";

  AddStatusField(u"extra", u"v");
  ASSERT_EQ(statusFields.size(), 4u);
  EXPECT_TRUE(statusFields[3].visible);
  AddStatusField(u"extra", u"");  // existing key: behaves as a set
  EXPECT_EQ(statusFields.size(), 4u);
  EXPECT_FALSE(statusFields[3].visible);

  SetStatusField(u"bin", u"0101");
  SetStatusField(u"dec", u"5");
  EXPECT_EQ(statusLine->text.substr(0, 21), u"dec: 5  bin: 0101    ");
}

TEST_F(StatusLine, DeselectHidesEveryField) {
  Start({0x41, 0x42});
  ClickByte(0);
  EXPECT_EQ(StatusText(), "len: 0000000000000001 1  dec: 65 LE u8  bin: 01000001");
  ClickByte(0);  // a click on the first selected byte deselects
  EXPECT_FALSE(selectionActive);
  EXPECT_EQ(StatusText(), "");
}

}  // namespace
}  // namespace viewer_test
