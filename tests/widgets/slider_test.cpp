// Sliders: the bar picture, grabbing, dragging and releasing.
#include "engine/widgets/slider.h"

#include "tests/widgets/widget_fixture.h"

namespace widgets_test {
namespace {

using kelm::port::FROM_LEFT_1ST_BUTTON_PRESSED;

class SliderTest : public WidgetTest {
 protected:
  // A slider with its top-left cell at screen (1, 1), on a 24 x 4 console.
  Slider* StartWithSlider(int32_t minimum, int32_t maximum, int32_t value, BracketKind kind = Spaced,
                          const BracketStyle* custom = nullptr) {
    Start(24, 4);
    auto* slider = new Slider(Vector2(1, -1), minimum, maximum, value, kind, custom);
    slider->anchor = kAnchorTopLeft;
    Objects()->AddObject(slider);
    return slider;
  }
  void DragTo(int column, int row) {
    console->PushMouseMove(column, row, FROM_LEFT_1ST_BUTTON_PRESSED);
    Frame();
  }
};

TEST_F(SliderTest, ZeroToFifteenIsNineteenCellsFilledUpToTheValue) {
  Slider* slider = StartWithSlider(0, 15, 7);
  Frame();
  EXPECT_EQ(slider->GetWidth(), 19);
  Frame();
  ExpectScreen(*console,
               {
                   "",
                   " [ |||||||-------- ]",
                   "",
                   "",
               },
               {"", ".C7FFFFFFF777777777C"});
  EXPECT_EQ(Attr(1, 1), 0x0C);
  EXPECT_EQ(Attr(3, 1), 0x0F);
  EXPECT_EQ(Attr(10, 1), 0x07);
  EXPECT_EQ(slider->GetOpaqueMask(), "");
  EXPECT_FALSE(slider->IsGrabbed());
}

TEST_F(SliderTest, EndValuesAndValuesOutsideTheRange) {
  Slider* empty = StartWithSlider(0, 15, 0);
  Frame();
  EXPECT_EQ(empty->GetText(), u"[ --------------- ]");
  Slider* full = StartWithSlider(0, 15, 15);
  Frame();
  EXPECT_EQ(full->GetText(), u"[ ||||||||||||||| ]");
  // Shown unclamped until the first drag.
  Slider* above = StartWithSlider(0, 4, 9, Tight);
  Frame();
  EXPECT_EQ(above->GetText(), u"[||||]");
  EXPECT_EQ(above->value, 9);
  Slider* below = StartWithSlider(0, 4, -3, None);
  Frame();
  EXPECT_EQ(below->GetText(), u"----");
  EXPECT_EQ(below->value, -3);
}

TEST_F(SliderTest, NothingIsDrawnBeforeTheFirstUpdate) {
  Slider* slider = StartWithSlider(0, 15, 7);
  EXPECT_EQ(slider->GetText(), u"");
  Frame();
  ExpectScreen(*console, {"", "", "", ""});
}

TEST_F(SliderTest, PressOnTheFirstBarCellGivesOne) {
  Slider* slider = StartWithSlider(0, 15, 7);
  std::vector<int32_t> seenByCallback;
  slider->SetCallback([&](Object* o) { seenByCallback.push_back(static_cast<Slider*>(o)->value); });
  Frame(2);
  Press(3, 1);
  EXPECT_EQ(slider->value, 1);
  EXPECT_TRUE(slider->IsGrabbed());
  EXPECT_EQ(seenByCallback.back(), 1);  // the callback sees the new value
  // The picture was built before the drag step: it still shows 7, and the
  // new value is drawn from the next frame's picture on.
  EXPECT_EQ(slider->GetText(), u"[ |||||||-------- ]");
  Frame();
  EXPECT_EQ(slider->GetText(), u"[ |-------------- ]");
  Frame();
  ExpectScreen(*console, {"", " [ |-------------- ]", "", ""});
}

TEST_F(SliderTest, PressOnABracketSetsAnEndValue) {
  Slider* slider = StartWithSlider(0, 15, 7);
  Frame();
  Press(1, 1);
  EXPECT_EQ(slider->value, 0);
  Release(1, 1);
  Press(19, 1);
  EXPECT_EQ(slider->value, 15);
}

TEST_F(SliderTest, SpaceInsideABracketDoesNotGrab) {
  Slider* slider = StartWithSlider(0, 15, 7);
  Frame();
  Press(2, 1);
  EXPECT_FALSE(slider->IsGrabbed());
  EXPECT_EQ(slider->value, 7);
  Press(18, 1);
  EXPECT_FALSE(slider->IsGrabbed());
}

TEST_F(SliderTest, DragFollowsTheColumnAndEndsOnReleaseAnywhere) {
  Slider* slider = StartWithSlider(0, 15, 7);
  Frame();
  Press(5, 1);
  EXPECT_EQ(slider->value, 3);
  DragTo(9, 1);
  EXPECT_EQ(slider->value, 7);
  DragTo(12, 3);  // off the row: the column still counts
  EXPECT_EQ(slider->value, 10);
  DragTo(23, 0);  // right of the bar
  EXPECT_EQ(slider->value, 15);
  DragTo(0, 2);  // left of the bar
  EXPECT_EQ(slider->value, 0);
  DragTo(6, 2);
  Release(6, 2);  // outside the slider
  EXPECT_FALSE(slider->IsGrabbed());
  EXPECT_EQ(slider->value, 4);
  console->PushMouseMove(12, 1);
  Frame();
  EXPECT_EQ(slider->value, 4);
  Frame();
  ExpectScreen(*console, {"", " [ ||||----------- ]", "", ""});
}

TEST_F(SliderTest, OffsetRangeWithCustomBrackets) {
  const BracketStyle style{u"<", u">>", "2", "33"};
  Slider* slider = StartWithSlider(5, 10, 7, Custom, &style);
  Frame(2);
  ExpectScreen(*console, {"", " <||--->>", "", ""}, {"", ".2FF77733"});
  Press(4, 1);  // the third bar cell
  EXPECT_EQ(slider->value, 8);
  DragTo(1, 1);  // the last prefix cell
  EXPECT_EQ(slider->value, 5);
  DragTo(7, 1);  // the first suffix cell
  EXPECT_EQ(slider->value, 10);
}

TEST_F(SliderTest, CentredSliderOfEvenWidthCountsWholeCells) {
  Start(24, 4);
  // 20 cells centred on x = 10: the left edge lies at 10 - 10 + 0.5 = 0.5, which
  // is drawn in column 1, so the bar starts in column 3.
  auto* slider = new Slider(Vector2(10, -1), 0, 16, 0, Spaced);
  Objects()->AddObject(slider);
  Frame(2);
  ExpectScreen(*console, {"", " [ ---------------- ]", "", ""});
  Press(3, 1);
  EXPECT_EQ(slider->value, 1);
  DragTo(18, 1);  // the last bar cell
  EXPECT_EQ(slider->value, 16);
}

TEST_F(SliderTest, PressTakenByTheSliderIsUsedUp) {
  Start(24, 4);
  bool belowClicked = false;
  auto* below = new Object(Vector2(0, -1), u"######################");
  below->anchor = kAnchorTopLeft;
  below->SetCallback([&](Object* o) { belowClicked = belowClicked || o->IsClicked(); });
  Objects()->AddObject(below);
  auto* slider = new Slider(Vector2(1, -1), 0, 15, 7, Spaced);
  slider->anchor = kAnchorTopLeft;
  Objects()->AddObject(slider);
  Frame();
  Press(4, 1);
  EXPECT_TRUE(slider->IsGrabbed());
  EXPECT_FALSE(belowClicked);
  Release(4, 1);
  Press(2, 1);  // the transparent space lets the press through
  EXPECT_TRUE(belowClicked);
}

}  // namespace
}  // namespace widgets_test
