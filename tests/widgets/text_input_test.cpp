// Text fields: picture and caret, focus, the key rules, character sets, and
// paste and copy through the port's clipboard.
#include "engine/widgets/text_input.h"

#include "engine/widgets/button.h"
#include "engine/widgets/menu_object.h"
#include "tests/widgets/widget_fixture.h"

namespace widgets_test {
namespace {

using kelm::port::LEFT_ALT_PRESSED;
using kelm::port::LEFT_CTRL_PRESSED;
using kelm::port::RIGHT_ALT_PRESSED;
using kelm::port::RIGHT_CTRL_PRESSED;
using kelm::port::SHIFT_PRESSED;
using kelm::port::VK_BACK;
using kelm::port::VK_DELETE;
using kelm::port::VK_ESCAPE;
using kelm::port::VK_OEM_1;
using kelm::port::VK_OEM_PERIOD;
using kelm::port::VK_PACKET;
using kelm::port::VK_RETURN;
using kelm::port::VK_SPACE;

class TextInputTest : public WidgetTest {
 protected:
  // A field with its top-left cell at screen (1, 1), on a 24 x 3 console.
  TextInput* StartWithField(std::u16string placeholder, int32_t maxLength, CharsetKind charset,
                            BracketKind kind = Spaced) {
    Start(24, 3);
    // Paced frames of no time: no caret blinking unless a test asks for it.
    engine->framesOnDemand = false;
    engine->frameDelay = 0;
    auto* field = new TextInput(Vector2(1, -1), std::move(placeholder), maxLength, charset, kind);
    field->anchor = kAnchorTopLeft;
    Objects()->AddObject(field);
    return field;
  }
  // Types the characters as key records (letters by their upper-case key).
  void Type(const std::u16string& chars) {
    for (char16_t c : chars) {
      uint16_t vk = c;
      uint32_t state = 0;
      if (c >= u'a' && c <= u'z') vk = static_cast<uint16_t>(c - 32);
      if (c >= u'A' && c <= u'Z') state = SHIFT_PRESSED;
      if (c == u' ') vk = VK_SPACE;
      console->PushKey(vk, c, state);
    }
  }
  void Ctrl(char letter) {
    console->PushKey(static_cast<uint16_t>(letter), static_cast<char16_t>(letter - 'A' + 1),
                     LEFT_CTRL_PRESSED);
  }
};

TEST_F(TextInputTest, NewFieldShowsEmptyBracketsUntilItsFirstUpdate) {
  TextInput* field = StartWithField(u"Name", 20, Any);
  EXPECT_EQ(field->GetText(), u"[]");
  Frame();
  EXPECT_EQ(Row(1), " []");
  Frame();
  EXPECT_EQ(Row(1), " [ Name ]");
  EXPECT_EQ(Foreground(1, 1, 8), "C777777C");
  EXPECT_EQ(Background(1, 1, 8), "00000000");
}

TEST_F(TextInputTest, WidthsFocusedAndUnfocused) {
  TextInput* field = StartWithField(u"", 16, HexLowercase);
  Frame();
  EXPECT_EQ(field->GetWidth(), 4);  // "[  ]"
  field->Focus();
  Frame();
  EXPECT_EQ(field->GetWidth(), 5);  // bracket, space, caret, space, bracket
  Frame();
  EXPECT_EQ(Row(1), " [   ]");
  EXPECT_EQ(Attr(3, 1), 0xF7);  // the caret cell, white
  EXPECT_EQ(Attr(2, 1), 0x07);
  EXPECT_EQ(Attr(1, 1), 0x0C);

  field->value = u"ab";
  Frame(2);
  EXPECT_EQ(Row(1), " [ ab  ]");
  EXPECT_EQ(Background(1, 1, 7), "0000F00");
  field->focused = false;
  Frame(2);
  EXPECT_EQ(Row(1), " [ ab ]");  // the value stays, without the caret cell
}

TEST_F(TextInputTest, TightAndNoneBrackets) {
  TextInput* tight = StartWithField(u"x", 5, Any, Tight);
  Frame();
  EXPECT_EQ(tight->GetText(), u"[x]");
  auto* bare = new TextInput(Vector2(0, 0), u"", 5, Any, None);
  bare->Focus();
  bare->Update();
  EXPECT_EQ(bare->GetText(), u" ");  // only the caret cell
  EXPECT_EQ(bare->GetOpaqueMask(), "#");
  delete bare;
}

TEST_F(TextInputTest, CaretBlinksEveryFiveHundredMilliseconds) {
  TextInput* field = StartWithField(u"", 16, Any);
  engine->frameDelay = 100;  // each frame lasts 100 ms
  field->Focus();
  std::string caret;
  for (int i = 0; i < 11; ++i) {
    Frame();
    caret += field->caretColour;
  }
  // The first frame sees no elapsed time; then 100 ms per frame.
  EXPECT_EQ(caret, "FFFFF00000F");
  EXPECT_EQ(field->GetBackground(), "  F  ");
}

TEST_F(TextInputTest, OnDemandTheCaretStillTogglesEvery500MsWithOneTimedWaitPerToggle) {
  StartWithField(u"", 16, Any)->Focus();
  engine->framesOnDemand = true;
  const uint64_t start = console->now;
  Frame(2);  // the field's first picture, with the caret on
  ASSERT_EQ(Attr(3, 1), 0xF7);
  std::vector<uint64_t> toggles;  // when the caret cell changed on screen
  uint16_t shown = Attr(3, 1);
  int timedWaits = 0;
  int frames = 0;
  while (console->now - start < 2600 && frames < 200) {
    Frame();
    ++frames;
    const uint16_t caret = Attr(3, 1);
    if (shown != 0 && caret != shown) toggles.push_back(console->now - start);
    shown = caret;
    const uint32_t wait = engine->LastWaitMs();
    ASSERT_NE(wait, kelm::port::kWaitForever) << "a focused caret asks for its next toggle";
    if (wait != 0) ++timedWaits;
  }
  EXPECT_EQ(toggles, (std::vector<uint64_t>{500, 1000, 1500, 2000, 2500}));
  EXPECT_EQ(timedWaits, 6);  // one wait per 500 ms, none in between
  EXPECT_LE(frames, 24);     // four a toggle; paced at 20 ms it would take 130

  // Unfocused, the field asks for nothing and the loop goes idle.
  console->PushKey(VK_ESCAPE, 0x1B);
  for (int i = 0; i < 4 && engine->LastWaitMs() != kelm::port::kWaitForever; ++i) Frame();
  EXPECT_EQ(engine->LastWaitMs(), kelm::port::kWaitForever);
}

TEST_F(TextInputTest, FullFieldShowsTheRedCaretAndRefusesTyping) {
  TextInput* field = StartWithField(u"", 4, Any);
  engine->frameDelay = 100;
  field->Focus();
  Frame();
  Type(u"abc");
  Frame();
  EXPECT_NE(field->GetBackground()[5], '4');
  Type(u"d");
  Frame();
  // Turns red in the frame that typed the last character.
  EXPECT_EQ(field->GetBackground(), "  " + std::string(4, ' ') + "4  ");
  const uint64_t timer = field->blinkTimer;
  Type(u"e");
  Frame(3);
  EXPECT_EQ(field->value, u"abcd");
  EXPECT_EQ(field->blinkTimer, timer);  // no blinking while full
  EXPECT_EQ(Row(1), " [ abcd  ]");
  EXPECT_EQ(Attr(7, 1), 0x47);
  console->PushKey(VK_BACK, 8);
  Frame(2);
  EXPECT_EQ(field->value, u"abc");
  EXPECT_NE(Attr(6, 1), 0x47);
}

TEST_F(TextInputTest, RemovingKeys) {
  TextInput* field = StartWithField(u"", 40, Any);
  field->Focus();
  field->value = u"one two three";
  console->PushKey(VK_BACK, 8);
  Frame();
  EXPECT_EQ(field->value, u"one two thre");
  console->PushKey(VK_BACK, 0x7F, LEFT_CTRL_PRESSED);  // Ctrl+Backspace
  Frame();
  EXPECT_EQ(field->value, u"one two");
  console->PushKey(VK_BACK, 0x7F, LEFT_CTRL_PRESSED);
  Frame();
  EXPECT_EQ(field->value, u"one");
  console->PushKey(VK_BACK, 0x7F, LEFT_CTRL_PRESSED);  // no space left: all goes
  Frame();
  EXPECT_EQ(field->value, u"");
  console->PushKey(VK_BACK, 8);  // nothing to remove
  Frame();
  EXPECT_EQ(field->value, u"");

  field->value = u"abc";
  console->PushKey(VK_DELETE, 0);
  Frame();
  EXPECT_EQ(field->value, u"");
  field->value = u"abc";
  console->PushKey(VK_DELETE, 0x7F);  // a Delete that carries a character
  Frame();
  EXPECT_EQ(field->value, u"");
}

TEST_F(TextInputTest, KeysWithoutCharacterOrWithCtrlAreIgnored) {
  TextInput* field = StartWithField(u"", 40, Any);
  field->Focus();
  console->PushKey(kelm::port::VK_LEFT, 0);
  console->PushKey('A', 1, LEFT_CTRL_PRESSED);                      // Ctrl+A
  console->PushKey('Q', u'@', RIGHT_ALT_PRESSED | LEFT_CTRL_PRESSED);  // AltGr+Q
  console->PushKey('B', 2, RIGHT_CTRL_PRESSED);
  Type(u"ok");
  Frame();
  EXPECT_EQ(field->value, u"ok");
}

TEST_F(TextInputTest, EscapeDropsTheRestOfTheFramesKeys) {
  Start(24, 3);
  // An object below the field (updated after it) that asks for B.
  bool laterSawKey = false;
  auto* probe = new Object(Vector2(0, 0), "");
  probe->SetCallback([&](Object*) { laterSawKey = laterSawKey || KeyPressed('B', false, 0); });
  Objects()->AddObject(probe);
  auto* field = new TextInput(Vector2(0, 0), u"", 40, Any, Spaced);
  Objects()->AddObject(field);
  field->Focus();
  Type(u"a");
  console->PushKey(VK_ESCAPE, 0x1B);
  Type(u"b");
  Frame();
  EXPECT_EQ(field->value, u"a");
  EXPECT_FALSE(field->IsFocused());
  EXPECT_FALSE(laterSawKey);
  // Unfocused, the field leaves the keys to others.
  Type(u"b");
  Frame();
  EXPECT_TRUE(laterSawKey);
  EXPECT_EQ(field->value, u"a");
}

TEST_F(TextInputTest, EnterUnfocusesSubmitsAndDropsTheRest) {
  TextInput* field = StartWithField(u"", 40, Any);
  int submitted = 0;
  std::u16string seen;
  field->onSubmit = [&](Object* o) {
    ++submitted;
    seen = static_cast<TextInput*>(o)->value;
  };
  field->Focus();
  Type(u"12");
  console->PushKey(VK_RETURN, u'\r');
  Type(u"3");
  Frame();
  EXPECT_EQ(submitted, 1);
  EXPECT_EQ(seen, u"12");
  EXPECT_EQ(field->value, u"12");
  EXPECT_FALSE(field->IsFocused());
}

TEST_F(TextInputTest, RecordCountsOnceWhateverItsRepeatCount) {
  TextInput* field = StartWithField(u"", 40, Digits);
  field->Focus();
  auto record = kelm::port::MakeKeyRecord(true, '7', u'7', 0);
  record.Event.KeyEvent.wRepeatCount = 3;
  console->PushInput(record);
  Frame();
  EXPECT_EQ(field->value, u"7");
}

// Characters typed into a field of one character set, and what it keeps.
struct CharsetCase {
  CharsetKind charset;
  std::u16string typed;
  std::u16string kept;
  // One key per frame: the translation is made with the keyboard state of
  // the frame that handles the key.
  bool keyPerFrame;
  const char* what;
};

TEST_F(TextInputTest, EachCharsetKeepsOnlyItsCharacters) {
  const CharsetCase cases[] = {
      {HexLowercase, u"aF9gZ", u"aF9", false, "lower-case hex keeps upper case typed with Shift"},
      {HexUppercase, u"aA1fF", u"A1F", true, "upper-case hex refuses lower case"},
      {Uppercase, u"aBc1D", u"BD", false, "upper case refuses the other case and digits"},
      {Lowercase, u"aB1 c", u"aBc", false, "lower case keeps upper case typed with Shift"},
  };
  for (const CharsetCase& c : cases) {
    TextInput* field = StartWithField(u"", 16, c.charset);
    field->Focus();
    if (c.keyPerFrame) {
      for (char16_t unit : c.typed) {
        Type(std::u16string(1, unit));
        Frame();
      }
    } else {
      Type(c.typed);
      Frame();
    }
    EXPECT_EQ(field->value, c.kept) << c.what;
  }
}

TEST_F(TextInputTest, DigitsAndDigitsColonDot) {
  TextInput* digits = StartWithField(u"", 16, Digits);
  digits->Focus();
  Type(u"1a2 3");
  console->PushKey(VK_OEM_PERIOD, u'.');
  Frame();
  EXPECT_EQ(digits->value, u"123");

  TextInput* time = StartWithField(u"", 16, DigitsColonDot);
  time->Focus();
  Type(u"12");
  console->PushKey(VK_OEM_1, u':', SHIFT_PRESSED);
  Type(u"3x");
  console->PushKey(VK_OEM_PERIOD, u'.');
  Type(u"5");
  Frame();
  EXPECT_EQ(time->value, u"12:3.5");
}

TEST_F(TextInputTest, KeyWithoutTranslationIsNotFiltered) {
  TextInput* field = StartWithField(u"", 16, Digits);
  field->Focus();
  console->SetKeyChar(VK_PACKET, 0);  // the keyboard has no key for it
  console->PushKey(VK_PACKET, u'\u00e9');
  console->SetKeyChar('E', u'e');
  console->PushKey('E', u'e');
  Frame();
  EXPECT_EQ(field->value, u"\u00e9");
}

TEST_F(TextInputTest, UnknownCharsetRefusesEveryTranslatedKey) {
  TextInput* field = StartWithField(u"", 16, 9);
  field->Focus();
  Type(u"a1 Z");
  Frame();
  EXPECT_EQ(field->value, u"");
  EXPECT_FALSE(field->IsAllowedText(u"a"));
  EXPECT_TRUE(field->IsAllowedText(u""));
}

TEST_F(TextInputTest, AnyCharsetTakesEveryCharacterUpToTheLimit) {
  TextInput* field = StartWithField(u"", 5, Any);
  field->Focus();
  console->PushKey(VK_PACKET, u'\u00e9');
  Type(u"a B!xyz");
  Frame();
  EXPECT_EQ(field->value, u"\u00e9a B!");
}

TEST_F(TextInputTest, IsAllowedTextByCase) {
  TextInput* lower = StartWithField(u"", 16, HexLowercase);
  EXPECT_TRUE(lower->IsAllowedText(u"00ffAB"));
  EXPECT_FALSE(lower->IsAllowedText(u"0x10"));
  EXPECT_FALSE(lower->IsAllowedText(u"12 "));
  TextInput* upper = StartWithField(u"", 16, HexUppercase);
  EXPECT_TRUE(upper->IsAllowedText(u"00FFAB"));
  EXPECT_FALSE(upper->IsAllowedText(u"00ff"));
  // Only ASCII letters change case: no look-alike passes.
  EXPECT_FALSE(upper->IsAllowedText(u"\u212a"));
}

TEST_F(TextInputTest, APasteGoesInWholeOnlyWhenTheValueStaysWithinTheLimit) {
  TextInput* field = StartWithField(u"", 16, HexLowercase);
  field->Focus();
  field->value = u"00";
  console->clipboard = u"0123456789abcdefFF";  // 20 digits with the value: refused
  Ctrl('V');
  Frame();
  EXPECT_EQ(field->value, u"00");
  console->clipboard = u"0123456789abcD";  // exactly 16 with the value: whole
  Ctrl('V');
  Frame();
  EXPECT_EQ(field->value, u"000123456789abcD");
  EXPECT_EQ(field->GetBackground()[18], '4');  // full: red caret

  field->value = u"1";
  console->clipboard = u"12 34";  // one invalid character: nothing
  Ctrl('V');
  Frame();
  EXPECT_EQ(field->value, u"1");
}

TEST_F(TextInputTest, AnyPasteIsHeldToTheLimitTooAndBlanksControls) {
  TextInput* field = StartWithField(u"", 16, Any);
  field->Focus();
  console->clipboard = std::u16string(17, u'x');
  Ctrl('V');
  Frame();
  EXPECT_EQ(field->value, u"");  // 17 characters never fit 16
  console->clipboard = std::u16string(16, u'x');
  Ctrl('V');
  Frame();
  EXPECT_EQ(field->value, std::u16string(16, u'x'));

  field->value = std::u16string(6, u'a');
  console->clipboard = u"line\r\n\tend";
  Ctrl('V');
  Frame();
  // Control characters blanked, not removed.
  EXPECT_EQ(field->value, std::u16string(6, u'a') + std::u16string(u"line\0\0\0end", 10));
}

TEST_F(TextInputTest, AnOversizedPasteIsRefusedAndThePictureStaysSmall) {
  // 16 MiB of hex pasted into a 16-digit field: nothing goes in, and the
  // field's picture stays five cells wide.
  TextInput* field = StartWithField(u"", 16, HexLowercase);
  field->Focus();
  console->clipboard = std::u16string(size_t{16} << 20, u'f');
  Ctrl('V');
  Frame();
  EXPECT_EQ(field->value, u"");
  EXPECT_EQ(field->GetWidth(), 5);
  console->clipboard.reset();

  // However large a limit a caller asks for, a field holds a sane amount
  // of text at most, by typing, pasting or a limit assigned later.
  TextInput* wide = StartWithField(u"", 1 << 30, Any);
  EXPECT_EQ(wide->maxLength, kMaxTextInputLength);
  wide->Focus();
  console->clipboard = std::u16string(kMaxTextInputLength + 1, u'x');
  Ctrl('V');
  Frame();
  EXPECT_EQ(wide->value, u"");
  wide->maxLength = INT32_MAX;
  Ctrl('V');
  Frame();
  EXPECT_EQ(wide->value, u"");
  wide->value = std::u16string(kMaxTextInputLength, u'y');
  Type(u"z");
  Frame();
  EXPECT_EQ(wide->value.size(), static_cast<size_t>(kMaxTextInputLength));
}

TEST_F(TextInputTest, PasteWithoutClipboardTextDoesNothing) {
  TextInput* field = StartWithField(u"", 16, Any);
  field->Focus();
  field->value = u"keep";
  console->clipboard.reset();
  Ctrl('V');
  Frame();
  EXPECT_EQ(field->value, u"keep");
  console->clipboard = std::u16string(u"ab\0cd", 5);  // clipboard text ends at its NUL
  Ctrl('V');
  Frame();
  EXPECT_EQ(field->value, u"keepab");
}

TEST_F(TextInputTest, CopyAndCut) {
  TextInput* field = StartWithField(u"", 16, Any);
  field->Focus();
  field->value = u"hello";
  Ctrl('C');
  Frame();
  EXPECT_EQ(console->clipboard, std::optional<std::u16string>(u"hello"));
  EXPECT_EQ(field->value, u"hello");
  field->value = u"cut me";
  Ctrl('X');
  Frame();
  EXPECT_EQ(console->clipboard, std::optional<std::u16string>(u"cut me"));
  EXPECT_EQ(field->value, u"");
  EXPECT_TRUE(field->IsFocused());
}

TEST_F(TextInputTest, PressFocusesAndAPressElsewhereUnfocuses) {
  TextInput* field = StartWithField(u"Name", 16, Any);
  Frame();
  console->SetKeyPressedSinceQuery(VK_RETURN);
  Click(1, 1);  // on the bracket
  EXPECT_TRUE(field->IsFocused());
  // The press cleared the "pressed since the last query" records.
  EXPECT_EQ(console->GetAsyncKeyState(VK_RETURN) & 1, 0);
  Type(u"hi");
  Frame();
  EXPECT_EQ(field->value, u"hi");
  Click(20, 2);
  EXPECT_FALSE(field->IsFocused());
  Type(u"x");
  Frame();
  EXPECT_EQ(field->value, u"hi");
}

TEST_F(TextInputTest, PressTakenByAButtonAboveKeepsTheFocus) {
  Start(30, 8);
  engine->frameDelay = 0;
  auto* box = new MenuObject(Vector2(0, 0), 20, 4);
  box->anchor = kAnchorTopLeft;
  auto* field = new TextInput(Vector2(0, 0), u"", 16, Any, Spaced);
  box->AddChild(field);
  int clicks = 0;
  auto* button = new Button(Vector2(0, -1), u"OK", Spaced);
  button->SetOnClick([&](Object*) { ++clicks; });
  box->AddChild(button);
  menusLayer->AddObject(box);
  field->Focus();
  Frame();
  // The box's centre is (10.5, -3): the field on row 3, the button on row 4.
  EXPECT_EQ(Row(4), "|       [ OK ]       |");
  Click(11, 4);
  EXPECT_EQ(clicks, 1);
  EXPECT_TRUE(field->IsFocused());
  // A press on the empty inside of the box reaches the field not yet used up:
  // the field loses the focus and the box uses the press up and stays open.
  Click(2, 2);
  EXPECT_FALSE(field->IsFocused());
  EXPECT_FALSE(box->IsDestroyed());
  EXPECT_EQ(menusLayer->GetObjects().size(), 1u);
}

TEST(BlankControlCharsTest, BlanksTabsAndLineBreaksKeepingTheLength) {
  EXPECT_EQ(BlankControlChars(u"a\tb\rc\nd\x1b"), std::u16string(u"a\0b\0c\0d\x1b", 8));
  EXPECT_EQ(BlankControlChars(u""), u"");
}

}  // namespace
}  // namespace widgets_test
