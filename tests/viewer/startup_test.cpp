// Start-up: choosing the file, the layers and objects built, the tooltip
// object, and the run until the frame loop ends.
#include <atomic>
#include <chrono>
#include <thread>

#include "tests/viewer/viewer_harness.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

// A virtual console that asks the program to quit once `framesBeforeQuit`
// frames were written, or as soon as a dialog was cancelled. Its frames run
// on the engine's own thread; the test reads them only after the thread
// has ended.
class QuittingConsole : public VirtualConsole {
 public:
  QuittingConsole() : VirtualConsole(39, 10) {}

  bool TakeQuitRequest(int& status) override {
    if ((quitAfterCancel && cancelled) || (framesBeforeQuit >= 0 && framesWritten >= framesBeforeQuit) ||
        (!quitOnceShown.empty() && Shows(quitOnceShown)) || std::chrono::steady_clock::now() >= deadline) {
      status = quitStatus;
      return true;
    }
    return false;
  }

  std::optional<std::string> OpenFileDialog(const std::string& startDir) override {
    std::optional<std::string> answer = VirtualConsole::OpenFileDialog(startDir);
    if (!answer) cancelled = true;
    return answer;
  }

  // The frame thread gives way after each frame, so that on a busy machine
  // the start-up it races gets the processor.
  void WaitForInput(uint32_t milliseconds) override {
    VirtualConsole::WaitForInput(milliseconds);
    std::this_thread::yield();
  }

  // Whether some row of the last frame holds `text`.
  bool Shows(const std::string& text) const {
    for (int row = 0; row < frameHeight; ++row) {
      if (RowText(row).find(text) != std::string::npos) return true;
    }
    return false;
  }

  // Frames run on their own thread while the start-up goes on, so a test that
  // waits for something on screen quits once it shows, or after a bound. The
  // bound is a time, not a count of frames: a wait on this console takes no
  // time, so frames follow each other as fast as the thread runs, and on a
  // loaded machine any count of them can pass before the start-up has shown
  // the file.
  static constexpr std::chrono::seconds kTimeLimit{30};
  const std::chrono::steady_clock::time_point deadline = std::chrono::steady_clock::now() + kTimeLimit;
  std::string quitOnceShown;
  int framesBeforeQuit = -1;
  bool quitAfterCancel = false;
  bool cancelled = false;
  int quitStatus = 0;
};

class Startup : public ViewerTest {
 protected:
  void TearDown() override {
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
    ViewerTest::TearDown();
  }

  int Run(std::vector<std::string> arguments) {
    ResetEngineGlobalsForTests();
    ResetViewerStateForTests();
    kelm::port::SetPort(&quitting);
    std::vector<char*> argv;
    for (std::string& argument : arguments) argv.push_back(argument.data());
    argv.push_back(nullptr);
    return RunViewer(static_cast<int>(arguments.size()), argv.data());
  }

  QuittingConsole quitting;
};

TEST_F(Startup, PathArgumentShowsTheFileWithoutADialog) {
  const std::string path = WriteFile({0x41, 0x42, 0x43, 0x44, 0x45});
  // 38 drawn columns: three bytes per row beside the file map's column.
  quitting.quitOnceShown = "0000000000000000| 41 42 43 ";
  quitting.quitStatus = 7;
  EXPECT_EQ(Run({"kelmhex", path, PathOf("ignored.bin")}), 7);
  EXPECT_EQ(quitting.openDialogCalls, 0);
  EXPECT_EQ(quitting.title, u"KelmHex Viewer - data.bin");
  EXPECT_EQ(filePath, path);
  EXPECT_EQ(quitting.RowText(2), "0000000000000000| 41 42 43 |A B C    \u2503");
}

TEST_F(Startup, WithoutArgumentTheDialogIsShownUntilAFileIsChosen) {
  const std::string path = WriteFile({0x30, 0x31});
  quitting.openDialogAnswers = {std::nullopt, std::string(), path};
  quitting.quitOnceShown = "0000000000000000| 30 31";
  EXPECT_EQ(Run({"kelmhex"}), 0);
  EXPECT_EQ(quitting.openDialogCalls, 3);
  EXPECT_EQ(filePath, path);
  EXPECT_EQ(quitting.RowText(2).substr(0, 23), "0000000000000000| 30 31");
}

TEST_F(Startup, CancelledDialogWithAQuitRequestEnds) {
  quitting.quitAfterCancel = true;
  quitting.quitStatus = 130;
  EXPECT_EQ(Run({"kelmhex"}), 130);
  EXPECT_EQ(quitting.openDialogCalls, 1);
  EXPECT_EQ(quitting.framesWritten, 0) << "no engine was started";
}

TEST_F(Startup, MissingPathArgumentStillStarts) {
  quitting.quitOnceShown = "No such file or directory";
  EXPECT_EQ(Run({"kelmhex", PathOf("missing.bin")}), 0);
  EXPECT_EQ(fileSize, 0u);
  EXPECT_TRUE(quitting.Shows("No such file or directory"));
}

TEST_F(Startup, LayersObjectsAndStatusFields) {
  Start(Counting(10));
  ASSERT_EQ(engine->layers.size(), 4u);
  EXPECT_EQ(engine->layers[0]->name, "Objects");
  EXPECT_EQ(engine->layers[1]->name, "Menus");
  EXPECT_EQ(engine->layers[2]->name, "Tips");
  EXPECT_EQ(engine->layers[3]->name, "TooSmall") << "the too-small cover lies over everything";
  ASSERT_EQ(engine->layers[2]->objects.size(), 1u);
  EXPECT_EQ(engine->layers[2]->objects[0], tipObject);
  EXPECT_FALSE(tipObject->visible);
  for (Object* object : {offsetColumn, hexColumn, charColumn, leftSeparator, rightSeparator, topRule, bottomRule,
                         statusLine, statusOffset}) {
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(object->layer, engine->objectsLayer);
  }
  EXPECT_TRUE(static_cast<bool>(engine->onResize));
}

TEST_F(Startup, TipObjectFollowsTheMouseAndHidesItself) {
  Start(Counting(10));
  tipObject->SetText("+---+\n|   |\n+---+");
  tipObject->visible = true;
  MoveMouse(30, 5);
  EXPECT_EQ(tipObject->position.x, 30.0f + 5 / 2 + 1) << "right of the mouse by half its width and one";
  EXPECT_EQ(tipObject->position.y, -5.0f);
  EXPECT_FALSE(tipObject->visible) << "hidden again after the frame it was shown in";

  tipObject->visible = true;
  Frame();
  EXPECT_EQ(Cells(4, 31, 5), "+---+");
  EXPECT_EQ(Cells(5, 31, 5), "|   |");
  EXPECT_FALSE(tipObject->visible);
  Frame();
  EXPECT_EQ(Cells(4, 31, 5), "     ") << "not shown again: gone";
}

}  // namespace
}  // namespace viewer_test
