// Framed boxes and drop-down menus: the picture, the entry layout, and how
// presses close boxes or are used up between stacked boxes and buttons.
#include "engine/widgets/menu_object.h"

#include "engine/widgets/button.h"
#include "tests/widgets/widget_fixture.h"

namespace widgets_test {
namespace {

class MenuTest : public WidgetTest {
 protected:
  size_t OpenBoxes() const {
    size_t count = 0;
    for (Object* o : menusLayer->GetObjects()) count += (o != nullptr && !o->IsDestroyed());
    return count;
  }
  // A box with its top-left frame corner at (column, row).
  MenuObject* AddBox(int column, int row, int innerWidth, int innerHeight) {
    auto* box = new MenuObject(Vector2(static_cast<float>(column), static_cast<float>(-row)),
                               innerWidth, innerHeight);
    box->anchor = kAnchorTopLeft;
    menusLayer->AddObject(box);
    return box;
  }
  ContextMenu* AddFileMenu(int column, int row, CallLog* log) {
    std::vector<MenuEntry> entries;
    for (const char* name : {"Open", "Open With", "Reload", "Export"}) {
      entries.emplace_back(Widen(name), log->Recorder(name), false);
    }
    auto* menu = new ContextMenu(std::move(entries),
                                 Vector2(static_cast<float>(column), static_cast<float>(-row)));
    menusLayer->AddObject(menu);
    return menu;
  }
  // A button on the "Objects" layer with its top-left cell at (column, row).
  Button* AddObjectButton(int column, int row, std::u16string label, CallLog* log,
                          const std::string& name) {
    auto* button = new Button(Vector2(static_cast<float>(column), static_cast<float>(-row)),
                              std::move(label), None);
    button->anchor = kAnchorTopLeft;
    button->SetOnClick(log->Recorder(name));
    Objects()->AddObject(button);
    return button;
  }
};

TEST_F(MenuTest, EmptyBoxIsFourCorners) {
  Start();
  MenuObject box(Vector2(0, 0), 0, 0);
  EXPECT_EQ(box.GetText(), u"++\n++");
  EXPECT_EQ(box.GetWidth(), 2);
  EXPECT_EQ(box.GetHeight(), 2);
  EXPECT_TRUE(box.closeOnOutsideClick);
}

TEST_F(MenuTest, BoxIsOpaqueGreyOnBlackAndClipsItsChildren) {
  Start(12, 6);
  auto* wall = new Object(Vector2(0, 0), u"@@@@@@@@@@@\n@@@@@@@@@@@\n@@@@@@@@@@@\n@@@@@@@@@@@");
  wall->anchor = kAnchorTopLeft;
  wall->FillForeground('E');
  Objects()->AddObject(wall);
  MenuObject* box = AddBox(1, 0, 5, 2);
  // A child wider and taller than the inside, centred on the box, shows only
  // inside the frame.
  auto* child = new Object(Vector2(0, 0), u"abcdefghi\nABCDEFGHI\n123456789\n!!!!!!!!!");
  child->FillBackground('1');
  box->AddChild(child);
  Frame();
  ExpectScreen(*console,
               {
                   "@+-----+@@@",
                   "@|CDEFG|@@@",
                   "@|34567|@@@",
                   "@+-----+@@@",
                   "",
                   "",
               },
               {"E7777777E"},  // foregrounds
               {
                   "000000000",
                   ".0111110",
               });
  EXPECT_TRUE(box->clipChildren);
  EXPECT_EQ(box->clipInset.left, 1);
  EXPECT_EQ(box->clipInset.top, 1);
  EXPECT_EQ(box->clipInset.right, 1);
  EXPECT_EQ(box->clipInset.bottom, 1);
}

TEST_F(MenuTest, MakeBoxResizesAnOpenBox) {
  Start(12, 6);
  MenuObject* box = AddBox(0, 0, 5, 2);
  box->MakeBox(1, 0);
  Frame();
  ExpectScreen(*console, {"+-+", "+-+", "", "", "", ""});
  auto* plain = new MenuObject();
  EXPECT_EQ(plain->GetText(), u"");
  EXPECT_TRUE(plain->closeOnOutsideClick);
  delete plain;
}

TEST_F(MenuTest, FileMenuIsFifteenBySixWithPaddedEntries) {
  Start(20, 8);
  CallLog log;
  ContextMenu* menu = AddFileMenu(1, 1, &log);
  EXPECT_EQ(menu->GetWidth(), 15);
  EXPECT_EQ(menu->GetHeight(), 6);
  std::vector<std::u16string> lines;
  for (Object* child : menu->GetChildren()) lines.push_back(child->GetText());
  EXPECT_EQ(lines, (std::vector<std::u16string>{u"Open       ", u"Open With  ", u"Reload     ",
                                                u"Export     "}));
  Frame();
  ExpectScreen(*console,
               {
                   "",
                   " +-------------+",
                   " | Open        |",
                   " | Open With   |",
                   " | Reload      |",
                   " | Export      |",
                   " +-------------+",
                   "",
               },
               {
                   "",
                   ".777777777777777",
                   ".777777777777777",
                   ".777777777777777",
                   ".777777777777777",
                   ".777777777777777",
                   ".777777777777777",
               });
}

TEST_F(MenuTest, SubmenuMarkerAndEmptyMenu) {
  Start(20, 8);
  std::vector<MenuEntry> entries;
  entries.emplace_back(u"Colours", nullptr, true);
  entries.emplace_back(u"Go", nullptr, false);
  menusLayer->AddObject(new ContextMenu(std::move(entries), Vector2(0, 0)));
  menusLayer->AddObject(new ContextMenu({}, Vector2(12, -4)));
  Frame();
  ExpectScreen(*console, {
                              "+-----------+",
                              "| Colours > |",
                              "| Go        |",
                              "+-----------+",
                              "            +----+",
                              "            +----+",
                              "",
                              "",
                          });
}

TEST_F(MenuTest, EntryActionRunsAndTheMenuStaysOpen) {
  Start(20, 8);
  CallLog log;
  ContextMenu* menu = AddFileMenu(1, 1, &log);
  Object* clickedWith = nullptr;
  static_cast<Button*>(menu->GetChildren()[2])->SetOnClick([&](Object* o) { clickedWith = o; });
  Click(4, 3);   // "Open With"
  Click(13, 5);  // the blank end of "Export"
  Click(6, 4);   // "Reload", replaced above
  EXPECT_EQ(log.calls, (std::vector<std::string>{"Open With", "Export"}));
  EXPECT_EQ(clickedWith, menu->GetChildren()[2]);
  EXPECT_EQ(OpenBoxes(), 1u);
}

TEST_F(MenuTest, PressOutsideClosesTheMenuAndIsUsedUp) {
  Start(20, 8);
  CallLog log;
  AddObjectButton(0, 7, u"under", &log, "under");
  AddFileMenu(1, 1, &log);
  Frame();
  Click(2, 7);
  EXPECT_EQ(OpenBoxes(), 0u);
  EXPECT_TRUE(log.calls.empty());
  Frame();
  EXPECT_EQ(Row(1), "");
  // With the menu gone the same press reaches the button.
  Click(2, 7);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"under"}));
}

TEST_F(MenuTest, PressOnTheFrameClosesTheMenu) {
  for (auto [column, row] : {std::pair{1, 3}, std::pair{15, 3}, std::pair{5, 1}, std::pair{5, 6}}) {
    Start(20, 8);
    CallLog log;
    AddFileMenu(1, 1, &log);
    Click(column, row);
    EXPECT_EQ(OpenBoxes(), 0u) << column << "," << row;
    EXPECT_TRUE(log.calls.empty());
  }
}

TEST_F(MenuTest, PressOnTheBlankColumnOrAnInertEntryKeepsTheMenuOpen) {
  Start(20, 8);
  CallLog log;
  AddObjectButton(0, 3, u"################", &log, "under");
  std::vector<MenuEntry> entries;
  entries.emplace_back(u"Inert", nullptr, false);
  entries.emplace_back(u"Live", log.Recorder("live"), false);
  menusLayer->AddObject(new ContextMenu(std::move(entries), Vector2(1, -1)));
  Click(2, 2);   // blank column left of the entries
  Click(10, 3);  // blank column right of the entries
  Click(4, 2);   // the inert entry
  EXPECT_EQ(OpenBoxes(), 1u);
  EXPECT_TRUE(log.calls.empty());
  Click(4, 3);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"live"}));
}

TEST_F(MenuTest, OutsidePressClosesOnlyTheTopOfTwoBoxes) {
  Start(20, 8);
  CallLog log;
  ContextMenu* lower = AddFileMenu(0, 0, &log);
  AddBox(12, 3, 4, 2);
  Click(18, 7);
  ASSERT_EQ(OpenBoxes(), 1u);
  EXPECT_EQ(menusLayer->GetObjects().front(), lower);
  Click(18, 7);
  EXPECT_EQ(OpenBoxes(), 0u);
  EXPECT_TRUE(log.calls.empty());
}

TEST_F(MenuTest, PressInsideALowerBoxOnlyClosesTheBoxOnTop) {
  Start(20, 8);
  CallLog log;
  ContextMenu* lower = AddFileMenu(0, 0, &log);
  AddBox(12, 3, 4, 2);
  Click(3, 1);  // on "Open" of the lower menu
  EXPECT_TRUE(log.calls.empty());
  ASSERT_EQ(OpenBoxes(), 1u);
  EXPECT_EQ(menusLayer->GetObjects().front(), lower);
  Click(3, 1);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"Open"}));
}

TEST_F(MenuTest, BoxThatKeepsOpenLetsPressesFallThrough) {
  Start(20, 8);
  CallLog log;
  AddObjectButton(0, 2, u"behind", &log, "behind");
  AddObjectButton(0, 7, u"outside", &log, "outside");
  MenuObject* panel = AddBox(0, 0, 8, 3);
  panel->closeOnOutsideClick = false;
  Frame();
  EXPECT_EQ(Row(2), "|        |");  // the box hides the button behind it
  Click(2, 2);
  Click(2, 7);
  EXPECT_EQ(log.calls, (std::vector<std::string>{"behind", "outside"}));
  EXPECT_EQ(OpenBoxes(), 1u);
}

TEST_F(MenuTest, BoxCallbackRunsEveryFrameAfterThePressHandling) {
  Start(20, 8);
  MenuObject* box = AddBox(0, 0, 4, 2);
  int frames = 0;
  bool sawPress = false;
  box->SetCallback([&](Object*) {
    ++frames;
    sawPress = sawPress || mouseButtons[kLeftButton].pressed;
  });
  Frame();
  Click(2, 1);  // inside: used up before the callback runs
  EXPECT_EQ(frames, 3);
  EXPECT_FALSE(sawPress);
  EXPECT_EQ(OpenBoxes(), 1u);
}

TEST_F(MenuTest, CloseTopMenuAndCloseAllMenus) {
  Start(20, 8);
  CloseTopMenu();  // nothing open: nothing happens
  CloseAllMenus();
  Frame();
  MenuObject* first = AddBox(0, 0, 1, 1);
  MenuObject* second = AddBox(4, 0, 1, 1);
  MenuObject* third = AddBox(8, 0, 1, 1);
  CloseTopMenu();
  EXPECT_TRUE(third->IsDestroyed());
  EXPECT_FALSE(second->IsDestroyed());
  Frame();
  EXPECT_EQ(menusLayer->GetObjects(), (std::vector<Object*>{first, second}));
  CloseAllMenus();
  Frame();
  EXPECT_TRUE(menusLayer->GetObjects().empty());
}

TEST_F(MenuTest, PressingTheOpeningButtonAgainClosesTheMenu) {
  Start(20, 8);
  CallLog log;
  auto* file = new Button(Vector2(0, 0), u"File", Spaced);
  file->anchor = kAnchorTopLeft;
  file->SetOnClick([&](Object*) { AddFileMenu(0, 1, &log); });
  Objects()->AddObject(file);
  Click(2, 0);
  EXPECT_EQ(OpenBoxes(), 1u);
  Frame();
  EXPECT_EQ(Row(2), "| Open        |");
  Click(2, 0);
  EXPECT_EQ(OpenBoxes(), 0u);
  Frame();
  EXPECT_EQ(Row(2), "");
}

TEST_F(MenuTest, EntryActionClosingAllMenus) {
  Start(20, 8);
  std::vector<MenuEntry> entries;
  entries.emplace_back(u"Close all", [](Object*) { CloseAllMenus(); }, false);
  AddBox(10, 4, 3, 1);
  menusLayer->AddObject(new ContextMenu(std::move(entries), Vector2(0, 0)));
  Click(3, 1);
  EXPECT_TRUE(menusLayer->GetObjects().empty());
  Frame();
  ExpectScreen(*console, {"", "", "", "", "", "", "", ""});
}

}  // namespace
}  // namespace widgets_test
