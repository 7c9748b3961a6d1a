// Frames on demand: after a frame the loop waits without a time-out unless
// input was handled, the frame changed, or an object asked for a frame; the
// virtual console's clock advances by each wait's time-out.
#include <gtest/gtest.h>

#include "engine_fixture.h"

using namespace KelmCEngineV2;
using kelm::port::kWaitForever;
using kelm::test::EngineTest;

namespace {

class FramePacingTest : public EngineTest {
 protected:
  // Runs frames until one is followed by a wait without a time-out; yields
  // how many ran (at most `limit`).
  int FramesUntilIdle(int limit = 20) {
    for (int i = 1; i <= limit; ++i) {
      Frame();
      if (engine->LastWaitMs() == kWaitForever) return i;
    }
    return limit + 1;
  }
};

TEST_F(FramePacingTest, AStillScreenWaitsForInputWithoutATimeOut) {
  Add(new Object(Vector2(0, 0), u"still"))->anchor = kAnchorTopLeft;
  // The first frame draws everything; two more show nothing new.
  EXPECT_EQ(FramesUntilIdle(), 3);
  const uint64_t before = console.now;
  Frame();
  EXPECT_EQ(engine->LastWaitMs(), kWaitForever);
  EXPECT_EQ(console.now, before);  // no time passed in the idle waits
  EXPECT_EQ(Screen()[0], "still               ");

  // A key: the frame after it comes at once, then the loop is idle again.
  console.PushKey('A', u'a');
  Frame();
  EXPECT_EQ(engine->LastWaitMs(), 0u);
  EXPECT_EQ(FramesUntilIdle(), 2);
}

TEST_F(FramePacingTest, WhatAnUpdateLeftForTheNextOneStillShowsWithoutInput) {
  int updates = 0;
  Object* counter = Add(new Object(Vector2(0, 0), u"0"));
  counter->anchor = kAnchorTopLeft;
  counter->SetCallback([&](Object* self) {
    // Acts one frame after the input, as a box marked for closing goes in
    // the pass after the key.
    if (++updates == 5) self->SetText(u"changed");
  });
  ASSERT_EQ(FramesUntilIdle(), 3);
  console.PushMouseMove(4, 2);
  Frame();  // the fourth update: the input's frame
  EXPECT_EQ(engine->LastWaitMs(), 0u);
  Frame();  // the fifth: nothing new on screen yet, but a frame follows
  EXPECT_EQ(Screen()[0].substr(0, 7), "0      ");
  EXPECT_EQ(engine->LastWaitMs(), 0u);
  Frame();
  EXPECT_EQ(Screen()[0].substr(0, 7), "changed");
  EXPECT_EQ(engine->LastWaitMs(), 0u);
  EXPECT_EQ(FramesUntilIdle(), 2);
}

TEST_F(FramePacingTest, RequestsKeepTheEarliestAndHoldUntilTheirFrame) {
  int ask = 0;
  Add(new Object(Vector2(0, 0), u"x"))->SetCallback([&](Object*) {
    if (ask == 1) {
      mainEngine->RequestFrame(300);
      mainEngine->RequestFrame(120);
      mainEngine->RequestFrame(900);
    } else if (ask == 2) {
      mainEngine->RequestFrame(250);
    }
    ask = 0;
  });
  ASSERT_EQ(FramesUntilIdle(), 3);
  ask = 1;
  Frame();
  EXPECT_EQ(engine->LastWaitMs(), 120u);
  const uint64_t before = console.now;
  Frame();  // the request was met: nothing more is asked for
  EXPECT_EQ(engine->LastWaitMs(), kWaitForever);
  EXPECT_EQ(console.now, before);

  // A frame that comes earlier (for a key) leaves the request standing.
  ask = 2;
  console.PushKey('A', u'a');
  Frame();
  EXPECT_EQ(engine->LastWaitMs(), 0u);
  Frame();  // a quiet frame, at once
  EXPECT_EQ(engine->LastWaitMs(), 0u);
  Frame();
  EXPECT_EQ(engine->LastWaitMs(), 250u);
  Frame();
  EXPECT_EQ(engine->LastWaitMs(), kWaitForever);
}

TEST_F(FramePacingTest, AnObjectChangingInEveryFrameIsPacedNotSpun) {
  int updates = 0;
  Add(new Object(Vector2(0, 0), u"0"))->SetCallback([&](Object* self) {
    self->SetText(std::to_string(++updates));
  });
  std::vector<uint32_t> waits;
  for (int i = 0; i < 6; ++i) {
    Frame();
    waits.push_back(engine->LastWaitMs());
  }
  // Two changed frames follow at once; after them the frame delay paces.
  EXPECT_EQ(waits, (std::vector<uint32_t>{0, 0, 20, 20, 20, 20}));
}

TEST_F(FramePacingTest, PacedLoopWaitsTheFrameDelayAfterEveryFrame) {
  engine->framesOnDemand = false;
  engine->frameDelay = 35;
  Add(new Object(Vector2(0, 0), u"still"));
  for (int i = 0; i < 4; ++i) {
    Frame();
    EXPECT_EQ(engine->LastWaitMs(), 35u);
    EXPECT_EQ(engine->deltaTime, 35u);
  }
}

TEST_F(FramePacingTest, InTheBackgroundNoFrameRunsAndNothingIsWaitedFor) {
  ASSERT_EQ(FramesUntilIdle(), 3);
  console.foreground = false;
  const int waits = console.waits;
  console.PushKey('A', u'a');
  EXPECT_FALSE(engine->RunFrame());
  EXPECT_EQ(console.waits, waits);
  EXPECT_TRUE(console.ReportsFocusChanges());  // RunFrames then waits for input
}

}  // namespace
