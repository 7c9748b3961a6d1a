// End to end in tmux: selecting bytes with the mouse, opening the inspector
// panel with Ctrl+D and reading the decoded values on screen, choosing the
// row shown in "dec", and jumping to an offset with the Seek form.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <utility>
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

// `count` cells of a screen row from `column` (blanks past the row's end).
std::string Cells(const std::vector<std::string>& rows, int row, int column, size_t count) {
  if (row < 0 || static_cast<size_t>(row) >= rows.size()) return "(no row " + std::to_string(row) + ")";
  std::string text = rows[static_cast<size_t>(row)];
  text.resize(std::max(text.size(), static_cast<size_t>(column) + count), ' ');
  return text.substr(static_cast<size_t>(column), count);
}

// Ctrl+letter as the terminal sends it.
std::string Ctrl(char letter) { return std::string(1, static_cast<char>(letter - 'A' + 1)); }

class InspectorEndToEnd : public ViewerOnTmux {
 protected:
  InspectorEndToEnd() : ViewerOnTmux("kelmhex-inspector-e2e-") {}
};

TEST_F(InspectorEndToEnd, MouseSelectionDecodedInThePanel) {
  std::vector<uint8_t> bytes = {0x78, 0x56, 0x34, 0x12, 0x00, 0x3C};
  for (int i = 0; i < 40; ++i) bytes.push_back(static_cast<uint8_t>(0x41 + i % 26));
  Open(bytes, "0000000000000000| 78 56 34 12 00 3C");
  SelectByDrag(0, 3);
  ASSERT_TRUE(terminal->WaitForText("dec: 305419896 LE u32")) << terminal->ScreenText();

  terminal->SendBytes(Ctrl('D'));
  ASSERT_TRUE(terminal->WaitForText("[X]LE u32: 305419896")) << terminal->ScreenText();
  const auto [firstRow, firstColumn] = Find("[X]LE u32: 305419896");
  // The panel's rows, one under the other in the first inner column.
  const std::vector<std::pair<int, std::string>> expected = {
      {-3, "Numbers"},
      {-1, "Int"},
      {1, "[ ]LE s32: 305419896"},
      {2, "[ ]BE u32: 2018915346"},
      {3, "[ ]BE s32: 2018915346"},
      {5, "Float"},
      {6, "[ ]LE Single: 0.000000"},
      // Every digit: the panel is as wide as its longest row.
      {7, "[ ]BE Single: 17378244361449504001963252426735616.000000|"},
      {9, "Characters"},
      {10, "[ ]LE : ---"},
      {11, "[ ]BE : ---"},
      {12, "[ ]UTF-8: ---"},
  };
  const std::vector<std::string> rows = terminal->Screen();
  for (const auto& [offset, text] : expected) {
    EXPECT_EQ(Cells(rows, firstRow + offset, firstColumn, text.size()), text) << terminal->ScreenText();
  }
  EXPECT_EQ(Cells(rows, firstRow - 4, firstColumn - 1, 58), "+" + std::string(56, '-') + "+");

  // Choosing "BE s" switches "dec" to the big-endian signed value.
  const int beSignedRow = firstRow + 3;
  terminal->Press(firstColumn + 1, beSignedRow);
  ASSERT_TRUE(terminal->WaitForText("[X]BE s32: 2018915346")) << terminal->ScreenText();
  terminal->Release(firstColumn + 1, beSignedRow);
  EXPECT_TRUE(terminal->WaitForText("dec: 2018915346 BE s32")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("[ ]LE u32: 305419896"));

  // Esc closes the panel; the choice stays in the status row.
  terminal->SendKeys({"Escape"});
  EXPECT_TRUE(terminal->WaitForTextGone("Numbers")) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForText("dec: 2018915346 BE s32"));

  terminal->SendText("q");
  EXPECT_TRUE(terminal->WaitForExit());
}

TEST_F(InspectorEndToEnd, CtrlGJumpsToTheTypedOffset) {
  std::vector<uint8_t> bytes(1000);
  for (size_t i = 0; i < bytes.size(); ++i) bytes[i] = static_cast<uint8_t>(i);
  Open(bytes, "0000000000000000| 00 01 02 03");

  terminal->SendBytes(Ctrl('G'));
  ASSERT_TRUE(terminal->WaitForText("|Seek")) << terminal->ScreenText();
  terminal->SendText("1a0");
  ASSERT_TRUE(terminal->WaitForText("[ 1a0")) << terminal->ScreenText();
  terminal->SendKeys({"Enter"});

  // Row 20 (offset 0x190) is now the first grid row, and the form is gone.
  EXPECT_TRUE(terminal->WaitForScreen([](const std::vector<std::string>& rows) {
    return rows.size() > static_cast<size_t>(kFirstGridRow) &&
           rows[static_cast<size_t>(kFirstGridRow)].rfind("0000000000000190| 90 91 92", 0) == 0;
  })) << terminal->ScreenText();
  EXPECT_TRUE(terminal->WaitForTextGone("|Seek")) << terminal->ScreenText();

  terminal->SendText("q");
  EXPECT_TRUE(terminal->WaitForExit());
}

}  // namespace
