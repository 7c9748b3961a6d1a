// Marks kept between runs: they come back when the same file is opened
// again (after the quit path saved them), even when the file changed (which
// the status row says); a damaged or foreign marks file and a state folder
// that cannot be written are said once and the viewer goes on; the seek
// mark is never kept.
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/port/absolute_path.h"
#include "tests/support/read_file.h"
#include "tests/viewer/viewer_harness.h"
#include "viewer/marks_file.h"
#include "viewer/marks_store.h"

using namespace kelm::viewer;

namespace marks_copy_test {
namespace {

class MarksStoreTest : public ViewerTest {
 protected:
  // A console wide enough for the status row's messages: 20 bytes a row,
  // byte k of the first row at column 18 + 3k of screen row 2.
  void StartOn(const std::string& path) { StartViewer(path, 119, 30); }

  // What the program does when its frame loop ends, then a new run of the
  // viewer on `path`.
  void QuitAndReopen(const std::string& path) {
    SaveViewedFileMarks();
    Stop();
    StartOn(path);
  }

  std::string StoredFileOf(const std::string& path) const {
    return MarksFilePathFor(kelm::port::AbsolutePath(path));
  }

  std::string StatusRow() const { return Row(29); }

  static std::vector<std::string> Describe(const std::vector<MarkedRange>& marks) {
    std::vector<std::string> lines;
    for (const MarkedRange& m : marks) {
      lines.push_back(std::string{m.foreground, m.background} + " " + std::to_string(m.start) + "+" +
                      std::to_string(m.length) + " " + kelm::port::ToUtf8(m.name));
    }
    return lines;
  }
};

TEST_F(MarksStoreTest, MarksComeBackAfterQuitAndReopenButTheSeekMarkDoesNot) {
  const std::string path = WriteFile(Counting(32));
  StartOn(path);
  AddMark('E', '1', u"header", 0, 4);
  Select(5, 1);
  CtrlKey('Q');  // quick mark: 8 on 5
  // A seek mark, as Ctrl+G leaves it.
  AddMark('7', '8', u"SearchResult", 9, 1);
  seekMark = markedRanges.size() - 1;

  QuitAndReopen(path);
  EXPECT_EQ(Describe(markedRanges), (std::vector<std::string>{"E1 0+4 header", "85 5+1 "}));
  EXPECT_FALSE(seekMark.has_value());
  // Painted as before, and nothing to say on the status row.
  EXPECT_EQ(Background(2, 18, 12), "111111111110");
  EXPECT_EQ(Background(2, 33, 2), "55");
  EXPECT_EQ(StatusRow().find("marks:"), std::string::npos) << StatusRow();
  // The stored file records the path, size and time.
  const std::string stored = test_support::ReadFile(StoredFileOf(path));
  EXPECT_EQ(stored.rfind("kelmhex-marks 1\npath " + EscapeField(kelm::port::AbsolutePath(path)) + "\nsize 32\n", 0),
            0u)
      << stored;
}

TEST_F(MarksStoreTest, AChangedFileGetsItsMarksBackAndTheStatusRowSaysSo) {
  const std::string path = WriteFile(Counting(32));
  StartOn(path);
  AddMark('E', '1', u"a", 0, 4);
  AddMark('A', '2', u"b", 40, 4);  // past the new end: kept all the same
  SaveViewedFileMarks();
  Stop();
  WriteFile(Counting(16));
  StartOn(path);
  EXPECT_EQ(Describe(markedRanges), (std::vector<std::string>{"E1 0+4 a", "A2 40+4 b"}));
  EXPECT_NE(StatusRow().find("marks: 2 marks restored; the file changed since they were saved"), std::string::npos)
      << StatusRow();
  // The message goes when the selection changes.
  Click(18 + 3 * 2, 2);
  EXPECT_EQ(StatusRow().find("marks:"), std::string::npos) << StatusRow();
}

TEST_F(MarksStoreTest, ADamagedMarksFileIsSaidOnceAndIgnored) {
  const std::string path = WriteFile(Counting(32));
  const std::string other = WriteFile(Counting(8), "other.bin");
  const std::string stored = StoredFileOf(path);
  std::filesystem::create_directories(std::filesystem::path(stored).parent_path());
  std::ofstream(stored, std::ios::binary) << "kelmhex-marks 1\npath x\nsize 99999999999999999999999\n";
  StartOn(path);
  EXPECT_TRUE(markedRanges.empty());
  EXPECT_NE(StatusRow().find("marks: stored marks ignored (line 3: bad size)"), std::string::npos) << StatusRow();

  // Once: the same file opened again in this run says nothing more.
  LoadFile(other);
  LoadFile(path);
  Frame(2);
  EXPECT_EQ(StatusRow().find("marks:"), std::string::npos) << StatusRow();

  // New marks replace the damaged file.
  AddMark('E', '1', u"new", 2, 2);
  QuitAndReopen(path);
  EXPECT_EQ(Describe(markedRanges), (std::vector<std::string>{"E1 2+2 new"}));
}

TEST_F(MarksStoreTest, AMarksFileOfAnotherPathIsNotTakenForThisOne) {
  const std::string path = WriteFile(Counting(32));
  MarksFile foreign;
  foreign.path = "/somewhere/else.bin";
  foreign.size = 32;
  MarkedRange mark;
  mark.length = 1;
  foreign.marks = {mark};
  const std::string stored = StoredFileOf(path);
  std::filesystem::create_directories(std::filesystem::path(stored).parent_path());
  std::ofstream(stored, std::ios::binary) << FormatMarksFile(foreign);
  StartOn(path);
  EXPECT_TRUE(markedRanges.empty());
  EXPECT_NE(StatusRow().find("marks: stored marks ignored (they name another file)"), std::string::npos)
      << StatusRow();
}

TEST_F(MarksStoreTest, AStateFolderThatCannotBeWrittenIsSaidAndTheViewerGoesOn) {
  const std::string path = WriteFile(Counting(32));
  const std::string other = WriteFile(Counting(8), "other.bin");
  // A file where the folder would have to be.
  std::ofstream(PathOf("blocker")) << "x";
  SetMarksFolderForTests(PathOf("blocker") + "/marks");
  StartOn(path);
  AddMark('E', '1', u"a", 0, 4);
  LoadFile(other);  // saves the marks of the first file: it cannot
  Frame(2);
  EXPECT_NE(StatusRow().find("marks: not saved: "), std::string::npos) << StatusRow();
  // The viewer goes on: keys still work.
  Click(18 + 3 * 2, 2);
  EXPECT_TRUE(selectionActive);
  EXPECT_EQ(selection.start, 2u);
}

TEST_F(MarksStoreTest, EachFileShowsItsOwnMarksAndRemovingTheLastMarkForgetsThem) {
  const std::string first = WriteFile(Counting(32));
  const std::string second = WriteFile(Counting(32), "second.bin");
  StartOn(first);
  AddMark('E', '1', u"first", 0, 4);
  LoadFile(second);
  EXPECT_TRUE(markedRanges.empty());
  AddMark('A', '2', u"second", 4, 4);
  LoadFile(first);
  EXPECT_EQ(Describe(markedRanges), (std::vector<std::string>{"E1 0+4 first"}));
  // A reload keeps what is shown.
  LoadFile(first);
  EXPECT_EQ(Describe(markedRanges), (std::vector<std::string>{"E1 0+4 first"}));

  // The mark command over the mark removes it; the stored file goes too.
  MoveMouse(18 + 3, 2);
  CtrlKey('K');
  EXPECT_TRUE(markedRanges.empty());
  QuitAndReopen(first);
  EXPECT_TRUE(markedRanges.empty());
  EXPECT_FALSE(std::filesystem::exists(StoredFileOf(first)));
  LoadFile(second);
  EXPECT_EQ(Describe(markedRanges), (std::vector<std::string>{"A2 4+4 second"}));
}

TEST_F(MarksStoreTest, TenThousandMarksAreKept) {
  const std::string path = WriteFile(Counting(100));
  StartOn(path);
  for (uint64_t i = 0; i < 10000; ++i) {
    MarkedRange mark;
    mark.start = (i * 7919) % 100000;
    mark.length = i % 5;
    mark.name = i % 2 == 0 ? u"mark " + kelm::port::FromUtf8(std::to_string(i)) : u"";
    markedRanges.push_back(mark);
  }
  const std::vector<MarkedRange> made = markedRanges;
  QuitAndReopen(path);
  EXPECT_EQ(Describe(markedRanges), Describe(made));
}

}  // namespace
}  // namespace marks_copy_test
