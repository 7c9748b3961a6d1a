// Buttons: the bracketed picture and its colours, and clicking on the press
// edge of the left button.
#include "engine/widgets/button.h"

#include "tests/widgets/widget_fixture.h"

namespace widgets_test {
namespace {

class ButtonTest : public WidgetTest {
 protected:
  // A button whose top-left cell is at (column, row) on the screen.
  Button* AddButton(int column, int row, std::u16string label, BracketKind kind,
                    const BracketStyle* custom = nullptr) {
    auto* button = new Button(Vector2(0, 0), std::move(label), kind, custom);
    button->anchor = kAnchorTopLeft;
    button->position = Vector2(static_cast<float>(column), static_cast<float>(-row));
    Objects()->AddObject(button);
    return button;
  }
};

TEST_F(ButtonTest, SpacedLabelHasLightRedBracketsAndGreyLabel) {
  Start(16, 3);
  Button* file = AddButton(2, 1, u"File", Spaced);
  EXPECT_EQ(file->GetWidth(), 8);
  EXPECT_EQ(file->GetHeight(), 1);
  Frame();
  ExpectScreen(*console,
               {
                   "",
                   "  [ File ]",
                   "",
               },
               {"", "..C777777C"},   // foregrounds
               {"", "..00000000"});  // backgrounds
  EXPECT_EQ(Attr(2, 1), 0x0C);
  EXPECT_EQ(Attr(3, 1), 0x07);
}

TEST_F(ButtonTest, TightBlankLabelShowsAnEmptyBox) {
  Start(8, 2);
  AddButton(1, 0, u" ", Tight);
  Frame();
  EXPECT_EQ(Row(0), " [ ]");
  EXPECT_EQ(Foreground(0, 1, 3), "C7C");
}

TEST_F(ButtonTest, NoneAndUnknownKindsShowTheBareLabel) {
  Start(12, 3);
  Button* bare = AddButton(0, 0, u"a b", None);
  Button* unknown = AddButton(0, 1, u"xyz", 9);
  EXPECT_EQ(bare->GetWidth(), 3);
  EXPECT_EQ(unknown->GetWidth(), 3);
  Frame();
  EXPECT_EQ(Row(0), "a b");
  EXPECT_EQ(Row(1), "xyz");
  EXPECT_EQ(Foreground(1, 0, 3), "777");
}

TEST_F(ButtonTest, CustomColourStringsAreLaidEndToEnd) {
  Start(12, 2);
  // A prefix colour string one digit short shifts the suffix colour left.
  const BracketStyle style{u"<<", u">", "A", "B"};
  AddButton(0, 0, u"ab", Custom, &style);
  Frame();
  EXPECT_EQ(Row(0), "<<ab>");
  EXPECT_EQ(Foreground(0, 0, 5), "A77B7");
}

TEST_F(ButtonTest, CustomWithoutStyleAndStyleCopiedAtConstruction) {
  Start(12, 3);
  AddButton(0, 0, u"none", Custom, nullptr);
  BracketStyle style{u"(", u")", "2", "2"};
  AddButton(0, 1, u"ok", Custom, &style);
  style.prefix = u"changed";  // the button keeps no reference to it
  Frame();
  EXPECT_EQ(Row(0), "none");
  EXPECT_EQ(Row(1), "(ok)");
  EXPECT_EQ(Foreground(1, 0, 4), "2772");
}

TEST_F(ButtonTest, SpacesInsideTheButtonHideWhatIsBelow) {
  Start(12, 2);
  auto* below = new Object(Vector2(0, 0), u"#########");
  below->anchor = kAnchorTopLeft;
  Objects()->AddObject(below);
  AddButton(1, 0, u" ", Spaced);
  Frame();
  EXPECT_EQ(Row(0), "#[   ]###");
}

TEST_F(ButtonTest, ClickRunsOnThePressEdgeOnly) {
  Start(12, 3);
  Button* button = AddButton(0, 1, u"Go", Spaced);
  int clicks = 0;
  Object* clickedWith = nullptr;
  button->SetOnClick([&](Object* o) {
    ++clicks;
    clickedWith = o;
  });

  Press(3, 1);
  EXPECT_EQ(clicks, 1);
  EXPECT_EQ(clickedWith, button);
  Frame(3);  // held: no new edge
  EXPECT_EQ(clicks, 1);
  Release(3, 1);
  EXPECT_EQ(clicks, 1);
  // The bracket and the blank cells take the press too.
  Click(0, 1);
  Click(1, 1);
  EXPECT_EQ(clicks, 3);
  // Beside the button, or with another mouse button, nothing happens.
  Click(6, 1);
  console->PushMouseMove(3, 1);
  console->PushMouseButtons(3, 1, kelm::port::RIGHTMOST_BUTTON_PRESSED);
  Frame();
  EXPECT_EQ(clicks, 3);
}

TEST_F(ButtonTest, SetOnClickReplacesThePreviousAction) {
  Start(12, 2);
  Button* button = AddButton(0, 0, u"x", None);
  CallLog log;
  button->SetOnClick(log.Recorder("first"));
  button->SetOnClick(log.Recorder("second"));
  Click(0, 0);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"second"}));
}

TEST_F(ButtonTest, CallbackRunsEveryFrameAfterTheClick) {
  Start(12, 2);
  Button* button = AddButton(0, 0, u"x", None);
  CallLog log;
  button->SetOnClick(log.Recorder("click"));
  button->SetCallback(log.Recorder("frame"));
  Frame();
  Press(0, 0);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"frame", "click", "frame"}));
}

TEST_F(ButtonTest, OnlyTheUpperOfTwoOverlappingButtonsTakesThePress) {
  Start(12, 2);
  CallLog log;
  AddButton(0, 0, u"lower", None)->SetOnClick(log.Recorder("lower"));
  AddButton(2, 0, u"upper", None)->SetOnClick(log.Recorder("upper"));
  Click(3, 0);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"upper"}));
  // Where only the lower one lies, it gets the press.
  Click(0, 0);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"upper", "lower"}));
}

TEST_F(ButtonTest, ButtonWithoutActionLetsThePressThrough) {
  Start(12, 2);
  CallLog log;
  AddButton(0, 0, u"lower", None)->SetOnClick(log.Recorder("lower"));
  Button* inert = AddButton(0, 0, u"upper", None);
  Click(1, 0);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"lower"}));
  EXPECT_EQ(Row(0), "upper");
  // Once it has an action, it takes the press itself.
  inert->SetOnClick(log.Recorder("upper"));
  Click(1, 0);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"lower", "upper"}));
}

TEST_F(ButtonTest, ClickedPressIsUsedUpForObjectsBelow) {
  Start(12, 2);
  auto* below = new Object(Vector2(0, 0), u"#####");
  below->anchor = kAnchorTopLeft;
  bool belowClicked = false;
  below->SetCallback([&](Object* o) { belowClicked = belowClicked || o->IsClicked(); });
  Objects()->AddObject(below);
  int clicks = 0;
  AddButton(0, 0, u"ab", None)->SetOnClick([&](Object*) { ++clicks; });
  Click(1, 0);
  EXPECT_EQ(clicks, 1);
  EXPECT_FALSE(belowClicked);
  Click(4, 0);  // beside the button the object below gets it
  EXPECT_TRUE(belowClicked);
}

}  // namespace
}  // namespace widgets_test
