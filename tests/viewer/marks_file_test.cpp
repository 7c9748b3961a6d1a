// The marks file's lines: what is written reads back the same, and a
// damaged or foreign file is refused whole, with its first fault named.
#include <gtest/gtest.h>

#include <string>

#include "viewer/marks_file.h"

using namespace kelm::viewer;

namespace {

MarkedRange Mark(char fg, char bg, uint64_t start, uint64_t length, std::u16string name = u"") {
  MarkedRange mark;
  mark.foreground = fg;
  mark.background = bg;
  mark.start = start;
  mark.length = length;
  mark.name = std::move(name);
  return mark;
}

std::string Parse(const std::string& text) {
  std::string error;
  const std::optional<MarksFile> file = ParseMarksFile(text, error);
  return file ? "ok" : error;
}

TEST(MarksFile, WritesOneLinePerMarkAndReadsBackTheSame) {
  MarksFile file;
  file.path = "/home/me/disk one.img";
  file.size = 4096;
  file.modified = 1733700000123456789;
  file.marks = {Mark('7', '4', 0x1A0, 0x10, u"header"), Mark('8', '5', 0, 1),
                Mark('F', '0', UINT64_MAX, UINT64_MAX, u"a b%\u20AC\n")};
  const std::string text = FormatMarksFile(file);
  EXPECT_EQ(text,
            "kelmhex-marks 1\n"
            "path /home/me/disk%20one.img\n"
            "size 4096\n"
            "mtime 1733700000123456789\n"
            "mark 7 4 1A0 10 header\n"
            "mark 8 5 0 1\n"
            "mark F 0 FFFFFFFFFFFFFFFF FFFFFFFFFFFFFFFF a%20b%25%E2%82%AC%0A\n");
  std::string error;
  const std::optional<MarksFile> back = ParseMarksFile(text, error);
  ASSERT_TRUE(back) << error;
  EXPECT_EQ(back->path, file.path);
  EXPECT_EQ(back->size, 4096u);
  EXPECT_EQ(back->modified, file.modified);
  ASSERT_EQ(back->marks.size(), 3u);
  for (size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(back->marks[i].foreground, file.marks[i].foreground);
    EXPECT_EQ(back->marks[i].background, file.marks[i].background);
    EXPECT_EQ(back->marks[i].start, file.marks[i].start);
    EXPECT_EQ(back->marks[i].length, file.marks[i].length);
    EXPECT_EQ(back->marks[i].name, file.marks[i].name);
  }
}

TEST(MarksFile, DamagedOrForeignTextIsRefusedAtItsFirstFault) {
  const std::string head = "kelmhex-marks 1\npath /f\nsize 10\nmtime 5\n";
  EXPECT_EQ(Parse(head), "ok");
  EXPECT_EQ(Parse(head + "mark 7 4 0 1\r\n"), "ok");  // a file edited on Windows
  EXPECT_EQ(Parse(""), "line 1: empty");
  EXPECT_EQ(Parse("{\"marks\": []}\n"), "line 1: not a kelmhex marks file");
  EXPECT_EQ(Parse("kelmhex-marks 2\npath /f\nsize 1\nmtime 1\n"), "line 1: not a kelmhex marks file");
  EXPECT_EQ(Parse("kelmhex-marks 1\npath /f\nsize 1\n"), "line 3: path, size or time missing");
  EXPECT_EQ(Parse(head + "mark 7 4 0 1"), "line 5: no line break at the end");
  EXPECT_EQ(Parse(head + "mark 7 G 0 1\n"), "line 5: bad colours");
  EXPECT_EQ(Parse(head + "mark 77 4 0 1\n"), "line 5: bad colours");
  EXPECT_EQ(Parse(head + "mark 7 4 -1 1\n"), "line 5: bad start or length");
  EXPECT_EQ(Parse(head + "mark 7 4 10000000000000000 1\n"), "line 5: bad start or length");
  EXPECT_EQ(Parse(head + "mark 7 4 0 1 %4\n"), "line 5: bad name");
  EXPECT_EQ(Parse(head + "mark 7 4 0 1 a%zz\n"), "line 5: bad name");
  EXPECT_EQ(Parse(head + "mark 7 4 0 1 \n"), "line 5: bad name");
  EXPECT_EQ(Parse(head + "mark 7 4 0 1 two words\n"), "line 5: unknown line");
  EXPECT_EQ(Parse(head + "size 11\n"), "line 5: unknown line");  // said twice
  EXPECT_EQ(Parse("kelmhex-marks 1\npath /f\nsize 1x\nmtime 1\n"), "line 3: bad size");
  EXPECT_EQ(Parse("kelmhex-marks 1\npath \nsize 1\nmtime 1\n"), "line 2: bad path");
}

TEST(MarksFile, CountsAndLengthsAreCappedBeforeAnythingIsTrusted) {
  const std::string head = "kelmhex-marks 1\npath /f\nsize 10\nmtime 5\n";
  EXPECT_EQ(Parse(head + "mark 7 4 0 1 " + std::string(kMaxStoredNameUnits, 'n') + "\n"), "ok");
  EXPECT_EQ(Parse(head + "mark 7 4 0 1 " + std::string(kMaxStoredNameUnits + 1, 'n') + "\n"),
            "line 5: name too long");
  EXPECT_EQ(Parse(head + "mark 7 4 0 1 " + std::string(70000, 'n') + "\n"), "line 5: line too long");
  EXPECT_EQ(Parse(std::string(kMaxMarksFileBytes + 1, '\n')), "larger than 64 MiB");
  std::string many = head;
  for (size_t i = 0; i <= kMaxStoredMarks; ++i) many += "mark 7 4 0 1\n";
  EXPECT_EQ(Parse(many), "line " + std::to_string(kMaxStoredMarks + 5) + ": too many marks");
}

TEST(MarksFile, EscapingLeavesNoSpaceControlOrPercentInAField) {
  EXPECT_EQ(EscapeField(std::string("a b\t%\x7f\xff\x01z", 9)), "a%20b%09%25%7F%FF%01z");
  EXPECT_EQ(UnescapeField("a%20b%09%25%7F%FF%01z"), std::string("a b\t%\x7f\xff\x01z", 9));
  EXPECT_EQ(UnescapeField("%2"), std::nullopt);
  EXPECT_EQ(UnescapeField("a b"), std::nullopt);
}

}  // namespace
