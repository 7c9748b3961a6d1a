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

#include "tests/e2e/tmux_terminal.h"
#include "tests/e2e/viewer_on_tmux.h"

namespace {

using kelm::e2e::TmuxTerminal;
using kelm::e2e::ViewerOnTmux;
using kelm::e2e::DragTo;
using kelm::e2e::HexX;
using kelm::e2e::kFirstGridRow;

// The 120 x 30 pane shows 20 bytes per grid row.

// Foreground and background colour of one cell, as the terminal's palette
// index (-1: the default colour).
struct CellColour {
  int foreground = -1;
  int background = -1;
};

// The cells of one row of `capture-pane -e` output, with their colours.
std::vector<CellColour> ParseColours(const std::string& line) {
  std::vector<CellColour> cells;
  CellColour current;
  for (size_t i = 0; i < line.size();) {
    if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
      const size_t end = line.find_first_of("ABCDEFGHJKSTfmhlsu", i + 2);
      if (end == std::string::npos) break;
      if (line[end] == 'm') {
        std::vector<int> params;
        std::string number;
        for (size_t k = i + 2; k <= end; ++k) {
          if (k == end || line[k] == ';' || line[k] == ':') {
            params.push_back(number.empty() ? 0 : std::stoi(number));
            number.clear();
          } else {
            number += line[k];
          }
        }
        for (size_t p = 0; p < params.size(); ++p) {
          const int v = params[p];
          if (v == 0) {
            current = CellColour{};
          } else if (v >= 30 && v <= 37) {
            current.foreground = v - 30;
          } else if (v >= 90 && v <= 97) {
            current.foreground = v - 90 + 8;
          } else if (v == 39) {
            current.foreground = -1;
          } else if (v >= 40 && v <= 47) {
            current.background = v - 40;
          } else if (v >= 100 && v <= 107) {
            current.background = v - 100 + 8;
          } else if (v == 49) {
            current.background = -1;
          } else if ((v == 38 || v == 48) && p + 2 < params.size() && params[p + 1] == 5) {
            (v == 38 ? current.foreground : current.background) = params[p + 2];
            p += 2;
          } else if ((v == 38 || v == 48) && p + 4 < params.size() && params[p + 1] == 2) {
            (v == 38 ? current.foreground : current.background) = -2;  // direct colour: not expected
            p += 4;
          }
        }
      }
      i = end + 1;
      continue;
    }
    const auto byte = static_cast<unsigned char>(line[i]);
    if ((byte & 0xC0) != 0x80) cells.push_back(current);  // one cell per character
    ++i;
  }
  return cells;
}

// Console colour index to the terminal's: console blue is 1 and red 4, the
// terminal's the other way round (bits 0 and 2 swap).
int TerminalColour(int console) { return (console & 0b1010) | ((console & 1) << 2) | ((console >> 2) & 1); }

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
