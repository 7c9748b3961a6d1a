// The message pop-up and its text helpers.
#include "engine/widgets/message.h"

#include "engine/widgets/button.h"
#include "engine/widgets/menu_object.h"
#include "tests/widgets/widget_fixture.h"

namespace widgets_test {
namespace {

std::string Spaces(size_t n) { return std::string(n, ' '); }

TEST(WrapTextTest, ShortTextFillsOneLine) {
  EXPECT_EQ(WrapText(u"abc", 5), u"abc  ");
  EXPECT_EQ(WrapText(u"", 3), u"   ");
}

TEST(WrapTextTest, LongTextIsCutAtTheWidthInsideWords) {
  EXPECT_EQ(WrapText(u"abcdefg", 5), u"abcde\nfg   ");
  EXPECT_EQ(WrapText(u"one two three", 4), u"one \ntwo \nthre\ne   ");
}

TEST(WrapTextTest, LineFeedsStartNewLines) {
  // A line feed arriving just as the line is full starts only one new line.
  EXPECT_EQ(WrapText(u"abcde\nfg", 5), u"abcde\nfg   ");
  EXPECT_EQ(WrapText(u"a\n\nb", 3), u"a  \n   \nb  ");
  EXPECT_EQ(WrapText(u"ab\n", 3), u"ab \n   ");
}

TEST(WrapTextTest, OtherControlCharactersArePlacedLikeLetters) {
  EXPECT_EQ(WrapText(u"a\rb\tc", 3), u"a\rb\n\tc ");
}

TEST(WrapTextTest, WidthBelowOneStillPlacesEveryCharacter) {
  EXPECT_EQ(WrapText(u"ab", 0), u"a\nb");
  EXPECT_EQ(WrapText(u"ab", -4), u"a\nb");
}

TEST(LongestLineLengthTest, CountsTheLongestLineWithoutLineFeeds) {
  EXPECT_EQ(LongestLineLength(u""), 0);
  EXPECT_EQ(LongestLineLength(u"\n\n"), 0);
  EXPECT_EQ(LongestLineLength(u"abcd\nab"), 4);
  EXPECT_EQ(LongestLineLength(u"ab\nabc\nabcdef"), 6);  // the last line is the longest
  EXPECT_EQ(LongestLineLength(u"abc\n"), 3);
}

class MessageTest : public WidgetTest {
 protected:
  size_t OpenBoxes() const {
    size_t count = 0;
    for (Object* o : menusLayer->GetObjects()) count += (o != nullptr && !o->IsDestroyed());
    return count;
  }
  // Row `row` as drawn, columns [first, first + count).
  std::string Cells(int row, int first, int count) const {
    return console->RowText(row).substr(static_cast<size_t>(first), static_cast<size_t>(count));
  }
};

TEST_F(MessageTest, OneLineMessageOnA119ColumnScreen) {
  Start(120, 30);
  ASSERT_EQ(engine->GetScreenWidth(), 119);
  ShowMessage(u"Err", u"You have nothing selected");
  Frame();
  const std::string border = "+" + std::string(38, '-') + "+";
  EXPECT_EQ(Row(12), "");
  EXPECT_EQ(Row(13), Spaces(40) + border);
  EXPECT_EQ(Row(14), Spaces(40) + "|Err" + Spaces(35) + "|");
  EXPECT_EQ(Row(15), Spaces(40) + "|   You have nothing selected" + Spaces(10) + "|");
  EXPECT_EQ(Row(16), Spaces(40) + "|" + Spaces(27) + "[ Close ]" + Spaces(2) + "|");
  EXPECT_EQ(Row(17), Spaces(40) + border);
  EXPECT_EQ(Row(18), "");
  // Title right after the left border, message area 44-76, button 68-76.
  EXPECT_EQ(Cells(14, 41, 3), "Err");
  EXPECT_EQ(Cells(15, 44, 33), "You have nothing selected" + Spaces(8));
  EXPECT_EQ(Cells(16, 68, 9), "[ Close ]");
  EXPECT_EQ(Foreground(16, 67, 11), "7C7777777C7");
  EXPECT_EQ(Background(15, 40, 40), std::string(40, '0'));
}

TEST_F(MessageTest, LongLineIsWrappedToTheScreenWidth) {
  Start(120, 30);
  std::u16string message;
  for (int i = 0; i < 150; ++i) message += static_cast<char16_t>(u'a' + i % 26);
  ShowMessage(u"", message);
  auto* box = static_cast<MenuObject*>(menusLayer->GetObjects().back());
  EXPECT_EQ(box->GetWidth(), 119);
  EXPECT_EQ(box->GetHeight(), 6);
  Frame();
  const std::string text = kelm::port::ToUtf8(message);
  EXPECT_EQ(Row(12), "+" + std::string(117, '-') + "+");
  EXPECT_EQ(Row(13), "|" + Spaces(117) + "|");  // empty title
  EXPECT_EQ(Cells(14, 5, 112), text.substr(0, 112));
  EXPECT_EQ(Cells(15, 5, 112), text.substr(112) + Spaces(74));
  // W / 2 truncates: the button ends one column left of the message area.
  EXPECT_EQ(Cells(16, 107, 9), "[ Close ]");
  EXPECT_EQ(Row(17), Row(12));
}

TEST_F(MessageTest, MessageAreaIsAtLeast33AndAtMostScreenWidthMinus7) {
  Start(60, 11);  // width query 59
  const std::vector<std::pair<size_t, int32_t>> cases = {
      {1, 40}, {32, 40}, {33, 40}, {34, 41}, {52, 59}, {53, 59}, {200, 59}};
  for (auto [length, boxWidth] : cases) {
    ShowMessage(u"", std::u16string(length, u'm'));
    EXPECT_EQ(menusLayer->GetObjects().back()->GetWidth(), boxWidth) << length;
  }
  // The longest line decides, not the whole text.
  ShowMessage(u"", std::u16string(30, u'a') + u"\n" + std::u16string(36, u'b') + u"\nc");
  Object* box = menusLayer->GetObjects().back();
  EXPECT_EQ(box->GetWidth(), 43);
  EXPECT_EQ(box->GetHeight(), 3 + 4);
}

TEST_F(MessageTest, EmptyMessageGivesOneBlankLine) {
  Start(60, 11);
  ShowMessage(u"", u"");
  auto* box = static_cast<MenuObject*>(menusLayer->GetObjects().back());
  EXPECT_EQ(box->GetWidth(), 40);
  EXPECT_EQ(box->GetHeight(), 5);
  Frame();
  // Centre (29, -5): columns 10-49, rows 3-7.
  EXPECT_EQ(Row(4), Spaces(10) + "|" + Spaces(38) + "|");
  EXPECT_EQ(Row(5), Spaces(10) + "|" + Spaces(38) + "|");
  EXPECT_EQ(Row(6), Spaces(10) + "|" + Spaces(27) + "[ Close ]  |");
}

TEST_F(MessageTest, MultiLineMessageAndNarrowScreen) {
  Start(30, 10);
  ShowMessage(u"Title", u"first\nsecond line");
  auto* box = static_cast<MenuObject*>(menusLayer->GetObjects().back());
  // Never narrower than 33 characters: wider than the 29 drawn columns.
  EXPECT_EQ(box->GetWidth(), 40);
  EXPECT_EQ(box->GetHeight(), 6);
  Frame();
  // Centre (14, -5): the box spans columns -5 to 34, rows 2 to 7.
  EXPECT_EQ(Row(2), std::string(29, '-'));
  EXPECT_EQ(Row(3), "e");  // "Title" at columns -4 to 0
  EXPECT_EQ(Row(4), "irst");
  EXPECT_EQ(Row(5), "econd line");
  EXPECT_EQ(Row(6), Spaces(23) + "[ Clos");
}

TEST_F(MessageTest, CloseButtonClosesThePopUpAndUsesThePress) {
  Start(120, 30);
  int under = 0;
  auto* behind = new Button(Vector2(72, -16), u"#####", None);
  behind->SetOnClick([&](Object*) { ++under; });
  Objects()->AddObject(behind);
  ShowMessage(u"Err", u"You have nothing selected");
  Frame();
  Click(72, 16);
  EXPECT_EQ(OpenBoxes(), 0u);
  EXPECT_EQ(under, 0);
  Frame();
  EXPECT_EQ(Row(13), "");
}

TEST_F(MessageTest, PressOutsideOrOnTheFrameClosesWithoutReachingBelow) {
  for (auto [column, row] : {std::pair{5, 5}, std::pair{40, 15}, std::pair{60, 17}}) {
    Start(120, 30);
    int under = 0;
    auto* behind = new Button(Vector2(0, 0), std::u16string(110, u'#'), None);
    behind->anchor = kAnchorTopLeft;
    behind->position = Vector2(0, static_cast<float>(-row));
    behind->SetOnClick([&](Object*) { ++under; });
    Objects()->AddObject(behind);
    ShowMessage(u"Err", u"You have nothing selected");
    Click(column, row);
    EXPECT_EQ(OpenBoxes(), 0u) << column << "," << row;
    EXPECT_EQ(under, 0);
  }
}

TEST_F(MessageTest, PressInsideKeepsThePopUpOpen) {
  Start(120, 30);
  ShowMessage(u"Err", u"You have nothing selected");
  Click(50, 15);
  Click(41, 14);
  EXPECT_EQ(OpenBoxes(), 1u);
}

TEST_F(MessageTest, StackedPopUpsCloseNewestFirst) {
  Start(120, 30);
  ShowMessage(u"One", u"first message");
  ShowMessage(u"Two", u"second message");
  Frame();
  EXPECT_EQ(Cells(14, 41, 3), "Two");
  Click(72, 16);
  ASSERT_EQ(OpenBoxes(), 1u);
  Frame();
  EXPECT_EQ(Cells(14, 41, 3), "One");
  Click(72, 16);
  EXPECT_EQ(OpenBoxes(), 0u);
}

TEST_F(MessageTest, CloseButtonClosesItsOwnPopUpUnderAPassThroughBox) {
  Start(120, 30);
  ShowMessage(u"Err", u"You have nothing selected");
  // A panel that lets presses through, opened after the pop-up, elsewhere.
  auto* panel = new MenuObject(Vector2(2, -2), 10, 3);
  panel->anchor = kAnchorTopLeft;
  panel->closeOnOutsideClick = false;
  menusLayer->AddObject(panel);
  Click(72, 16);
  EXPECT_EQ(menusLayer->GetObjects(), (std::vector<Object*>{panel}));
}

}  // namespace
}  // namespace widgets_test
