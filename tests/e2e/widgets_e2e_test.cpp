// End to end in tmux: the widgets on the real terminal backend, used with
// real mouse reports and keys. The test program starts itself in the pane,
// where a disabled test case builds a small screen of widgets: a button that
// opens a drop-down menu, a button that shows a message pop-up, a text field
// and a slider, with a status block that reports what they hold.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <mutex>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/terminal/terminal_console.h"
#include "engine/port/utf.h"
#include "engine/widgets/button.h"
#include "engine/widgets/menu_object.h"
#include "engine/widgets/message.h"
#include "engine/widgets/slider.h"
#include "engine/widgets/text_input.h"
#include "tests/e2e/tmux_terminal.h"

namespace {

using kelm::e2e::TmuxTerminal;
using namespace KelmCEngineV2;

constexpr const char* kDemoVariable = "KELMHEX_WIDGETS_DEMO";
constexpr const char* kDemoFilter = "--gtest_filter=WidgetsDemo.DISABLED_RunInThisTerminal";

// Screen layout of the demo (cells, 0-based).
constexpr int kMenuButtonColumn = 1;     // "[ Menu ]" on row 0
constexpr int kMessageButtonColumn = 12;  // "[ Message ]" on row 0
constexpr int kFieldRow = 6;
constexpr int kSliderRow = 8;
constexpr int kSliderFirstBarColumn = 3;  // "[ " at columns 1-2
constexpr int kStatusRow = 10;

Object* TextAt(int column, int row, const std::u16string& text) {
  auto* object = new Object(Vector2(static_cast<float>(column), static_cast<float>(-row)), text);
  object->anchor = kAnchorTopLeft;
  return object;
}

void PlaceTopLeft(Object* object, int column, int row) {
  object->anchor = kAnchorTopLeft;
  object->position = Vector2(static_cast<float>(column), static_cast<float>(-row));
}

std::u16string picked = u"none";

void Pick(Object* entry) {
  picked = entry->GetText();
  picked.erase(picked.find_last_not_of(u' ') + 1);
  CloseAllMenus();
}

void BuildDemo(Engine* engine) {
  auto* menuButton = new Button(Vector2(0, 0), u"Menu", Spaced);
  PlaceTopLeft(menuButton, kMenuButtonColumn, 0);
  menuButton->SetOnClick([](Object* button) {
    std::vector<MenuEntry> entries;
    entries.emplace_back(u"Alpha", Pick, false);
    entries.emplace_back(u"Beta", Pick, false);
    entries.emplace_back(u"More", nullptr, true);
    menusLayer->AddObject(new ContextMenu(std::move(entries), Vector2(button->GetLeft(), -1.0f)));
  });
  engine->objectsLayer->AddObject(menuButton);

  auto* messageButton = new Button(Vector2(0, 0), u"Message", Spaced);
  PlaceTopLeft(messageButton, kMessageButtonColumn, 0);
  messageButton->SetOnClick([](Object*) { ShowMessage(u"Note", u"Hello from the pop-up"); });
  engine->objectsLayer->AddObject(messageButton);

  auto* field = new TextInput(Vector2(0, 0), u"Name", 20, Any, Spaced);
  PlaceTopLeft(field, 1, kFieldRow);
  engine->objectsLayer->AddObject(field);

  auto* slider = new Slider(Vector2(0, 0), 0, 15, 0, Spaced);
  PlaceTopLeft(slider, 1, kSliderRow);
  engine->objectsLayer->AddObject(slider);

  // The status block, rebuilt every frame from the widgets (a text block's
  // lines must be equally wide, so each line is padded).
  auto* status = TextAt(1, kStatusRow, u"");
  status->SetCallback([field, slider](Object* self) {
    const std::u16string lines[] = {
        u"picked: " + picked, u"value: <" + field->value + u">",
        std::u16string(u"focused: ") + (field->IsFocused() ? u"yes" : u"no"),
        u"slider: " + kelm::port::FromUtf8(std::to_string(slider->value))};
    size_t width = 0;
    for (const std::u16string& line : lines) width = std::max(width, line.size());
    std::u16string text;
    for (const std::u16string& line : lines) {
      if (!text.empty()) text += u'\n';
      text += line + std::u16string(width - line.size(), u' ');
    }
    self->SetText(text);
  });
  engine->objectsLayer->AddObject(status);

  // F10 quits; added last, so it is asked before the text field takes keys.
  auto* quit = new Object(Vector2(0, 0), u"");
  quit->SetCallback([](Object*) {
    if (KeyPressed(static_cast<uint8_t>(kelm::port::VK_F10), false, 0)) mainEngine->Quit(0);
  });
  engine->objectsLayer->AddObject(quit);
}

// Not a test of its own: the screen the end-to-end tests below drive. It runs
// only in the pane they start, with the variable set.
TEST(WidgetsDemo, DISABLED_RunInThisTerminal) {
  if (std::getenv(kDemoVariable) == nullptr) GTEST_SKIP() << "runs only inside the end-to-end test";
  kelm::port::TerminalConsole console;
  kelm::port::SetPort(&console);
  auto* engine = new Engine(false);
  {
    std::lock_guard lock(engine->Lock());
    BuildDemo(engine);
  }
  engine->frameThread.join();
  console.Restore();
  std::_Exit(engine->ExitStatus());
}

// SGR mouse report of a left-button motion with the button held.
std::string DragTo(int column, int row) {
  return "\x1b[<32;" + std::to_string(column + 1) + ";" + std::to_string(row + 1) + "M";
}

std::string SelfPath() {
  char buffer[PATH_MAX];
  const ssize_t length = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return length > 0 ? std::string(buffer, static_cast<size_t>(length)) : std::string();
}

class WidgetsEndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!TmuxTerminal::Available()) GTEST_SKIP() << "tmux is not installed";
    TmuxTerminal::Options options;
    options.columns = 60;
    options.rows = 16;
    options.env[kDemoVariable] = "1";
    term = std::make_unique<TmuxTerminal>(
        std::vector<std::string>{SelfPath(), "--gtest_also_run_disabled_tests", kDemoFilter}, options);
    ASSERT_TRUE(term->Started()) << term->Error();
    ASSERT_TRUE(term->WaitForText("[ Menu ]")) << term->ScreenText();
    ASSERT_TRUE(term->WaitForText("focused: no")) << term->ScreenText();
  }
  void TearDown() override {
    if (term == nullptr || !term->Started()) return;
    term->SendKeys({"F10"});
    EXPECT_TRUE(term->WaitForExit()) << term->ScreenText();
    EXPECT_EQ(term->ExitStatus(), std::optional<int>(0));
  }
  std::string Row(int row) {
    const std::vector<std::string> screen = term->Screen();
    return row < static_cast<int>(screen.size()) ? screen[static_cast<size_t>(row)] : std::string();
  }

  std::unique_ptr<TmuxTerminal> term;
};

TEST_F(WidgetsEndToEnd, MenuOpensPicksAndClosesOnAnOutsideClick) {
  term->Click(kMenuButtonColumn + 3, 0);
  ASSERT_TRUE(term->WaitForText("| Alpha   |")) << term->ScreenText();
  EXPECT_EQ(Row(1), " +---------+");
  EXPECT_EQ(Row(4), " | More  > |");
  term->Click(5, 3);  // "Beta"
  ASSERT_TRUE(term->WaitForText("picked: Beta")) << term->ScreenText();
  EXPECT_TRUE(term->WaitForTextGone("Alpha")) << term->ScreenText();

  // Open again and press outside: the menu closes and nothing is picked; the
  // press does not reach the field below it either.
  term->Click(kMenuButtonColumn + 3, 0);
  ASSERT_TRUE(term->WaitForText("| Alpha   |")) << term->ScreenText();
  term->Click(4, kFieldRow);
  ASSERT_TRUE(term->WaitForTextGone("Alpha")) << term->ScreenText();
  EXPECT_NE(term->ScreenText().find("picked: Beta"), std::string::npos);
  EXPECT_NE(term->ScreenText().find("focused: no"), std::string::npos);
}

TEST_F(WidgetsEndToEnd, TextFieldTakesTypingPasteAndEditingKeys) {
  ASSERT_TRUE(term->WaitForText("[ Name ]"));
  term->Click(3, kFieldRow);
  ASSERT_TRUE(term->WaitForText("focused: yes")) << term->ScreenText();
  term->SendText("hello");
  ASSERT_TRUE(term->WaitForText("value: <hello>")) << term->ScreenText();
  EXPECT_EQ(Row(kFieldRow).substr(0, 9), " [ hello ");
  // The terminal's own paste arrives as a bracketed paste.
  term->SendBytes("\x1b[200~ world\x1b[201~");
  ASSERT_TRUE(term->WaitForText("value: <hello world>")) << term->ScreenText();
  term->SendKeys({"BSpace"});
  ASSERT_TRUE(term->WaitForText("value: <hello worl>")) << term->ScreenText();
  term->SendKeys({"Escape"});
  ASSERT_TRUE(term->WaitForText("focused: no")) << term->ScreenText();
  term->SendText("x");  // unfocused: not typed
  term->Click(kMenuButtonColumn + 3, 0);
  ASSERT_TRUE(term->WaitForText("Alpha"));
  EXPECT_NE(term->ScreenText().find("value: <hello worl>"), std::string::npos);
}

TEST_F(WidgetsEndToEnd, SliderFollowsADragAndMessagePopUpCloses) {
  term->Press(kSliderFirstBarColumn, kSliderRow);
  ASSERT_TRUE(term->WaitForText("slider: 1")) << term->ScreenText();
  term->SendBytes(DragTo(kSliderFirstBarColumn + 6, kSliderRow + 3));
  ASSERT_TRUE(term->WaitForText("slider: 7")) << term->ScreenText();
  term->Release(kSliderFirstBarColumn + 6, kSliderRow + 3);
  term->MoveMouse(kSliderFirstBarColumn + 12, kSliderRow);
  ASSERT_TRUE(term->WaitForText("[ |||||||-------- ]")) << term->ScreenText();
  EXPECT_NE(term->ScreenText().find("slider: 7"), std::string::npos);

  term->Click(kMessageButtonColumn + 3, 0);
  ASSERT_TRUE(term->WaitForText("Hello from the pop-up")) << term->ScreenText();
  // 60 columns and 16 rows: the pop-up is 40 wide around the centre (29, 8),
  // columns 10-49 and rows 6-10, with its "Close" button at 38-46 of row 9.
  EXPECT_EQ(Row(6).substr(10), "+" + std::string(38, '-') + "+");
  EXPECT_EQ(Row(7).substr(10, 6), "| Note");  // an even-width title sits a cell in
  EXPECT_EQ(Row(8).substr(14, 21), "Hello from the pop-up");
  ASSERT_EQ(Row(9).substr(38, 9), "[ Close ]") << term->ScreenText();
  term->Click(41, 9);
  ASSERT_TRUE(term->WaitForTextGone("Hello from the pop-up")) << term->ScreenText();
}

}  // namespace
