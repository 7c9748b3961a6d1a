// The terminal's file chooser on a real folder: the listing (order,
// filtering, hidden entries, sizes), moving through it with keys and the
// mouse, typed and pasted paths, Tab completion, choosing in Open and Save
// (with the question before replacing).
#include "tests/port/file_chooser_support.h"

#include <cerrno>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/port/terminal/dialogs/display_name.h"

namespace {

namespace fs = std::filesystem;
using namespace kelm::port;
using namespace chooser_test;

TEST_F(ChooserFolderTest, ListsFoldersFirstAndHidesHiddenEntries) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  EXPECT_EQ(chooser.Folder(), root.string());
  EXPECT_EQ(ShownNames(chooser),
            (std::vector<std::string>{"..", "Docs", "zeta", "Alpha.txt", "beta.bin", "gamma"}));
  // The first real entry is highlighted, not "..".
  ASSERT_NE(chooser.Highlighted(), nullptr);
  EXPECT_EQ(chooser.Highlighted()->name, "Docs");
}

TEST_F(ChooserFolderTest, ScreenShowsFolderSizesAndMarks) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  DialogCanvas canvas(60, 14);
  chooser.Render(canvas);
  EXPECT_EQ(RowText(canvas, 0), " Open file");
  EXPECT_EQ(RowText(canvas, 1), " Folder: " + root.string() + "/");
  const auto rowOf = [&](const std::string& name) -> std::string {
    for (int r = 3; r < 11; ++r) {
      const std::string row = RowText(canvas, r);
      if (row.rfind(" " + name, 0) == 0) return row;
    }
    return {};
  };
  EXPECT_EQ(rowOf("../"), " ../");
  const std::string docs = rowOf("Docs/");
  ASSERT_FALSE(docs.empty());
  EXPECT_EQ(docs.substr(docs.size() - 5), "<DIR>");
  EXPECT_EQ(docs.size(), 59u);  // right-aligned at the last drawn column
  const std::string beta = rowOf("beta.bin");
  EXPECT_EQ(beta.substr(beta.size() - 5), "1,234");
  const std::string gamma = rowOf("gamma");
  EXPECT_EQ(gamma.back(), '0');
  // The highlighted row is drawn in inverse colours.
  EXPECT_EQ(canvas.At(2, 4).Attributes, 0x70);  // row 4: "Docs/" (row 3 is "..")
  EXPECT_EQ(RowText(canvas, 11), " 2 of 6");  // where the highlight is
  EXPECT_EQ(RowText(canvas, 12), " Name:");
  EXPECT_EQ(RowText(canvas, 13).rfind(" Enter: open", 0), 0u);
}

TEST_F(ChooserFolderTest, TypingFiltersByTheStartOfTheNameIgnoringCase) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  Type(chooser, "a");
  EXPECT_EQ(ShownNames(chooser), (std::vector<std::string>{"Alpha.txt"}));
  chooser.HandleKey(Key(VK_BACK, 8));
  Type(chooser, "be");
  EXPECT_EQ(ShownNames(chooser), (std::vector<std::string>{"beta.bin"}));
  Type(chooser, "x");
  EXPECT_TRUE(chooser.Shown().empty());
  EXPECT_EQ(chooser.Highlighted(), nullptr);
}

TEST_F(ChooserFolderTest, ADotShowsHiddenEntries) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  Type(chooser, ".");
  EXPECT_EQ(ShownNames(chooser), (std::vector<std::string>{".config", ".hidden"}));
}

TEST_F(ChooserFolderTest, EnterOnAFileChoosesItsFullPath) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  chooser.HandleKey(Key(VK_END));
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  ASSERT_EQ(chooser.GetState(), FileChooser::State::Chosen);
  EXPECT_EQ(chooser.ChosenPath(), (root / "gamma").string());
}

TEST_F(ChooserFolderTest, EnterOnAFolderGoesIntoItAndBackspaceComesBack) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  chooser.HandleKey(Key(VK_RETURN, '\r'));  // "Docs" is highlighted
  EXPECT_EQ(chooser.GetState(), FileChooser::State::Running);
  EXPECT_EQ(chooser.Folder(), (root / "Docs").string());
  EXPECT_EQ(ShownNames(chooser), (std::vector<std::string>{"..", "readme.md", "report.pdf"}));
  chooser.HandleKey(Key(VK_BACK, 8));
  EXPECT_EQ(chooser.Folder(), root.string());
  // The folder we came from is highlighted.
  EXPECT_EQ(chooser.Highlighted()->name, "Docs");
}

TEST_F(ChooserFolderTest, TypedNameChoosesThatFile) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  Type(chooser, "alpha.txt");  // matches "Alpha.txt" by filter, but is not its exact name
  ASSERT_EQ(ShownNames(chooser), (std::vector<std::string>{"Alpha.txt"}));
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  ASSERT_EQ(chooser.GetState(), FileChooser::State::Chosen);
  EXPECT_EQ(chooser.ChosenPath(), (root / "Alpha.txt").string());
}

TEST_F(ChooserFolderTest, TypedNameOfNothingIsReported) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  Type(chooser, "nothing");
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  EXPECT_EQ(chooser.GetState(), FileChooser::State::Running);
  EXPECT_EQ(chooser.Message(), u"No file named \"nothing\"");
}

TEST_F(ChooserFolderTest, TypedPathsGoThroughFolders) {
  FileChooser chooser(PathPromptKind::Open, "/");
  Type(chooser, root.string() + "/Docs/rea");
  EXPECT_EQ(chooser.Folder(), (root / "Docs").string());
  EXPECT_EQ(chooser.Name(), "rea");
  EXPECT_EQ(ShownNames(chooser), (std::vector<std::string>{"readme.md"}));
  chooser.HandleKey(Key('U', 0x15, LEFT_CTRL_PRESSED));
  Type(chooser, "../");
  EXPECT_EQ(chooser.Folder(), root.string());
  EXPECT_EQ(chooser.Name(), "");
}

TEST_F(ChooserFolderTest, TypedFolderThatDoesNotExistIsReported) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  Type(chooser, "nope/x");
  EXPECT_EQ(chooser.Folder(), root.string());
  EXPECT_EQ(chooser.Message(), u"No folder named \"nope\"");
}

TEST_F(ChooserFolderTest, TildeIsTheHomeFolder) {
  const char* saved = std::getenv("HOME");
  const std::string savedHome = saved != nullptr ? saved : "";
  setenv("HOME", (root / "Docs").c_str(), 1);
  FileChooser chooser(PathPromptKind::Open, "/");
  Type(chooser, "~/");
  EXPECT_EQ(chooser.Folder(), (root / "Docs").string());
  if (saved != nullptr) {
    setenv("HOME", savedHome.c_str(), 1);
  } else {
    unsetenv("HOME");
  }
}

TEST_F(ChooserFolderTest, PasteOfAWholePathGoesThereAndChoosesWithEnter) {
  FileChooser::Services services;
  services.clipboard = [this] { return FromUtf8((root / "Docs" / "report.pdf").string()); };
  FileChooser chooser(PathPromptKind::Open, "/tmp", services);
  chooser.HandleKey(Key('V', 0x16, LEFT_CTRL_PRESSED));
  EXPECT_EQ(chooser.Folder(), (root / "Docs").string());
  EXPECT_EQ(chooser.Name(), "report.pdf");
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  ASSERT_EQ(chooser.GetState(), FileChooser::State::Chosen);
  EXPECT_EQ(chooser.ChosenPath(), (root / "Docs" / "report.pdf").string());
}

TEST_F(ChooserFolderTest, TabCompletesTheCommonStartAndEntersASingleFolder) {
  Write("beta.txt", "t");
  FileChooser chooser(PathPromptKind::Open, root.string());
  Type(chooser, "b");
  chooser.HandleKey(Key(VK_TAB, '\t'));
  EXPECT_EQ(chooser.Name(), "beta.");
  EXPECT_EQ(ShownNames(chooser), (std::vector<std::string>{"beta.bin", "beta.txt"}));
  Type(chooser, "t");
  chooser.HandleKey(Key(VK_TAB, '\t'));
  EXPECT_EQ(chooser.Name(), "beta.txt");

  chooser.HandleKey(Key('U', 0x15, LEFT_CTRL_PRESSED));
  EXPECT_EQ(chooser.Name(), "");
  Type(chooser, "z");
  chooser.HandleKey(Key(VK_TAB, '\t'));
  EXPECT_EQ(chooser.Folder(), (root / "zeta").string());
  EXPECT_EQ(chooser.Name(), "");

  Type(chooser, "q");
  chooser.HandleKey(Key(VK_TAB, '\t'));
  EXPECT_EQ(chooser.Message(), u"No match");
}

TEST_F(ChooserFolderTest, LeftGoesUpAndRightEntersTheHighlightedFolder) {
  FileChooser chooser(PathPromptKind::Open, (root / "Docs").string());
  chooser.HandleKey(Key(VK_LEFT));
  EXPECT_EQ(chooser.Folder(), root.string());
  chooser.HandleKey(Key(VK_DOWN));  // Docs -> zeta
  chooser.HandleKey(Key(VK_RIGHT));
  EXPECT_EQ(chooser.Folder(), (root / "zeta").string());
  chooser.HandleKey(Key(VK_RIGHT));  // ".." is highlighted in an empty folder
  EXPECT_EQ(chooser.Folder(), root.string());
}

TEST_F(ChooserFolderTest, MissingStartFolderFallsBackToTheNearestFolderAbove) {
  FileChooser chooser(PathPromptKind::Open, (root / "gone" / "deeper").string());
  EXPECT_EQ(chooser.Folder(), root.string());
}

TEST_F(ChooserFolderTest, EmptyStartFolderIsTheWorkingDirectory) {
  FileChooser chooser(PathPromptKind::Open, "");
  EXPECT_EQ(chooser.Folder(), fs::current_path().string());
}

TEST_F(ChooserFolderTest, EscCancelsAndF10Quits) {
  FileChooser cancelled(PathPromptKind::Open, root.string());
  cancelled.HandleKey(Key(VK_ESCAPE, 0x1B));
  EXPECT_EQ(cancelled.GetState(), FileChooser::State::Cancelled);
  FileChooser quit(PathPromptKind::Open, root.string());
  quit.HandleKey(Key(VK_F10));
  EXPECT_EQ(quit.GetState(), FileChooser::State::Quit);
}

TEST_F(ChooserFolderTest, NamesThatAreNotUtf8AreShownSafelyAndChosenExactly) {
  const std::string raw = "bad\xFF\xFE\x1B[2Jname";
  Write(raw, "raw bytes");
  FileChooser chooser(PathPromptKind::Open, root.string());
  DialogCanvas canvas(70, 16);
  chooser.Render(canvas);
  bool shown = false;
  for (int r = 3; r < 13; ++r) {
    if (RowText(canvas, r).find("bad\\xFF\\xFE\\x1B[2Jname") != std::string::npos) shown = true;
  }
  EXPECT_TRUE(shown);
  for (const CHAR_INFO& cell : canvas.Cells()) EXPECT_NE(cell.UnicodeChar, u'\x1B');

  Type(chooser, "bad");
  ASSERT_EQ(ShownNames(chooser), (std::vector<std::string>{raw}));
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  ASSERT_EQ(chooser.GetState(), FileChooser::State::Chosen);
  EXPECT_EQ(chooser.ChosenPath(), (root / raw).string());
  std::ifstream in(chooser.ChosenPath());
  std::string content;
  std::getline(in, content);
  EXPECT_EQ(content, "raw bytes");
}

// --- saving -------------------------------------------------------------------------------

TEST_F(ChooserFolderTest, SaveUnderANewNameChoosesItAtOnce) {
  FileChooser chooser(PathPromptKind::Save, root.string());
  Type(chooser, "out.bin");
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  ASSERT_EQ(chooser.GetState(), FileChooser::State::Chosen);
  EXPECT_EQ(chooser.ChosenPath(), (root / "out.bin").string());
}

// The question says what a replacement really does: a link is followed to
// the file it leads to, other hard links keep the old bytes; a target that
// is not a regular file is refused before any question.
TEST_F(ChooserFolderTest, SaveOverALinkOrAHardLinkedFileSaysSoAndAFifoIsRefused) {
  fs::create_symlink("gamma", root / "link");
  fs::create_hard_link(root / "beta.bin", root / "twin.bin");
  ASSERT_EQ(mkfifo((root / "pipe").c_str(), 0600), 0);
  const auto question = [&](const std::string& name) {
    DialogCanvas canvas(200, 12);
    FileChooser chooser(PathPromptKind::Save, root.string());
    Type(chooser, name);
    chooser.HandleKey(Key(VK_RETURN, '\r'));
    EXPECT_EQ(chooser.GetState(), FileChooser::State::Running) << name;
    EXPECT_EQ(chooser.Confirming(), name != "pipe") << name;
    chooser.Render(canvas);
    return RowText(canvas, 9);
  };
  EXPECT_EQ(question("link"), " \"link\" exists. It is a link to \"" + fs::canonical(root / "gamma").string() +
                                  "\", which is replaced. Replace it? Enter/Y: yes  Esc/N: no");
  EXPECT_EQ(question("twin.bin"),
            " \"twin.bin\" exists. It has 1 other hard link, which will keep the old bytes. Replace it? Enter/Y: "
            "yes  Esc/N: no");
  EXPECT_EQ(question("pipe"), " \"pipe\": Is a named pipe (FIFO), not a regular file; choose a regular file");
}

TEST_F(ChooserFolderTest, SaveOverAnExistingFileAsksFirst) {
  FileChooser chooser(PathPromptKind::Save, root.string());
  Type(chooser, "gamma");
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  EXPECT_EQ(chooser.GetState(), FileChooser::State::Running);
  ASSERT_TRUE(chooser.Confirming());
  DialogCanvas canvas(80, 12);
  chooser.Render(canvas);
  EXPECT_EQ(RowText(canvas, 9), " \"gamma\" exists. Replace it? Enter/Y: yes  Esc/N: no");

  // No: back to the chooser, nothing chosen.
  chooser.HandleKey(Key('N', 'n'));
  EXPECT_FALSE(chooser.Confirming());
  EXPECT_EQ(chooser.GetState(), FileChooser::State::Running);
  // Esc during the question only answers it.
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  chooser.HandleKey(Key(VK_ESCAPE, 0x1B));
  EXPECT_EQ(chooser.GetState(), FileChooser::State::Running);
  // Yes.
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  chooser.HandleKey(Key('Y', 'y'));
  ASSERT_EQ(chooser.GetState(), FileChooser::State::Chosen);
  EXPECT_EQ(chooser.ChosenPath(), (root / "gamma").string());
}

TEST_F(ChooserFolderTest, SaveOnAHighlightedFileAsksToReplaceIt) {
  FileChooser chooser(PathPromptKind::Save, root.string());
  chooser.HandleKey(Key(VK_END));
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  ASSERT_TRUE(chooser.Confirming());
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  EXPECT_EQ(chooser.ChosenPath(), (root / "gamma").string());
}

TEST_F(ChooserFolderTest, SaveWithAFolderNameGoesIntoIt) {
  FileChooser chooser(PathPromptKind::Save, root.string());
  Type(chooser, "zeta");
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  EXPECT_EQ(chooser.GetState(), FileChooser::State::Running);
  EXPECT_EQ(chooser.Folder(), (root / "zeta").string());
}

// --- the mouse ------------------------------------------------------------------------------

TEST_F(ChooserFolderTest, ClickHighlightsAndASecondClickOpens) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  DialogCanvas canvas(60, 14);
  chooser.Render(canvas);
  // Rows from 3: "..", Docs, zeta, Alpha.txt, beta.bin, gamma.
  chooser.HandleClick(5, 7);
  EXPECT_EQ(chooser.Highlighted()->name, "beta.bin");
  EXPECT_EQ(chooser.GetState(), FileChooser::State::Running);
  chooser.HandleClick(5, 7);
  ASSERT_EQ(chooser.GetState(), FileChooser::State::Chosen);
  EXPECT_EQ(chooser.ChosenPath(), (root / "beta.bin").string());
}

TEST_F(ChooserFolderTest, ClicksOnDifferentEntriesOnlyMoveTheHighlight) {
  FileChooser chooser(PathPromptKind::Open, root.string());
  DialogCanvas canvas(60, 14);
  chooser.Render(canvas);
  chooser.HandleClick(5, 7);
  chooser.HandleClick(5, 8);
  EXPECT_EQ(chooser.Highlighted()->name, "gamma");
  EXPECT_EQ(chooser.GetState(), FileChooser::State::Running);
  chooser.HandleClick(5, 12);  // the name line: not an entry
  chooser.HandleClick(5, 8);   // a first click again
  EXPECT_EQ(chooser.GetState(), FileChooser::State::Running);
  chooser.HandleClick(5, 3);  // ".."
  chooser.HandleClick(5, 3);
  EXPECT_EQ(chooser.Folder(), root.parent_path().string());
}

// --- big and unreadable folders (scripted listings) -------------------------------------------

}  // namespace
