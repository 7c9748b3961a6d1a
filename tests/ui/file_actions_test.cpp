// The File menu's actions on the viewer: Open, Open With, Reload and Export,
// through the menu and their keys, on the virtual console with scripted
// dialog answers.
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <limits>
#include <string>
#include <vector>

#include "engine/port/atomic_file_writer.h"
#include "engine/port/utf.h"
#include "engine/widgets/menu_object.h"
#include "tests/viewer/viewer_harness.h"
#include "ui/file_actions.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

namespace fs = std::filesystem;
using kelm::port::LEFT_CTRL_PRESSED;

// A virtual console that also notes where the dialogs were asked to start.
class RecordingConsole : public VirtualConsole {
 public:
  using VirtualConsole::VirtualConsole;
  std::optional<std::string> OpenFileDialog(const std::string& startDir) override {
    openStartDirs.push_back(startDir);
    return VirtualConsole::OpenFileDialog(startDir);
  }
  std::optional<std::string> SaveFileDialog(const std::string& startDir) override {
    saveStartDirs.push_back(startDir);
    return VirtualConsole::SaveFileDialog(startDir);
  }
  std::vector<std::string> openStartDirs;
  std::vector<std::string> saveStartDirs;
};

std::vector<uint8_t> ReadBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

class FileActions : public ViewerTest {
 protected:
  // The viewer on `path` with the recording console (same layout as StartOn).
  void StartRecording(const std::string& path, int columns = 119, int rows = 30) {
    Stop();
    auto recordingConsole = std::make_unique<RecordingConsole>(columns, rows);
    recording = recordingConsole.get();
    console = std::move(recordingConsole);
    kelm::port::SetPort(console.get());
    engine = new Engine(false, /*startThread=*/false);
    engine->SetupConsole();
    BuildViewer(*engine, path);
    Frame();
  }

  // Opens the File menu and clicks one of its entries (0 Open, 1 Open With,
  // 2 Reload, 3 Export), then runs a frame so the result is on screen.
  void ChooseFromFileMenu(int entry) {
    Click(7, 0);
    ASSERT_EQ(OpenBoxes(), 1u);
    // The drop-down's top border is on row 1 (one row below the mouse); its
    // entries follow from column 7.
    Click(8, 2 + entry);
    Frame();
  }

  void Select(uint64_t start, uint64_t length) {
    selection.start = start;
    selection.length = length;
    selectionActive = true;
    RecolourGrid();
  }

  // Every row of the screen joined, for looking for a text anywhere.
  std::string ScreenText() const {
    std::string text;
    for (int r = 0; r < console->frameHeight; ++r) text += console->RowText(r) + "\n";
    return text;
  }

  RecordingConsole* recording = nullptr;
};

// --- Open ------------------------------------------------------------------------------

TEST_F(FileActions, OpenCancelledChangesNothingAndClosesTheMenu) {
  const std::string path = WriteFile(Counting(4000));
  StartRecording(path);
  Key(kelm::port::VK_NEXT);
  const int64_t row = topRow;
  ASSERT_GT(row, 0);
  Select(100, 3);

  ChooseFromFileMenu(0);
  EXPECT_EQ(console->openDialogCalls, 1);
  EXPECT_EQ(OpenBoxes(), 0u);
  EXPECT_EQ(filePath, path);
  EXPECT_EQ(topRow, row);
  EXPECT_TRUE(selectionActive);
  EXPECT_EQ(selection.start, 100u);
  EXPECT_EQ(selection.length, 3u);
}

TEST_F(FileActions, OpenLoadsTheChosenFileFromItsFirstRow) {
  const std::string first = WriteFile(Counting(4000), "first.bin");
  const std::string second = WriteFile(std::vector<uint8_t>(300, 0xAB), "second.bin");
  StartRecording(first);
  Key(kelm::port::VK_NEXT);
  ASSERT_GT(topRow, 0);
  console->openDialogAnswers.push_back(second);

  ChooseFromFileMenu(0);
  EXPECT_EQ(filePath, second);
  EXPECT_EQ(fileSize, 300u);
  EXPECT_EQ(topRow, 0);
  EXPECT_EQ(console->title, u"KelmHex Viewer - second.bin");
  EXPECT_EQ(Row(kFirstGridRow).substr(0, 24), "0000000000000000| AB AB ");
  EXPECT_EQ(OpenBoxes(), 0u);
  // The dialog started in the viewed file's folder.
  ASSERT_EQ(recording->openStartDirs.size(), 1u);
  EXPECT_EQ(recording->openStartDirs[0], directory.string());
}

TEST_F(FileActions, OpenOfAFileThatCannotBeOpenedShowsTheFailure) {
  StartRecording(WriteFile(Counting(100)));
  console->openDialogAnswers.push_back(PathOf("missing.bin"));
  ChooseFromFileMenu(0);
  EXPECT_EQ(OpenBoxes(), 1u);
  EXPECT_NE(ScreenText().find("Failed to open: \"missing.bin\""), std::string::npos) << ScreenText();
}

// --- Reload ------------------------------------------------------------------------------

TEST_F(FileActions, ReloadKeepsTheRowAndShowsTheNewBytes) {
  const std::string path = WriteFile(Counting(4000));
  StartRecording(path);
  Key(kelm::port::VK_NEXT);
  const int64_t row = topRow;
  ASSERT_GT(row, 0);
  WriteFile(std::vector<uint8_t>(4000, 0x5A));

  ChooseFromFileMenu(2);
  EXPECT_EQ(topRow, row);
  EXPECT_EQ(filePath, path);
  EXPECT_EQ(OpenBoxes(), 0u);
  EXPECT_EQ(Cells(kFirstGridRow, kHexX, 5), "5A 5A");
}

TEST_F(FileActions, ReloadOfAFileThatIsGoneShowsTheFailureAsCtrlRDoes) {
  const std::string path = WriteFile(Counting(100));
  StartRecording(path);
  fs::remove(path);
  ChooseFromFileMenu(2);
  EXPECT_EQ(OpenBoxes(), 1u);
  const std::string viaMenu = ScreenText();
  EXPECT_NE(viaMenu.find("Failed to open: \"data.bin\""), std::string::npos) << viaMenu;
  EXPECT_NE(viaMenu.find("No such file or directory"), std::string::npos);

  CloseAllMenus();
  Frame();
  CtrlKey('R');
  EXPECT_EQ(OpenBoxes(), 1u);
  EXPECT_EQ(ScreenText(), viaMenu);
}

// --- Export ---------------------------------------------------------------------------------

TEST_F(FileActions, ExportWithoutSelectionShowsTheMessage) {
  StartRecording(WriteFile(Counting(100)));
  ChooseFromFileMenu(3);
  EXPECT_EQ(console->saveDialogCalls, 0);
  ASSERT_EQ(OpenBoxes(), 1u);  // the menu is gone, the message is up
  // The pop-up of 40 x 5 in the middle of a 118 x 30 screen.
  EXPECT_EQ(Cells(15, 44, 25), "You have nothing selected");
}

TEST_F(FileActions, ExportOfSixteenBytesWritesExactlyThem) {
  const std::vector<uint8_t> bytes = Counting(100);
  StartRecording(WriteFile(bytes));
  Select(4, 16);
  const std::string target = PathOf("out.bin");
  console->saveDialogAnswers.push_back(target);

  ChooseFromFileMenu(3);
  EXPECT_EQ(ReadBytes(target), std::vector<uint8_t>(bytes.begin() + 4, bytes.begin() + 20));
  EXPECT_EQ(OpenBoxes(), 0u);
  ASSERT_EQ(recording->saveStartDirs.size(), 1u);
  EXPECT_EQ(recording->saveStartDirs[0], directory.string());
}

TEST_F(FileActions, ExportOfASelectionPastTheEndWritesUpToTheEnd) {
  const std::vector<uint8_t> bytes = Counting(100);
  StartRecording(WriteFile(bytes));
  Select(90, 50);
  const std::string target = PathOf("tail.bin");
  console->saveDialogAnswers.push_back(target);
  ExportSelection();
  EXPECT_EQ(ReadBytes(target), std::vector<uint8_t>(bytes.begin() + 90, bytes.end()));
}

TEST_F(FileActions, ExportOfTheLargestLengthStopsAtTheEnd) {
  const std::vector<uint8_t> bytes = Counting(3000);
  StartRecording(WriteFile(bytes));
  Select(10, std::numeric_limits<uint64_t>::max());
  const std::string target = PathOf("huge.bin");
  console->saveDialogAnswers.push_back(target);
  ExportSelection();
  EXPECT_EQ(ReadBytes(target), std::vector<uint8_t>(bytes.begin() + 10, bytes.end()));
}

TEST_F(FileActions, ExportOfASelectionStartingPastTheEndWritesAnEmptyFile) {
  StartRecording(WriteFile(Counting(100)));
  Select(500, 4);
  const std::string target = PathOf("empty.bin");
  console->saveDialogAnswers.push_back(target);
  ExportSelection();
  ASSERT_TRUE(fs::exists(target));
  EXPECT_EQ(fs::file_size(target), 0u);
}

TEST_F(FileActions, ExportCancelledWritesNothing) {
  StartRecording(WriteFile(Counting(100)));
  Select(0, 10);
  ChooseFromFileMenu(3);
  EXPECT_EQ(console->saveDialogCalls, 1);
  EXPECT_EQ(OpenBoxes(), 0u);
  size_t files = 0;
  for (const auto& item : fs::directory_iterator(directory)) {
    (void)item;
    ++files;
  }
  EXPECT_EQ(files, 1u);  // only the viewed file
}

TEST_F(FileActions, ExportOntoTheViewedFileKeepsTheViewReadingTheOldBytes) {
  const std::vector<uint8_t> bytes = Counting(1000);
  const std::string path = WriteFile(bytes);
  StartRecording(path);
  Select(200, 16);
  console->saveDialogAnswers.push_back(path);
  ExportSelection();

  // The file on disk now holds the 16 bytes ...
  const std::vector<uint8_t> exported(bytes.begin() + 200, bytes.begin() + 216);
  EXPECT_EQ(ReadBytes(path), exported);
  // ... while the viewer still reads what it opened.
  uint8_t buffer[4] = {};
  ASSERT_EQ(ReadRange(buffer, sizeof buffer, MarkedRange{'7', '4', u"", 996, 4}), 4u);
  EXPECT_EQ(buffer[0], static_cast<uint8_t>(996 % 256));
  Key(kelm::port::VK_DOWN);
  EXPECT_EQ(Cells(kFirstGridRow, kHexX, 5), "00 01");

  // A reload shows the new contents.
  CtrlKey('R');
  EXPECT_EQ(fileSize, 16u);
  EXPECT_EQ(Cells(kFirstGridRow, kHexX, 5), "C8 C9");
}

TEST_F(FileActions, ExportToAFolderThatDoesNotExistIsReportedAndWritesNothing) {
  StartRecording(WriteFile(Counting(100)));
  Select(0, 10);
  console->saveDialogAnswers.push_back(PathOf("no-such-folder/out.bin"));
  ChooseFromFileMenu(3);
  ASSERT_EQ(OpenBoxes(), 1u);
  const std::string screen = ScreenText();
  EXPECT_NE(screen.find("Failed to export to: \"out.bin\""), std::string::npos) << screen;
  EXPECT_NE(screen.find("No such file or directory"), std::string::npos) << screen;
  EXPECT_FALSE(fs::exists(PathOf("no-such-folder")));
}

TEST_F(FileActions, ExportOntoAFolderFailsAndLeavesNoTemporaryFile) {
  StartRecording(WriteFile(Counting(100)));
  fs::create_directories(PathOf("taken/inside"));
  Select(0, 10);
  console->saveDialogAnswers.push_back(PathOf("taken"));
  ExportSelection();
  Frame();
  EXPECT_EQ(OpenBoxes(), 1u);
  EXPECT_TRUE(fs::is_directory(PathOf("taken/inside")));
  for (const auto& item : fs::directory_iterator(directory)) {
    EXPECT_EQ(item.path().filename().string().find(kelm::port::kTemporaryPrefix), std::string::npos) << item.path();
  }
}

TEST_F(FileActions, ExportReplacingAFileKeepsItsPermissions) {
  StartRecording(WriteFile(Counting(100)));
  const std::string target = PathOf("kept.bin");
  std::ofstream(target) << "old";
  fs::permissions(target, fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
  Select(0, 8);
  console->saveDialogAnswers.push_back(target);
  ExportSelection();
  EXPECT_EQ(ReadBytes(target).size(), 8u);
  EXPECT_EQ(fs::status(target).permissions(),
            fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read);
}

TEST_F(FileActions, ExportOfAFileThatShrankSaysHowMuchWasReadAndKeepsTheTarget) {
  const std::string path = WriteFile(Counting(1000));
  StartRecording(path);
  Select(100, 800);
  const std::string target = PathOf("out.bin");
  std::ofstream(target) << "old";
  fs::resize_file(path, 400);  // another program cuts the file meanwhile
  console->saveDialogAnswers.push_back(target);
  ExportSelection();
  Frame();
  ASSERT_EQ(OpenBoxes(), 1u);
  const std::string screen = ScreenText();
  EXPECT_NE(screen.find("Failed to export to: \"out.bin\""), std::string::npos) << screen;
  EXPECT_NE(screen.find("Read 300 of 800 bytes"), std::string::npos) << screen;
  EXPECT_EQ(ReadBytes(target), std::vector<uint8_t>({'o', 'l', 'd'}));
}

// --- Open With ---------------------------------------------------------------------------------

TEST(OpenWithNames, TheTableAndUnknownCodes) {
  EXPECT_EQ(OpenWithErrorName(0x80004001), u"E_NOTIMPL");
  EXPECT_EQ(OpenWithErrorName(0x80004002), u"E_NOINTERFACE");
  EXPECT_EQ(OpenWithErrorName(0x80004003), u"E_POINTER");
  EXPECT_EQ(OpenWithErrorName(0x80004004), u"E_ABORT");
  EXPECT_EQ(OpenWithErrorName(0x80004005), u"E_FAIL");
  EXPECT_EQ(OpenWithErrorName(0x8000FFFF), u"E_UNEXPECTED");
  EXPECT_EQ(OpenWithErrorName(0x80070005), u"E_ACCESSDENIED");
  EXPECT_EQ(OpenWithErrorName(0x80070006), u"E_HANDLE");
  EXPECT_EQ(OpenWithErrorName(0x8007000E), u"E_OUTOFMEMORY");
  EXPECT_EQ(OpenWithErrorName(0x80070057), u"E_INVALIDARG");
  EXPECT_EQ(OpenWithErrorName(0x80070002), u"Unknown error: 2147942402");
  EXPECT_EQ(OpenWithErrorName(0xFFFFFFFF), u"Unknown error: 4294967295");
  EXPECT_EQ(OpenWithErrorMessage(0x80070005), u"Got error: (E_ACCESSDENIED) when opening openwith menu!");
}

TEST_F(FileActions, OpenWithFailureShowsTheMessageClippedToTheBox) {
  const std::string path = WriteFile(Counting(100));
  StartRecording(path);
  console->openWithAnswers.push_back(0x80070005);
  ChooseFromFileMenu(1);
  ASSERT_EQ(console->openWithPaths.size(), 1u);
  EXPECT_EQ(console->openWithPaths[0], path);
  ASSERT_EQ(OpenBoxes(), 1u);
  // A 42 x 3 box centred on (59, -15): columns 39 to 80, rows 14 to 16.
  // The 55-character message is centred on it and shows its middle 40.
  EXPECT_EQ(Cells(14, 39, 42), "+" + std::string(40, '-') + "+");
  EXPECT_EQ(Cells(15, 39, 42), "|r: (E_ACCESSDENIED) when opening openwit|");
  EXPECT_EQ(Cells(16, 39, 42), "+" + std::string(40, '-') + "+");
}

TEST_F(FileActions, CtrlOShowsTheSameBox) {
  StartRecording(WriteFile(Counting(100)));
  console->openWithAnswers.push_back(0x80070005);
  ChooseFromFileMenu(1);
  const std::string viaMenu = ScreenText();
  CloseAllMenus();
  Frame();
  console->openWithAnswers.push_back(0x80070005);
  CtrlKey('O');
  EXPECT_EQ(console->openWithPaths.size(), 2u);
  EXPECT_EQ(OpenBoxes(), 1u);
  EXPECT_EQ(ScreenText(), viaMenu);
}

TEST_F(FileActions, OpenWithOfAnUnknownCodeNamesItInDecimal) {
  StartRecording(WriteFile(Counting(100)));
  console->openWithAnswers.push_back(0x80070002);
  ShowOpenWith();
  Frame();
  // The middle 40 of "Got error: (Unknown error: 2147942402) when opening
  // openwith menu!".
  EXPECT_EQ(Cells(15, 39, 42), "|nknown error: 2147942402) when opening o|");
}

TEST_F(FileActions, OpenWithCancelledOrDoneShowsNothing) {
  StartRecording(WriteFile(Counting(100)));
  console->openWithAnswers.push_back(kelm::port::kOpenWithCancelled);
  ChooseFromFileMenu(1);
  EXPECT_EQ(OpenBoxes(), 0u);
  console->openWithAnswers.push_back(kelm::port::kOpenWithOk);
  ChooseFromFileMenu(1);
  EXPECT_EQ(OpenBoxes(), 0u);
  EXPECT_EQ(console->openWithPaths.size(), 2u);
}

}  // namespace
}  // namespace viewer_test
