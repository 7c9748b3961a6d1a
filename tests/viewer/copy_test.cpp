// Copying the selection: the character and hex forms, the keys that choose
// them, clipping to the file, and the refusal of selections too large for
// the clipboard.
#include <fstream>
#include <string>
#include <vector>

#include "tests/viewer/viewer_harness.h"
#include "viewer/copy.h"

using namespace kelm::viewer;

namespace marks_copy_test {
namespace {

using kelm::port::LEFT_CTRL_PRESSED;
using kelm::port::RIGHT_CTRL_PRESSED;
using kelm::port::SHIFT_PRESSED;
using kelm::port::VK_SHIFT;

const std::vector<uint8_t> kHello = {0x48, 0x65, 0x6C, 0x6C, 0x6F};

// The text the copy is expected to give, built here one byte at a time.
std::u16string ExpectedCharacters(const std::vector<uint8_t>& bytes) {
  std::u16string text;
  for (uint8_t b : bytes) text += (b >= 0x20 && b <= 0x7A) ? static_cast<char16_t>(b) : u'.';
  return text;
}
std::u16string ExpectedHex(const std::vector<uint8_t>& bytes) {
  static const char kDigits[] = "0123456789ABCDEF";
  std::u16string text;
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (i > 0) text += u' ';
    text += static_cast<char16_t>(kDigits[bytes[i] >> 4]);
    text += static_cast<char16_t>(kDigits[bytes[i] & 0xF]);
  }
  return text;
}

class CopyTest : public ViewerTest {
 protected:
  std::u16string Clipboard() const {
    EXPECT_TRUE(console->clipboard.has_value()) << "nothing was put on the clipboard";
    return console->clipboard.value_or(u"<none>");
  }
  // The text of the top box of the "Menus" layer and its children.
  std::u16string TopBoxText() const {
    std::u16string text;
    for (Object* object : menusLayer->GetObjects()) {
      if (object == nullptr) continue;
      text.clear();
      for (Object* child : object->children) {
        if (child != nullptr) text += child->GetText() + u"\n";
      }
    }
    return text;
  }
};

// --- the two forms ---------------------------------------------------------------

TEST_F(CopyTest, CtrlCCopiesHelloAsCharacters) {
  Start(kHello);
  Select(0, 5);
  CtrlKey('C');
  EXPECT_EQ(Clipboard(), u"Hello");
  EXPECT_EQ(OpenBoxes(), 0u);  // nothing is shown
}

TEST_F(CopyTest, CtrlCWithShiftHeldCopiesHexPairs) {
  Start(kHello);
  Select(0, 5);
  console->SetKeyDown(VK_SHIFT, true);
  CtrlKey('C');
  EXPECT_EQ(Clipboard(), u"48 65 6C 6C 6F");
}

TEST_F(CopyTest, CtrlShiftCReportedInTheKeyRecordCopiesHexPairs) {
  // With the kitty keyboard protocol or modifyOtherKeys the terminal reports
  // Ctrl+Shift+C as C with Ctrl and Shift, while Shift need not be down when
  // the frame runs.
  Start(kHello);
  Select(0, 5);
  Key('C', RIGHT_CTRL_PRESSED | SHIFT_PRESSED, 0x03);
  EXPECT_EQ(Clipboard(), u"48 65 6C 6C 6F");
}

TEST_F(CopyTest, ShiftOutsideTheForegroundWindowDoesNotCount) {
  Start(kHello);
  Select(0, 5);
  console->SetKeyDown(VK_SHIFT, true);
  console->foreground = false;
  // The frame loop waits while the console is in the background, so the copy
  // is asked for directly.
  CopySelection();
  EXPECT_EQ(Clipboard(), u"Hello");
}

TEST_F(CopyTest, ShiftPressedEarlierButReleasedDoesNotCount) {
  Start(kHello);
  Select(0, 5);
  console->SetKeyPressedSinceQuery(VK_SHIFT);
  CtrlKey('C');
  EXPECT_EQ(Clipboard(), u"Hello");
}

TEST_F(CopyTest, CtrlYCopiesHexPairsInEveryTerminal) {
  Start(kHello);
  Select(1, 3);
  CtrlKey('Y');
  EXPECT_EQ(Clipboard(), u"65 6C 6C");
}

TEST_F(CopyTest, BytesOutsideSpaceToLowerZBecomeFullStops) {
  Start({0x7B, 0x7E, 0x80, 0x0A, 0x20, 0x7A, 0x1F, 0xFF});
  Select(0, 4);
  CtrlKey('C');
  EXPECT_EQ(Clipboard(), u"....");
  Select(4, 4);
  CtrlKey('C');
  EXPECT_EQ(Clipboard(), u" z..");
}

TEST_F(CopyTest, CopiesTheLastSelectionEvenWhenDeselected) {
  Start(kHello);
  Select(1, 2);
  selectionActive = false;
  CtrlKey('C');
  EXPECT_EQ(Clipboard(), u"el");
}

// --- clipping to the file --------------------------------------------------------

TEST_F(CopyTest, SelectionRunningPastTheEndCopiesTheBytesThatExist) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 30; ++i) bytes.push_back(static_cast<uint8_t>(0x61 + i % 26));
  Start(bytes);
  Select(26, 10);  // 10 bytes starting 4 before the end
  CtrlKey('C');
  EXPECT_EQ(Clipboard(), u"abcd");
  CtrlKey('Y');
  EXPECT_EQ(Clipboard(), u"61 62 63 64");
}

TEST_F(CopyTest, EmptySelectionGivesAnEmptyText) {
  Start(kHello);
  CtrlKey('C');  // no selection was ever made: length 0
  EXPECT_EQ(Clipboard(), u"");
  CtrlKey('Y');
  EXPECT_EQ(Clipboard(), u"");
}

TEST_F(CopyTest, SelectionStartingPastTheEndGivesAnEmptyText) {
  Start(kHello);
  Select(5, 3);
  CtrlKey('C');
  EXPECT_EQ(Clipboard(), u"");
  Select(UINT64_MAX - 1, UINT64_MAX);
  CtrlKey('Y');
  EXPECT_EQ(Clipboard(), u"");
}

TEST_F(CopyTest, HugeLengthMostlyPastTheEndCopiesWhatExists) {
  Start(kHello);
  Select(2, UINT64_MAX);
  CtrlKey('C');
  EXPECT_EQ(Clipboard(), u"llo");
  EXPECT_EQ(OpenBoxes(), 0u);
}

// --- large selections ------------------------------------------------------------

TEST_F(CopyTest, LargeSelectionIsCopiedWholeAcrossReadChunks) {
  // 200 000 bytes: several read steps, with the join between them checked.
  std::vector<uint8_t> bytes(200'000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>((i * 7 + i / 251) & 0xFF);
  Start(bytes);
  Select(3, bytes.size());
  CtrlKey('C');
  const std::vector<uint8_t> tail(bytes.begin() + 3, bytes.end());
  EXPECT_EQ(Clipboard(), ExpectedCharacters(tail));
  CtrlKey('Y');
  EXPECT_EQ(Clipboard(), ExpectedHex(tail));
}

TEST_F(CopyTest, HugeSelectionOnATebibyteFileIsRefusedAtOnce) {
  StartOn(SparseFile(1ULL << 40));
  Select(0, 1ULL << 63);
  CtrlKey('C');
  EXPECT_FALSE(console->clipboard.has_value());
  ASSERT_EQ(OpenBoxes(), 1u);
  const std::u16string message = TopBoxText();
  EXPECT_NE(message.find(u"Selection too large to copy"), std::u16string::npos);
  EXPECT_NE(message.find(u"16 MiB"), std::u16string::npos);
  EXPECT_NE(message.find(u"16777216 bytes as characters"), std::u16string::npos);
  EXPECT_NE(message.find(u"1099511627776 bytes"), std::u16string::npos);  // what the file holds of it

  CtrlKey('Y');
  EXPECT_FALSE(console->clipboard.has_value());
  ASSERT_EQ(OpenBoxes(), 2u);
  EXPECT_NE(TopBoxText().find(u"5592405 bytes as hex pairs"), std::u16string::npos);
}

TEST_F(CopyTest, CharacterLimitIsSixteenMebibytesOfText) {
  StartOn(SparseFile(kClipboardTextLimit + 10));
  Select(10, kClipboardTextLimit);
  EXPECT_TRUE(CopySelectionAs(CopyForm::Characters));
  const std::u16string text = Clipboard();
  EXPECT_EQ(text.size(), kClipboardTextLimit);
  EXPECT_EQ(text.find_first_not_of(u'.'), std::u16string::npos);  // zero bytes

  console->clipboard.reset();
  Select(9, kClipboardTextLimit + 1);
  EXPECT_FALSE(CopySelectionAs(CopyForm::Characters));
  EXPECT_FALSE(console->clipboard.has_value());
  EXPECT_EQ(OpenBoxes(), 1u);
}

TEST_F(CopyTest, HexLimitKeepsTheTextWithinSixteenMebibytes) {
  const uint64_t limit = CopyByteLimit(CopyForm::Hex);
  EXPECT_EQ(limit, 5'592'405u);
  EXPECT_LE(CopyTextLength(limit, CopyForm::Hex), kClipboardTextLimit);
  EXPECT_GT(CopyTextLength(limit + 1, CopyForm::Hex), kClipboardTextLimit);

  StartOn(SparseFile(limit + 1));
  Select(0, limit);
  EXPECT_TRUE(CopySelectionAs(CopyForm::Hex));
  EXPECT_EQ(Clipboard().size(), CopyTextLength(limit, CopyForm::Hex));
  EXPECT_EQ(Clipboard().substr(0, 6), u"00 00 ");
  console->clipboard.reset();
  Select(0, limit + 1);
  EXPECT_FALSE(CopySelectionAs(CopyForm::Hex));
  EXPECT_FALSE(console->clipboard.has_value());
  // The same bytes still fit as characters.
  EXPECT_TRUE(CopySelectionAs(CopyForm::Characters));
  EXPECT_EQ(Clipboard().size(), limit + 1);
}

// --- the text builder ------------------------------------------------------------

TEST_F(CopyTest, TextLengthsOfBothForms) {
  EXPECT_EQ(CopyTextLength(0, CopyForm::Hex), 0u);
  EXPECT_EQ(CopyTextLength(1, CopyForm::Hex), 2u);
  EXPECT_EQ(CopyTextLength(5, CopyForm::Hex), 14u);
  EXPECT_EQ(CopyTextLength(5, CopyForm::Characters), 5u);
}

TEST_F(CopyTest, HexChunksJoinWithSingleSpaces) {
  const uint8_t first[] = {0x00, 0xAB};
  const uint8_t second[] = {0xF0};
  std::u16string text;
  AppendCopyText(text, first, 2, CopyForm::Hex);
  AppendCopyText(text, second, 0, CopyForm::Hex);
  AppendCopyText(text, second, 1, CopyForm::Hex);
  EXPECT_EQ(text, u"00 AB F0");
}

}  // namespace
}  // namespace marks_copy_test
