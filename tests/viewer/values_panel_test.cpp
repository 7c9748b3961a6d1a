// The inspector panel on the whole viewer: its rows and radio buttons,
// choosing the row that "dec" shows, dragging, and closing.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/viewer/viewer_harness.h"
#include "viewer/values_refresh.h"
#include "viewer/values_panel.h"

using namespace kelm::viewer;

namespace inspector_ui_test {
namespace {

using PanelTest = InspectorUiTest;
using kelm::port::LEFT_CTRL_PRESSED;

const char* const kRowNames[] = {"LE u", "LE s", "BE u", "BE s", "LE ", "BE ", "LE ", "BE ", "UTF-8"};
// Screen row of each value row while the panel is at its opening place.
const int kValueRows[] = {6, 7, 8, 9, 12, 13, 16, 17, 18};

// The panel's picture with every value missing and "[X]" on row `chosen`
// (0 = "LE u" ... 8 = "UTF-8").
std::vector<std::string> EmptyPanel(int chosen) {
  auto row = [&](int i) { return PanelLine(std::string(i == chosen ? "[X]" : "[ ]") + kRowNames[i] + ": ---"); };
  return {PanelBorder(), PanelLine("Numbers"), PanelLine(""), PanelLine("Int"),        row(0), row(1),
          row(2),        row(3),               PanelLine(""), PanelLine("Float"),      row(4), row(5),
          PanelLine(""), PanelLine("Characters"), row(6),     row(7),                  row(8), PanelBorder()};
}

// The three cells of the radio button of value row i, as shown.
std::string ButtonCells(const InspectorUiTest& test, int i) {
  return test.Cells(kValueRows[i], kPanelLeft + 1, 3);
}

// --- opening -------------------------------------------------------------------

TEST_F(PanelTest, CtrlDWithoutAFileShowsEveryRowMissingAndMarksTheFirstRow) {
  StartWithoutFile();
  CtrlKey('D');
  ASSERT_EQ(LiveBoxes().size(), 1u);
  ASSERT_TRUE(FramesUntil([&] { return Cells(6, kPanelLeft + 1, 12) == "[X]LE u: ---"; }))
      << Row(6);
  EXPECT_EQ(PanelAt(kPanelLeft, kPanelTop), EmptyPanel(0));
}

TEST_F(PanelTest, ButtonsFollowTheRowOrderAndMarkTheChosenRecord) {
  StartWithoutFile();
  selectedValue = &beFloat;
  OpenInspectorPanel();
  ASSERT_EQ(inspectorButtons.size(), 9u);
  for (size_t i = 0; i < inspectorButtons.size(); ++i) {
    EXPECT_EQ(inspectorButtons[i]->entry, inspectorValues[i]) << "row " << i;
  }
  EXPECT_TRUE(FramesUntil([&] { return PanelAt(kPanelLeft, kPanelTop) == EmptyPanel(5); }));
}

TEST_F(PanelTest, RadioButtonBracketsAreLightRedAndTheRowTextsLightGrey) {
  StartWithoutFile();
  OpenInspectorPanel();
  ASSERT_TRUE(FramesUntil([&] { return Cells(7, kPanelLeft + 1, 7) == "[ ]LE s"; }));
  EXPECT_EQ(ForegroundAt(kPanelLeft + 1, 7), 0xC);
  EXPECT_EQ(ForegroundAt(kPanelLeft + 3, 7), 0xC);
  EXPECT_EQ(ForegroundAt(kPanelLeft + 4, 7), 0x7);
}

TEST_F(PanelTest, ReopeningListsOnlyTheNewPanelsButtons) {
  StartWithoutFile();
  OpenInspectorPanel();
  Frame();
  Escape();
  ASSERT_TRUE(LiveBoxes().empty());
  OpenInspectorPanel();
  ASSERT_EQ(inspectorButtons.size(), 9u);
  for (size_t i = 0; i < inspectorButtons.size(); ++i) {
    EXPECT_EQ(inspectorButtons[i]->entry, inspectorValues[i]) << "row " << i;
  }
}

// --- values ----------------------------------------------------------------------

TEST_F(PanelTest, RowsShowTheSelectedBytesAndFollowTheSelection) {
  Start({0x78, 0x56, 0x34, 0x12, 0x00, 0x3C});
  Select(0, 4);
  CtrlKey('D');
  ASSERT_TRUE(FramesUntil([&] { return Cells(6, kPanelLeft + 1, 20) == "[X]LE u32: 305419896"; }))
      << Row(6);
  EXPECT_EQ(Cells(9, kPanelLeft + 1, 21), "[ ]BE s32: 2018915346");
  EXPECT_EQ(Cells(12, kPanelLeft + 1, 22), "[ ]LE Single: 0.000000");
  EXPECT_EQ(FieldText(u"dec"), "305419896 LE u32");

  // Ctrl+Right moves the selection on by its length, to the two bytes 00 3C
  // (the file ends there).
  Key(kelm::port::VK_RIGHT, LEFT_CTRL_PRESSED);
  ASSERT_EQ(selection.start, 4u);
  EXPECT_TRUE(FramesUntil([&] { return Cells(6, kPanelLeft + 1, 16) == "[X]LE u16: 15360"; }))
      << Row(6);
  EXPECT_EQ(Cells(12, kPanelLeft + 1, 20), "[ ]LE Half: 1.000000");
  EXPECT_EQ(Cells(16, kPanelLeft + 1, 14), "[ ]LE wchar: \xe3\xb0\x80");  // U+3C00
  EXPECT_EQ(FieldText(u"dec"), "15360 LE u16");
}

TEST_F(PanelTest, ThePanelWidensToItsLongestRowAndNarrowsAgain) {
  // LE Single of 48 65 6C 6C is 1.14e27, printed with all its digits: the
  // panel takes its 3 + 46 cells and every digit shows.
  Start({0x48, 0x65, 0x6C, 0x6C, 0x41});
  Select(0, 4);
  OpenInspectorPanel();
  const std::string single = "[ ]LE Single: 1143139122437582505939828736.000000";
  ASSERT_TRUE(FramesUntil([&] { return Cells(12, kPanelLeft, 51) == "|" + single + "|"; })) << Row(12);
  EXPECT_EQ(Cells(kPanelTop, kPanelLeft, 51), "+" + std::string(49, '-') + "+");
  EXPECT_EQ(Cells(6, kPanelLeft, 51), "|[X]LE u32: 1819043144" + std::string(28, ' ') + "|");

  // One byte: every row fits the first width again.
  Select(4, 1);
  RefreshInspector();
  ASSERT_TRUE(FramesUntil([&] { return Cells(6, kPanelLeft, kPanelWidth) == PanelLine("[X]LE u8: 65"); })) << Row(6);
  EXPECT_EQ(Cells(kPanelTop, kPanelLeft, kPanelWidth + 1), PanelBorder() + " ");
}

TEST_F(PanelTest, TheWidestValuesFillTheScreenAndEndInAnEllipsis) {
  // FF FF FF FF FF FF EF 7F: BE u64 18446744073709547391 (one cell more than
  // the first width holds) and LE Double the largest double, 316 characters.
  Start({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xEF, 0x7F});
  Select(0, 8);
  OpenInspectorPanel();
  // The panel is as wide as the 118 drawn columns and moved left to fit.
  ASSERT_TRUE(FramesUntil([&] { return Cells(kPanelTop, 0, 118) == "+" + std::string(116, '-') + "+"; }))
      << Row(kPanelTop);
  const std::string beU64 = "|[ ]BE u64: 18446744073709547391";
  EXPECT_EQ(Cells(8, 0, 118), beU64 + std::string(118 - 1 - beU64.size(), ' ') + "|");
  // 116 inner cells: the button, "LE Double: ", 99 digits and "...".
  const std::string digits = kelm::port::ToUtf8(leFloat.value).substr(0, 99);
  EXPECT_EQ(digits.substr(0, 16), "1797693134862315");
  EXPECT_EQ(Cells(12, 0, 118), "|[ ]LE Double: " + digits + "...|");

  // Chosen for "dec", the value gives way on the status row and its label
  // stays: the row shows 100 cells from column 18.
  Click(2, kValueRows[4]);
  ASSERT_EQ(selectedValue, &leFloat);
  const std::string status = Cells(kConsoleRows - 1, 18, 100);
  EXPECT_EQ(status.substr(0, 30), "len: 0000000000000008 8  dec: ");
  EXPECT_EQ(status.substr(30, 16), "1797693134862315");
  EXPECT_EQ(status.substr(status.size() - 15), "... LE Double  ") << status;
  // A short value shows whole, label and all.
  Click(2, kValueRows[0]);
  EXPECT_EQ(Cells(kConsoleRows - 1, 18, 58),
            "len: 0000000000000008 8  dec: 9218868437227405311 LE u64  ");
}

// --- choosing a row -----------------------------------------------------------------

TEST_F(PanelTest, ClickingTheButtonOfBeSChoosesItAndSwitchesDec) {
  Start({0xFF, 0x7F});
  Select(0, 2);
  CtrlKey('D');
  ASSERT_TRUE(FramesUntil([&] { return Cells(6, kPanelLeft + 1, 16) == "[X]LE u16: 32767"; }))
      << Row(6);
  EXPECT_EQ(FieldText(u"dec"), "32767 LE u16");

  Click(kPanelLeft + 2, kValueRows[3]);
  EXPECT_EQ(selectedValue, &beSigned);
  EXPECT_EQ(FieldText(u"dec"), "-129 BE s16");
  ASSERT_TRUE(FramesUntil([&] { return ButtonCells(*this, 3) == "[X]"; }));
  for (int i = 0; i < 9; ++i) {
    if (i != 3) {
      EXPECT_EQ(ButtonCells(*this, i), "[ ]") << "row " << kRowNames[i];
    }
  }
  EXPECT_EQ(Cells(9, kPanelLeft + 1, 15), "[X]BE s16: -129");
  // The click was the button's: no drag began, the selection is unchanged.
  EXPECT_FALSE(draggingPanel);
  EXPECT_TRUE(selectionActive);
  EXPECT_EQ(selection.start, 0u);
  EXPECT_EQ(selection.length, 2u);
}

TEST_F(PanelTest, ChoosingARowWithoutAValueHidesDec) {
  Start({0xFF, 0x7F});
  Select(0, 2);
  OpenInspectorPanel();
  Frame(2);
  Click(kPanelLeft + 2, kValueRows[8]);  // UTF-8: FF 7F is no character
  EXPECT_EQ(selectedValue, &utf8Char);
  EXPECT_EQ(FieldText(u"dec"), "(hidden)");
}

TEST_F(PanelTest, TheChoiceOutlivesThePanel) {
  Start({0xFF, 0x7F, 0x80, 0x00});
  Select(0, 2);
  OpenInspectorPanel();
  Frame(2);
  Click(kPanelLeft + 2, kValueRows[2]);  // BE u
  Escape();
  ASSERT_TRUE(LiveBoxes().empty());

  // Without the panel "dec" still shows the chosen row, for new bytes too.
  Key(kelm::port::VK_RIGHT, LEFT_CTRL_PRESSED);
  EXPECT_EQ(FieldText(u"dec"), "32768 BE u16");

  CtrlKey('D');
  EXPECT_TRUE(FramesUntil([&] { return Cells(8, kPanelLeft + 1, 16) == "[X]BE u16: 32768"; }))
      << Row(8);
  EXPECT_EQ(ButtonCells(*this, 0), "[ ]");
}

// --- dragging ------------------------------------------------------------------------

TEST_F(PanelTest, PressingTheBorderAndMovingDragsThePanelUntilRelease) {
  StartWithoutFile();
  OpenInspectorPanel();
  ASSERT_TRUE(FramesUntil([&] { return PanelAt(kPanelLeft, kPanelTop) == EmptyPanel(0); }));

  Press(kPanelLeft + 10, kPanelTop);  // on the top border
  EXPECT_TRUE(draggingPanel);
  MoveMouse(20, 6, /*leftHeld=*/true);
  // The first inner cell follows the mouse: the corner is one up and left.
  ASSERT_TRUE(FramesUntil([&] { return PanelAt(19, 5) == EmptyPanel(0); })) << Row(5);
  MoveMouse(30, 9, /*leftHeld=*/true);
  ASSERT_TRUE(FramesUntil([&] { return PanelAt(29, 8) == EmptyPanel(0); })) << Row(8);

  Release(30, 9);
  EXPECT_FALSE(draggingPanel);
  MoveMouse(70, 20);
  Frame(2);
  EXPECT_EQ(PanelAt(29, 8), EmptyPanel(0));
  EXPECT_EQ(LiveBoxes().size(), 1u);
}

TEST_F(PanelTest, PressingTheLeftBorderAlsoDrags) {
  StartWithoutFile();
  OpenInspectorPanel();
  Frame(2);
  Press(kPanelLeft, kPanelTop + 9);
  MoveMouse(40, 4, /*leftHeld=*/true);
  EXPECT_TRUE(FramesUntil([&] { return PanelAt(39, 3) == EmptyPanel(0); })) << Row(3);
  Release(40, 4);
}

TEST_F(PanelTest, PressingAValueTextStartsADragWithoutChoosingTheRow) {
  StartWithoutFile();
  OpenInspectorPanel();
  Frame(2);
  Press(kPanelLeft + 6, kValueRows[1]);  // on "LE s: ---", right of its button
  EXPECT_TRUE(draggingPanel);
  EXPECT_EQ(selectedValue, &leUnsigned);
  MoveMouse(10, 12, /*leftHeld=*/true);
  EXPECT_TRUE(FramesUntil([&] { return PanelAt(9, 11) == EmptyPanel(0); })) << Row(11);
  Release(10, 12);
  EXPECT_EQ(selectedValue, &leUnsigned);
}

TEST_F(PanelTest, APressOnThePanelDoesNotReachTheGridBelow) {
  Start(CountingBytes(600));
  OpenInspectorPanel();
  Frame(2);
  // Cells of the hex grid lie under the panel's top border and inside.
  Press(kPanelLeft + 4, kPanelTop);
  Release(kPanelLeft + 4, kPanelTop);
  Press(kPanelLeft + 20, kPanelTop + 2);
  Release(kPanelLeft + 20, kPanelTop + 2);
  EXPECT_FALSE(selectionActive);
}

// --- staying open and closing ------------------------------------------------------------

TEST_F(PanelTest, PressesOutsideThePanelLeaveItOpenAndReachTheGrid) {
  Start(CountingBytes(600));
  OpenInspectorPanel();
  Frame(2);
  Click(kHexColumnX + 3, kFirstGridRow + 1);  // byte 21
  EXPECT_EQ(LiveBoxes().size(), 1u);
  EXPECT_TRUE(selectionActive);
  EXPECT_EQ(selection.start, 21u);
  EXPECT_FALSE(draggingPanel);
  // The rows follow the new selection.
  EXPECT_TRUE(FramesUntil([&] { return Cells(6, kPanelLeft + 1, 12) == "[X]LE u8: 21"; })) << Row(6);
}

TEST_F(PanelTest, EscClosesThePanel) {
  StartWithoutFile();
  CtrlKey('D');
  Frame(2);
  Escape();
  EXPECT_TRUE(LiveBoxes().empty());
  Frame();
  EXPECT_EQ(Cells(6, kPanelLeft + 1, 3), "   ");
}

TEST_F(PanelTest, CtrlDClosesAnOpenPanelInsteadOfOpeningAnother) {
  StartWithoutFile();
  CtrlKey('D');
  Frame();
  CtrlKey('D');
  EXPECT_TRUE(LiveBoxes().empty());
  CtrlKey('D');
  EXPECT_EQ(LiveBoxes().size(), 1u);
}

TEST_F(PanelTest, WithAMenuAboveThePanelEscClosesThatMenuFirst) {
  StartWithoutFile();
  OpenInspectorPanel();
  Frame();
  auto* above = new MenuObject(Vector2(5.0f, -20.0f), 4, 1);
  menusLayer->AddObject(above);
  Escape();
  ASSERT_EQ(LiveBoxes().size(), 1u);
  EXPECT_NE(LiveBoxes()[0], above);
  Escape();
  EXPECT_TRUE(LiveBoxes().empty());
}

// --- rows on their own --------------------------------------------------------------------

TEST_F(PanelTest, ARowRepaintsOnlyWhenItsRecordChanged) {
  StartWithoutFile();
  InspectorValue record(u"BE u");
  DecimalObject row(Vector2(0.0f, 0.0f), &record);
  record.Set(u"16", u"65407");
  row.Update();
  EXPECT_EQ(row.GetText(), u"BE u16: 65407");
  EXPECT_FALSE(record.changed);

  row.SetText(u"painted over");
  row.Update();
  EXPECT_EQ(row.GetText(), u"painted over");

  record.Set(u"", u"---");
  row.Update();
  EXPECT_EQ(row.GetText(), u"BE u: ---");
}

}  // namespace
}  // namespace inspector_ui_test
