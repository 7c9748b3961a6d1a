// The file chooser's pure helpers: names shown safely, paths normalised,
// sizes grouped, the listing's order.
#include "tests/port/file_chooser_support.h"

#include <string>

#include "engine/port/terminal/dialogs/chooser_paths.h"
#include "engine/port/terminal/dialogs/directory_listing.h"
#include "engine/port/terminal/dialogs/display_name.h"

namespace {

namespace fs = std::filesystem;
using namespace kelm::port;
using namespace chooser_test;

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

}  // namespace
