// Streaming export: exact bytes in chunks, the temporary file beside the
// target and its rename, cancelling, short reads, failures, and the
// progress box with Esc on the virtual console.
#include "ui/export.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/port/console_port.h"
#include "engine/port/utf.h"
#include "engine/port/virtual/virtual_console.h"

namespace {

namespace fs = std::filesystem;
using kelm::port::VirtualConsole;

std::vector<uint8_t> ReadBytes(const fs::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::vector<uint8_t> Pattern(size_t count) {
  std::vector<uint8_t> bytes(count);
  for (size_t i = 0; i < count; ++i) bytes[i] = static_cast<uint8_t>(i * 7 + i / 251);
  return bytes;
}

// Reads from an in-memory source, noting the largest request.
struct Source {
  std::vector<uint8_t> bytes;
  uint64_t largestRequest = 0;
  uint64_t reads = 0;
  ExportReader Reader() {
    return [this](uint8_t* buffer, uint64_t capacity, uint64_t offset) -> uint64_t {
      ++reads;
      largestRequest = std::max(largestRequest, capacity);
      if (offset >= bytes.size()) return 0;
      const uint64_t count = std::min<uint64_t>(capacity, bytes.size() - offset);
      std::copy(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                bytes.begin() + static_cast<std::ptrdiff_t>(offset + count), buffer);
      return count;
    };
  }
};

class ExportTest : public ::testing::Test {
 protected:
  void SetUp() override {
    folder = fs::temp_directory_path() / ("kelmhex-export-" + std::to_string(std::random_device{}()));
    fs::create_directories(folder);
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(folder, ignored);
  }
  // Names in the folder (the temporary files must not stay).
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const auto& item : fs::directory_iterator(folder)) names.push_back(item.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
  }

  fs::path folder;
};

TEST_F(ExportTest, WritesEveryByteInChunksAndNothingElse) {
  Source source{Pattern(1000)};
  std::vector<uint64_t> progress;
  const ExportResult result = ExportBytes(
      (folder / "out.bin").string(), 1000, source.Reader(),
      [&](uint64_t done, uint64_t total) {
        EXPECT_EQ(total, 1000u);
        progress.push_back(done);
        return true;
      },
      64);
  EXPECT_EQ(result.status, ExportStatus::Written);
  EXPECT_EQ(result.written, 1000u);
  EXPECT_EQ(ReadBytes(folder / "out.bin"), source.bytes);
  EXPECT_EQ(source.largestRequest, 64u);
  ASSERT_EQ(progress.size(), 17u);  // before the first chunk and after each of 16
  EXPECT_EQ(progress.front(), 0u);
  EXPECT_EQ(progress[1], 64u);
  EXPECT_EQ(progress.back(), 1000u);
  EXPECT_EQ(Names(), (std::vector<std::string>{"out.bin"}));
}

TEST_F(ExportTest, MemoryStaysAtOneChunkWhateverTheSize) {
  Source source{Pattern(5 << 20)};
  const ExportResult result = ExportBytes((folder / "big.bin").string(), source.bytes.size(), source.Reader());
  EXPECT_EQ(result.status, ExportStatus::Written);
  EXPECT_EQ(source.largestRequest, kExportChunkBytes);
  EXPECT_EQ(source.reads, 5u);
  EXPECT_EQ(fs::file_size(folder / "big.bin"), source.bytes.size());
}

// A source that ends early (the file shrank while it was exported) is a
// failed export, whether the short read is mid-chunk, at a chunk's edge or
// the very first: the old target stays and no temporary file is left.
TEST_F(ExportTest, ASourceThatEndsEarlyFailsAndLeavesTheTarget) {
  for (const size_t available : {size_t{300}, size_t{256}, size_t{0}, size_t{999}}) {
    std::ofstream(folder / "short.bin") << "old";
    Source source{Pattern(available)};
    const ExportResult result = ExportBytes((folder / "short.bin").string(), 1000, source.Reader(), nullptr, 128);
    EXPECT_EQ(result.status, ExportStatus::ShortSource) << available;
    EXPECT_EQ(result.written, available) << "bytes read of the range";
    EXPECT_EQ(ReadBytes(folder / "short.bin"), std::vector<uint8_t>({'o', 'l', 'd'})) << available;
    EXPECT_EQ(Names(), (std::vector<std::string>{"short.bin"})) << available;
  }
}

TEST_F(ExportTest, NothingToWriteMakesAnEmptyFile) {
  Source source;
  const ExportResult result = ExportBytes((folder / "empty.bin").string(), 0, source.Reader());
  EXPECT_EQ(result.status, ExportStatus::Written);
  EXPECT_EQ(fs::file_size(folder / "empty.bin"), 0u);
  EXPECT_EQ(source.reads, 0u);
}

TEST_F(ExportTest, CancelLeavesTheOldTargetAndNoTemporaryFile) {
  std::ofstream(folder / "target.bin") << "old contents";
  Source source{Pattern(1000)};
  int calls = 0;
  const ExportResult result = ExportBytes(
      (folder / "target.bin").string(), 1000, source.Reader(), [&](uint64_t, uint64_t) { return ++calls < 4; }, 100);
  EXPECT_EQ(result.status, ExportStatus::Cancelled);
  EXPECT_EQ(calls, 4);
  EXPECT_EQ(source.reads, 3u);
  std::ifstream in(folder / "target.bin");
  std::string old;
  std::getline(in, old);
  EXPECT_EQ(old, "old contents");
  EXPECT_EQ(Names(), (std::vector<std::string>{"target.bin"}));
}

TEST_F(ExportTest, TargetInAMissingFolderFails) {
  Source source{Pattern(10)};
  const ExportResult result = ExportBytes((folder / "missing" / "out.bin").string(), 10, source.Reader());
  EXPECT_EQ(result.status, ExportStatus::Failed);
  EXPECT_EQ(result.error, ENOENT);
}

TEST_F(ExportTest, TargetBelowAFileFails) {
  std::ofstream(folder / "file") << "x";
  Source source{Pattern(10)};
  const ExportResult result = ExportBytes((folder / "file" / "out.bin").string(), 10, source.Reader());
  EXPECT_EQ(result.status, ExportStatus::Failed);
  EXPECT_EQ(result.error, ENOTDIR);
}

TEST_F(ExportTest, TargetThatIsAFolderFailsAndLeavesNoTemporaryFile) {
  fs::create_directories(folder / "taken" / "inside");
  Source source{Pattern(10)};
  const ExportResult result = ExportBytes((folder / "taken").string(), 10, source.Reader());
  EXPECT_EQ(result.status, ExportStatus::Failed);
  EXPECT_NE(result.error, 0);
  EXPECT_EQ(Names(), (std::vector<std::string>{"taken"}));
}

TEST_F(ExportTest, NewFileGetsTheUsualPermissions) {
  Source source{Pattern(10)};
  const mode_t mask = umask(022);
  ExportBytes((folder / "new.bin").string(), 10, source.Reader());
  umask(mask);
  struct stat info {};
  ASSERT_EQ(stat((folder / "new.bin").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
}

TEST(ExportProgressTextTest, PercentAndMebibytes) {
  EXPECT_EQ(ExportProgressText(0, uint64_t{100} << 20), u"Exporting 0%  (0 of 100 MiB)");
  EXPECT_EQ(ExportProgressText(uint64_t{50} << 20, uint64_t{100} << 20), u"Exporting 50%  (50 of 100 MiB)");
  EXPECT_EQ(ExportProgressText(uint64_t{3} << 40, uint64_t{3} << 40), u"Exporting 100%  (3145728 of 3145728 MiB)");
}

// --- the progress box on the console --------------------------------------------------

// A console that can be told that the program was asked to quit.
class QuittingConsole : public VirtualConsole {
 public:
  using VirtualConsole::VirtualConsole;
  bool TakeQuitRequest(int& status) override {
    if (!quit) return false;
    status = 143;
    return true;
  }
  bool quit = false;
};

class ExportScreenTest : public ExportTest {
 protected:
  void SetUp() override {
    ExportTest::SetUp();
    KelmCEngineV2::ResetEngineGlobalsForTests();
    console = std::make_unique<QuittingConsole>(60, 12);
    kelm::port::SetPort(console.get());
    engine = new KelmCEngineV2::Engine(false, /*startThread=*/false);
    engine->SetupConsole();
    ASSERT_TRUE(engine->RunFrame());
  }
  void TearDown() override {
    delete engine;
    KelmCEngineV2::ResetEngineGlobalsForTests();
    ExportTest::TearDown();
  }

  std::string Row(int row) const {
    std::string text = console->RowText(row);
    text.erase(text.find_last_not_of(' ') + 1);
    return text;
  }

  ExportScreenOptions SmallSteps() const {
    ExportScreenOptions options;
    options.progressFromBytes = 100;
    options.chunkBytes = 100;
    options.redrawEveryMs = 0;
    return options;
  }

  std::unique_ptr<QuittingConsole> console;
  KelmCEngineV2::Engine* engine = nullptr;
};

TEST_F(ExportScreenTest, LargeExportDrawsItsProgressOverTheFrame) {
  Source source{Pattern(1000)};
  std::vector<std::string> seen;
  const ExportReader read = source.Reader();
  const ExportReader noting = [&](uint8_t* buffer, uint64_t capacity, uint64_t offset) {
    seen.push_back(Row(5));
    return read(buffer, capacity, offset);
  };
  const int framesBefore = console->framesWritten;
  const ExportResult result = ExportWithProgress((folder / "out.bin").string(), 1000, noting, SmallSteps());
  EXPECT_EQ(result.status, ExportStatus::Written);
  EXPECT_EQ(ReadBytes(folder / "out.bin"), source.bytes);
  EXPECT_EQ(console->framesWritten - framesBefore, 11);  // at the start and after each chunk
  // A 42 x 5 box in the middle of the 59 x 12 frame, rows 4 to 8.
  ASSERT_FALSE(seen.empty());
  EXPECT_EQ(seen.front(), "        | Exporting 0%  (0 of 0 MiB)             |");
  EXPECT_EQ(Row(4), "        +----------------------------------------+");
  EXPECT_EQ(Row(6), "        | [####################################] |");
  EXPECT_EQ(Row(7), "        | Esc: cancel                            |");
  EXPECT_EQ(Row(8), "        +----------------------------------------+");
}

TEST_F(ExportScreenTest, EscCancelsAndRemovesTheTemporaryFile) {
  Source source{Pattern(1000)};
  int reads = 0;
  const ExportReader read = source.Reader();
  const ExportReader pressingEsc = [&](uint8_t* buffer, uint64_t capacity, uint64_t offset) {
    if (++reads == 3) console->PushKey(kelm::port::VK_ESCAPE, 0x1B);
    return read(buffer, capacity, offset);
  };
  const ExportResult result = ExportWithProgress((folder / "out.bin").string(), 1000, pressingEsc, SmallSteps());
  EXPECT_EQ(result.status, ExportStatus::Cancelled);
  EXPECT_EQ(reads, 3);
  EXPECT_TRUE(Names().empty());
  EXPECT_FALSE(engine->QuitRequested());
}

TEST_F(ExportScreenTest, OtherKeysDoNotCancel) {
  Source source{Pattern(1000)};
  console->PushKey('A', 'a');
  console->PushKey(kelm::port::VK_RETURN, '\r');
  const ExportResult result =
      ExportWithProgress((folder / "out.bin").string(), 1000, source.Reader(), SmallSteps());
  EXPECT_EQ(result.status, ExportStatus::Written);
}

TEST_F(ExportScreenTest, QuitRequestCancelsAndEndsTheFrameLoop) {
  Source source{Pattern(1000)};
  console->quit = true;
  const ExportResult result =
      ExportWithProgress((folder / "out.bin").string(), 1000, source.Reader(), SmallSteps());
  EXPECT_EQ(result.status, ExportStatus::Cancelled);
  EXPECT_TRUE(engine->QuitRequested());
  EXPECT_EQ(engine->ExitStatus(), 143);
  EXPECT_TRUE(Names().empty());
}

TEST_F(ExportScreenTest, SmallExportLeavesTheInputAndTheScreenAlone) {
  Source source{Pattern(99)};
  console->PushKey(kelm::port::VK_ESCAPE, 0x1B);
  const int framesBefore = console->framesWritten;
  const ExportResult result = ExportWithProgress((folder / "out.bin").string(), 99, source.Reader(), SmallSteps());
  EXPECT_EQ(result.status, ExportStatus::Written);
  EXPECT_EQ(console->framesWritten, framesBefore);
  EXPECT_GT(console->PendingInputCount(), 0u) << "the Esc is left for the viewer";
}

}  // namespace
