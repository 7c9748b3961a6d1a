// Loading files, reporting failed opens and reading byte ranges.
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <fcntl.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <string>

#include "engine/port/utf.h"
#include "tests/viewer/viewer_harness.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

MarkedRange Range(uint64_t start, uint64_t length) {
  MarkedRange range;
  range.start = start;
  range.length = length;
  return range;
}

class FileWindow : public ViewerTest {
 protected:
  // The text of every screen row, joined by line feeds.
  std::string ScreenText() const {
    std::string text;
    for (int row = 0; row < console->frameHeight; ++row) text += console->RowText(row) + "\n";
    return text;
  }

  void ExpectFailurePopUp(const std::string& name, const std::string& reason) {
    EXPECT_EQ(OpenBoxes(), 1u);
    const std::string screen = ScreenText();
    EXPECT_NE(screen.find("Err"), std::string::npos) << screen;
    EXPECT_NE(screen.find("Failed to open: \"" + name + "\""), std::string::npos) << screen;
    EXPECT_NE(screen.find(reason), std::string::npos) << screen;
    EXPECT_EQ(fileSize, 0u);
    EXPECT_TRUE(fileLoaded);
    EXPECT_TRUE(hexColumn->text.empty());
  }
};

TEST_F(FileWindow, ReadRangeClipsToTheFile) {
  Start(Counting(10));
  uint8_t buffer[32];
  std::memset(buffer, 0xEE, sizeof buffer);

  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(6, 10)), 4u) << "runs 6 bytes past the end";
  EXPECT_EQ(buffer[0], 6);
  EXPECT_EQ(buffer[3], 9);
  EXPECT_EQ(buffer[4], 0xEE) << "nothing written past the bytes read";

  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(10, 1)), 0u) << "starts exactly at the end";
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(11, 5)), 0u) << "starts past the end";
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(0, 0)), 0u);
  EXPECT_EQ(buffer[0], 0xEE) << "the buffer is untouched when nothing is read";

  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(0, 10)), 10u);
  EXPECT_EQ(buffer[9], 9);
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(2, 3)), 3u);
  EXPECT_EQ(buffer[0], 2);
  EXPECT_EQ(buffer[2], 4);
}

TEST_F(FileWindow, ReadRangeWithHugeLengthsAndStarts) {
  Start(Counting(10));
  uint8_t buffer[16] = {};
  // start + length wraps past 2^64: clipped by subtraction, not by the sum.
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(3, ~0ULL)), 7u);
  EXPECT_EQ(buffer[0], 3);
  EXPECT_EQ(buffer[6], 9);
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(~0ULL - 1, 5)), 0u);
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(~0ULL, ~0ULL)), 0u);
}

TEST_F(FileWindow, ReadRangeNeverPassesTheCallersCapacity) {
  Start(Counting(100));
  uint8_t buffer[8];
  std::memset(buffer, 0xEE, sizeof buffer);
  EXPECT_EQ(ReadRange(buffer, 4, Range(10, 50)), 4u);
  EXPECT_EQ(buffer[0], 10);
  EXPECT_EQ(buffer[3], 13);
  EXPECT_EQ(buffer[4], 0xEE);
  EXPECT_EQ(ReadRange(nullptr, 4, Range(10, 50)), 0u);
}

TEST_F(FileWindow, FileThatShrankAfterLoading) {
  const std::string path = WriteFile(Counting(100));
  StartOn(path, 39, 10);  // 4 bytes per row
  ASSERT_EQ(fileSize, 100u);
  std::filesystem::resize_file(path, 50);

  uint8_t buffer[32] = {};
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(40, 20)), 10u) << "a short read gives what was read";
  EXPECT_EQ(buffer[0], 40);
  EXPECT_EQ(buffer[9], 49);
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(60, 4)), 0u);
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(1, 2)), 2u) << "the stream stays usable";
  EXPECT_EQ(buffer[0], 1);

  topRow = 11;  // bytes 44 .. 67: 44 .. 49 still exist
  RefreshGrid();
  Frame();
  ExpectScreen(*console, {
                             "     [ File ]    [ Settings ]",
                             "----------------+-------------+-------",
                             "000000000000002C| 2C 2D 2E 2F |, - . /",
                             "0000000000000030| 30 31       |0 1",
                             "0000000000000034|             |",
                             "0000000000000038|             |",
                             "000000000000003C|             |",
                             "0000000000000040|             |",
                             "----------------+-------------+-------",
                             "----------------",
                         });
  EXPECT_EQ(Row(4), "0000000000000034|             |") << "bytes that could not be read are blank";
}

TEST_F(FileWindow, TitleNamesTheFile) {
  Start(Counting(4));
  EXPECT_EQ(console->title, u"KelmHex Viewer - data.bin");
  LoadFile(WriteFile({1, 2}, "a.bin"));
  EXPECT_EQ(console->title, u"KelmHex Viewer - a.bin");
  EXPECT_EQ(fileSize, 2u);
}

TEST_F(FileWindow, PathWithoutSeparatorIsTheWholeName) {
  StartOn("kelmhex-no-such-file.bin");
  EXPECT_EQ(console->title, u"KelmHex Viewer - kelmhex-no-such-file.bin");
  ExpectFailurePopUp("kelmhex-no-such-file.bin", "No such file or directory");
}

// The viewed file stays open while the viewer runs; no program started from
// it (Open With, a clipboard tool) may inherit that descriptor.
TEST_F(FileWindow, TheViewedFileIsOpenCloseOnExec) {
  const std::string path = WriteFile(Counting(64));
  StartOn(path);
  ASSERT_TRUE(viewedFile.IsOpen());
  int found = 0;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    if (std::filesystem::read_symlink(entry.path(), error) != std::filesystem::canonical(path) || error) continue;
    ++found;
    const int fd = std::stoi(entry.path().filename().string());
    EXPECT_NE(fcntl(fd, F_GETFD) & FD_CLOEXEC, 0) << "descriptor " << fd;
  }
  EXPECT_EQ(found, 1);
}

TEST_F(FileWindow, MissingFileIsReported) {
  StartOn(PathOf("missing.bin"));
  EXPECT_EQ(console->title, u"KelmHex Viewer - missing.bin") << "the title is set before the open";
  ExpectFailurePopUp("missing.bin", "No such file or directory");
  EXPECT_FALSE(viewedFile.IsOpen());
  uint8_t buffer[4];
  EXPECT_EQ(ReadRange(buffer, sizeof buffer, Range(0, 4)), 0u);
}

TEST_F(FileWindow, DirectoryIsReported) {
  std::filesystem::create_directory(PathOf("folder"));
  StartOn(PathOf("folder"));
  ExpectFailurePopUp("folder", "Is a directory");
}

TEST_F(FileWindow, NamedPipeIsReportedWithoutWaitingForAWriter) {
  const std::string path = PathOf("pipe");
  ASSERT_EQ(mkfifo(path.c_str(), 0600), 0) << std::strerror(errno);
  StartOn(path);  // opening the FIFO would block here until a writer came
  ExpectFailurePopUp("pipe", "Is a named pipe (FIFO)");
}

TEST_F(FileWindow, SocketIsReported) {
  const std::string path = PathOf("sock");
  const int fd = socket(AF_UNIX, SOCK_STREAM, 0);
  ASSERT_GE(fd, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  ASSERT_LT(path.size(), sizeof address.sun_path);
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  ASSERT_EQ(bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0) << std::strerror(errno);
  StartOn(path);
  close(fd);
  ExpectFailurePopUp("sock", "Is a socket");
}

TEST_F(FileWindow, CharacterDeviceIsReported) {
  StartOn("/dev/zero");  // reading it would never end
  ExpectFailurePopUp("zero", "Is a character device");
}

TEST_F(FileWindow, FailedLoadThenGoodLoad) {
  StartOn(PathOf("missing.bin"));
  ASSERT_EQ(fileSize, 0u);
  LoadFile(WriteFile({0x41, 0x42, 0x43}));
  Frame();
  EXPECT_EQ(fileSize, 3u);
  EXPECT_EQ(Cells(2, 18, 8), "41 42 43");
}

TEST_F(FileWindow, ReloadKeepsViewSelectionAndMarks) {
  const std::string path = WriteFile(Counting(200));
  StartOn(path, 39, 10);
  topRow = 3;
  RefreshGrid();
  ClickByte(13);
  MarkedRange mark;
  mark.start = 12;
  mark.length = 2;
  mark.background = '2';
  markedRanges.push_back(mark);

  std::vector<uint8_t> shorter(40, 0x58);
  WriteFile(shorter);
  CtrlKey('R');
  EXPECT_EQ(fileSize, 40u);
  EXPECT_EQ(topRow, 3);
  EXPECT_TRUE(selectionActive);
  EXPECT_EQ(selection.start, 13u);
  ASSERT_EQ(markedRanges.size(), 1u);
  // The mark (background 2) and the selection (4) are painted again.
  ExpectScreen(*console,
               {
                   "     [ File ]    [ Settings ]",
                   "----------------+-------------+-------",
                   "000000000000000C| 58 58 58 58 |X X X X",
                   "0000000000000010| 58 58 58 58 |X X X X",
                   "0000000000000014| 58 58 58 58 |X X X X",
                   "0000000000000018| 58 58 58 58 |X X X X",
                   "000000000000001C| 58 58 58 58 |X X X X",
                   "0000000000000020| 58 58 58 58 |X X X X",
                   "----------------+-------------+-------",
                   "000000000000000D  len: 000000000000000",
               },
               {}, {"", "", "000000000000000000222440000000022400000"});
}

TEST_F(FileWindow, SparseTebibyteFileOpensAtOnce) {
  constexpr uint64_t kTebibyte = 1ULL << 40;
  const std::string path = SparseFile(kTebibyte, kTebibyte - 2, {0x4F, 0x4B});
  const auto began = std::chrono::steady_clock::now();
  StartOn(path, 39, 10);
  EXPECT_EQ(fileSize, kTebibyte);
  Key(kelm::port::VK_END);
  const auto took = std::chrono::steady_clock::now() - began;
  EXPECT_EQ(topRow, static_cast<int64_t>((kTebibyte - 1) / 4));
  ExpectScreen(*console, {
                             "     [ File ]    [ Settings ]",
                             "----------------+-------------+-------",
                             "000000FFFFFFFFFC| 00 00 4F 4B |. . O K",
                             "0000010000000000|             |",
                             "0000010000000004|             |",
                             "0000010000000008|             |",
                             "000001000000000C|             |",
                             "0000010000000010|             |",
                             "----------------+-------------+-------",
                             "----------------",
                         });
  EXPECT_LT(took, std::chrono::seconds(2));
}

}  // namespace
}  // namespace viewer_test
