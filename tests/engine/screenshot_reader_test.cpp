// Reading screenshot files: what the engine's own writer produces comes back
// cell for cell, and broken files (header only, wrong magic or version,
// truncated, sizes that do not match the length, bad colour digits, files
// that are no files) are refused with a message that says why.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/core/screenshot.h"
#include "engine/core/screenshot_reader.h"
#include "engine/port/virtual/virtual_console.h"

namespace {

using KelmCEngineV2::DecodeScreenshot;
using KelmCEngineV2::EncodeScreenshot;
using KelmCEngineV2::ReadScreenshotFile;
using KelmCEngineV2::Screenshot;
using kelm::port::CHAR_INFO;
using kelm::port::ColourTable;

ColourTable SampleColours() {
  ColourTable colours;
  for (int i = 0; i < 16; ++i) {
    colours.rgb[i][0] = static_cast<uint8_t>(i * 17);
    colours.rgb[i][1] = static_cast<uint8_t>(255 - i);
    colours.rgb[i][2] = static_cast<uint8_t>(i * 3 + 1);
  }
  return colours;
}

// Cells of every colour pair and of awkward characters.
std::vector<CHAR_INFO> SampleCells(int count) {
  const char16_t characters[] = {u'A', u' ', 0x1B, 0x00, 0xFFFF, 0xD800, 0x00E9, 0x7F, u'~', 0x4E2D};
  std::vector<CHAR_INFO> cells;
  for (int i = 0; i < count; ++i) {
    cells.push_back(CHAR_INFO{characters[i % 10], static_cast<uint16_t>((i * 7) & 0xFF)});
  }
  return cells;
}

std::string Decode(const std::string& bytes, Screenshot& shot) {
  std::string error;
  if (DecodeScreenshot(bytes, shot, error)) return std::string();
  EXPECT_FALSE(error.empty());
  EXPECT_EQ(error.find('\n'), std::string::npos) << error;
  return error;
}

std::string DecodeError(const std::string& bytes) {
  Screenshot shot;
  const std::string error = Decode(bytes, shot);
  EXPECT_FALSE(error.empty()) << "the bytes were taken as a screenshot";
  return error;
}

// A valid 3 x 2 file.
std::string SmallFile() {
  const ColourTable colours = SampleColours();
  return EncodeScreenshot(SampleCells(6), 3, 2, &colours);
}

void Put16(std::string& bytes, size_t at, uint32_t value) {
  bytes[at] = static_cast<char>(value & 0xFF);
  bytes[at + 1] = static_cast<char>(value >> 8);
}

// --- files the writer made ---------------------------------------------------------------

TEST(ScreenshotReader, EncoderOutputComesBackCellForCell) {
  const ColourTable colours = SampleColours();
  const std::vector<CHAR_INFO> cells = SampleCells(17 * 3);
  Screenshot shot;
  ASSERT_EQ(Decode(EncodeScreenshot(cells, 17, 3, &colours), shot), "");
  EXPECT_EQ(shot.width, 17);
  EXPECT_EQ(shot.height, 3);
  EXPECT_EQ(shot.cells, cells);
  for (int i = 0; i < 16; ++i) {
    for (int c = 0; c < 3; ++c) EXPECT_EQ(shot.colours.rgb[i][c], colours.rgb[i][c]) << i << "," << c;
  }
  EXPECT_EQ(shot.At(16, 2), cells[2 * 17 + 16]);
}

TEST(ScreenshotReader, FileSizeFollowsThePicture) {
  EXPECT_EQ(KelmCEngineV2::ScreenshotFileSize(119, 30), 14339u);
  EXPECT_EQ(KelmCEngineV2::ScreenshotFileSize(0, 30), 59u);
  EXPECT_EQ(KelmCEngineV2::ScreenshotFileSize(65535, 65535), 17179344959ULL);  // beyond 32 bits
}

TEST(ScreenshotReader, AnEmptyPictureIsStillAScreenshot) {
  const ColourTable colours = SampleColours();
  Screenshot shot;
  ASSERT_EQ(Decode(EncodeScreenshot({}, 0, 5, &colours), shot), "");
  EXPECT_EQ(shot.width, 0);
  EXPECT_EQ(shot.height, 5);
  EXPECT_TRUE(shot.cells.empty());
}

TEST(ScreenshotReader, LowerCaseDigitsAreRead) {
  std::string bytes = SmallFile();
  bytes[59 + 12] = 'c';      // foreground of the first cell
  bytes[59 + 12 + 6] = 'a';  // background of the first cell
  Screenshot shot;
  ASSERT_EQ(Decode(bytes, shot), "");
  EXPECT_EQ(shot.cells[0].Attributes, 0xAC);
}

// --- broken files --------------------------------------------------------------------------

TEST(ScreenshotReader, HeaderOnlyCaptureHoldsNoPicture) {
  // What the writer leaves when the console gave no colour table.
  const std::string header = EncodeScreenshot(SampleCells(6), 3, 2, nullptr);
  ASSERT_EQ(header.size(), 7u);
  EXPECT_NE(DecodeError(header).find("no picture"), std::string::npos);
}

TEST(ScreenshotReader, WrongMagicIsNotAScreenshot) {
  std::string bytes = SmallFile();
  bytes[5] = 'H';
  EXPECT_NE(DecodeError(bytes).find("not a screenshot file"), std::string::npos);
  EXPECT_NE(DecodeError("\x89PNG\r\n\x1a\n").find("not a screenshot file"), std::string::npos);
  EXPECT_NE(DecodeError("x").find("not a screenshot file"), std::string::npos);
  EXPECT_NE(DecodeError("").find("empty"), std::string::npos);
}

TEST(ScreenshotReader, UnknownVersionIsRefused) {
  std::string bytes = SmallFile();
  bytes[6] = 3;
  EXPECT_NE(DecodeError(bytes).find("version 3"), std::string::npos);
  // Version 2 is known: with no default-colour mark it is the same picture.
  bytes[6] = 2;
  Screenshot shot;
  ASSERT_EQ(Decode(bytes, shot), "");
  EXPECT_EQ(shot.cells, SampleCells(6));
}

TEST(ScreenshotReader, FileEndingInsideTheHeaderIsTruncated) {
  const std::string bytes = SmallFile();
  for (size_t length : {4u, 6u, 8u, 30u, 58u}) {
    EXPECT_NE(DecodeError(bytes.substr(0, length)).find("ends inside the header"), std::string::npos) << length;
  }
}

TEST(ScreenshotReader, SizesThatDoNotMatchTheLengthAreRefused) {
  const std::string bytes = SmallFile();
  ASSERT_EQ(bytes.size(), 83u);
  EXPECT_EQ(DecodeError(bytes.substr(0, 82)), "truncated: a picture of 3 x 2 cells needs 83 bytes, the file has 82");
  EXPECT_EQ(DecodeError(bytes + "x"), "wrong size: a picture of 3 x 2 cells needs exactly 83 bytes, the file has 84");

  // The header claims a full screen; the file holds 3 x 2 cells.
  std::string claimed = bytes;
  Put16(claimed, 55, 119);
  Put16(claimed, 57, 30);
  EXPECT_NE(DecodeError(claimed).find("119 x 30 cells needs 14339 bytes"), std::string::npos);

  // Width and height swapped give the same length: that is a valid picture.
  std::string swapped = bytes;
  Put16(swapped, 55, 2);
  Put16(swapped, 57, 3);
  Screenshot shot;
  EXPECT_EQ(Decode(swapped, shot), "");
  EXPECT_EQ(shot.width, 2);
}

TEST(ScreenshotReader, PicturesLargerThanAnyTerminalAreRefused) {
  std::string bytes = SmallFile();
  Put16(bytes, 55, 65535);
  Put16(bytes, 57, 65535);
  EXPECT_NE(DecodeError(bytes).find("larger than any terminal"), std::string::npos);

  // Each side on its own, whatever the count of cells: 65535 x 256 has fewer
  // cells than 4096 x 4096 but no console is that wide.
  const std::pair<uint32_t, uint32_t> sizes[] = {{65535, 256}, {2049, 1}, {1, 1025}};
  for (const auto& [width, height] : sizes) {
    std::string header = SmallFile().substr(0, 59);
    Put16(header, 55, width);
    Put16(header, 57, height);
    header.resize(KelmCEngineV2::ScreenshotFileSize(width, height), '7');
    const std::string cells = std::to_string(width) + " x " + std::to_string(height) + " cells";
    EXPECT_EQ(DecodeError(header), "a picture of " + cells +
                                       " is larger than any terminal (a console has at most 2048 columns and "
                                       "1024 rows)");
  }
}

TEST(ScreenshotReader, TheLargestConsoleIsRead) {
  const uint32_t width = KelmCEngineV2::kMaxScreenshotColumns;
  const uint32_t height = KelmCEngineV2::kMaxScreenshotRows;
  std::string bytes = SmallFile().substr(0, 59);
  Put16(bytes, 55, width);
  Put16(bytes, 57, height);
  bytes.resize(KelmCEngineV2::ScreenshotFileSize(width, height), '7');
  Screenshot shot;
  EXPECT_EQ(Decode(bytes, shot), "");
  EXPECT_EQ(shot.width, 2048);
  EXPECT_EQ(shot.height, 1024);
  EXPECT_EQ(shot.At(2047, 1023).Attributes, 0x77);
}

TEST(ScreenshotReader, ColourDigitsMustBeHexadecimal) {
  std::string bytes = SmallFile();
  bytes[59 + 12 + 4] = 'G';  // foreground of row 2, column 2
  EXPECT_EQ(DecodeError(bytes),
            "the foreground colour of the cell in row 2, column 2 is 'G', not a hexadecimal digit");

  bytes = SmallFile();
  bytes[59 + 18 + 2] = '\0';  // background of row 1, column 3
  EXPECT_EQ(DecodeError(bytes),
            "the background colour of the cell in row 1, column 3 is byte 00 hex, not a hexadecimal digit");
}

// --- files on disk ---------------------------------------------------------------------------

class ScreenshotFile : public ::testing::Test {
 protected:
  void SetUp() override {
    dir = std::filesystem::temp_directory_path() /
          ("kelmhex-shot-" + std::to_string(std::random_device{}()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    std::filesystem::create_directories(dir);
  }
  void TearDown() override {
    std::error_code ignored;
    std::filesystem::current_path(startDir, ignored);
    std::filesystem::remove_all(dir, ignored);
    KelmCEngineV2::ResetEngineGlobalsForTests();
  }

  std::string Write(const std::string& name, const std::string& bytes) {
    const std::filesystem::path path = dir / name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path.string();
  }

  std::string ReadError(const std::string& path) {
    Screenshot shot;
    std::string error;
    EXPECT_FALSE(ReadScreenshotFile(path, shot, error)) << path;
    EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    return error;
  }

  std::filesystem::path dir;
  std::filesystem::path startDir = std::filesystem::current_path();
};

TEST_F(ScreenshotFile, F2InTheFrameLoopWritesAFileThatReadsBack) {
  kelm::port::VirtualConsole console(21, 4);
  console.colours = SampleColours();
  kelm::port::SetPort(&console);
  std::filesystem::current_path(dir);  // captures go to the working directory
  {
    KelmCEngineV2::Engine engine(false, false);
    engine.SetupConsole();
    auto* object = new KelmCEngineV2::Object(KelmCEngineV2::Vector2(2.0f, -1.0f), std::u16string(u"Hi\u00e9"));
    object->anchor = KelmCEngineV2::kAnchorTopLeft;
    object->FillForeground('E');
    object->FillBackground('1');
    engine.objectsLayer->AddObject(object);
    console.PushKey(kelm::port::VK_F2);
    ASSERT_TRUE(engine.RunFrame());

    std::vector<std::filesystem::path> files;
    for (const auto& entry : std::filesystem::directory_iterator(dir)) files.push_back(entry.path());
    ASSERT_EQ(files.size(), 1u);
    EXPECT_EQ(files[0].filename().string().rfind("screenshot-", 0), 0u);
    EXPECT_EQ(files[0].extension(), ".ss");
    Screenshot shot;
    std::string error;
    ASSERT_TRUE(ReadScreenshotFile(files[0].string(), shot, error)) << error;
    EXPECT_EQ(shot.width, console.frameWidth);
    EXPECT_EQ(shot.height, console.frameHeight);
    EXPECT_EQ(shot.cells, console.frame);
    EXPECT_EQ(shot.At(2, 1).UnicodeChar, u'H');
    EXPECT_EQ(shot.At(4, 1).UnicodeChar, u'\u00e9');
    EXPECT_EQ(shot.At(2, 1).Attributes, 0x1E);
    EXPECT_EQ(shot.colours.rgb[9][2], console.colours.rgb[9][2]);
  }
}

// The capture's name is predictable: a link planted there by someone else
// is replaced by the capture, and the file it points at is left alone.
TEST_F(ScreenshotFile, F2ReplacesALinkPlantedAtItsNameWithoutFollowingIt) {
  kelm::port::VirtualConsole console(21, 4);
  kelm::port::SetPort(&console);
  console.now = 1'700'000'000'000;
  std::filesystem::current_path(dir);
  const std::string victim = Write("victim", "precious");
  const std::string name = KelmCEngineV2::ScreenshotFileName(static_cast<std::time_t>(console.now / 1000));
  std::filesystem::create_symlink(victim, dir / name);
  {
    KelmCEngineV2::Engine engine(false, false);
    engine.SetupConsole();
    console.PushKey(kelm::port::VK_F2);
    ASSERT_TRUE(engine.RunFrame());
  }
  std::ifstream in(victim);
  std::string kept;
  std::getline(in, kept);
  EXPECT_EQ(kept, "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(dir / name));
  Screenshot shot;
  std::string error;
  EXPECT_TRUE(ReadScreenshotFile((dir / name).string(), shot, error)) << error;
}

TEST_F(ScreenshotFile, HeaderCheckedBeforeAHugeClaimIsRead) {
  // A sparse file of exactly the length a 4097 x 4096 picture needs: valid
  // in form, but larger than any terminal, and refused without reading it.
  std::string header = SmallFile().substr(0, 59);
  Put16(header, 55, 4097);
  Put16(header, 57, 4096);
  const std::string path = Write("huge.ss", header);
  std::filesystem::resize_file(path, KelmCEngineV2::ScreenshotFileSize(4097, 4096));
  EXPECT_NE(ReadError(path).find("larger than any terminal"), std::string::npos);
}

TEST_F(ScreenshotFile, BrokenFilesOnDiskGiveTheSameMessages) {
  const std::string bytes = SmallFile();
  EXPECT_NE(ReadError(Write("header.ss", bytes.substr(0, 7))).find("no picture"), std::string::npos);
  EXPECT_NE(ReadError(Write("magic.ss", "KELMSH" + bytes.substr(6))).find("not a screenshot"), std::string::npos);
  EXPECT_NE(ReadError(Write("short.ss", bytes.substr(0, 70))).find("truncated"), std::string::npos);
  EXPECT_NE(ReadError(Write("long.ss", bytes + "trailing")).find("wrong size"), std::string::npos);
  EXPECT_NE(ReadError(Write("empty.ss", "")).find("empty"), std::string::npos);

  Screenshot shot;
  std::string error;
  EXPECT_TRUE(ReadScreenshotFile(Write("good.ss", bytes), shot, error)) << error;
  EXPECT_EQ(shot.cells, SampleCells(6));
}

TEST_F(ScreenshotFile, ThingsThatAreNotFilesAreRefused) {
  EXPECT_NE(ReadError((dir / "missing.ss").string()).find("cannot open"), std::string::npos);
  EXPECT_NE(ReadError(dir.string()).find("directory"), std::string::npos);
  // A FIFO would block a reader forever; it is refused before it is opened.
  const std::filesystem::path fifo = dir / "pipe.ss";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_NE(ReadError(fifo.string()).find("not a regular file"), std::string::npos);
}

}  // namespace
