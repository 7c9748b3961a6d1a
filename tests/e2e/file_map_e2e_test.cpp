// The file map's scrollbar in tmux, through the real program and real SGR
// mouse reports: on 120 x 30 the engine draws 119 columns, 20 bytes per row
// beside the bar in column 118, which has one cell per grid row (26). The
// file is a 1 TiB sparse file, so every cell stands for 1/26 TiB.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/cell_colours.h"
#include "tests/e2e/viewer_on_tmux.h"

namespace kelm::e2e {
namespace {

constexpr int kBarX = 118;
constexpr int kBarCells = 26;
constexpr char kThumb[] = "\u2503";

class FileMapEndToEnd : public ViewerOnTmux {
 protected:
  FileMapEndToEnd() : ViewerOnTmux("kelmhex-file-map-e2e-") {}

  void OpenTebibyte() {
    const std::string path = (directory / "huge.bin").string();
    { std::ofstream create(path, std::ios::binary); }
    std::filesystem::resize_file(path, uint64_t{1} << 40);
    OpenPath(path, "0000000000000000|");
  }

  // Waits until the grid's first row starts at `offset` (16 hex digits) and
  // the thumb stands on `cell` alone.
  bool Shows(const std::string& offset, int cell) {
    return terminal->WaitForScreen([&](const std::vector<std::string>& rows) {
      if (rows.size() < static_cast<size_t>(kFirstGridRow + kBarCells)) return false;
      if (rows[kFirstGridRow].rfind(offset + "|", 0) != 0) return false;
      for (int c = 0; c < kBarCells; ++c) {
        const std::string& row = rows[static_cast<size_t>(kFirstGridRow + c)];
        const bool thumb = row.size() >= 3 && row.compare(row.size() - 3, 3, kThumb) == 0;
        if (thumb != (c == cell)) return false;
      }
      return true;
    });
  }
};

TEST_F(FileMapEndToEnd, ClickDragAndWheelOnTheBarOfATebibyteFile) {
  OpenTebibyte();
  ASSERT_TRUE(Shows("0000000000000000", 0)) << terminal->ScreenText();

  // The middle cell: the first row that starts at or after 2^39.
  terminal->Click(kBarX, kFirstGridRow + 13);
  ASSERT_TRUE(Shows("000000800000000C", 13)) << terminal->ScreenText();

  // Held on the thumb and dragged below the bar: the last cell.
  terminal->Press(kBarX, kFirstGridRow + 13);
  terminal->SendBytes(DragTo(kBarX, kFirstGridRow + kBarCells + 1));
  ASSERT_TRUE(Shows("000000F62762762C", 25)) << terminal->ScreenText();
  terminal->Release(kBarX, kFirstGridRow + kBarCells + 1);

  // The wheel over the bar: one cell up.
  terminal->MoveMouse(kBarX, kFirstGridRow + 5);
  terminal->Wheel(kBarX, kFirstGridRow + 5, /*up=*/true);
  ASSERT_TRUE(Shows("000000EC4EC4EC54", 24)) << terminal->ScreenText();

  // Home goes back, the thumb with it.
  terminal->SendKeys({"Home"});
  EXPECT_TRUE(Shows("0000000000000000", 0)) << terminal->ScreenText();
}

// A crafted file of 26 MiB, one MiB per cell of the bar: a hole, text,
// random bytes, a counting sequence, and a hole again to the end. Each cell's
// background is the colour of what its MiB holds, as the terminal shows it.
TEST_F(FileMapEndToEnd, TheBarShowsWhatEachShareOfACraftedFileHolds) {
  constexpr uint64_t kMiB = uint64_t{1} << 20;
  const std::string path = (directory / "crafted.bin").string();
  {
    std::ofstream out(path, std::ios::binary);
    std::vector<char> chunk(kMiB);
    out.seekp(static_cast<std::streamoff>(6 * kMiB));  // cells 0-5: a hole
    const std::string line = "The quick brown fox jumps over the lazy dog.\n";
    for (size_t i = 0; i < kMiB; ++i) chunk[i] = line[i % line.size()];
    for (int c = 6; c < 12; ++c) out.write(chunk.data(), static_cast<std::streamsize>(kMiB));
    std::mt19937 random(7);
    for (int c = 12; c < 18; ++c) {
      for (char& byte : chunk) byte = static_cast<char>(random() & 0xFF);
      out.write(chunk.data(), static_cast<std::streamsize>(kMiB));
    }
    for (size_t i = 0; i < kMiB; ++i) chunk[i] = static_cast<char>(i & 0xFF);
    for (int c = 18; c < 22; ++c) out.write(chunk.data(), static_cast<std::streamsize>(kMiB));
  }
  std::filesystem::resize_file(path, 26 * kMiB);  // cells 22-25: a hole
  OpenPath(path, "0000000000000000|");

  const auto expected = [](int cell) {
    if (cell < 6 || cell >= 22) return TerminalColour(8);  // hole or zeros: dark grey
    if (cell < 12) return TerminalColour(2);               // text: green
    if (cell < 18) return TerminalColour(5);               // random: magenta
    return TerminalColour(1);                              // other: blue
  };
  std::vector<int> shown(kBarCells, -3);
  const bool mapped = TmuxTerminal::WaitUntil([&] {
    const std::vector<std::string> rows = terminal->ScreenWithColours();
    if (rows.size() < static_cast<size_t>(kFirstGridRow + kBarCells)) return false;
    bool all = true;
    for (int c = 0; c < kBarCells; ++c) {
      const std::vector<CellColour> cells = ParseColours(rows[static_cast<size_t>(kFirstGridRow + c)]);
      shown[static_cast<size_t>(c)] = cells.size() > static_cast<size_t>(kBarX) ? cells[kBarX].background : -3;
      all = all && shown[static_cast<size_t>(c)] == expected(c);
    }
    return all;
  });
  std::string colours;
  for (int c = 0; c < kBarCells; ++c) colours += std::to_string(shown[static_cast<size_t>(c)]) + " ";
  EXPECT_TRUE(mapped) << "bar backgrounds: " << colours << "\n" << terminal->ScreenText();
}

}  // namespace
}  // namespace kelm::e2e
