#include <gtest/gtest.h>

#include "engine_fixture.h"

using namespace KelmCEngineV2;
using namespace kelm::port;
using kelm::test::EngineTest;

namespace {

class InputTest : public EngineTest {
 protected:
  // Runs one frame in which `ask` is evaluated by an object's update.
  template <typename F>
  void FrameAsking(F ask) {
    auto* asker = Add(new Object({0, 0}, u""));
    asker->SetCallback([&, ask](Object* self) {
      ask();
      self->Destroy();
    });
    Frame();
  }
};

TEST_F(InputTest, CtrlKeyMatchesOnceAndIsConsumed) {
  console.PushKey('G', 0x07, LEFT_CTRL_PRESSED);
  bool first = false, second = true;
  FrameAsking([&] {
    first = KeyPressed('G', false, kModCtrl);
    second = KeyPressed('G', false, kModCtrl);
  });
  EXPECT_TRUE(first);
  EXPECT_FALSE(second);
}

TEST_F(InputTest, ModifierRules) {
  struct Case {
    uint32_t state;
    uint16_t required;
    bool matches;
  };
  const Case cases[] = {
      {0, 0, true},
      {LEFT_CTRL_PRESSED, 0, true},  // m = 0 accepts any modifiers
      {0, kModCtrl, false},
      {RIGHT_CTRL_PRESSED, kModCtrl, true},
      {LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED, kModCtrl, true},  // extra Alt accepted
      {LEFT_ALT_PRESSED, kModCtrl, false},
      {RIGHT_ALT_PRESSED, kModAlt, true},
      {SHIFT_PRESSED | LEFT_CTRL_PRESSED, kModCtrl, true},  // Shift is ignored
      {SHIFT_PRESSED, kModShift, false},                    // Shift only counts for held keys
      {LEFT_CTRL_PRESSED | ENHANCED_KEY, kModCtrl, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << std::hex << c.state << " " << c.required);
    console.PushKey('D', u'd', c.state);
    bool answer = !c.matches;
    FrameAsking([&] { answer = KeyPressed('D', false, c.required); });
    EXPECT_EQ(answer, c.matches);
  }
}

TEST_F(InputTest, HeldKeysAnswerEveryFrameWithTheirModifiers) {
  console.PushInput(MakeKeyRecord(true, VK_RIGHT, 0, 0));
  bool first = false;
  FrameAsking([&] { first = KeyPressed(VK_RIGHT, true, 0); });
  EXPECT_TRUE(first);
  bool held = false, heldWithShift = true;
  FrameAsking([&] {
    held = KeyPressed(VK_RIGHT, true, 0);
    heldWithShift = KeyPressed(VK_RIGHT, true, kModShift);
  });
  EXPECT_TRUE(held);
  EXPECT_FALSE(heldWithShift);
  console.PushInput(MakeKeyRecord(true, VK_SHIFT, 0, SHIFT_PRESSED));
  FrameAsking([&] {
    KeyPressed(VK_SHIFT, false, 0);
    heldWithShift = KeyPressed(VK_RIGHT, true, kModShift);
  });
  EXPECT_TRUE(heldWithShift);
  console.PushInput(MakeKeyRecord(false, VK_RIGHT, 0, 0));
  FrameAsking([&] { held = KeyPressed(VK_RIGHT, true, 0); });
  EXPECT_FALSE(held);
}

TEST_F(InputTest, TakeKeyEventsHandsOverEverythingInOrder) {
  console.PushKey('A', u'a');
  console.PushKey('B', u'b');
  std::vector<KEY_EVENT_RECORD> taken;
  bool later = true;
  FrameAsking([&] {
    taken = TakeKeyEvents();
    later = KeyPressed('A', false, 0);
  });
  ASSERT_EQ(taken.size(), 2u);
  EXPECT_EQ(taken[0].UnicodeChar, u'a');
  EXPECT_EQ(taken[1].UnicodeChar, u'b');
  EXPECT_FALSE(later);
}

TEST_F(InputTest, AtMost32RecordsAreReadPerPoll) {
  for (int i = 0; i < 20; ++i) console.PushKey('A', u'a');  // 40 records
  size_t seen = 0;
  FrameAsking([&] { seen = keyEvents.size(); });
  EXPECT_EQ(seen, 16u);
  FrameAsking([&] { seen = keyEvents.size(); });
  EXPECT_EQ(seen, 4u);
}

TEST_F(InputTest, ClickEdgesAcrossPolls) {
  console.PushLeftPress(3, 1);
  Frame();
  EXPECT_TRUE(mouseButtons[kLeftButton].pressed);
  EXPECT_TRUE(mouseButtons[kLeftButton].held);
  EXPECT_EQ(mousePosition, Vector2(3, -1));
  Frame();
  EXPECT_FALSE(mouseButtons[kLeftButton].pressed);
  EXPECT_TRUE(mouseButtons[kLeftButton].held);
  console.PushLeftRelease(3, 1);
  Frame();
  EXPECT_TRUE(mouseButtons[kLeftButton].released);
  EXPECT_FALSE(mouseButtons[kLeftButton].held);
}

TEST_F(InputTest, DownAndUpInOnePollLeaveNoEdgeAndDoubleClicksAreIgnored) {
  console.PushLeftPress(1, 1);
  console.PushMouseButtons(1, 1, 0);
  Frame();
  EXPECT_FALSE(mouseButtons[kLeftButton].pressed);
  EXPECT_FALSE(mouseButtons[kLeftButton].released);
  console.PushInput(MakeMouseRecord(1, 1, FROM_LEFT_1ST_BUTTON_PRESSED, DOUBLE_CLICK));
  Frame();
  EXPECT_FALSE(mouseButtons[kLeftButton].pressed);
}

TEST_F(InputTest, RightAndMiddleButtonsUseTheirOwnBits) {
  console.PushMouseButtons(0, 0, RIGHTMOST_BUTTON_PRESSED | FROM_LEFT_2ND_BUTTON_PRESSED);
  Frame();
  EXPECT_TRUE(mouseButtons[kRightButton].pressed);
  EXPECT_TRUE(mouseButtons[2].pressed);
  EXPECT_FALSE(mouseButtons[kLeftButton].pressed);
}

TEST_F(InputTest, WheelLastsOneFrameWithTheLastRecordsSign) {
  console.PushWheel(0, 0, 1);
  console.PushWheel(0, 0, -1);
  Frame();
  EXPECT_EQ(mouseWheel, -1);
  Frame();
  EXPECT_EQ(mouseWheel, 0);
  console.PushWheel(0, 0, 2);
  Frame();
  EXPECT_EQ(mouseWheel, 1);
}

TEST_F(InputTest, ClearAsyncKeyStateResetsPressedSinceQuery) {
  console.SetKeyPressedSinceQuery(VK_RETURN);
  ClearAsyncKeyState();
  EXPECT_EQ(console.GetAsyncKeyState(VK_RETURN) & 1, 0);
}

}  // namespace
