// The viewer on bytes that come on a pipe: the grid, End and the size grow
// as they arrive, the "input" field says whether more is coming, Reload and
// Open With say why they cannot act, and what arrived is there byte for
// byte however much came.
#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstring>
#include <thread>

#include "tests/viewer/viewer_harness.h"
#include "viewer/input_pipe.h"
#include "viewer/search.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

using kelm::port::InputSpool;
using kelm::port::SpoolState;

class PipeView : public ViewerTest {
 protected:
  // The viewer on a pipe, on a console of `columns` x `rows` cells.
  void StartPipe(int columns = 41, int rows = 8) {
    ViewerHarness::Stop();
    showFileMap = fileMapShown;
    ASSERT_EQ(pipe2(fds, O_CLOEXEC), 0);
    console = std::make_unique<VirtualConsole>(columns, rows);
    kelm::port::SetPort(console.get());
    engine = new Engine(false, /*startThread=*/false);
    engine->SetupConsole();
    ASSERT_EQ(spool.Create(directory.string()), 0);
    BuildViewerOnPipe(*engine, spool, fds[0]);
    Frame();
  }
  void Stop() override {
    StopViewingPipe();  // the spool's thread ends before the engine goes
    ViewerHarness::Stop();
    for (int& fd : fds) {
      if (fd >= 0) close(fd);
      fd = -1;
    }
  }

  // Writes the bytes into the pipe and runs frames until the viewer has
  // taken them (the spool's thread copies them meanwhile).
  void Feed(const std::string& bytes) {
    ASSERT_EQ(write(fds[1], bytes.data(), bytes.size()), static_cast<ssize_t>(bytes.size()));
    fed += bytes.size();
    ASSERT_TRUE(WaitFor([&] { return fileSize == fed; })) << "fed " << fed << ", viewed " << fileSize;
    Frame(2);
  }
  void EndInput() {
    close(fds[1]);
    fds[1] = -1;
    ASSERT_TRUE(WaitFor([&] { return spool.Progress().state == SpoolState::Ended; }));
    Frame(2);
  }
  // Runs frames until `done` holds (the spool's thread works meanwhile).
  bool WaitFor(const std::function<bool()>& done) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!done()) {
      if (std::chrono::steady_clock::now() > deadline) return false;
      if (!engine->RunFrame()) return false;
      std::this_thread::sleep_for(std::chrono::microseconds(200));
    }
    return true;
  }

  InputSpool spool;
  int fds[2] = {-1, -1};
  uint64_t fed = 0;
};

// 41 x 8: four bytes per row, four grid rows.
TEST_F(PipeView, BytesShowAsTheyComeAndTheStatusSaysWhenTheInputEnded) {
  StartPipe();
  EXPECT_EQ(console->title, u"KelmHex Viewer - (standard input)");
  ExpectScreen(*console, {
                             "     [ File ]    [ Settings ]",
                             "----------------+-------------+---------",
                             "                |             |",
                             "                |             |",
                             "                |             |",
                             "                |             |",
                             "----------------+-------------+---------",
                             "----------------  input: arriving, 0 byt",
                         });
  Feed("Hi!\n");
  Feed("12");
  ExpectScreen(*console, {
                             "     [ File ]    [ Settings ]",
                             "----------------+-------------+---------",
                             "0000000000000000| 48 69 21 0A |H i ! .",
                             "0000000000000004| 31 32       |1 2",
                             "0000000000000008|             |",
                             "000000000000000C|             |",
                             "----------------+-------------+---------",
                             "----------------  input: arriving, 6 byt",
                         });
  EXPECT_EQ(StatusText(), "input: arriving, 6 byt") << "cut at the screen's edge";
  EXPECT_EQ(kelm::port::ToUtf8(statusFields.front().value), "arriving, 6 bytes so far");
  // While nothing comes, though the pipe is open, the frames settle into a
  // wait without a time-out: nothing polls for more.
  EXPECT_TRUE(WaitFor([&] { return engine->LastWaitMs() == kelm::port::kWaitForever; }));
  EndInput();
  EXPECT_EQ(kelm::port::ToUtf8(statusFields.front().value), "ended, 6 bytes");
  EXPECT_EQ(fileSize, 6u);
}

TEST_F(PipeView, EndFollowsTheGrowingSizeAndTheFieldStaysBesideASelection) {
  StartPipe(119, 8);  // 20 bytes per row, four rows
  Feed(std::string(100, 'a'));
  Key(kelm::port::VK_END);
  EXPECT_EQ(Cells(2, 0, 16), "0000000000000050") << "the last row, at offset 80";
  Feed(std::string(100, 'b'));
  EXPECT_EQ(Cells(2, 0, 16), "0000000000000050") << "the view stays where it was";
  Key(kelm::port::VK_END);
  EXPECT_EQ(Cells(2, 0, 16), "00000000000000B4") << "End goes to the new last row (offset 180)";
  ExpectScreen(*console, {
                             "     [ File ]    [ Settings ]",
                             "----------------+-------------------------------------------------------------+---------------------------------------",
                             "00000000000000B4| 62 62 62 62 62 62 62 62 62 62 62 62 62 62 62 62 62 62 62 62 |b b b b b b b b b b b b b b b b b b b b",
                             "00000000000000C8|                                                             |",
                             "00000000000000DC|                                                             |",
                             "00000000000000F0|                                                             |",
                             "----------------+-------------------------------------------------------------+---------------------------------------",
                             "----------------  input: arriving, 200 bytes so far",
                         });
  ClickByte(199);
  EXPECT_EQ(StatusText(), "input: arriving, 200 bytes so far  len: 0000000000000001 1  dec: 98 LE u8  bin: 01100010");
  RightClick(HexX(199), RowOf(199));
  EXPECT_EQ(StatusText(), "input: arriving, 200 bytes so far") << "the field stays when the selection goes";
}

TEST_F(PipeView, ReloadAndOpenWithSayWhyTheyCannotAct) {
  StartPipe(119, 20);
  Feed("data");
  CtrlKey('R');
  ASSERT_EQ(OpenBoxes(), 1u);
  std::string screen = screen_test::Picture(Screen());
  EXPECT_NE(screen.find("Reload needs a file, and these bytes came from a pipe."), std::string::npos) << screen;
  EXPECT_EQ(fileSize, 4u) << "the bytes stay";
  EXPECT_TRUE(ViewingPipe());
  CloseAllMenus();
  Frame(2);
  CtrlKey('O');
  screen = screen_test::Picture(Screen());
  EXPECT_NE(screen.find("Open With needs a file"), std::string::npos) << screen;
  EXPECT_TRUE(console->openWithPaths.empty()) << "no program is asked for";
}

TEST_F(PipeView, AFastStreamArrivesWholeAndIsSearchedAsItStands) {
  StartPipe(119, 30);
  constexpr size_t kChunk = 1 << 16;
  constexpr size_t kChunks = 512;  // 32 MiB
  // Each chunk holds its own number, so a lost, doubled or swapped chunk shows.
  auto chunkOf = [](size_t index) {
    std::string chunk(kChunk, '\0');
    for (size_t i = 0; i < kChunk; ++i) chunk[i] = static_cast<char>((index * 131 + i * 7) & 0xFF);
    std::memcpy(chunk.data(), &index, sizeof index);
    return chunk;
  };
  std::thread writer([&] {
    for (size_t index = 0; index < kChunks; ++index) {
      const std::string chunk = chunkOf(index);
      size_t done = 0;
      while (done < chunk.size()) {
        const ssize_t n = write(fds[1], chunk.data() + done, chunk.size() - done);
        if (n <= 0) return;
        done += static_cast<size_t>(n);
      }
    }
    close(fds[1]);
    fds[1] = -1;
  });
  const bool ended = WaitFor([&] { return spool.Progress().state == SpoolState::Ended && fileSize == kChunk * kChunks; });
  writer.join();
  ASSERT_TRUE(ended);
  Frame(2);
  EXPECT_EQ(kelm::port::ToUtf8(statusFields.front().value), "ended, 33554432 bytes");

  std::vector<uint8_t> read(kChunk);
  for (size_t index = 0; index < kChunks; ++index) {
    MarkedRange range;
    range.start = index * kChunk;
    range.length = kChunk;
    ASSERT_EQ(ReadRange(read.data(), read.size(), range), kChunk);
    const std::string expected = chunkOf(index);
    ASSERT_EQ(std::memcmp(read.data(), expected.data(), kChunk), 0) << "chunk " << index;
  }

  // The number of the last chunk is found where it was written.
  SearchPattern pattern;
  const size_t last = kChunks - 1;
  pattern.bytes.assign(reinterpret_cast<const uint8_t*>(&last), reinterpret_cast<const uint8_t*>(&last) + sizeof last);
  pattern.bytes.push_back(static_cast<uint8_t>((last * 131 + 8 * 7) & 0xFF));
  pattern.display = u"last";
  StartSearch(pattern, 0, SearchDirection::Forward);
  ASSERT_TRUE(WaitFor([] { return !SearchRunning(); }));
  ASSERT_TRUE(selectionActive);
  EXPECT_EQ(selection.start, last * kChunk);
}

TEST_F(PipeView, OpeningAFileLeavesThePipe) {
  StartPipe(119, 10);
  Feed("abc");
  const std::string path = WriteFile({1, 2, 3, 4, 5});
  LoadFile(path);
  Frame(2);
  EXPECT_FALSE(ViewingPipe());
  EXPECT_EQ(fileSize, 5u);
  EXPECT_EQ(StatusText(), "") << "the input field went with the pipe";
  ASSERT_EQ(write(fds[1], "more", 4), 4);
  Frame(2);
  EXPECT_EQ(fileSize, 5u) << "the pipe no longer grows the view";
}

TEST(PipeProgress, EachStateSaysWhatHappenedAndHowManyBytesThereAre) {
  using kelm::port::SpoolProgress;
  const auto text = [](SpoolState state, uint64_t size, int error = 0) {
    SpoolProgress progress;
    progress.state = state;
    progress.size = size;
    progress.error = error;
    return kelm::port::ToUtf8(PipeProgressText(progress));
  };
  EXPECT_EQ(text(SpoolState::Arriving, 1), "arriving, 1 byte so far");
  EXPECT_EQ(text(SpoolState::Ended, 18446744073709551615u), "ended, 18446744073709551615 bytes");
  EXPECT_EQ(text(SpoolState::ReadFailed, 10, EIO), "reading failed (" + std::string(std::strerror(EIO)) + "), 10 bytes kept");
  EXPECT_EQ(text(SpoolState::WriteFailed, 0, ENOSPC),
            "spooling stopped (" + std::string(std::strerror(ENOSPC)) + "), 0 bytes kept");
}

}  // namespace
}  // namespace viewer_test
