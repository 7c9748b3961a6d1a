#include <gtest/gtest.h>

#include <algorithm>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <random>

#include "engine/core/screenshot.h"
#include "engine_fixture.h"

using namespace KelmCEngineV2;
using kelm::test::EngineTest;

namespace {

class FrameTest : public EngineTest {};

TEST_F(FrameTest, FirstFrameDeliversResizeEvenWhenAssignedLate) {
  Frame();  // buffers allocated before anybody listens
  std::vector<Vector2> sizes;
  engine->SetOnResize([&](Vector2 size) { sizes.push_back(size); });
  Frame();
  ASSERT_EQ(sizes.size(), 1u);
  EXPECT_EQ(sizes[0], Vector2(20, 4));
  Frame();
  EXPECT_EQ(sizes.size(), 1u);  // same size: no call
  console.SetWindowSize(41, 10);
  Frame();
  ASSERT_EQ(sizes.size(), 2u);
  EXPECT_EQ(sizes[1], Vector2(40, 10));
  EXPECT_EQ(console.frameWidth, 40);
  EXPECT_EQ(console.frameHeight, 10);
}

TEST_F(FrameTest, LayersAndScreenQueries) {
  EXPECT_EQ(engine->FindLayer("Objects"), engine->objectsLayer);
  EXPECT_EQ(engine->FindLayer("Menus"), menusLayer);
  auto* tips = new Layer("Tips");
  engine->AddLayer(tips);
  EXPECT_EQ(engine->FindLayer("Tips"), tips);
  EXPECT_EQ(engine->FindLayer("tips"), nullptr);
  EXPECT_EQ(engine->layers.back(), tips);
  EXPECT_EQ(engine->GetScreenWidth(), 20);
  EXPECT_EQ(engine->GetScreenHeight(), 4);
  console.SetWindowSize(120, 30);
  EXPECT_EQ(engine->GetScreenCentre(), Vector2(59, -15));
}

TEST_F(FrameTest, ObjectDestroyingItselfIsDeletedInTheSameFrameAndSlotsPurged) {
  bool deleted = false;
  struct Probe : Object {
    bool* flag;
    Probe(bool* f) : Object(Vector2(0, 0), u"x"), flag(f) {}
    ~Probe() override { *flag = true; }
  };
  auto* probe = Add(new Probe(&deleted));
  probe->SetCallback([](Object* o) { o->Destroy(); });
  Frame();
  EXPECT_TRUE(deleted);
  EXPECT_TRUE(engine->objectsLayer->objects.empty());
}

TEST_F(FrameTest, SeveralNullSlotsAreAllPurged) {
  auto* a = Add(new Object({0, 0}, u"a"));
  auto* b = Add(new Object({0, 0}, u"b"));
  Add(new Object({0, 0}, u"c"));
  engine->objectsLayer->DeleteObject(a);
  engine->objectsLayer->DeleteObject(b);
  Frame();
  EXPECT_EQ(engine->objectsLayer->objects.size(), 1u);
}

TEST_F(FrameTest, ObjectAddedDuringThePassIsFirstSeenNextFrame) {
  int updates = 0;
  auto* spawner = Add(new Object({0, 0}, u""));
  spawner->SetCallback([&](Object* self) {
    auto* spawned = new Object({3, 0}, u"s");
    spawned->SetCallback([&](Object*) { ++updates; });
    engine->objectsLayer->AddObject(spawned);
    self->SetCallback(nullptr);
  });
  Frame();
  EXPECT_EQ(updates, 0);
  Frame();
  EXPECT_EQ(updates, 1);
}

TEST_F(FrameTest, ChangeBeforeDrawShowsThisFrameSelfChangeNextFrame) {
  auto* target = Add(new Object({2, 0}, u"a"));
  auto* changer = Add(new Object({0, 0}, u""));  // updated before target is drawn
  changer->SetCallback([&](Object*) { target->SetText(u"b"); });
  target->SetCallback([](Object* self) { self->SetForeground("C"); });
  Frame();
  EXPECT_EQ(console.CharAt(2, 0), u'b');
  EXPECT_EQ(console.AttributeAt(2, 0), 0x07);
  Frame();
  EXPECT_EQ(console.AttributeAt(2, 0), 0x0C);
}

TEST_F(FrameTest, BackgroundConsoleRunsNoFrameAndLosesKeys) {
  int updates = 0;
  Add(new Object({0, 0}, u""))->SetCallback([&](Object*) {
    updates += KeyPressed('A', false, 0) ? 100 : 1;
  });
  console.foreground = false;
  console.PushKey('A', u'a');
  console.PushMouseMove(5, 2);
  EXPECT_FALSE(engine->RunFrame());
  EXPECT_EQ(updates, 0);
  console.foreground = true;
  Frame();
  EXPECT_EQ(updates, 1);  // the key pressed meanwhile is gone
  EXPECT_EQ(mousePosition, Vector2(5, -2));  // the mouse is current
}

TEST_F(FrameTest, SetupFailureExitsNonZeroWithTheCode) {
  console.setupFails = true;
  console.setupErrorCode = 25;
  EXPECT_EXIT(engine->SetupConsole(), ::testing::ExitedWithCode(1), "");
}

TEST_F(FrameTest, DeltaTimeAndFpsFromThePacing) {
  engine->framesOnDemand = false;
  Frame();
  EXPECT_EQ(engine->deltaTime, 20u);
  EXPECT_EQ(engine->fps, 50);
}

class ScreenshotTest : public EngineTest {
 protected:
  ScreenshotTest() : EngineTest(120, 30) {}
  void SetUp() override {
    EngineTest::SetUp();
    dir = std::filesystem::temp_directory_path() /
          ("kelm-shot-" + std::to_string(std::random_device{}()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
    old = std::filesystem::current_path();
    std::filesystem::current_path(dir);
  }
  void TearDown() override {
    std::filesystem::current_path(old);
    std::filesystem::remove_all(dir);
    EngineTest::TearDown();
  }
  std::string OnlyFile() {
    std::vector<std::filesystem::path> files;
    for (auto& e : std::filesystem::directory_iterator(dir)) files.push_back(e.path());
    EXPECT_EQ(files.size(), 1u);
    if (files.empty()) return {};
    std::ifstream in(files[0], std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  std::filesystem::path dir, old;
};

TEST_F(ScreenshotTest, F2WritesTheExactLayoutOfAClearedFrame) {
  console.PushKey(kelm::port::VK_F2);
  Frame();
  const std::string bytes = OnlyFile();
  ASSERT_EQ(bytes.size(), 14339u);  // 59 + 4 x 119 x 30
  EXPECT_EQ(bytes.substr(0, 7), std::string("kelmsh\x01"));
  EXPECT_EQ(bytes.substr(55, 4), std::string("\x77\x00\x1E\x00", 4));
  // Colour table entry 12 is light red.
  EXPECT_EQ(bytes.substr(7 + 12 * 3, 3), std::string("\xFF\x00\x00", 3));
  const size_t cells = 119 * 30;
  for (size_t i = 0; i < cells; ++i) {
    ASSERT_EQ(bytes[59 + 2 * i], ' ');
    ASSERT_EQ(bytes[60 + 2 * i], '\0');
    ASSERT_EQ(bytes[59 + 2 * cells + i], '7');
    ASSERT_EQ(bytes[59 + 3 * cells + i], '0');
  }
}

TEST_F(ScreenshotTest, F2InTheTerminalColoursThemeKeepsTheDefaults) {
  // Under the theme the cleared screen is the terminal's own colours, the
  // object's yellow on blue the palette's.
  engine->SetTerminalColours(true);
  auto* object = Add(new Object(Vector2(2.0f, -1.0f), u"Hi"));
  object->anchor = kAnchorTopLeft;
  object->FillForeground('E');
  object->FillBackground('1');
  console.PushKey(kelm::port::VK_F2);
  Frame();
  const std::string bytes = OnlyFile();
  ASSERT_EQ(bytes.size(), 14339u);
  EXPECT_EQ(bytes.substr(0, 7), std::string("kelmsh\x02"));
  const size_t cells = 119 * 30;
  const std::string foreground = bytes.substr(59 + 2 * cells, cells);
  const std::string background = bytes.substr(59 + 3 * cells, cells);
  EXPECT_EQ(foreground.substr(0, 6), "------");
  EXPECT_EQ(foreground.substr(119, 6), "--EE--");
  EXPECT_EQ(background.substr(119, 6), "--11--");
  EXPECT_EQ(std::count(foreground.begin(), foreground.end(), '-'), static_cast<std::ptrdiff_t>(cells - 2));
  EXPECT_EQ(std::count(background.begin(), background.end(), '-'), static_cast<std::ptrdiff_t>(cells - 2));
}

TEST_F(ScreenshotTest, KeyConsumedByAnObjectTakesNoScreenshot) {
  Add(new Object({0, 0}, u""))->SetCallback([](Object*) { KeyPressed(kelm::port::VK_F2, false, 0); });
  console.PushKey(kelm::port::VK_F2);
  Frame();
  EXPECT_TRUE(std::filesystem::is_empty(dir));
}

TEST_F(ScreenshotTest, NoColourTableKeepsOnlyMagicAndVersion) {
  console.colourTableAvailable = false;
  console.PushKey(kelm::port::VK_F2, 0, kelm::port::SHIFT_PRESSED);  // any modifiers count
  Frame();
  EXPECT_EQ(OnlyFile(), std::string("kelmsh\x01"));
}

TEST(ScreenshotName, CtimeFormWithDashes) {
  setenv("TZ", "UTC", 1);
  tzset();
  // 8 December 2026, 04:46:54 UTC.
  EXPECT_EQ(ScreenshotFileName(1796705214), "screenshot-Tue-Dec--8-04-46-54-2026.ss");
}

TEST(ScreenshotEncoding, WidthIsStoredAsTwoBytesAndDigitsAreUpperCase) {
  std::vector<kelm::port::CHAR_INFO> cells(10, kelm::port::CHAR_INFO{u'\u20AC', 0xAF});
  kelm::port::ColourTable colours;
  const std::string bytes = EncodeScreenshot(cells, 10, 1, &colours);
  EXPECT_EQ(bytes.size(), 59u + 40u);
  EXPECT_EQ(bytes.substr(55, 2), std::string("\x0A\x00", 2));
  EXPECT_EQ(bytes.substr(59, 2), std::string("\xAC\x20", 2));
  EXPECT_EQ(bytes[59 + 20], 'F');
  EXPECT_EQ(bytes[59 + 30], 'A');
}

}  // namespace
