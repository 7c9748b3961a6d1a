// End to end in tmux: marking a range with the colour-range form and seeing
// its colours and tooltip, and copying a selection to the terminal's
// clipboard (tmux keeps OSC 52 text in its paste buffer when set-clipboard
// is on), where the status row says the copy went.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "tests/e2e/cell_colours.h"
#include "tests/e2e/tmux_terminal.h"
#include "tests/e2e/viewer_on_tmux.h"

namespace {

using kelm::e2e::TmuxTerminal;
using kelm::e2e::ViewerOnTmux;
using kelm::e2e::CellColour;
using kelm::e2e::ParseColours;
using kelm::e2e::TerminalColour;
using kelm::e2e::DragTo;
using kelm::e2e::HexX;
using kelm::e2e::kFirstGridRow;

// The 120 x 30 pane shows 20 bytes per grid row.

class MarksCopyEndToEnd : public ViewerOnTmux {
 protected:
  MarksCopyEndToEnd() : ViewerOnTmux("kelmhex-marks-e2e-") {}

  // A left press that waits until the screen shows its effect, then the
  // release (a press and release read in one go would be no click at all).
  void PressUntil(int column, int row, const std::function<bool(const std::vector<std::string>&)>& shown) {
    terminal->Press(column, row);
    EXPECT_TRUE(terminal->WaitForScreen(shown)) << terminal->ScreenText();
    terminal->Release(column, row);
  }

  std::string PasteBuffer() { return terminal->Tmux({"show-buffer"}); }
};

TEST_F(MarksCopyEndToEnd, FormMarksARangeWithItsColoursAndATooltip) {
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 60; ++i) bytes.push_back(static_cast<uint8_t>(0x41 + i % 26));
  Open(bytes, "0000000000000000| 41 42 43 44 45");
  SelectByDrag(2, 5);

  terminal->SendBytes("\x0b");  // Ctrl+K: the mark command in every terminal
  ASSERT_TRUE(terminal->WaitForText("Foreground")) << terminal->ScreenText();
  ASSERT_TRUE(terminal->WaitForText("[OK]"));
  const auto [labelRow, labelColumn] = Find("Foreground");
  const int foregroundRow = labelRow + 1;
  const int backgroundRow = labelRow + 3;
  const int firstBarCell = labelColumn + 1;  // the slider starts one column left of its label
  ASSERT_TRUE(terminal->WaitForScreen([&](const std::vector<std::string>& rows) {
    return rows.size() > static_cast<size_t>(backgroundRow) &&
           rows[static_cast<size_t>(foregroundRow)].find("[ |||||||--------") != std::string::npos;
  })) << terminal->ScreenText();
  EXPECT_EQ(Find("[ |||||||--------").second, firstBarCell - 2);

  // Yellow (14) on blue (1).
  PressUntil(firstBarCell + 13, foregroundRow, [&](const std::vector<std::string>& rows) {
    return rows[static_cast<size_t>(foregroundRow)].find("[ ||||||||||||||- ]") != std::string::npos;
  });
  PressUntil(firstBarCell, backgroundRow, [&](const std::vector<std::string>& rows) {
    return rows[static_cast<size_t>(backgroundRow)].find("[ |-------------- ]") != std::string::npos;
  });

  const auto [nameRow, nameColumn] = Find("[ Name ]");
  ASSERT_GE(nameRow, 0) << terminal->ScreenText();
  PressUntil(nameColumn + 2, nameRow, [&](const std::vector<std::string>& rows) {
    return rows[static_cast<size_t>(nameRow)].find("Name") == std::string::npos;
  });
  terminal->SendText("hdr");
  ASSERT_TRUE(terminal->WaitForText("[ hdr")) << terminal->ScreenText();

  const auto [okRow, okColumn] = Find("[OK]");
  ASSERT_GE(okRow, 0);
  PressUntil(okColumn + 1, okRow, [](const std::vector<std::string>& rows) {
    for (const std::string& row : rows) {
      if (row.find("Foreground") != std::string::npos) return false;
    }
    return true;
  });

  // Bytes 2..5 in the chosen colours, with the spaces between them; the
  // bytes around them as before.
  const int yellow = TerminalColour(14);
  const int blue = TerminalColour(1);
  std::vector<CellColour> cells;
  const bool painted = TmuxTerminal::WaitUntil([&] {
    const std::vector<std::string> rows = terminal->ScreenWithColours();
    if (rows.size() <= static_cast<size_t>(kFirstGridRow)) return false;
    cells = ParseColours(rows[static_cast<size_t>(kFirstGridRow)]);
    if (cells.size() <= static_cast<size_t>(HexX(6))) return false;
    for (int x = HexX(2); x <= HexX(5) + 1; ++x) {
      const CellColour& cell = cells[static_cast<size_t>(x)];
      if (cell.foreground != yellow || cell.background != blue) return false;
    }
    return true;
  });
  EXPECT_TRUE(painted) << terminal->ScreenText();
  ASSERT_GT(cells.size(), static_cast<size_t>(HexX(6)));
  EXPECT_NE(cells[static_cast<size_t>(HexX(1))].background, blue);
  EXPECT_NE(cells[static_cast<size_t>(HexX(5) + 2)].background, blue);  // no colour after the last byte
  EXPECT_NE(cells[static_cast<size_t>(HexX(6))].background, blue);

  // Hovering a marked byte shows the name framed next to the pointer.
  terminal->MoveMouse(HexX(3), kFirstGridRow);
  ASSERT_TRUE(terminal->WaitForText("|hdr|")) << terminal->ScreenText();
  const auto [tipRow, tipColumn] = Find("|hdr|");
  EXPECT_EQ(tipRow, kFirstGridRow);
  EXPECT_EQ(tipColumn, HexX(3) + 1);
  const std::vector<std::string> rows = terminal->Screen();
  EXPECT_EQ(rows[static_cast<size_t>(tipRow - 1)].substr(static_cast<size_t>(tipColumn), 5), "+---+");
  EXPECT_EQ(rows[static_cast<size_t>(tipRow + 1)].substr(static_cast<size_t>(tipColumn), 5), "+---+");

  terminal->MoveMouse(HexX(10), kFirstGridRow);
  EXPECT_TRUE(terminal->WaitForTextGone("|hdr|")) << terminal->ScreenText();

  terminal->SendText("q");
  EXPECT_TRUE(terminal->WaitForExit());
}

TEST_F(MarksCopyEndToEnd, CopiedSelectionReachesTheTerminalClipboard) {
  const std::string text = "Hello {~} clipboard";
  std::vector<uint8_t> bytes(text.begin(), text.end());
  bytes.push_back(0x80);
  Open(bytes, "0000000000000000| 48 65 6C 6C 6F");
  terminal->Tmux({"set-option", "-s", "set-clipboard", "on"});

  SelectByDrag(0, 4);
  terminal->SendBytes("\x03");  // Ctrl+C
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return PasteBuffer() == "Hello"; })) << PasteBuffer();

  terminal->SendBytes("\x19");  // Ctrl+Y: hex pairs
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return PasteBuffer() == "48 65 6C 6C 6F"; })) << PasteBuffer();

  // Ctrl+Shift+C as the kitty keyboard protocol reports it.
  SelectByDrag(6, 10);
  terminal->SendBytes("\x1b[99;6u");
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return PasteBuffer() == "7B 7E 7D 20 63"; })) << PasteBuffer();
  terminal->SendBytes("\x03");
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return PasteBuffer() == "... c"; })) << PasteBuffer();

  terminal->SendText("q");
  EXPECT_TRUE(terminal->WaitForExit());
}

TEST_F(MarksCopyEndToEnd, CopyWithoutADesktopToolSaysItWentToTheTerminalsClipboard) {
  // No display: OSC 52 is the copy's only way out, and nothing confirms it
  // reached the system clipboard.
  const std::string path = (directory / "data.bin").string();
  std::ofstream(path, std::ios::binary) << "Hello, clipboard";
  TmuxTerminal::Options options;
  options.env["DISPLAY"] = "";
  options.env["WAYLAND_DISPLAY"] = "";
  terminal = std::make_unique<TmuxTerminal>(std::vector<std::string>{KELMHEX_BINARY, path}, options);
  ASSERT_TRUE(terminal->Started()) << terminal->Error();
  ASSERT_TRUE(terminal->WaitForText("0000000000000000| 48 65 6C 6C 6F")) << terminal->ScreenText();
  terminal->Tmux({"set-option", "-s", "set-clipboard", "on"});

  SelectByDrag(0, 4);
  terminal->SendBytes("\x19");  // Ctrl+Y: hex pairs
  EXPECT_TRUE(terminal->WaitForText("0000000000000000  copied 5 bytes as hex to the terminal's clipboard (OSC 52)  len:"))
      << terminal->ScreenText();
  EXPECT_TRUE(TmuxTerminal::WaitUntil([&] { return PasteBuffer() == "48 65 6C 6C 6F"; })) << PasteBuffer();

  // Another selection: the message is about the old one and goes.
  terminal->SendKeys({"Right"});
  EXPECT_TRUE(terminal->WaitForTextGone("copied 5 bytes")) << terminal->ScreenText();
  terminal->SendText("q");
  EXPECT_TRUE(terminal->WaitForExit());
}

}  // namespace
