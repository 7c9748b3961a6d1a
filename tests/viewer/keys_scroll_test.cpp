// Scrolling and the other keys of the hex view, in the key handler's order.
#include "tests/viewer/viewer_harness.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

using namespace kelm::port;

using KeysAndScrolling = ViewerTest;

TEST_F(KeysAndScrolling, EndShowsTheRowOfTheLastByte) {
  Start(Counting(40));
  Key(VK_END);
  EXPECT_EQ(topRow, 1);
  EXPECT_EQ(Cells(2, 0, 16), "0000000000000014");

  Start(Counting(41));
  Key(VK_END);
  EXPECT_EQ(topRow, 2);
  EXPECT_EQ(Cells(2, 0, 16), "0000000000000028");

  Start({});
  topRow = 5;
  Key(VK_END);
  EXPECT_EQ(topRow, 0);
}

TEST_F(KeysAndScrolling, HomePageDownAndPageUp) {
  Start(Counting(5000));
  Key(VK_NEXT);
  EXPECT_EQ(topRow, 26) << "one screen of rows";
  EXPECT_EQ(Cells(2, 0, 16), "0000000000000208");
  Key(VK_NEXT);
  EXPECT_EQ(topRow, 52);
  Key(VK_PRIOR);
  EXPECT_EQ(topRow, 26);
  Key(VK_PRIOR);
  Key(VK_PRIOR);
  EXPECT_EQ(topRow, 0) << "never above the first row";
  Key(VK_END);
  Key(VK_HOME);
  EXPECT_EQ(topRow, 0);
  EXPECT_EQ(Cells(2, 0, 16), "0000000000000000");
}

TEST_F(KeysAndScrolling, PageDownMayShowRowsPastTheEnd) {
  Start(Counting(30));
  Key(VK_NEXT);
  EXPECT_EQ(topRow, 26);
  EXPECT_EQ(Row(2), "0000000000000208|" + std::string(61, ' ') + "|");
}

TEST_F(KeysAndScrolling, CtrlUpDownScrollAndLeaveTheSelection) {
  Start(Counting(5000));
  ClickByte(30);
  CtrlKey(VK_DOWN);
  CtrlKey(VK_DOWN);
  EXPECT_EQ(topRow, 2);
  EXPECT_EQ(selection.start, 30u);
  EXPECT_EQ(Cells(2, 0, 16), "0000000000000028");
  CtrlKey(VK_UP);
  EXPECT_EQ(topRow, 1);
  EXPECT_EQ(selection.start, 30u);
  CtrlKey(VK_UP);
  CtrlKey(VK_UP);
  EXPECT_EQ(topRow, 0);
  EXPECT_EQ(selection.start, 30u);
}

TEST_F(KeysAndScrolling, UpDownMoveTheSelectionAndLeaveTheView) {
  Start(Counting(5000));
  ClickByte(30);
  for (int i = 0; i < 30; ++i) Key(VK_DOWN);
  EXPECT_EQ(selection.start, 630u);
  EXPECT_EQ(topRow, 0) << "the view does not follow the selection";
  Key(VK_UP);
  EXPECT_EQ(selection.start, 610u);
  EXPECT_EQ(topRow, 0);
}

TEST_F(KeysAndScrolling, OnlyTheFirstNavigationKeyOfAFrameActs) {
  Start(Counting(5000));
  ClickByte(30);
  console->PushKey(VK_DOWN);
  console->PushKey(VK_UP);
  console->PushKey(VK_NEXT);
  Frame();
  EXPECT_EQ(selection.start, 10u) << "Up comes first in the list";
  EXPECT_EQ(topRow, 0);
}

TEST_F(KeysAndScrolling, WheelScrollsByOneRow) {
  Start(Counting(5000));
  console->PushWheel(40, 10, -1);  // toward the user
  Frame();
  EXPECT_EQ(topRow, 1);
  console->PushWheel(40, 10, -1);
  Frame();
  EXPECT_EQ(topRow, 2);
  console->PushWheel(40, 10, 1);
  Frame();
  EXPECT_EQ(topRow, 1);
  console->PushWheel(40, 10, 1);
  console->PushWheel(40, 10, 1);
  Frame();
  console->PushWheel(40, 10, 1);
  Frame();
  EXPECT_EQ(topRow, 0);
}

TEST_F(KeysAndScrolling, ScrollingStopsAtTheLastOffsetRow) {
  Start(Counting(10));
  const int64_t last = static_cast<int64_t>(~0ULL / 20);
  topRow = last - 1;
  RefreshGrid();
  CtrlKey(VK_DOWN);
  EXPECT_EQ(topRow, last);
  CtrlKey(VK_DOWN);
  Key(VK_NEXT);
  console->PushWheel(40, 10, -1);
  Frame();
  EXPECT_EQ(topRow, last) << "the first visible offset stays below 2^64";
  EXPECT_EQ(Cells(2, 0, 16), "FFFFFFFFFFFFFFF0");
}

TEST_F(KeysAndScrolling, EscClosesTheTopBox) {
  Start(Counting(10));
  Click(6, 0);  // "[ File ]"
  ASSERT_EQ(OpenBoxes(), 1u);
  Key(VK_ESCAPE);
  EXPECT_EQ(OpenBoxes(), 0u);
}

TEST_F(KeysAndScrolling, QAndF10Quit) {
  Start(Counting(10));
  Key('Q', 0, u'q');
  EXPECT_TRUE(engine->QuitRequested());
  EXPECT_EQ(engine->ExitStatus(), 0);

  Start(Counting(10));
  Key(VK_F10);
  EXPECT_TRUE(engine->QuitRequested());
}

TEST_F(KeysAndScrolling, CtrlQNeverQuits) {
  Start(Counting(10));
  CtrlKey('Q');
  EXPECT_FALSE(engine->QuitRequested());
  // Two of them in one frame (key repeat): the second is no plain q either.
  console->PushKey('Q', 0x11, LEFT_CTRL_PRESSED);
  console->PushKey('Q', 0x11, LEFT_CTRL_PRESSED);
  Frame();
  EXPECT_FALSE(engine->QuitRequested());
  console->PushKey('Q', u'q', LEFT_ALT_PRESSED);
  Frame();
  EXPECT_FALSE(engine->QuitRequested());
}

TEST_F(KeysAndScrolling, CtrlKeysAreConsumedBeforeThePlainKeys) {
  Start(Counting(100));
  ClickByte(30);
  CtrlKey(VK_UP);  // scrolls (at row 0: nothing); Up must not move the selection
  CtrlKey(VK_DOWN);
  EXPECT_EQ(selection.start, 30u);
  EXPECT_EQ(topRow, 1);
  for (char letter : {'C', 'G', 'D', 'O', 'M', 'B', 'Q'}) CtrlKey(static_cast<uint16_t>(letter));
  EXPECT_FALSE(engine->QuitRequested());
  EXPECT_EQ(selection.start, 30u);
  EXPECT_EQ(topRow, 1);
}

TEST_F(KeysAndScrolling, CtrlNOpensAnotherFileFromItsStart) {
  Start(Counting(5000));
  const std::string other = WriteFile({0x61, 0x62, 0x63}, "other.bin");
  Key(VK_NEXT);
  ASSERT_EQ(topRow, 26);
  console->openDialogAnswers.push_back(other);
  CtrlKey('N');
  EXPECT_EQ(console->openDialogCalls, 1);
  EXPECT_EQ(filePath, other);
  EXPECT_EQ(fileSize, 3u);
  EXPECT_EQ(topRow, 0);
  EXPECT_EQ(console->title, u"KelmHex Viewer - other.bin");
  EXPECT_EQ(Row(2).substr(0, 26), "0000000000000000| 61 62 63");
}

// Records the folder the open dialog was asked to start in.
class DialogRecordingConsole : public VirtualConsole {
 public:
  using VirtualConsole::VirtualConsole;
  std::optional<std::string> OpenFileDialog(const std::string& startDir) override {
    startDirs.push_back(startDir);
    return VirtualConsole::OpenFileDialog(startDir);
  }
  std::vector<std::string> startDirs;
};

TEST_F(KeysAndScrolling, CtrlNStartsInTheFolderOfTheViewedFile) {
  const std::string path = WriteFile(Counting(10), "in-folder.bin");
  StartOn(path);
  DialogRecordingConsole recorder(119, 30);
  kelm::port::SetPort(&recorder);
  recorder.PushKey('N', 0x0E, LEFT_CTRL_PRESSED);
  Frame();
  ASSERT_EQ(recorder.startDirs.size(), 1u);
  EXPECT_EQ(recorder.startDirs[0], directory.string());
  kelm::port::SetPort(console.get());
}

TEST_F(KeysAndScrolling, CancelledCtrlNChangesNothing) {
  const std::string path = WriteFile(Counting(5000));
  StartOn(path);
  Key(VK_NEXT);
  CtrlKey('N');  // nothing queued: cancelled
  EXPECT_EQ(console->openDialogCalls, 1);
  console->openDialogAnswers.push_back(std::string());
  CtrlKey('N');  // an empty name
  EXPECT_EQ(console->openDialogCalls, 2);
  EXPECT_EQ(filePath, path);
  EXPECT_EQ(fileSize, 5000u);
  EXPECT_EQ(topRow, 26);
}

TEST_F(KeysAndScrolling, CtrlRReloadsTheSameFile) {
  const std::string path = WriteFile(Counting(5000));
  StartOn(path);
  Key(VK_NEXT);
  WriteFile(std::vector<uint8_t>(6000, 0x5A));
  CtrlKey('R');
  EXPECT_EQ(fileSize, 6000u);
  EXPECT_EQ(topRow, 26);
  EXPECT_EQ(Cells(2, 18, 5), "5A 5A");
}

}  // namespace
}  // namespace viewer_test
