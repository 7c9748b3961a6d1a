// The terminal's file chooser: names shown safely, paths normalised, the
// listing (order, filtering, hidden entries, sizes), moving through it with
// keys, the wheel and the mouse, typed and pasted paths, Tab completion,
// choosing in Open and Save (with the question before replacing), folders
// that cannot be read, a folder of 100,000 entries, and the modal loop.
#include "engine/port/terminal/file_chooser.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

#include "engine/port/utf.h"

namespace {

namespace fs = std::filesystem;
using namespace kelm::port;

KEY_EVENT_RECORD Key(uint16_t vk, char16_t ch = 0, uint32_t state = 0) {
  return MakeKeyRecord(true, vk, ch, state).Event.KeyEvent;
}

// The virtual-key code a terminal key of this character carries.
uint16_t VirtualKeyOf(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<uint16_t>(c - 'a' + 'A');
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<uint16_t>(c);
  switch (c) {
    case '.': return VK_OEM_PERIOD;
    case '/': return VK_OEM_2;
    case '-':
    case '_': return VK_OEM_MINUS;
    case '~': return VK_OEM_3;
    case ' ': return VK_SPACE;
    default: return VK_PACKET;
  }
}

void Type(FileChooser& chooser, const std::string& text) {
  for (char c : text) chooser.HandleKey(Key(VirtualKeyOf(c), static_cast<unsigned char>(c)));
}

std::vector<std::string> ShownNames(const FileChooser& chooser) {
  std::vector<std::string> names;
  for (const ChooserEntry* entry : chooser.Shown()) names.push_back(entry->name);
  return names;
}

std::string RowText(const DialogCanvas& canvas, int row) {
  std::string text = ToUtf8(canvas.Row(row));
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// A fresh temporary folder with a few files and folders, removed afterwards.
class ChooserFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelmhex-chooser-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    Write("beta.bin", std::string(1234, 'x'));
    Write("Alpha.txt", "hello");
    Write("gamma", "");
    Write(".hidden", "h");
    fs::create_directory(root / "zeta");
    fs::create_directory(root / "Docs");
    fs::create_directory(root / ".config");
    Write("Docs/report.pdf", "pdf");
    Write("Docs/readme.md", "md");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(root / name, std::ios::binary) << bytes;
  }

  fs::path root;
};

// --- pure helpers ----------------------------------------------------------------

TEST(ChooserDisplayName, PrintableTextIsKept) {
  EXPECT_EQ(DisplayName("report 2024.pdf"), u"report 2024.pdf");
  EXPECT_EQ(DisplayName("caf\xC3\xA9"), u"caf\u00E9");
  EXPECT_EQ(DisplayName("\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(ChooserDisplayName, InvalidBytesBecomeHexEscapes) {
  EXPECT_EQ(DisplayName("a\xFF" "b"), u"a\\xFFb");
  EXPECT_EQ(DisplayName("\xC3"), u"\\xC3");                // cut sequence
  EXPECT_EQ(DisplayName("\xC0\xAF"), u"\\xC0\\xAF");       // overlong '/'
  EXPECT_EQ(DisplayName("\xED\xA0\x80"), u"\\xED\\xA0\\x80");  // a surrogate
}

TEST(ChooserDisplayName, ControlsNeverReachTheScreen) {
  EXPECT_EQ(DisplayName("a\nb"), u"a\\x0Ab");
  EXPECT_EQ(DisplayName("\x1B[31m"), u"\\x1B[31m");
  EXPECT_EQ(DisplayName("\x7F"), u"\\x7F");
  EXPECT_EQ(DisplayName("\xC2\x9B"), u"\\u{009B}");            // C1 CSI
  EXPECT_EQ(DisplayName("evil\xE2\x80\xAEtxt.exe"), u"evil\\u{202E}txt.exe");  // right-to-left override
}

TEST(ChooserDisplayName, ABackslashIsDoubledSoNoNameLooksLikeAnEscape) {
  // A name with the four characters \x07 and one with a real BEL differ.
  EXPECT_EQ(DisplayName("a\\x07b"), u"a\\\\x07b");
  EXPECT_EQ(DisplayName("a\x07" "b"), u"a\\x07b");
  EXPECT_NE(DisplayName("a\\x07b"), DisplayName("a\x07" "b"));
  EXPECT_EQ(DisplayName("\\u{202E}"), u"\\\\u{202E}");
}

TEST(ChooserDisplayName, InvisibleCharactersAreEscapedAsTheTitleDropsThem) {
  EXPECT_EQ(DisplayName("a\xE2\x80\x8B" "b"), u"a\\u{200B}b");  // zero-width space
  EXPECT_EQ(DisplayName("a\xE2\x80\x8D" "b"), u"a\\u{200D}b");  // zero-width joiner
  EXPECT_EQ(DisplayName("\xEF\xBB\xBF" "a"), u"\\u{FEFF}a");     // byte-order mark
  EXPECT_EQ(DisplayName("a\xEF\xB8\x8F"), u"a\\u{FE0F}");        // variation selector
  EXPECT_EQ(DisplayName("\xE3\x85\xA4"), u"\\u{3164}");          // Hangul filler
}

TEST(ChooserPaths, NormalizeTakesOutDotsAndSlashes) {
  EXPECT_EQ(NormalizePath("/a//b/./c/../d/", "/x"), "/a/b/d");
  EXPECT_EQ(NormalizePath("/..", "/x"), "/");
  EXPECT_EQ(NormalizePath("sub/file", "/home/ann"), "/home/ann/sub/file");
  EXPECT_EQ(NormalizePath("../up", "/home/ann"), "/home/up");
  EXPECT_EQ(NormalizePath("", "/home/ann"), "/home/ann");
}

TEST(ChooserPaths, ParentAndJoin) {
  EXPECT_EQ(ParentFolder("/a/b"), "/a");
  EXPECT_EQ(ParentFolder("/a"), "/");
  EXPECT_EQ(ParentFolder("/"), "/");
  EXPECT_EQ(JoinPath("/", "x"), "/x");
  EXPECT_EQ(JoinPath("/a", "x"), "/a/x");
}

TEST(ChooserSizes, GroupsOfThreeDigits) {
  EXPECT_EQ(GroupedSize(0), u"0");
  EXPECT_EQ(GroupedSize(999), u"999");
  EXPECT_EQ(GroupedSize(1000), u"1,000");
  EXPECT_EQ(GroupedSize(1234567), u"1,234,567");
  EXPECT_EQ(GroupedSize(1099511627776ULL), u"1,099,511,627,776");
}

TEST(ChooserOrder, ParentThenFoldersThenFilesIgnoringCase) {
  std::vector<ChooserEntry> entries = {
      {"b.txt", ChooserEntry::Type::File, false, {}},   {"A.txt", ChooserEntry::Type::File, false, {}},
      {"zdir", ChooserEntry::Type::Directory, false, {}}, {"..", ChooserEntry::Type::Parent, false, {}},
      {"Adir", ChooserEntry::Type::Directory, false, {}}, {"fifo", ChooserEntry::Type::Fifo, false, {}},
      {"a.txt", ChooserEntry::Type::File, false, {}},
  };
  std::sort(entries.begin(), entries.end(), ChooserEntryLess);
  std::vector<std::string> names;
  for (const auto& entry : entries) names.push_back(entry.name);
  EXPECT_EQ(names, (std::vector<std::string>{"..", "Adir", "zdir", "A.txt", "a.txt", "b.txt", "fifo"}));
}

// --- a real folder ------------------------------------------------------------------

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

FileChooser::Services FakeFolders(std::map<std::string, DirectoryListing> folders, int* sizeLookups = nullptr) {
  FileChooser::Services services;
  services.readDirectory = [folders](const std::string& folder) {
    auto found = folders.find(folder);
    if (found == folders.end()) return DirectoryListing{{}, ENOENT};
    return found->second;
  };
  services.isDirectory = [folders](const std::string& path) { return path == "/" || folders.count(path) > 0; };
  services.exists = [](const std::string&) { return false; };
  services.entrySize = [sizeLookups](const std::string& path) -> std::optional<uint64_t> {
    if (sizeLookups != nullptr) ++*sizeLookups;
    return path.size();
  };
  return services;
}

DirectoryListing ManyFiles(int count) {
  DirectoryListing listing;
  // In the reverse of the shown order, so sorting is exercised.
  for (int i = count - 1; i >= 0; --i) {
    char name[32];
    std::snprintf(name, sizeof name, "file%06d.bin", i);
    listing.entries.push_back(ChooserEntry{name, ChooserEntry::Type::File, false, {}});
  }
  return listing;
}

TEST(ChooserBigFolder, HundredThousandEntriesScrollFilterAndChoose) {
  int lookups = 0;
  FileChooser chooser(PathPromptKind::Open, "/big", FakeFolders({{"/big", ManyFiles(100000)}}, &lookups));
  ASSERT_EQ(chooser.Shown().size(), 100001u);  // with ".."
  DialogCanvas canvas(80, 26);                  // 20 listing rows
  chooser.Render(canvas);
  // Sizes are looked up only for the rows on screen.
  EXPECT_LE(lookups, 20);
  EXPECT_EQ(RowText(canvas, 3), " ../");
  EXPECT_EQ(RowText(canvas, 4).rfind(" file000000.bin", 0), 0u);

  chooser.HandleKey(Key(VK_END));
  chooser.Render(canvas);
  EXPECT_EQ(chooser.Highlighted()->name, "file099999.bin");
  EXPECT_EQ(RowText(canvas, 22).rfind(" file099999.bin", 0), 0u);  // last listing row
  EXPECT_EQ(RowText(canvas, 23), " 100001 of 100001");
  EXPECT_LE(lookups, 40);

  chooser.HandleKey(Key(VK_PRIOR));
  EXPECT_EQ(chooser.Highlighted()->name, "file099980.bin");  // one page is 19 rows
  chooser.HandleKey(Key(VK_HOME));
  EXPECT_EQ(chooser.Highlighted()->name, "..");
  chooser.HandleKey(Key(VK_NEXT));
  EXPECT_EQ(chooser.Highlighted()->name, "file000018.bin");

  Type(chooser, "file05432");
  EXPECT_EQ(chooser.Shown().size(), 10u);
  chooser.HandleKey(Key(VK_DOWN));
  chooser.HandleKey(Key(VK_DOWN));
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  ASSERT_EQ(chooser.GetState(), FileChooser::State::Chosen);
  EXPECT_EQ(chooser.ChosenPath(), "/big/file054322.bin");
}

TEST(ChooserBigFolder, ScrollingKeepsTheHighlightOnScreen) {
  FileChooser chooser(PathPromptKind::Open, "/big", FakeFolders({{"/big", ManyFiles(50)}}));
  DialogCanvas canvas(60, 16);  // 10 listing rows
  chooser.Render(canvas);
  for (int i = 0; i < 15; ++i) chooser.HandleKey(Key(VK_DOWN));
  chooser.Render(canvas);
  EXPECT_EQ(chooser.HighlightIndex(), 16);
  EXPECT_EQ(chooser.FirstShownRow(), 7);
  EXPECT_EQ(canvas.At(1, 3 + 9).Attributes, 0x70);  // the bottom listing row
  chooser.HandleWheel(2);                           // six rows up
  chooser.Render(canvas);
  EXPECT_EQ(chooser.HighlightIndex(), 10);
  EXPECT_EQ(chooser.FirstShownRow(), 7);
  chooser.HandleWheel(-100);
  EXPECT_EQ(chooser.HighlightIndex(), 50);
}

TEST(ChooserUnreadable, FolderThatCannotBeReadSaysSoAndStillLeadsUp) {
  FileChooser chooser(PathPromptKind::Open, "/top/locked",
                      FakeFolders({{"/top", DirectoryListing{{{"locked", ChooserEntry::Type::Directory, false, {}}}, 0}},
                                   {"/top/locked", DirectoryListing{{}, EACCES}}}));
  EXPECT_EQ(chooser.Message(), u"Cannot read this folder: Permission denied");
  EXPECT_EQ(ShownNames(chooser), (std::vector<std::string>{".."}));
  DialogCanvas canvas(60, 12);
  chooser.Render(canvas);
  EXPECT_EQ(RowText(canvas, 9), " Cannot read this folder: Permission denied");
  chooser.HandleKey(Key(VK_BACK, 8));
  EXPECT_EQ(chooser.Folder(), "/top");
  EXPECT_EQ(chooser.Message(), u"");
  EXPECT_EQ(chooser.Highlighted()->name, "locked");
}

TEST(ChooserUnreadable, RootHasNoParentEntry) {
  FileChooser chooser(PathPromptKind::Open, "/", FakeFolders({{"/", DirectoryListing{}}}));
  EXPECT_TRUE(chooser.Shown().empty());
  chooser.HandleKey(Key(VK_BACK, 8));
  EXPECT_EQ(chooser.Folder(), "/");
  chooser.HandleKey(Key(VK_RETURN, '\r'));
  EXPECT_EQ(chooser.GetState(), FileChooser::State::Running);
}

// --- the modal loop --------------------------------------------------------------------------

class ScriptedTerminal : public DialogTerminal {
 public:
  void ScreenSize(int& columns, int& rows) override {
    columns = 50;
    rows = 12;
  }
  std::vector<CHAR_INFO> Background(int columns, int rows) override {
    return std::vector<CHAR_INFO>(static_cast<size_t>(columns * rows));
  }
  void Show(const std::vector<CHAR_INFO>& cells, int columns, int rows) override {
    ++shows;
    last = DialogCanvas(cells, columns, rows);
  }
  DialogEvent Next() override {
    if (events.empty()) return DialogEvent{DialogEvent::Kind::End, {}, {}};
    DialogEvent event = events.front();
    events.pop_front();
    return event;
  }
  std::u16string ClipboardText() override { return clipboard; }

  void PushKey(uint16_t vk, char16_t ch = 0, uint32_t state = 0) {
    events.push_back(DialogEvent{DialogEvent::Kind::Key, Key(vk, ch, state), {}});
  }
  void PushText(const std::string& text) {
    for (char c : text) PushKey(VirtualKeyOf(c), static_cast<unsigned char>(c));
  }

  std::deque<DialogEvent> events;
  std::u16string clipboard;
  int shows = 0;
  DialogCanvas last{0, 0};
};

TEST_F(ChooserFolderTest, LoopReturnsTheChosenPath) {
  ScriptedTerminal terminal;
  terminal.PushText("Docs/readme");
  terminal.PushKey(VK_RETURN, '\r');
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, root.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (root / "Docs" / "readme.md").string());
  EXPECT_GE(terminal.shows, 12);  // drawn before every event
}

TEST_F(ChooserFolderTest, LoopPastesFromTheTerminalsClipboard) {
  ScriptedTerminal terminal;
  terminal.clipboard = FromUtf8((root / "beta.bin").string());
  terminal.PushKey('V', 0x16, LEFT_CTRL_PRESSED);
  terminal.PushKey(VK_RETURN, '\r');
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, "/");
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (root / "beta.bin").string());
}

TEST_F(ChooserFolderTest, LoopOutcomesOfCancelQuitAndEnd) {
  ScriptedTerminal cancel;
  cancel.PushKey(VK_ESCAPE, 0x1B);
  EXPECT_EQ(RunFileChooser(cancel, PathPromptKind::Open, root.string()).outcome, ChooserOutcome::Cancelled);
  ScriptedTerminal quit;
  quit.PushKey(VK_F10);
  EXPECT_EQ(RunFileChooser(quit, PathPromptKind::Save, root.string()).outcome, ChooserOutcome::Quit);
  ScriptedTerminal ended;
  const ChooserResult result = RunFileChooser(ended, PathPromptKind::Open, root.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Ended);
  EXPECT_EQ(RowText(ended.last, 0), " Open file");
}

TEST_F(ChooserFolderTest, LoopClicksSelectEntries) {
  ScriptedTerminal terminal;
  // Rows from 3: "..", Docs, zeta, Alpha.txt: a double click on Alpha.txt.
  terminal.events.push_back(DialogEvent{DialogEvent::Kind::Click, {}, COORD{4, 6}});
  terminal.events.push_back(DialogEvent{DialogEvent::Kind::Redraw, {}, {}});
  terminal.events.push_back(DialogEvent{DialogEvent::Kind::Click, {}, COORD{4, 6}});
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, root.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (root / "Alpha.txt").string());
}

TEST(ChooserLoop, WheelTurnsMoveThroughTheListing) {
  ScriptedTerminal terminal;
  DialogEvent down{DialogEvent::Kind::Wheel, {}, COORD{5, 5}};
  down.wheel = -1;
  DialogEvent up = down;
  up.wheel = 1;
  terminal.events = {down, down, up};  // from "f0": 3 + 3 - 3 rows down
  terminal.PushKey(VK_RETURN, '\r');
  char pattern[] = "/tmp/kelmhex-chooser-wheel-XXXXXX";
  ASSERT_NE(mkdtemp(pattern), nullptr);
  const fs::path folder = pattern;
  for (int i = 0; i < 10; ++i) std::ofstream(folder / ("f" + std::to_string(i))) << i;
  const ChooserResult result = RunFileChooser(terminal, PathPromptKind::Open, folder.string());
  EXPECT_EQ(result.outcome, ChooserOutcome::Chosen);
  EXPECT_EQ(result.path, (folder / "f3").string());
  fs::remove_all(folder);
}

}  // namespace
