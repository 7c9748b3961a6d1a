// The Seek (Ctrl+G) and selection-length (Ctrl+B) forms on the whole viewer,
// and the reading of the typed number.
#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "engine/widgets/text_input.h"
#include "tests/viewer/viewer_harness.h"
#include "viewer/offset_forms.h"

using namespace kelm::viewer;

namespace inspector_ui_test {
namespace {

using FormTest = InspectorUiTest;
using kelm::port::LEFT_CTRL_PRESSED;

// Both boxes are 24 cells wide, centred on column 59: their left border is
// at column 48 (59 - 12 + 0.5, rounded half up).
constexpr int kFormLeft = 48;
constexpr int kSeekLabelRow = 1;
constexpr int kFieldRow = 2;

// Hex and character cells of byte k of a grid row (20 bytes per row).
int HexX(int k) { return kHexColumnX + 3 * k; }
int CharX(int k) { return 3 * kBytesPerRow + 19 + 2 * k; }

// The text field of the topmost open form.
TextInput* FormField(const InspectorUiTest& test) {
  const std::vector<Object*> boxes = test.LiveBoxes();
  if (boxes.empty()) return nullptr;
  for (Object* child : boxes.back()->GetChildren()) {
    if (auto* field = dynamic_cast<TextInput*>(child)) return field;
  }
  return nullptr;
}

size_t SeekMarks() {
  size_t count = 0;
  for (const MarkedRange& mark : markedRanges) count += mark.name == kSeekMarkName ? 1 : 0;
  return count;
}

// --- the Seek form ------------------------------------------------------------------

TEST_F(FormTest, CtrlGOpensTheSeekBoxWithAFocusedHexField) {
  Start(CountingBytes(1000));
  CtrlKey('G');
  ASSERT_EQ(LiveBoxes().size(), 1u);
  TextInput* field = FormField(*this);
  ASSERT_NE(field, nullptr);
  EXPECT_TRUE(field->IsFocused());
  EXPECT_EQ(field->maxLength, 16);
  EXPECT_EQ(field->charset, HexLowercase);
  // The field shows its focused picture from its first update on.
  ASSERT_TRUE(FramesUntil([&] { return Cells(kFieldRow, 57, 5) == "[   ]"; })) << Row(kFieldRow);
  EXPECT_EQ(Cells(0, kFormLeft, 24), "+----------------------+");
  EXPECT_EQ(Cells(kSeekLabelRow, kFormLeft, 6), "|Seek ");
  EXPECT_EQ(Cells(3, kFormLeft, 24), "+----------------------+");
}

TEST_F(FormTest, Seeking1a0ShowsRow20FirstAndMarksTheByteGrey) {
  Start(CountingBytes(1000));
  CtrlKey('G');
  Type("1a0");
  ASSERT_EQ(FormField(*this)->value, u"1a0");
  Enter();

  EXPECT_TRUE(LiveBoxes().empty());
  EXPECT_EQ(topRow, 20);
  ASSERT_EQ(markedRanges.size(), 1u);
  const MarkedRange& mark = markedRanges[0];
  EXPECT_EQ(mark.foreground, '7');
  EXPECT_EQ(mark.background, '8');
  EXPECT_EQ(mark.name, u"SearchResult");
  EXPECT_EQ(mark.start, 0x1A0u);
  EXPECT_EQ(mark.length, 1u);
  ASSERT_TRUE(seekMark.has_value());
  EXPECT_EQ(*seekMark, 0u);

  // Row 20 (offsets 400 to 419) is the first visible row; 0x1A0 = 416 is its
  // byte 16.
  // (The closed form still covers the grid in the frame that closed it.)
  ASSERT_TRUE(FramesUntil([&] {
    return Cells(kFirstGridRow, 0, 16) == "0000000000000190" && Cells(kFirstGridRow, HexX(16), 2) == "A0";
  })) << Row(kFirstGridRow);
  EXPECT_EQ(Cells(kFirstGridRow + 1, 0, 16), "00000000000001A4");
  EXPECT_EQ(BackgroundAt(HexX(16), kFirstGridRow), 8);
  EXPECT_EQ(BackgroundAt(HexX(16) + 1, kFirstGridRow), 8);
  EXPECT_EQ(ForegroundAt(HexX(16), kFirstGridRow), 7);
  EXPECT_EQ(BackgroundAt(HexX(16) + 2, kFirstGridRow), 0);  // one byte: no trailing space
  EXPECT_EQ(BackgroundAt(HexX(15), kFirstGridRow), 0);
  EXPECT_EQ(BackgroundAt(CharX(16), kFirstGridRow), 8);
  // Only the view moved: there is still no selection.
  EXPECT_FALSE(selectionActive);
}

TEST_F(FormTest, UpperCaseDigitsSeekTheSameOffset) {
  Start(CountingBytes(1000));
  CtrlKey('G');
  Type("1A0");
  Enter();
  ASSERT_EQ(markedRanges.size(), 1u);
  EXPECT_EQ(markedRanges[0].start, 0x1A0u);
  EXPECT_EQ(topRow, 20);
}

TEST_F(FormTest, ASecondSeekReplacesTheFirstMarkAndKeepsOtherMarks) {
  Start(CountingBytes(1000));
  MarkedRange user;
  user.foreground = 'F';
  user.background = '1';
  user.name = u"header";
  user.start = 2;
  user.length = 3;
  markedRanges.push_back(user);

  CtrlKey('G');
  Type("1a0");
  Enter();
  ASSERT_EQ(markedRanges.size(), 2u);
  ASSERT_EQ(seekMark, std::optional<size_t>(1));

  CtrlKey('G');
  Type("30");
  Enter();
  ASSERT_EQ(markedRanges.size(), 2u);
  EXPECT_EQ(SeekMarks(), 1u);
  EXPECT_EQ(markedRanges[0].name, u"header");
  ASSERT_EQ(seekMark, std::optional<size_t>(1));
  EXPECT_EQ(markedRanges[1].start, 0x30u);
  EXPECT_EQ(topRow, 2);  // 48 / 20

  // 0x30 = 48 is byte 8 of row 2, the first visible row; 0x1A0 is no longer
  // marked anywhere.
  ASSERT_TRUE(FramesUntil([&] {
    return Cells(kFirstGridRow, 0, 16) == "0000000000000028" && Cells(kFirstGridRow, HexX(8), 2) == "30";
  })) << Row(kFirstGridRow);
  EXPECT_EQ(BackgroundAt(HexX(8), kFirstGridRow), 8);
  for (int row = kFirstGridRow; row < kConsoleRows - 2; ++row) {
    for (int k = 0; k < kBytesPerRow; ++k) {
      if (row == kFirstGridRow && k == 8) continue;
      ASSERT_NE(BackgroundAt(HexX(k), row), 8) << "row " << row << " byte " << k;
    }
  }
}

TEST_F(FormTest, SeekingTheLastOffsetKeepsTopRowInRange) {
  Start(CountingBytes(100));
  CtrlKey('G');
  Type("ffffffffffffffff");
  Enter();
  EXPECT_TRUE(LiveBoxes().empty());
  constexpr uint64_t kLast = std::numeric_limits<uint64_t>::max();
  EXPECT_EQ(static_cast<uint64_t>(topRow), kLast / 20);
  ASSERT_EQ(markedRanges.size(), 1u);
  EXPECT_EQ(markedRanges[0].start, kLast);
  ASSERT_TRUE(FramesUntil([&] { return Cells(kFirstGridRow, 0, 16) == "FFFFFFFFFFFFFFF0"; }))
      << Row(kFirstGridRow);
}

TEST_F(FormTest, EnterOnAnEmptySeekFieldClosesTheFormWithoutScrolling) {
  Start(CountingBytes(1000));
  Key(kelm::port::VK_NEXT);  // Page Down: the view is not at the top
  const int64_t before = topRow;
  ASSERT_GT(before, 0);
  CtrlKey('G');
  ASSERT_EQ(LiveBoxes().size(), 1u);
  Enter();
  EXPECT_TRUE(LiveBoxes().empty());
  EXPECT_EQ(topRow, before);
  EXPECT_TRUE(markedRanges.empty());
  EXPECT_TRUE(console->messageBoxes.empty());
}

TEST_F(FormTest, APastedSeventeenDigitNumberIsRefusedWholeAndSixteenSeek) {
  Start(CountingBytes(1000));
  CtrlKey('G');
  // The field holds 16 digits at most: a longer paste does not go in.
  console->clipboard = u"12345678901234567";
  Key('V', LEFT_CTRL_PRESSED, u'\x16');
  EXPECT_EQ(FormField(*this)->value, u"");
  console->clipboard = u"1234567890123456";
  Key('V', LEFT_CTRL_PRESSED, u'\x16');
  ASSERT_EQ(FormField(*this)->value, u"1234567890123456");
  Enter();
  EXPECT_TRUE(LiveBoxes().empty());
  EXPECT_TRUE(console->messageBoxes.empty());
  ASSERT_EQ(markedRanges.size(), 1u);
  EXPECT_EQ(markedRanges[0].start, 0x1234567890123456u);
  EXPECT_EQ(static_cast<uint64_t>(topRow), 0x1234567890123456u / 20);
}

TEST_F(FormTest, AnOverLongEntryShowsTheMessageBoxAndKeepsTheFormOpen) {
  Start(CountingBytes(1000));
  CtrlKey('G');
  FormField(*this)->value = u"12345678901234567";  // set by a caller, past the field's limit
  Enter();
  ASSERT_EQ(console->messageBoxes.size(), 1u);
  EXPECT_EQ(console->messageBoxes[0].first, u"The number cant be bigger than 64 bits (8 bytes) big");
  EXPECT_EQ(console->messageBoxes[0].second, u"Number to big!");
  EXPECT_EQ(LiveBoxes().size(), 1u);
  EXPECT_EQ(topRow, 0);
  EXPECT_TRUE(markedRanges.empty());
}

TEST_F(FormTest, AnEntryThatIsNotHexadecimalIsRefusedWithAMessage) {
  Start(CountingBytes(1000));
  CtrlKey('G');
  FormField(*this)->value = u"1\u00e9";  // a character that slipped past the filter
  Enter();
  ASSERT_EQ(console->messageBoxes.size(), 1u);
  EXPECT_EQ(console->messageBoxes[0].second, kNotHexCaption);
  EXPECT_EQ(LiveBoxes().size(), 1u);
  EXPECT_TRUE(markedRanges.empty());
}

TEST_F(FormTest, AnEnterPressedBeforeTheFormOpenedDoesNotCount) {
  Start(CountingBytes(1000));
  console->SetKeyPressedSinceQuery(kelm::port::VK_RETURN);  // Enter in the hex view
  CtrlKey('G');
  Frame(3);
  EXPECT_EQ(LiveBoxes().size(), 1u);
}

TEST_F(FormTest, EnterActsEvenAfterTheFieldLostTheFocus) {
  Start(CountingBytes(1000));
  CtrlKey('G');
  Type("1a0");
  Click(66, 1);  // inside the box, beside the label: the field loses the focus
  ASSERT_EQ(LiveBoxes().size(), 1u);
  ASSERT_FALSE(FormField(*this)->IsFocused());
  Enter();
  EXPECT_TRUE(LiveBoxes().empty());
  EXPECT_EQ(topRow, 20);
}

TEST_F(FormTest, EnterClosesTheSeekFormEvenWithThePanelOpenedAboveIt) {
  Start(CountingBytes(1000));
  CtrlKey('G');
  Type("1a0");
  Click(66, 1);  // unfocus the field, so that Ctrl+D reaches the hex view
  CtrlKey('D');
  ASSERT_EQ(LiveBoxes().size(), 2u);
  Object* panel = LiveBoxes().back();
  Enter();
  ASSERT_EQ(LiveBoxes().size(), 1u);
  EXPECT_EQ(LiveBoxes()[0], panel);
  EXPECT_EQ(topRow, 20);
}

// --- the selection-length form -------------------------------------------------------

TEST_F(FormTest, CtrlBOpensAOneLineBoxWithoutALabel) {
  Start(CountingBytes(100));
  CtrlKey('B');
  ASSERT_EQ(LiveBoxes().size(), 1u);
  ASSERT_NE(FormField(*this), nullptr);
  EXPECT_TRUE(FormField(*this)->IsFocused());
  ASSERT_TRUE(FramesUntil([&] { return Cells(1, 57, 5) == "[   ]"; })) << Row(1);
  EXPECT_EQ(Cells(0, kFormLeft, 24), "+----------------------+");
  EXPECT_EQ(Cells(1, kFormLeft, 9), "|        ");
  EXPECT_EQ(Cells(2, kFormLeft, 24), "+----------------------+");
}

TEST_F(FormTest, CtrlB10MakesASixteenByteSelectionAndEveryValueMissing) {
  Start(CountingBytes(100));
  Click(HexX(5), kFirstGridRow);
  ASSERT_TRUE(selectionActive);
  ASSERT_EQ(selection.start, 5u);
  EXPECT_EQ(FieldText(u"dec"), "5 LE u8");
  CtrlKey('D');

  CtrlKey('B');
  Type("10");
  Enter();
  EXPECT_EQ(LiveBoxes().size(), 1u);  // only the panel is left
  EXPECT_EQ(selection.start, 5u);
  EXPECT_EQ(selection.length, 16u);
  EXPECT_EQ(selectionAnchor, 5u);
  EXPECT_TRUE(selectionActive);
  for (const InspectorValue* record : inspectorValues) {
    EXPECT_EQ(record->value, u"---") << kelm::port::ToUtf8(record->name);
    EXPECT_EQ(record->suffix, u"") << kelm::port::ToUtf8(record->name);
  }
  EXPECT_EQ(FieldText(u"dec"), "(hidden)");
  EXPECT_EQ(FieldText(u"bin"), "(hidden)");
  EXPECT_EQ(FieldText(u"len"), "0000000000000010 16");

  // The panel's rows and the grid show it on the next frames: bytes 5 to 20
  // are painted with the selection's background, byte 21 is not.
  ASSERT_TRUE(FramesUntil([&] { return Cells(6, kPanelLeft + 1, 12) == "[X]LE u: ---"; })) << Row(6);
  EXPECT_EQ(Cells(13, kPanelLeft + 1, 11), "[ ]BE : ---");
  EXPECT_EQ(BackgroundAt(HexX(5), kFirstGridRow), 4);
  EXPECT_EQ(BackgroundAt(HexX(0), kFirstGridRow + 1), 4);
  EXPECT_EQ(BackgroundAt(HexX(1), kFirstGridRow + 1), 0);
  EXPECT_EQ(BackgroundAt(HexX(4), kFirstGridRow), 0);
}

TEST_F(FormTest, CtrlB0LeavesASelectionOfNoBytes) {
  Start(CountingBytes(100));
  Click(HexX(3), kFirstGridRow);
  CtrlKey('B');
  Type("0");
  Enter();
  EXPECT_TRUE(LiveBoxes().empty());
  EXPECT_EQ(selection.start, 3u);
  EXPECT_EQ(selection.length, 0u);
  EXPECT_EQ(leUnsigned.value, u"---");
  EXPECT_EQ(FieldText(u"dec"), "(hidden)");
  Frame();
  EXPECT_EQ(BackgroundAt(HexX(3), kFirstGridRow), 0);
}

TEST_F(FormTest, CtrlB2DecodesTheTwoBytes) {
  Start({0xFF, 0x7F, 0x01});
  Click(HexX(0), kFirstGridRow);
  CtrlKey('B');
  Type("2");
  Enter();
  EXPECT_EQ(selection.length, 2u);
  EXPECT_EQ(FieldText(u"dec"), "32767 LE u16");
}

TEST_F(FormTest, EnterOnAnEmptyLengthFieldChangesNothing) {
  Start(CountingBytes(100));
  Click(HexX(3), kFirstGridRow);
  CtrlKey('B');
  Enter();
  EXPECT_TRUE(LiveBoxes().empty());
  EXPECT_EQ(selection.length, 1u);
}

// --- Enter and the number ---------------------------------------------------------------

TEST_F(FormTest, EnterCountsOnlyInTheForegroundAndOnlyOnce) {
  StartWithoutFile();
  console->SetKeyPressedSinceQuery(kelm::port::VK_RETURN);
  console->foreground = false;
  EXPECT_FALSE(EnterPressed());
  console->foreground = true;
  EXPECT_TRUE(EnterPressed());  // the record was kept while in the background
  EXPECT_FALSE(EnterPressed());  // and the query cleared it
}

TEST(HexDigitsToNumber, ReadsOneToSixteenDigitsOfEitherCase) {
  EXPECT_EQ(HexDigitsToNumber(u"1a0"), 0x1A0u);
  EXPECT_EQ(HexDigitsToNumber(u"1A0"), 0x1A0u);
  EXPECT_EQ(HexDigitsToNumber(u"0"), 0u);
  EXPECT_EQ(HexDigitsToNumber(u"0000000000000001"), 1u);
  EXPECT_EQ(HexDigitsToNumber(u"0123456789abcdef"), 0x0123456789ABCDEFu);
  EXPECT_EQ(HexDigitsToNumber(u"FEDCBA9876543210"), 0xFEDCBA9876543210u);
  EXPECT_EQ(HexDigitsToNumber(u"ffffffffffffffff"), std::numeric_limits<uint64_t>::max());
}

TEST(HexDigitsToNumber, RefusesEmptyOverlongAndForeignText) {
  EXPECT_EQ(HexDigitsToNumber(u""), std::nullopt);
  EXPECT_EQ(HexDigitsToNumber(u"10000000000000000"), std::nullopt);  // 17 digits
  EXPECT_EQ(HexDigitsToNumber(u"1g"), std::nullopt);
  EXPECT_EQ(HexDigitsToNumber(u"12 3"), std::nullopt);
  EXPECT_EQ(HexDigitsToNumber(u"0x10"), std::nullopt);
  // Units whose low byte is a digit are not digits.
  EXPECT_EQ(HexDigitsToNumber(u"\u0161"), std::nullopt);
  EXPECT_EQ(HexDigitsToNumber(u"\u0130"), std::nullopt);
}

}  // namespace
}  // namespace inspector_ui_test
