// Faults the random soak found, each kept as a plain test of its own.
#include "tests/viewer/viewer_harness.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

using kelm::port::FROM_LEFT_1ST_BUTTON_PRESSED;

class SoakFindings : public ViewerTest {};

// A drag that goes back past its anchor moves the selection's first byte;
// the offset display showed the anchor until the next key.
TEST_F(SoakFindings, DragBeforeTheAnchorShowsTheNewFirstByte) {
  Start(Counting(200));
  Press(HexX(30), RowOf(30));
  ASSERT_TRUE(selectionActive);
  ASSERT_EQ(statusOffset->text, HexOffsetText(30));

  console->PushMouseMove(HexX(4), RowOf(4), FROM_LEFT_1ST_BUTTON_PRESSED);
  Frame();
  ASSERT_EQ(selection.start, 4u);
  EXPECT_EQ(selection.length, 27u);
  EXPECT_EQ(statusOffset->text, HexOffsetText(4));

  // Back after the anchor: the anchor is the first byte again.
  console->PushMouseMove(HexX(45), RowOf(45), FROM_LEFT_1ST_BUTTON_PRESSED);
  Frame();
  ASSERT_EQ(selection.start, 30u);
  EXPECT_EQ(statusOffset->text, HexOffsetText(30));
  Release(HexX(45), RowOf(45));
  EXPECT_EQ(statusOffset->text, HexOffsetText(30));
}

}  // namespace
}  // namespace viewer_test
