// The file map's scrollbar in tmux, through the real program and real SGR
// mouse reports: on 120 x 30 the engine draws 119 columns, 20 bytes per row
// beside the bar in column 118, which has one cell per grid row (26). The
// file is a 1 TiB sparse file, so every cell stands for 1/26 TiB.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <string>

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

}  // namespace
}  // namespace kelm::e2e
