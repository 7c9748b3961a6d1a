// The list of marks as screen pictures: its lines by start offset with the
// colour sample, the cursor moved by keys and the wheel, Enter and a click
// jumping to a mark, Delete removing one, typing filtering by name; the
// next/previous mark keys; and ten thousand marks.
#include <string>
#include <vector>

#include "tests/viewer/viewer_harness.h"
#include "viewer/mark_list_box.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

using kelm::port::VK_DELETE;
using kelm::port::VK_DOWN;
using kelm::port::VK_UP;

// A console on which the box is 58 cells wide and shows six lines.
constexpr int kColumns = 64;
constexpr int kRows = 14;
constexpr int kBoxWidth = 60;
constexpr int kBoxHeight = 10;

class MarkListTest : public ViewerTest {
 protected:
  void StartWithMarks() {
    Start(Counting(4096), kColumns, kRows);
    Add('E', '1', u"header", 0x10, 4);
    Add('8', '5', u"", 0x200, 0x20);
    Add('A', '2', u"Table of contents", 0x40, 0x100);
    Add('B', '3', u"trailer", 0xFF0, 0x10);
    RecolourGrid();
  }
  void Add(char fg, char bg, std::u16string name, uint64_t start, uint64_t length) {
    MarkedRange mark;
    mark.foreground = fg;
    mark.background = bg;
    mark.name = std::move(name);
    mark.start = start;
    mark.length = length;
    markedRanges.push_back(mark);
  }

  // The box's top-left corner on screen (row -1 when it is not shown).
  std::pair<int, int> Corner() const {
    for (int row = 1; row < kRows; ++row) {
      const size_t column = Row(row).find("|Marks: ");
      if (column != std::string::npos) return {row - 1, static_cast<int>(column)};
    }
    return {-1, -1};
  }
  std::vector<std::string> Box() const {
    const auto [top, left] = Corner();
    std::vector<std::string> rows;
    if (top < 0) return rows;
    for (int r = top; r < top + kBoxHeight; ++r) rows.push_back(Cells(r, left, kBoxWidth));
    return rows;
  }
  // Background digits of the box's line `line` (0: first mark line).
  std::string LineBackground(int line, int count) const {
    const auto [top, left] = Corner();
    return Background(top + 2 + line, left + 1, count);
  }
  void OpenList() {
    CtrlKey('L');
    ASSERT_GE(Corner().first, 0) << "the list is not shown";
  }
};

const std::string kBorder = "+" + std::string(58, '-') + "+";
std::string Line(const std::string& inside) { return "|" + inside + std::string(58 - inside.size(), ' ') + "|"; }

TEST_F(MarkListTest, ListsEveryMarkByStartWithItsColourSample) {
  StartWithMarks();
  OpenList();
  EXPECT_EQ(Box(), (std::vector<std::string>{
                       kBorder,
                       Line("Marks: 4 of 4"),
                       Line("Ab header               0000000000000010 4"),
                       Line("Ab Table of contents    0000000000000040 100"),
                       Line("Ab (no name)            0000000000000200 20"),
                       Line("Ab trailer              0000000000000FF0 10"),
                       Line(""),
                       Line(""),
                       Line("Filter: "),
                       kBorder,
                   }));
  // The sample in each mark's colours; the cursor's line inverted.
  EXPECT_EQ(LineBackground(0, 4), "1177");
  EXPECT_EQ(LineBackground(1, 4), "2200");
  EXPECT_EQ(LineBackground(2, 4), "5500");
  const auto [top, left] = Corner();
  EXPECT_EQ(Foreground(top + 2, left + 1, 4), "EE00");
}

TEST_F(MarkListTest, DownAndTheWheelMoveEnterJumpsAndBringsTheRowIntoView) {
  StartWithMarks();
  OpenList();
  Key(VK_DOWN);
  Key(VK_DOWN);
  EXPECT_EQ(LineBackground(2, 4), "5577");
  const auto [top, left] = Corner();
  console->PushMouseMove(left + 5, top + 3);
  console->PushWheel(left + 5, top + 3, -1);  // towards the user: down
  Frame(2);
  EXPECT_EQ(LineBackground(3, 4), "3377");
  EXPECT_EQ(topRow, 0);  // the wheel over the box did not scroll the grid
  Key(VK_UP);
  Enter();
  EXPECT_TRUE(Corner().first < 0) << "the box closes";
  EXPECT_TRUE(selectionActive);
  EXPECT_EQ(selection.start, 0x200u);
  EXPECT_EQ(selection.length, 0x20u);
  EXPECT_EQ(topRow, static_cast<int64_t>(0x200 / PerRow()));
  EXPECT_EQ(Row(kFirstGridRow).substr(0, 16), kelm::port::ToUtf8(HexOffsetText(topRow * PerRow())));
}

TEST_F(MarkListTest, AClickOnALineJumpsToItsMark) {
  StartWithMarks();
  OpenList();
  const auto [top, left] = Corner();
  Click(left + 10, top + 5);  // "trailer"
  EXPECT_TRUE(Corner().first < 0);
  EXPECT_EQ(selection.start, 0xFF0u);
  EXPECT_EQ(selection.length, 0x10u);
}

TEST_F(MarkListTest, DeleteRemovesTheMarkAndTypingFiltersByName) {
  StartWithMarks();
  OpenList();
  Key(VK_DOWN);
  Key(VK_DELETE);
  ASSERT_EQ(markedRanges.size(), 3u);
  for (const MarkedRange& mark : markedRanges) EXPECT_NE(mark.name, u"Table of contents");
  Type("TR");
  EXPECT_EQ(Box(), (std::vector<std::string>{
                       kBorder,
                       Line("Marks: 1 of 3"),
                       Line("Ab trailer              0000000000000FF0 10"),
                       Line(""),
                       Line(""),
                       Line(""),
                       Line(""),
                       Line(""),
                       Line("Filter: TR"),
                       kBorder,
                   }));
  // Backspace gives a character back; letters typed do not reach the view
  // ('q' would quit).
  Key(kelm::port::VK_BACK, 0, u'\b');
  Type("q");
  EXPECT_FALSE(engine->QuitRequested());
  EXPECT_EQ(Box()[8], Line("Filter: Tq"));
  Escape();
  Frame();  // the box closed in the key handler's frame goes from the screen in the next
  EXPECT_TRUE(Corner().first < 0);
}

TEST_F(MarkListTest, NextAndPreviousMarkKeysJumpFromTheSelectionAndWrap) {
  StartWithMarks();
  Select(0x41, 1);
  Type("n");
  EXPECT_EQ(selection.start, 0x200u);
  Type("n");
  EXPECT_EQ(selection.start, 0xFF0u);
  Type("n");
  EXPECT_EQ(selection.start, 0x10u);  // round to the first
  Type("p");
  EXPECT_EQ(selection.start, 0xFF0u);
  Type("p");
  EXPECT_EQ(selection.start, 0x200u);
  EXPECT_EQ(selection.length, 0x20u);
  EXPECT_TRUE(selectionActive);
}

TEST_F(MarkListTest, TenThousandMarksScrollAndFilter) {
  Start(Counting(4096), kColumns, kRows);
  for (int i = 9999; i >= 0; --i) {
    MarkedRange mark;
    mark.start = static_cast<uint64_t>(i) * 16;
    mark.length = 1;
    mark.name = u"m" + kelm::port::FromUtf8(std::to_string(i));
    markedRanges.push_back(mark);
  }
  OpenList();
  EXPECT_EQ(Box()[1], Line("Marks: 10000 of 10000"));
  EXPECT_EQ(Box()[2], Line("Ab m0                   0000000000000000 1"));
  Key(kelm::port::VK_END);
  EXPECT_EQ(Box()[7], Line("Ab m9999                00000000000270F0 1"));
  Type("m999");
  EXPECT_EQ(Box()[1], Line("Marks: 11 of 10000"));  // m999, m9990..m9999
  Enter();
  EXPECT_EQ(selection.start, 9999u * 16);  // the cursor stayed on the last line
}

}  // namespace
}  // namespace viewer_test
