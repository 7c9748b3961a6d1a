#include <gtest/gtest.h>

#include "engine/core/draw.h"
#include "engine_fixture.h"

using namespace KelmCEngineV2;
using kelm::test::EngineTest;

namespace {

class DrawTest : public EngineTest {};

Object* TopLeft(Object* o) {
  o->anchor = kAnchorTopLeft;
  return o;
}

TEST_F(DrawTest, ObjectWithoutColoursIsLightGreyOnBlack) {
  Add(TopLeft(new Object({1, -1}, u"hi")));
  Frame();
  EXPECT_EQ(console.RowText(1).substr(0, 4), " hi ");
  EXPECT_EQ(console.AttributeAt(1, 1), 0x07);
}

TEST_F(DrawTest, ForegroundDigitReplacesTheWholeAttributeBackgroundKeepsForeground) {
  auto* fgOnly = Add(TopLeft(new Object({0, 0}, u"a")));
  fgOnly->SetForeground("4");
  auto* bgOnly = Add(TopLeft(new Object({2, 0}, u"b")));
  bgOnly->SetForeground(" ");
  bgOnly->SetBackground("f");
  auto* both = Add(TopLeft(new Object({4, 0}, u"c")));
  both->SetForeground("e");
  both->SetBackground("1");
  Frame();
  EXPECT_EQ(console.AttributeAt(0, 0), 0x04);
  EXPECT_EQ(console.AttributeAt(2, 0), 0xF7);
  EXPECT_EQ(console.AttributeAt(4, 0), 0x1E);
}

TEST_F(DrawTest, LaterObjectCoversEarlierTransparentSpacesShowThrough) {
  Add(TopLeft(new Object({0, 0}, u"aaaa")));
  Add(TopLeft(new Object({0, 0}, u"b  b")));
  Frame();
  EXPECT_EQ(console.RowText(0).substr(0, 4), "baab");
  auto* mask = Add(TopLeft(new Object({0, 0}, u"  ")));
  mask->FillOpaqueMask();
  Frame();
  EXPECT_EQ(console.RowText(0).substr(0, 4), "  ab");
}

TEST_F(DrawTest, UpperLayersCoverLowerOnesAndChildrenCoverParents) {
  Add(TopLeft(new Object({0, 0}, u"objects")));
  auto* menu = TopLeft(new Object({0, 0}, u"menu"));
  menusLayer->AddObject(menu);
  auto* child = new Object({0, 0}, u"C");  // centred on the menu's centre
  menu->AddChild(child);
  Frame();
  // The menu's centre x is 1.5, so the child lands on column 2.
  EXPECT_EQ(console.RowText(0).substr(0, 7), "meCucts");
}

TEST_F(DrawTest, PartlyOffScreenObjectsDrawTheirVisibleColumnsAndChildrenStillDraw) {
  Add(TopLeft(new Object({-2, 0}, u"abcd")));
  auto* outside = Add(TopLeft(new Object({100, 0}, u"zz")));
  auto* child = new Object({0, 0}, u"k");
  child->position = {-95, -1};  // back on screen relative to the parent centre
  outside->AddChild(child);
  Frame();
  EXPECT_EQ(console.RowText(0).substr(0, 2), "cd");
  EXPECT_NE(console.RowText(1).find('k'), std::string::npos);
}

TEST_F(DrawTest, ClippingBoxShowsChildrenOnlyInside) {
  auto* box = Add(TopLeft(new Object({0, 0}, u"+---+\n|   |\n+---+")));
  box->FillOpaqueMask();
  box->clipChildren = true;
  box->clipInset = {1, 1, 1, 1};
  auto* wide = new Object({0, 0}, u"123456789");
  box->AddChild(wide);
  Frame();
  EXPECT_EQ(console.RowText(0).substr(0, 5), "+---+");
  EXPECT_EQ(console.RowText(1).substr(0, 5), "|456|");
}

TEST_F(DrawTest, InvisibleParentHidesAndFreezesItsChildren) {
  auto* parent = Add(TopLeft(new Object({0, 0}, u"p")));
  parent->visible = false;
  int childUpdates = 0;
  auto* child = new Object({0, 0}, u"c");
  child->SetCallback([&](Object*) { ++childUpdates; });
  parent->AddChild(child);
  int parentUpdates = 0;
  parent->SetCallback([&](Object*) { ++parentUpdates; });
  Frame();
  EXPECT_EQ(console.RowText(0)[0], ' ');
  EXPECT_EQ(childUpdates, 0);
  EXPECT_EQ(parentUpdates, 1);  // still updated by its layer
}

TEST_F(DrawTest, ChildAddedDuringTheWalkIsFirstSeenNextFrame) {
  auto* parent = Add(TopLeft(new Object({0, 0}, u"   ")));
  bool added = false;
  auto* sibling = new Object({-1, 0}, u"s");
  sibling->SetCallback([&](Object*) {
    if (added) return;
    added = true;
    parent->AddChild(new Object({1, 0}, u"n"));
  });
  parent->AddChild(sibling);
  Frame();
  EXPECT_EQ(console.RowText(0).find('n'), std::string::npos);
  Frame();
  EXPECT_NE(console.RowText(0).find('n'), std::string::npos);
}

TEST_F(DrawTest, TheRightmostConsoleColumnIsNeverDrawn) {
  // 21 columns: the frame is 20 wide.
  Add(TopLeft(new Object({0, 0}, std::string(30, 'x'))));
  Frame();
  EXPECT_EQ(console.frameWidth, 20);
  EXPECT_EQ(console.RowText(0), std::string(20, 'x'));
}

// Frames in which no object draws differently are not composed again; every
// kind of change after such idle frames must still reach the screen.
TEST_F(DrawTest, EveryKindOfChangeShowsAfterIdleFrames) {
  auto* below = Add(TopLeft(new Object({0, 0}, u"------")));
  below->visible = false;
  auto* word = Add(TopLeft(new Object({0, 0}, u"abc")));
  word->SetForeground("123");
  auto* mark = new Object({0, 0}, u"m");  // centred on the word: column 1
  mark->anchor = kAnchorTopLeft;
  word->AddChild(mark);
  const auto idle = [&] {
    for (int i = 0; i < 3; ++i) Frame();
  };
  const auto row0 = [&] { return console.RowText(0).substr(0, 6); };

  idle();
  EXPECT_EQ(row0(), "amc   ");
  EXPECT_EQ(ColourRow(0).substr(0, 3), "173");

  word->text = u"xyz";
  idle();
  EXPECT_EQ(row0(), "xmz   ");
  word->SetForeground("456");
  idle();
  EXPECT_EQ(ColourRow(0).substr(0, 3), "476");
  word->SetBackground("9  ");
  idle();
  EXPECT_EQ(ColourRow(0, true).substr(0, 3), "900");
  word->position = {2, 0};
  idle();
  EXPECT_EQ(row0(), "  xmz ") << "the old place is cleared";
  mark->visible = false;
  idle();
  EXPECT_EQ(row0(), "  xyz ");
  word->text = u"x z";
  idle();
  EXPECT_EQ(row0(), "  x z ") << "a space is transparent";
  word->FillOpaqueMask();
  below->visible = true;
  idle();
  EXPECT_EQ(row0(), "--x z-") << "the opaque space hides what is below";
  word->visible = false;
  idle();
  EXPECT_EQ(row0(), "------");
  below->Destroy();
  idle();
  EXPECT_EQ(row0(), "      ");
  engine->camera = {-1, 0};
  word->visible = true;
  idle();
  EXPECT_EQ(row0(), "   x z");
  console.SetWindowSize(9, 2);
  idle();
  EXPECT_EQ(console.frameWidth, 8);
  EXPECT_EQ(console.RowText(0), "   x z  ");
  EXPECT_EQ(console.RowText(1), "        ");
}

TEST(ColourDigits, BothCasesAndSpaces) {
  EXPECT_EQ(ColourDigitValue('a'), 10);
  EXPECT_EQ(ColourDigitValue('F'), 15);
  EXPECT_EQ(ColourDigitValue('7'), 7);
  EXPECT_EQ(ColourDigitValue(' '), -1);
  EXPECT_EQ(ColourDigitValue('g'), -1);
  EXPECT_EQ(ColourDigit(12), 'C');
  EXPECT_EQ(ColourDigit(9), '9');
}

}  // namespace
