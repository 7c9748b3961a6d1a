// The jumps to data after a hole (d, Shift+D) and to the next different
// byte (b, Shift+B) on a sparse tebibyte file and on a small one, and the
// search form's text options (Ctrl+E, Ctrl+L).
#include <gtest/gtest.h>

#include <exception>
#include <string>
#include <vector>

#include "engine/port/read_only_file.h"
#include "tests/viewer/viewer_harness.h"
#include "viewer/search.h"
#include "viewer/search_form.h"

using namespace kelm::viewer;

namespace inspector_ui_test {
namespace {

using kelm::port::SHIFT_PRESSED;

constexpr uint64_t kTebibyte = uint64_t{1} << 40;
constexpr uint64_t kFirstData = uint64_t{1} << 20;
constexpr uint64_t kSecondData = uint64_t{1} << 39;

class SearchJumpsTest : public InspectorUiTest {
 protected:
  void SetUp() override {
    ResetSearchForTests();
    searchTextOptions = TextSearchOptions{};
    InspectorUiTest::SetUp();
  }
  void TearDown() override {
    InspectorUiTest::TearDown();
    ResetSearchForTests();
    searchTextOptions = TextSearchOptions{};
  }
  void Letter(char letter, bool shift = false) {
    Key(static_cast<uint16_t>(letter - 'a' + 'A'), shift ? SHIFT_PRESSED : 0,
        static_cast<char16_t>(shift ? letter - 'a' + 'A' : letter));
  }
  void RunToEnd() {
    for (int i = 0; i < 50 && SearchRunning(); ++i) Frame();
    EXPECT_FALSE(SearchRunning());
  }
  void ExpectSelected(uint64_t at) {
    EXPECT_TRUE(selectionActive);
    EXPECT_EQ(selection.start, at);
    EXPECT_EQ(selection.length, 1u);
  }
  // A tebibyte with 4 data bytes at 1 MiB and at 512 GiB; false where the
  // file system has no holes to tell of.
  bool StartOnSparseFile() {
    std::string path;
    try {
      path = SparseFile(kTebibyte, kFirstData, {0x11, 0x11, 0x22, 0x33});
    } catch (const std::exception&) {
      return false;  // no room for a sparse tebibyte here
    }
    {
      std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
      out.seekp(static_cast<std::streamoff>(kSecondData));
      out.write("\x44\x44\x44\x44", 4);
    }
    kelm::port::ReadOnlyFile probe;
    if (probe.Open(path) != 0 || probe.NextData(0) != kFirstData) return false;
    StartOn(path);
    return true;
  }
};

TEST_F(SearchJumpsTest, DataKeysJumpOverTheHolesOfATebibyte) {
  if (!StartOnSparseFile()) GTEST_SKIP() << "this file system does not tell where its holes are";
  Letter('d');
  ExpectSelected(kFirstData);
  EXPECT_EQ(topRow, static_cast<int64_t>(kFirstData / kBytesPerRow));
  Letter('d');
  ExpectSelected(kSecondData);
  Letter('d');
  ExpectSelected(kSecondData);
  EXPECT_EQ(FieldText(kFindStatusKey), "no data after a hole from here");
  Select(kTebibyte - 1, 1);
  Letter('d', true);
  ExpectSelected(kSecondData);
  Letter('d', true);
  ExpectSelected(kFirstData);
  Letter('d', true);
  ExpectSelected(kFirstData);
  EXPECT_EQ(FieldText(kFindStatusKey), "no data before this point");
}

TEST_F(SearchJumpsTest, WithoutExtentsTheWholeFileIsOneExtent) {
  if (!StartOnSparseFile()) GTEST_SKIP() << "this file system does not tell where its holes are";
  searchSettings.useExtents = false;
  Select(5000, 1);
  Letter('d');
  ExpectSelected(5000);
  EXPECT_EQ(FieldText(kFindStatusKey), "no data after a hole from here");
  Letter('d', true);
  ExpectSelected(0);
}

TEST_F(SearchJumpsTest, DifferentByteKeysPassRunsAndHolesWithoutReadingThem) {
  if (!StartOnSparseFile()) GTEST_SKIP() << "this file system does not tell where its holes are";
  // From the hole at 0: the first byte that is not zero is the data's.
  Select(0, 1);
  Letter('b');
  RunToEnd();
  ExpectSelected(kFirstData);
  Letter('b');  // past 11 11
  RunToEnd();
  ExpectSelected(kFirstData + 2);
  Letter('b');
  RunToEnd();
  ExpectSelected(kFirstData + 3);
  Letter('b');  // the zeros after the data
  RunToEnd();
  ExpectSelected(kFirstData + 4);
  Letter('b');  // half a tebibyte of zeros, passed by the extents
  RunToEnd();
  ExpectSelected(kSecondData);
  // Backward: from the run of 44, the zero before it, then the 33.
  Select(kSecondData + 3, 1);
  Letter('b', true);
  RunToEnd();
  ExpectSelected(kSecondData - 1);
  Letter('b', true);
  RunToEnd();
  ExpectSelected(kFirstData + 3);
  // Nothing but 44 after it and zeros to the end: a zero after the run.
  Select(kSecondData, 1);
  Letter('b');
  RunToEnd();
  ExpectSelected(kSecondData + 4);
  Select(kSecondData + 4, 1);
  Letter('b');
  RunToEnd();
  ExpectSelected(kSecondData + 4);
  EXPECT_EQ(FieldText(kFindStatusKey), "no other byte value up to the end");
}

TEST_F(SearchJumpsTest, DifferentByteKeysOnAPlainFile) {
  Start({0x05, 0x05, 0x05, 0x07, 0x07, 0x05});
  Letter('b');
  EXPECT_EQ(FieldText(kFindStatusKey), "select a byte first");
  Select(1, 1);
  Letter('b');
  ExpectSelected(3);
  Letter('b');
  ExpectSelected(5);
  Letter('b', true);
  ExpectSelected(4);
  Letter('b', true);
  ExpectSelected(2);
  Letter('b', true);
  ExpectSelected(2);
  EXPECT_EQ(FieldText(kFindStatusKey), "no other byte value back to the start");
}

// --- the form's text options -----------------------------------------------------------------

TEST_F(SearchJumpsTest, TheFormSearchesUtf16AndAnyCaseAsItsOptionsSay) {
  // "Ab" in UTF-16 LE as 61 00 42 00 (other case) at 4, in BE as 00 41 00 62 at 12.
  Start({0x41, 0x00, 0x01, 0x00, 0x61, 0x00, 0x42, 0x00, 0x41, 0x01, 0x62, 0x00, 0x00, 0x41, 0x00, 0x62});
  CtrlKey('F');
  Frame();
  std::string screen;
  for (int row = 0; row < kConsoleRows; ++row) screen += Row(row) + "\n";
  EXPECT_NE(screen.find("Text as [UTF-8] (Ctrl+E)"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Letters [exact case] (Ctrl+L)"), std::string::npos) << screen;
  CtrlKey('E');
  CtrlKey('L');
  screen.clear();
  for (int row = 0; row < kConsoleRows; ++row) screen += Row(row) + "\n";
  EXPECT_NE(screen.find("Text as [UTF-16 LE] (Ctrl+E)"), std::string::npos) << screen;
  EXPECT_NE(screen.find("Letters [any case] (Ctrl+L)"), std::string::npos) << screen;
  for (const char16_t c : std::u16string(u"\"ab")) console->PushKey('A', c, 0);
  Frame();
  Enter();
  EXPECT_TRUE(LiveBoxes().empty());
  EXPECT_EQ(selection.start, 4u);
  EXPECT_EQ(selection.length, 4u) << "the whole UTF-16 text";
  // 41 01 62 00 at 8 is U+0141 then b: no match; BE finds 12.
  CtrlKey('F');
  CtrlKey('E');
  for (const char16_t c : std::u16string(u"\"aB")) console->PushKey('A', c, 0);
  Frame();
  Enter();
  EXPECT_EQ(selection.start, 12u);
  // The options stay for the next form; a third Ctrl+E is UTF-8 again.
  EXPECT_EQ(searchTextOptions.encoding, TextEncoding::Utf16Be);
  EXPECT_TRUE(searchTextOptions.anyCase);
}

}  // namespace
}  // namespace inspector_ui_test
