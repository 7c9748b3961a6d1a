// What the status row says after a copy, for each path the port reports:
// nothing for the system clipboard, where the text went when nothing
// confirms it reached the system clipboard (OSC 52 only, or kelmhex's own
// clipboard only), and a failure. The message goes once the selection
// changes. On a 111-column console, whose status row holds the message whole.
#include <string>
#include <vector>

#include "tests/viewer/viewer_harness.h"
#include "viewer/copy.h"

using namespace kelm::viewer;

namespace marks_copy_test {
namespace {

using kelm::port::ClipboardTarget;

constexpr int kColumns = 111;
constexpr int kRows = 8;
constexpr int kStatusRow = kRows - 1;

class CopyStatusTest : public ViewerTest {
 protected:
  void StartWide(size_t bytes) { StartViewer(WriteFile(Counting(bytes)), kColumns, kRows); }
  // The copy key with Ctrl; the harness runs the frame that shows what it did.
  void CopyKey(char letter) { CtrlKey(static_cast<uint16_t>(letter)); }
  std::string StatusRow() const { return Row(kStatusRow); }
};

TEST_F(CopyStatusTest, OscOnlyCopySaysItWentToTheTerminalsClipboard) {
  StartWide(40);
  console->clipboardTarget = ClipboardTarget::TerminalOsc52;
  Select(0, 12);
  Frame();
  EXPECT_EQ(StatusRow(), "0000000000000000  len: 000000000000000C 12");
  CopyKey('Y');
  EXPECT_EQ(console->clipboard, u"00 01 02 03 04 05 06 07 08 09 0A 0B");
  EXPECT_EQ(StatusRow(),
            "0000000000000000  copied 12 bytes as hex to the terminal's clipboard (OSC 52)  len: 000000000000000C 12");
}

TEST_F(CopyStatusTest, CopyKeptInProcessOnlySaysSo) {
  StartWide(40);
  console->clipboardTarget = ClipboardTarget::ProcessOnly;
  Select(4, 1);
  CopyKey('C');
  EXPECT_EQ(StatusRow(),
            "0000000000000004  copied 1 byte as text to kelmhex's own clipboard only (too large for OSC 52)  len: 000000000");
}

TEST_F(CopyStatusTest, SystemClipboardCopyShowsNoMessageAndClearsAnEarlierOne) {
  StartWide(40);
  Select(0, 2);
  CopyKey('C');
  EXPECT_EQ(console->clipboard, u"..");
  EXPECT_EQ(StatusRow(), "0000000000000000  len: 0000000000000002 2");

  console->clipboardTarget = ClipboardTarget::TerminalOsc52;
  CopyKey('C');
  EXPECT_NE(StatusRow().find("copied 2 bytes as text to the terminal's clipboard (OSC 52)"), std::string::npos)
      << StatusRow();
  console->clipboardTarget = ClipboardTarget::System;
  CopyKey('C');
  EXPECT_EQ(StatusRow(), "0000000000000000  len: 0000000000000002 2");
}

TEST_F(CopyStatusTest, FailedCopySaysNothingWasCopied) {
  StartWide(40);
  console->clipboardTarget = ClipboardTarget::Failed;
  Select(0, 3);
  CopyKey('Y');
  EXPECT_EQ(StatusRow(), "0000000000000000  nothing copied: the system clipboard could not be opened  len: 0000000000000003 3");
}

TEST_F(CopyStatusTest, MessageStaysWhileTheSelectionStaysAndGoesWhenItChanges) {
  StartWide(40);
  console->clipboardTarget = ClipboardTarget::TerminalOsc52;
  Select(0, 12);
  CopyKey('Y');
  Frame(3);
  EXPECT_NE(StatusRow().find("copied 12 bytes"), std::string::npos) << StatusRow();
  Key(kelm::port::VK_RIGHT);
  // The copy step sees the new selection in the next frame, and the frame
  // after it shows the row without the message.
  Frame(2);
  EXPECT_EQ(selection.start, 12u);
  // Right moved the selection on to the byte after it.
  EXPECT_EQ(StatusRow(), "000000000000000C  len: 0000000000000001 1  dec: 12 LE u8  bin: 00001100");
}

TEST_F(CopyStatusTest, MessageTextsOfEveryPath) {
  EXPECT_EQ(CopyStatusText(ClipboardTarget::System, 12, CopyForm::Hex), u"");
  EXPECT_EQ(CopyStatusText(ClipboardTarget::TerminalOsc52, 12, CopyForm::Hex),
            u"copied 12 bytes as hex to the terminal's clipboard (OSC 52)");
  EXPECT_EQ(CopyStatusText(ClipboardTarget::TerminalOsc52, 0, CopyForm::Characters),
            u"copied 0 bytes as text to the terminal's clipboard (OSC 52)");
  EXPECT_EQ(CopyStatusText(ClipboardTarget::ProcessOnly, 6000000, CopyForm::Characters),
            u"copied 6000000 bytes as text to kelmhex's own clipboard only (too large for OSC 52)");
}

}  // namespace
}  // namespace marks_copy_test
