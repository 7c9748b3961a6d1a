// Export onto targets that are not plain files, through the viewer on the
// virtual console: FIFOs are refused in words, links to set-user-ID
// programs are followed without carrying the bits over. (POSIX only: FIFOs,
// links and permission bits.)
#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "tests/viewer/viewer_harness.h"
#include "ui/file_actions.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

namespace fs = std::filesystem;

class ExportTargets : public ViewerTest {
 protected:
  std::string ScreenText() const {
    std::string text;
    for (int r = 0; r < console->frameHeight; ++r) text += console->RowText(r) + "\n";
    return text;
  }
};

// Special files at the export's target are refused in words; a link to a
// set-user-ID program is followed but the bits are not carried over.
TEST_F(ExportTargets, ExportOntoSpecialTargetsIsRefusedAndSetIdBitsAreDropped) {
  StartOn(WriteFile(Counting(100)));
  Select(0, 8);
  ASSERT_EQ(mkfifo(PathOf("fifo").c_str(), 0600), 0);
  console->saveDialogAnswers.push_back(PathOf("fifo"));
  ExportSelection();
  Frame();
  ASSERT_EQ(OpenBoxes(), 1u);
  const std::string screen = ScreenText();
  EXPECT_NE(screen.find("Is a named pipe (FIFO), not a regular file"), std::string::npos) << screen;
  EXPECT_TRUE(fs::is_fifo(PathOf("fifo")));
  Key(kelm::port::VK_ESCAPE);

  const std::string program = PathOf("program");
  std::ofstream(program) << "#!/bin/sh\n";
  ASSERT_EQ(chmod(program.c_str(), 04755), 0);
  fs::create_symlink(program, PathOf("link"));
  console->saveDialogAnswers.push_back(PathOf("link"));
  ExportSelection();
  EXPECT_TRUE(fs::is_symlink(PathOf("link")));
  EXPECT_EQ(fs::file_size(program), 8u);
  struct stat info {};
  ASSERT_EQ(stat(program.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
}

}  // namespace
}  // namespace viewer_test
