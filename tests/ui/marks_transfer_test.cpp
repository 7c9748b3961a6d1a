// File > Export marks and Import marks: the marks go to a file the user
// names in the marks file's format and come back onto another file, which
// is told how many of them fall outside it; a file that is not a marks file
// changes nothing. Also the File menu's entries that open the code-form box
// and the list of marks.
#include <string>
#include <vector>

#include "engine/port/absolute_path.h"
#include "engine/widgets/menu_object.h"
#include "tests/support/read_file.h"
#include "tests/viewer/viewer_harness.h"
#include "ui/file_actions.h"
#include "ui/marks_transfer.h"
#include "viewer/marks_file.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

class MarksTransfer : public ViewerTest {
 protected:
  void Add(char fg, char bg, std::u16string name, uint64_t start, uint64_t length) {
    MarkedRange mark;
    mark.foreground = fg;
    mark.background = bg;
    mark.name = std::move(name);
    mark.start = start;
    mark.length = length;
    markedRanges.push_back(mark);
  }
  std::string StatusRow() const { return Row(console->frameHeight - 1); }

  // Clicks the File menu's entry with this label.
  void ChooseFromFileMenu(const std::string& label) {
    Click(7, 0);
    ASSERT_EQ(OpenBoxes(), 1u);
    for (int row = 1; row < console->frameHeight; ++row) {
      const size_t at = Row(row).find("| " + label + " ");
      if (at != std::string::npos) {
        Click(static_cast<int>(at) + 2, row);
        Frame();
        return;
      }
    }
    FAIL() << "no entry " << label;
  }
};

TEST_F(MarksTransfer, ExportedMarksComeBackOnAnotherFileWhichSaysHowManyFallOutside) {
  const std::string big = WriteFile(Counting(100), "big.bin");
  const std::string small = WriteFile(Counting(20), "small.bin");
  StartOn(big);
  Add('E', '1', u"head", 0, 4);
  Add('A', '2', u"middle", 16, 8);   // runs past the small file's end
  Add('B', '3', u"tail", 90, 10);    // wholly outside it
  Add('7', '8', u"SearchResult", 50, 1);
  seekMark = 3;
  const std::string target = PathOf("shared.marks");
  console->saveDialogAnswers.push_back(target);
  ChooseFromFileMenu("Export marks");
  EXPECT_EQ(OpenBoxes(), 0u);
  EXPECT_NE(StatusRow().find("marks: 3 marks exported"), std::string::npos) << StatusRow();
  std::string error;
  const std::optional<MarksFile> written = ParseMarksFile(test_support::ReadFile(target), error);
  ASSERT_TRUE(written) << error;
  EXPECT_EQ(written->path, kelm::port::AbsolutePath(big));
  EXPECT_EQ(written->size, 100u);
  ASSERT_EQ(written->marks.size(), 3u);  // not the seek mark
  EXPECT_EQ(written->marks[2].name, u"tail");

  LoadFile(small);
  ASSERT_TRUE(markedRanges.empty());
  console->openDialogAnswers.push_back(target);
  ChooseFromFileMenu("Import marks");
  ASSERT_EQ(markedRanges.size(), 3u);
  EXPECT_EQ(markedRanges[1].name, u"middle");
  EXPECT_NE(StatusRow().find("marks: 3 marks imported; 2 fall outside this file"), std::string::npos) << StatusRow();
}

TEST_F(MarksTransfer, AFileThatIsNotAMarksFileIsReportedAndChangesNothing) {
  StartOn(WriteFile(Counting(20)));
  Add('E', '1', u"kept", 0, 4);
  const std::string junk = WriteFile({'n', 'o', 'p', 'e', '\n'}, "junk.txt");
  console->openDialogAnswers.push_back(junk);
  ChooseFromFileMenu("Import marks");
  ASSERT_EQ(markedRanges.size(), 1u);
  ASSERT_EQ(OpenBoxes(), 1u);
  std::u16string shown;
  for (Object* child : LiveBoxes()[0]->children) {
    if (child != nullptr) shown += child->GetText() + u"\n";
  }
  EXPECT_NE(shown.find(u"Not a marks file:"), std::u16string::npos) << kelm::port::ToUtf8(shown);
  EXPECT_NE(shown.find(u"line 1: not a kelmhex marks file"), std::u16string::npos) << kelm::port::ToUtf8(shown);
}

TEST_F(MarksTransfer, TheFileMenuOpensCopyAsExportAsAndTheListOfMarks) {
  StartOn(WriteFile({0x48, 0x65, 0x6C, 0x6C, 0x6F}));
  Select(0, 5);
  ChooseFromFileMenu("Copy as");
  ASSERT_EQ(OpenBoxes(), 1u);
  Key('B', 0, u'b');
  EXPECT_EQ(console->clipboard.value_or(u""), u"SGVsbG8=");

  const std::string target = PathOf("hello.py");
  console->saveDialogAnswers.push_back(target);
  ChooseFromFileMenu("Export as");
  ASSERT_EQ(OpenBoxes(), 1u);
  Key('P', 0, u'p');
  EXPECT_EQ(test_support::ReadFile(target), "b\"\\x48\\x65\\x6c\\x6c\\x6f\"");

  ChooseFromFileMenu("Marks");
  bool listed = false;
  for (int row = 0; row < console->frameHeight; ++row) listed = listed || Row(row).find("|Marks: 0 of 0") != std::string::npos;
  EXPECT_TRUE(listed);
}

}  // namespace
}  // namespace viewer_test
