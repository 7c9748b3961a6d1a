#include <gtest/gtest.h>

#include "engine/core/object.h"
#include "engine_fixture.h"

using namespace KelmCEngineV2;
using kelm::test::EngineTest;

namespace {

TEST(ObjectMeasure, LinesAndWidths) {
  Object twoByTwo({0, 0}, u"ab\ncd");
  EXPECT_EQ(twoByTwo.GetWidth(), 2);
  EXPECT_EQ(twoByTwo.GetHeight(), 2);

  Object oneLine({0, 0}, u"abc");
  EXPECT_EQ(oneLine.GetWidth(), 3);
  EXPECT_EQ(oneLine.GetHeight(), 1);

  Object empty({0, 0}, u"");
  EXPECT_EQ(empty.GetWidth(), 0);
  EXPECT_EQ(empty.GetHeight(), 1);

  Object trailingBreaks({0, 0}, u"ab\ncd\n");
  EXPECT_EQ(trailingBreaks.GetHeight(), 3);
}

TEST(ObjectMeasure, NarrowTextWidensByteByByte) {
  Object narrow({0, 0}, std::string("a\xE9\nbc"));
  EXPECT_EQ(narrow.GetText(), std::u16string(u"a\u00E9\nbc"));
  EXPECT_EQ(narrow.GetWidth(), 2);
  EXPECT_EQ(narrow.GetHeight(), 2);
}

TEST(ObjectMeasure, FillsFollowTheTextLength) {
  Object o({0, 0}, u"ab\ncd");
  o.FillForeground('4');
  o.FillBackground('0');
  o.FillOpaqueMask();
  EXPECT_EQ(o.GetForeground(), "44444");
  EXPECT_EQ(o.GetBackground(), "00000");
  EXPECT_EQ(o.GetOpaqueMask(), "#####");
}

TEST(ObjectEdges, TopLeftAnchoredBoxAndChildOnItsMiddleLine) {
  auto* box = new Object({10, -2}, u"abcd\nefgh\nijkl");
  box->anchor = kAnchorTopLeft;
  EXPECT_FLOAT_EQ(box->GetLeft(), 10);
  EXPECT_FLOAT_EQ(box->GetRight(), 13);
  EXPECT_FLOAT_EQ(box->GetTop(), -2);
  EXPECT_FLOAT_EQ(box->GetBottom(), -4);
  auto* child = new Object({0, 0}, u"x");
  box->AddChild(child);
  EXPECT_EQ(SnapToCell(child->GetTop()), -3);
  delete box;
}

TEST(ObjectEdges, EvenHeightParentCentresOnTheLowerMiddleLine) {
  Object parent({0, 0}, u"a\nb\nc\nd");
  parent.anchor = kAnchorTop;
  EXPECT_FLOAT_EQ(parent.GetWorldCentre().y, -2);
  auto* child = new Object({0, 0}, u"x");
  parent.AddChild(child);
  EXPECT_EQ(SnapToCell(child->GetTop()), -2);
}

TEST(ObjectEdges, EveryAnchorOnBothAxes) {
  struct Case {
    int32_t anchor;
    float left, right, top, bottom, cx, cy;
  };
  // A 4 x 3 block at (10, -5).
  const Case cases[] = {
      {0, 8.5f, 11.5f, -4.0f, -6.0f, 10.0f, -5.0f},
      {kAnchorLeft, 10, 13, -4, -6, 11.5f, -5},
      {kAnchorRight, 7, 10, -4, -6, 8.5f, -5},
      {kAnchorTop, 8.5f, 11.5f, -5, -7, 10, -6.5f},
      {kAnchorBottom, 8.5f, 11.5f, -3, -5, 10, -4.5f},
      {kAnchorTopLeft, 10, 13, -5, -7, 11.5f, -6.5f},
  };
  for (const Case& c : cases) {
    Object o({10, -5}, u"abcd\nefgh\nijkl");
    o.anchor = c.anchor;
    SCOPED_TRACE(c.anchor);
    EXPECT_FLOAT_EQ(o.GetLeft(), c.left);
    EXPECT_FLOAT_EQ(o.GetRight(), c.right);
    EXPECT_FLOAT_EQ(o.GetTop(), c.top);
    EXPECT_FLOAT_EQ(o.GetBottom(), c.bottom);
    EXPECT_FLOAT_EQ(o.GetWorldCentre().x, c.cx);
    EXPECT_FLOAT_EQ(o.GetWorldCentre().y, c.cy);
  }
}

TEST(SnapToCellTest, RoundsHalfUpAboveZeroAndTruncatesBelow) {
  EXPECT_EQ(SnapToCell(0.5f), 1);
  EXPECT_EQ(SnapToCell(0.49f), 0);
  EXPECT_EQ(SnapToCell(-0.7f), 0);
  EXPECT_EQ(SnapToCell(-1.5f), -1);
  EXPECT_EQ(SnapToCell(1e20f), INT32_MAX);
  EXPECT_EQ(SnapToCell(-1e20f), INT32_MIN);
}

TEST(ObjectChildren, RemovePurgesEveryNullSlot) {
  Object parent({0, 0}, u"p");
  auto* a = new Object({0, 0}, u"a");
  auto* b = new Object({0, 0}, u"b");
  auto* c = new Object({0, 0}, u"c");
  parent.AddChild(a);
  parent.AddChild(b);
  parent.AddChild(c);
  parent.DeleteChild(a);
  parent.DeleteChild(b);
  EXPECT_EQ(parent.children.size(), 3u);
  parent.RemoveChild(nullptr);
  ASSERT_EQ(parent.children.size(), 1u);
  EXPECT_EQ(parent.children[0], c);
}

TEST(ObjectDestroy, FreeObjectIsDeletedAtOnceOwnedOneOnlyMarked) {
  // A free object deletes itself (ASan would report a leak otherwise).
  auto* free = new Object({0, 0}, u"x");
  free->Destroy();

  Object parent({0, 0}, u"p");
  auto* child = new Object({0, 0}, u"c");
  parent.AddChild(child);
  child->Destroy();
  EXPECT_TRUE(child->IsDestroyed());
  EXPECT_EQ(parent.children.size(), 1u);
}

class HitTest : public EngineTest {};

TEST_F(HitTest, SpaceCellsAreHitOnlyThroughTheMask) {
  auto* plain = Add(new Object({2, -1}, u"a b"));
  plain->anchor = kAnchorTopLeft;
  mousePosition = {3, -1};  // the space
  EXPECT_FALSE(plain->IsHovered());
  mousePosition = {2, -1};
  EXPECT_TRUE(plain->IsHovered());
  plain->SetOpaqueMask(" # ");
  mousePosition = {3, -1};
  EXPECT_TRUE(plain->IsHovered());
}

TEST_F(HitTest, OnlyTheTopmostStackedObjectTakesTheClick) {
  auto* lower = Add(new Object({1, -1}, u"lower"));
  auto* upper = Add(new Object({1, -1}, u"upper"));
  lower->anchor = upper->anchor = kAnchorTopLeft;
  int lowerClicks = 0;
  int upperClicks = 0;
  lower->SetCallback([&](Object* o) { lowerClicks += o->IsClicked(); });
  upper->SetCallback([&](Object* o) { upperClicks += o->IsClicked(); });
  console.PushLeftPress(3, 1);
  Frame();
  EXPECT_EQ(upperClicks, 1);
  EXPECT_EQ(lowerClicks, 0);
  // Held, not pressed again: no further click.
  Frame();
  EXPECT_EQ(upperClicks, 1);
}

TEST_F(HitTest, ClippingBoxIsNotHitOnItsFrame) {
  auto* box = Add(new Object({0, 0}, u"+--+\n|  |\n+--+"));
  box->anchor = kAnchorTopLeft;
  box->FillOpaqueMask();
  box->clipChildren = true;
  box->clipInset = {1, 1, 1, 1};
  mousePosition = {0, 0};
  EXPECT_FALSE(box->IsHovered());
  mousePosition = {1, -1};
  EXPECT_TRUE(box->IsHovered());
}

TEST_F(HitTest, OverlapIsCellExact) {
  auto* a = Add(new Object({0, 0}, u"ab\n c"));
  auto* b = Add(new Object({0, -1}, u"x"));
  a->anchor = b->anchor = kAnchorTopLeft;
  EXPECT_FALSE(a->Overlaps(b));  // the space of a
  b->position = {1, -1};
  EXPECT_TRUE(a->Overlaps(b));
  EXPECT_TRUE(b->Overlaps(a));
  b->position = {5, -5};
  EXPECT_FALSE(a->Overlaps(b));
}

}  // namespace
