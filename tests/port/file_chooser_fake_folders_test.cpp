// The file chooser on folders its tests make up: a folder of 100,000
// entries, folders that cannot be read, the root.
#include "tests/port/file_chooser_support.h"

#include <cerrno>
#include <map>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;
using namespace kelm::port;
using namespace chooser_test;

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

}  // namespace
