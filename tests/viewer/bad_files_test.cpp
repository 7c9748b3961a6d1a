// Paths that are not ordinary readable files, and files that change under
// the viewer: each is reported or shown without blocking, and the keys that
// scroll, select, copy, export and reload keep working afterwards.
#include <fcntl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <future>
#include <string>

#include "engine/port/utf.h"
#include "ui/file_actions.h"
#include "tests/viewer/viewer_harness.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

using namespace kelm::port;

constexpr auto kOpenDeadline = std::chrono::seconds(2);

class BadFiles : public ViewerTest {
 protected:
  std::string ScreenText() const {
    std::string text;
    for (int row = 0; row < console->frameHeight; ++row) text += console->RowText(row) + "\n";
    return text;
  }

  // Starts the viewer on the virtual console without a file, then loads
  // `path` on another thread; fails when the load takes longer than the
  // deadline (a blocking open), calling `unblock` to let it finish.
  void LoadWithDeadline(const std::string& path, const std::function<void()>& unblock = nullptr) {
    StartOn(PathOf("placeholder.bin"));
    Key(VK_ESCAPE);  // the placeholder's failure pop-up
    ASSERT_EQ(OpenBoxes(), 0u);
    auto load = std::async(std::launch::async, [&path] { LoadFile(path); });
    if (load.wait_for(kOpenDeadline) != std::future_status::ready) {
      if (unblock) unblock();
      load.wait();
      FAIL() << "loading " << path << " took longer than 2 s";
    }
    load.get();
    Frame();
  }

  void ExpectFailurePopUp(const std::string& name, const std::string& reason) {
    const std::string screen = ScreenText();
    EXPECT_EQ(OpenBoxes(), 1u) << screen;
    EXPECT_NE(screen.find("Failed to open: \"" + name), std::string::npos) << screen;
    EXPECT_NE(screen.find(reason), std::string::npos) << screen;
    EXPECT_EQ(fileSize, 0u);
    EXPECT_TRUE(fileLoaded);
  }

  // Every key that reads the file, on a view with nothing to show: nothing
  // is selected, nothing copied, the view stays on its first row.
  void ExpectKeysHarmlessOnEmptyView() {
    Key(VK_ESCAPE);
    console->clipboard.reset();
    CtrlKey('A');
    EXPECT_FALSE(selectionActive);
    CtrlKey('C');
    EXPECT_TRUE(!console->clipboard || console->clipboard->empty());
    Key(VK_NEXT);
    console->PushWheel(40, 5, -3);
    Frame(2);
    ClickByte(0);
    Key(VK_END);  // the last row of an empty file is its first
    EXPECT_EQ(topRow, 0);
    EXPECT_EQ(console->frameWidth, 118);
    EXPECT_EQ(console->frameHeight, 30);
  }
};

TEST_F(BadFiles, FileWithoutReadPermission) {
  if (::geteuid() == 0) {
    GTEST_SKIP() << "running as root, which reads every file whatever its permission bits";
  }
  const std::string path = WriteFile({1, 2, 3}, "secret.bin");
  ASSERT_EQ(::chmod(path.c_str(), 0), 0);
  LoadWithDeadline(path);
  ExpectFailurePopUp("secret.bin", "Permission denied");
  ExpectKeysHarmlessOnEmptyView();
}

TEST_F(BadFiles, DirectoryIsRefusedAndKeysStayHarmless) {
  std::filesystem::create_directory(PathOf("folder"));
  LoadWithDeadline(PathOf("folder"));
  ExpectFailurePopUp("folder", "Is a directory");
  ExpectKeysHarmlessOnEmptyView();
}

TEST_F(BadFiles, FifoWithoutWriterNeverBlocksTheOpen) {
  const std::string path = PathOf("pipe");
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << std::strerror(errno);
  // Opening the FIFO for reading and writing releases a reader stuck in
  // its open, so a failing test still ends.
  LoadWithDeadline(path, [&path] {
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK);
    if (fd >= 0) ::close(fd);
  });
  ExpectFailurePopUp("pipe", "Is a named pipe (FIFO)");
  ExpectKeysHarmlessOnEmptyView();
  // Ctrl+R on the FIFO must not block either.
  auto reload = std::async(std::launch::async, [] { LoadFile(filePath); });
  ASSERT_EQ(reload.wait_for(kOpenDeadline), std::future_status::ready);
}

TEST_F(BadFiles, SocketIsRefused) {
  const std::string path = PathOf("sock");
  const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
  ASSERT_EQ(::listen(fd, 1), 0);
  LoadWithDeadline(path);
  ::close(fd);
  ExpectFailurePopUp("sock", "Is a socket");
  ExpectKeysHarmlessOnEmptyView();
}

TEST_F(BadFiles, CharacterDevicesAreRefusedWithoutReadingThem) {
  for (const char* device : {"/dev/zero", "/dev/null", "/dev/urandom", "/dev/full", "/dev/tty"}) {
    SCOPED_TRACE(device);
    struct stat info {};
    if (::stat(device, &info) != 0 || !S_ISCHR(info.st_mode)) continue;
    LoadWithDeadline(device);
    const std::string name = std::string(device).substr(5);
    ExpectFailurePopUp(name, "Is a character device");
    ExpectKeysHarmlessOnEmptyView();
  }
}

TEST_F(BadFiles, ProcFileThatReportsNoSizeNeitherHangsNorShowsJunk) {
  LoadWithDeadline("/proc/self/status");
  // The kernel makes the text as it is read, reports a size of 0 and
  // cannot seek to its end: the viewer either shows an empty file or says
  // why it cannot open it, and shows no bytes either way.
  EXPECT_EQ(fileSize, 0u);
  EXPECT_TRUE(fileLoaded);
  EXPECT_TRUE(hexColumn->text.empty() || hexColumn->text.find_first_not_of(u" \n") == std::u16string::npos);
  if (OpenBoxes() == 1) {
    EXPECT_NE(ScreenText().find("Failed to open: \"status\""), std::string::npos) << ScreenText();
  }
  ExpectKeysHarmlessOnEmptyView();
  auto reload = std::async(std::launch::async, [] { LoadFile(filePath); });
  ASSERT_EQ(reload.wait_for(kOpenDeadline), std::future_status::ready);
  Frame();
  EXPECT_EQ(fileSize, 0u);
}

TEST_F(BadFiles, FileTruncatedWhileViewed) {
  const std::string path = WriteFile(Counting(4096));
  StartOn(path);
  CtrlKey('A');
  ASSERT_TRUE(selectionActive);
  ASSERT_EQ(selection.length, 4096u);
  Key(VK_NEXT);
  ASSERT_GT(topRow, 0);

  ASSERT_EQ(::truncate(path.c_str(), 0), 0);
  ForgetGridWindow();  // as when the window moves on and reads again

  // Scrolling and selecting show no stale bytes and never crash.
  Key(VK_NEXT);
  Key(VK_END);
  Key(VK_HOME);
  EXPECT_EQ(Cells(kFirstGridRow, kHexX, 2), "  ") << Row(kFirstGridRow);
  ClickByte(5);
  ShiftClickByte(50);
  Key(VK_RIGHT);
  console->PushWheel(40, 5, -2);
  Frame(2);

  // Copying reads nothing: the clipboard holds no made-up bytes.
  CtrlKey('A');
  console->clipboard = u"untouched";
  CtrlKey('C');
  ASSERT_TRUE(console->clipboard.has_value());
  EXPECT_TRUE(console->clipboard->empty()) << kelm::port::ToUtf8(*console->clipboard);

  // Exporting writes only what the file still holds.
  const std::string target = PathOf("export.bin");
  console->saveDialogAnswers.push_back(target);
  ExportSelection();
  Frame(2);
  std::error_code error;
  const auto exported = std::filesystem::file_size(target, error);
  if (!error) {
    EXPECT_EQ(exported, 0u);
  }

  // Reloading takes the new size; the view and the keys work on it.
  Key(VK_ESCAPE);
  CtrlKey('R');
  EXPECT_EQ(fileSize, 0u);
  Key(VK_DOWN);
  CtrlKey('A');
  // Ctrl+A on the now empty file leaves no selection of zero bytes behind.
  EXPECT_FALSE(selectionActive && selection.length == 0);

  // And the file grows again: a reload shows the new bytes.
  {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << "ABC";
  }
  CtrlKey('R');
  EXPECT_EQ(fileSize, 3u);
  Key(VK_HOME);
  EXPECT_EQ(Cells(kFirstGridRow, kHexX, 8), "41 42 43");
}

TEST_F(BadFiles, FileDeletedWhileViewedKeepsShowingItsBytes) {
  const std::string path = WriteFile(Counting(300));
  StartOn(path);
  ASSERT_EQ(::unlink(path.c_str()), 0);
  ForgetGridWindow();
  Key(VK_NEXT);
  Key(VK_HOME);
  // The open stream still reads the unlinked file.
  EXPECT_EQ(Cells(kFirstGridRow, kHexX, 8), "00 01 02");
  ClickByte(0x41);
  ShiftClickByte(0x43);
  console->clipboard.reset();
  CtrlKey('C');
  ASSERT_TRUE(console->clipboard.has_value());
  EXPECT_EQ(kelm::port::ToUtf8(*console->clipboard), "ABC");

  // Reloading finds nothing and says so; the view is empty.
  CtrlKey('R');
  EXPECT_EQ(OpenBoxes(), 1u);
  EXPECT_NE(ScreenText().find("No such file or directory"), std::string::npos) << ScreenText();
  EXPECT_EQ(fileSize, 0u);
  ExpectKeysHarmlessOnEmptyView();
}

TEST_F(BadFiles, PathWithInvalidUtf8Opens) {
  const std::string name = std::string("bad-\xff\xfe-\xc3(-\xed\xa0\x80.bin");
  const std::string path = WriteFile({0x10, 0x20, 0x30}, name);
  StartOn(path);
  EXPECT_EQ(OpenBoxes(), 0u) << ScreenText();
  EXPECT_EQ(fileSize, 3u);
  EXPECT_EQ(filePath, path);  // the raw bytes are kept, not a re-encoding
  EXPECT_EQ(Cells(kFirstGridRow, kHexX, 8), "10 20 30");
  // The title names the file with stand-ins for the bytes that are not UTF-8.
  EXPECT_NE(console->title.find(u"bad-"), std::u16string::npos);
  EXPECT_NE(console->title.find(u".bin"), std::u16string::npos);
  for (char16_t unit : console->title) {
    EXPECT_FALSE(unit >= 0xD800 && unit <= 0xDFFF) << "a lone surrogate in the title";
  }
  CtrlKey('R');
  EXPECT_EQ(fileSize, 3u);
  EXPECT_EQ(OpenBoxes(), 0u);
}

TEST_F(BadFiles, MissingFileWithInvalidUtf8NameIsReported) {
  StartOn(PathOf("gone-\xff.bin"));
  EXPECT_EQ(OpenBoxes(), 1u);
  EXPECT_NE(ScreenText().find("No such file or directory"), std::string::npos) << ScreenText();
  ExpectKeysHarmlessOnEmptyView();
}

TEST_F(BadFiles, PathOfFourThousandCharactersIsReported) {
  const std::string path = PathOf(std::string(4000 - directory.string().size() - 1, 'x'));
  ASSERT_EQ(path.size(), 4000u);
  LoadWithDeadline(path);
  const std::string screen = ScreenText();
  EXPECT_EQ(OpenBoxes(), 1u) << screen;
  // The reason stays on screen: the name is shortened in the middle.
  EXPECT_NE(screen.find("File name too long"), std::string::npos) << screen;
  const std::string shortened = std::string(22, 'x') + "..." + std::string(22, 'x');
  EXPECT_NE(screen.find("Failed to open: \"" + shortened + "\""), std::string::npos) << screen;
  EXPECT_EQ(fileSize, 0u);
  // The pop-up fits the screen whatever the name's length.
  EXPECT_EQ(console->frameWidth, 118);
  EXPECT_EQ(console->frameHeight, 30);
  ExpectKeysHarmlessOnEmptyView();
}

TEST_F(BadFiles, PathLongerThanTheSystemAllowsIsReported) {
  // Many short folders: every name is short, the whole path is too long.
  std::string path = directory.string();
  while (path.size() < 5000) path += "/abcdefgh";
  path += "/file.bin";
  LoadWithDeadline(path);
  const std::string screen = ScreenText();
  EXPECT_EQ(OpenBoxes(), 1u) << screen;
  EXPECT_NE(screen.find("File name too long"), std::string::npos) << screen;
  ExpectKeysHarmlessOnEmptyView();
}

}  // namespace
}  // namespace viewer_test
