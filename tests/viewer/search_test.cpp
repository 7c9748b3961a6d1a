// The search in the viewer: the Ctrl+F form, F3 and Shift+F3, the match as
// selection and mark, wrapping, the not-found pop-up, progress across
// frames and Esc, and a sparse 1 TiB file.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "engine/port/utf.h"
#include "engine/widgets/text_input.h"
#include "tests/viewer/viewer_harness.h"
#include "viewer/offset_forms.h"
#include "viewer/search.h"
#include "viewer/search_count.h"
#include "viewer/search_form.h"

using namespace kelm::viewer;

// --- the search in the viewer ----------------------------------------------------------

namespace inspector_ui_test {
namespace {

using kelm::port::SHIFT_PRESSED;
using kelm::port::VK_F3;

class SearchViewerTest : public InspectorUiTest {
 protected:
  void SetUp() override {
    ResetSearchForTests();
    InspectorUiTest::SetUp();
  }
  void TearDown() override {
    InspectorUiTest::TearDown();
    ResetSearchForTests();
  }

  // Characters typed into the focused field, all in one frame.
  void TypeText(const std::u16string& text) {
    for (const char16_t c : text) console->PushKey('A', c, 0);
    Frame();
  }
  // Ctrl+F, the pattern, Enter.
  void SearchFor(const std::u16string& typed) {
    CtrlKey('F');
    TypeText(typed);
    Enter();
  }
  void F3() { Key(VK_F3); }
  void ShiftF3() { Key(VK_F3, SHIFT_PRESSED); }

  TextInput* SearchField() const {
    const std::vector<Object*> boxes = LiveBoxes();
    if (boxes.empty()) return nullptr;
    for (Object* child : boxes.back()->GetChildren()) {
      if (auto* field = dynamic_cast<TextInput*>(child)) return field;
    }
    return nullptr;
  }

  static int HexX(uint64_t offset) { return kHexColumnX + 3 * static_cast<int>(offset % kBytesPerRow); }
  // The status row after the offset display.
  std::string StatusRow() const { return Row(kConsoleRows - 1).substr(18); }

  // The whole screen as UTF-8 text.
  std::string ScreenText() const {
    std::string text;
    for (int row = 0; row < kConsoleRows; ++row) text += Row(row) + "\n";
    return text;
  }

  size_t SearchMarks() const {
    size_t count = 0;
    for (const MarkedRange& mark : markedRanges) count += mark.name == u"SearchResult" ? 1 : 0;
    return count;
  }

  void ExpectMatch(uint64_t start, uint64_t length) {
    EXPECT_TRUE(selectionActive);
    EXPECT_EQ(selection.start, start);
    EXPECT_EQ(selection.length, length);
    EXPECT_EQ(selectionAnchor, start);
    ASSERT_TRUE(seekMark.has_value());
    const MarkedRange& mark = markedRanges[*seekMark];
    EXPECT_EQ(mark.name, u"SearchResult");
    EXPECT_EQ(mark.foreground, '7');
    EXPECT_EQ(mark.background, '8');
    EXPECT_EQ(mark.start, start);
    EXPECT_EQ(mark.length, length);
    EXPECT_EQ(SearchMarks(), 1u);
  }

  // Counting bytes 0..255 four times: the pair 10 11 stands at 16, 272, 528
  // and 784.
  void StartOnCounting() { Start(CountingBytes(1024)); }
};

TEST_F(SearchViewerTest, CtrlFOpensAFormWithAFocusedFieldForAnyCharacters) {
  StartOnCounting();
  CtrlKey('F');
  ASSERT_EQ(LiveBoxes().size(), 1u);
  TextInput* field = SearchField();
  ASSERT_NE(field, nullptr);
  EXPECT_TRUE(field->IsFocused());
  EXPECT_EQ(field->charset, Any);
  Frame();
  EXPECT_NE(ScreenText().find("Find hex bytes (de ad be ef) or \"text"), std::string::npos) << ScreenText();
  // Typed text reaches the field, not the hex view.
  TypeText(u"\"q");
  EXPECT_EQ(field->value, u"\"q");
  EXPECT_FALSE(engine->QuitRequested());
}

TEST_F(SearchViewerTest, EnterSelectsTheFirstMatchAndMarksIt) {
  StartOnCounting();
  SearchFor(u"10 11");
  EXPECT_TRUE(LiveBoxes().empty());
  EXPECT_FALSE(SearchRunning());
  ExpectMatch(16, 2);
  EXPECT_EQ(topRow, 0);  // row 0 was on screen: no scroll
  ASSERT_TRUE(FramesUntil([&] { return BackgroundAt(HexX(16), kFirstGridRow) == 4; })) << Row(kFirstGridRow);
  EXPECT_EQ(BackgroundAt(HexX(17), kFirstGridRow), 4);
  EXPECT_EQ(Cells(kConsoleRows - 1, 0, 16), "0000000000000010");
  EXPECT_EQ(FieldText(u"len"), "0000000000000002 2");
  // The inspector decoded the two matched bytes.
  EXPECT_NE(FieldText(u"dec"), "(hidden)");
  EXPECT_EQ(FieldText(kFindStatusKey), "(hidden)");
}

TEST_F(SearchViewerTest, EnterSearchesFromTheByteAfterTheSelection) {
  StartOnCounting();
  Select(16, 2);  // a match already selected: Enter goes on after it
  SearchFor(u"10 11");
  ExpectMatch(272, 2);

  Select(271, 1);  // ends just before the match
  SearchFor(u"10 11");
  ExpectMatch(272, 2);

  Select(0, 300);  // holds the match at 16: the search goes on after it all
  SearchFor(u"10 11");
  ExpectMatch(528, 2);
}

TEST_F(SearchViewerTest, WithoutASelectionTheSearchStartsAtTheFirstVisibleByte) {
  StartOnCounting();
  topRow = 14;  // first visible byte 280
  RefreshGrid();
  SearchFor(u"10 11");
  ExpectMatch(528, 2);
  EXPECT_EQ(topRow, 14);  // 528 is on screen (rows 14 to 39)
}

TEST_F(SearchViewerTest, AMatchOffScreenScrollsItsRowToTheTop) {
  Start(CountingBytes(4096));
  Select(784, 2);
  SearchFor(u"10 11");
  ExpectMatch(1040, 2);
  EXPECT_EQ(topRow, 1040 / 20);
  // (The closed form still covers the grid in the frame that closed it.)
  ASSERT_TRUE(FramesUntil([&] {
    return Cells(kFirstGridRow, 0, 16) == "0000000000000410" && Cells(kFirstGridRow, HexX(0), 5) == "10 11";
  })) << Row(kFirstGridRow);
  EXPECT_EQ(BackgroundAt(HexX(0), kFirstGridRow), 4);
}

TEST_F(SearchViewerTest, TheViewScrollsOnlyWhenTheMatchRowIsOffScreen) {
  // 26 rows of 20 bytes are shown: offsets 0 to 519 at the start.
  std::vector<uint8_t> bytes(2000, 0);
  bytes[505] = 0xAB;  // row 25, the last one shown
  bytes[506] = 0xCD;
  bytes[520] = 0xAB;  // row 26, the first one below
  bytes[521] = 0xCE;
  Start(bytes);
  SearchFor(u"ab cd");
  ExpectMatch(505, 2);
  EXPECT_EQ(topRow, 0);
  SearchFor(u"ab ce");
  ExpectMatch(520, 2);
  EXPECT_EQ(topRow, 26);

  // A match above the view: its row comes to the top.
  topRow = 30;
  RefreshGrid();
  selectionActive = false;
  ShiftF3();
  ExpectMatch(520, 2);
  EXPECT_EQ(topRow, 26);
}

TEST_F(SearchViewerTest, F3FindsTheNextAndShiftF3ThePreviousMatch) {
  StartOnCounting();
  SearchFor(u"1011");
  ExpectMatch(16, 2);
  F3();
  ExpectMatch(272, 2);
  F3();
  ExpectMatch(528, 2);
  ShiftF3();
  ExpectMatch(272, 2);
  ShiftF3();
  ExpectMatch(16, 2);
  EXPECT_EQ(FieldText(kFindStatusKey), "(hidden)");
}

TEST_F(SearchViewerTest, AtTheEndTheSearchWrapsAndSaysSo) {
  StartOnCounting();
  Select(784, 2);
  F3();  // nothing searched yet: F3 opens the form
  ASSERT_NE(SearchField(), nullptr);
  TypeText(u"10 11");
  Enter();
  ExpectMatch(16, 2);
  EXPECT_EQ(FieldText(kFindStatusKey), "wrapped to the start");
  EXPECT_NE(StatusRow().find("find: wrapped to the start"), std::string::npos) << StatusRow();
  // Backward from the first match wraps to the end.
  ShiftF3();
  ExpectMatch(784, 2);
  EXPECT_EQ(FieldText(kFindStatusKey), "wrapped to the end");
  // The next search that does not wrap clears the note.
  ShiftF3();
  ExpectMatch(528, 2);
  EXPECT_EQ(FieldText(kFindStatusKey), "(hidden)");
}

TEST_F(SearchViewerTest, MatchesAtOffsetZeroAndAtTheLastByte) {
  std::vector<uint8_t> bytes(300, 0x20);
  bytes[0] = 0xAB;
  bytes[299] = 0xCD;
  Start(bytes);
  Select(150, 1);
  SearchFor(u"cd");
  ExpectMatch(299, 1);
  SearchFor(u"ab");
  ExpectMatch(0, 1);
  EXPECT_EQ(FieldText(kFindStatusKey), "wrapped to the start");
}

TEST_F(SearchViewerTest, TheSearchReplacesTheSeekMarkAndKeepsUserMarks) {
  StartOnCounting();
  MarkedRange user;
  user.name = u"header";
  user.start = 2;
  user.length = 3;
  markedRanges.push_back(user);
  CtrlKey('G');
  TypeText(u"1a0");
  Enter();
  ASSERT_EQ(markedRanges.size(), 2u);
  SearchFor(u"10 11");
  ASSERT_EQ(markedRanges.size(), 2u);
  EXPECT_EQ(markedRanges[0].name, u"header");
  ExpectMatch(0x210, 2);  // after the seek the view starts at 0x1A0's row
  F3();
  ASSERT_EQ(markedRanges.size(), 2u);
  ExpectMatch(784, 2);
}

TEST_F(SearchViewerTest, NoMatchShowsAPopUpAndLeavesTheSelection) {
  StartOnCounting();
  Select(5, 1);
  SearchFor(u"de ad be ef");
  const std::vector<Object*> boxes = LiveBoxes();
  ASSERT_EQ(boxes.size(), 1u);
  Frame();
  EXPECT_NE(ScreenText().find("Pattern not found: DE AD BE EF"), std::string::npos) << ScreenText();
  EXPECT_NE(ScreenText().find("Search"), std::string::npos);
  EXPECT_EQ(selection.start, 5u);
  EXPECT_EQ(selection.length, 1u);
  EXPECT_FALSE(seekMark.has_value());
  EXPECT_FALSE(SearchRunning());
}

TEST_F(SearchViewerTest, AnInvalidPatternIsExplainedInsideTheForm) {
  StartOnCounting();
  CtrlKey('F');
  TypeText(u"de d");
  Enter();
  ASSERT_EQ(LiveBoxes().size(), 1u);
  TextInput* field = SearchField();
  ASSERT_NE(field, nullptr);
  EXPECT_TRUE(field->IsFocused());  // ready for a fix
  Frame();
  EXPECT_NE(ScreenText().find("Each byte needs two hex digits"), std::string::npos) << ScreenText();
  EXPECT_FALSE(selectionActive);
  EXPECT_FALSE(SearchRunning());

  // The fixed pattern searches.
  TypeText(u"f");
  Enter();
  EXPECT_TRUE(LiveBoxes().empty());
  ExpectMatch(0xDE, 2);
}

TEST_F(SearchViewerTest, EnterOnAnEmptyFieldClosesTheForm) {
  StartOnCounting();
  CtrlKey('F');
  Enter();
  EXPECT_TRUE(LiveBoxes().empty());
  EXPECT_FALSE(selectionActive);
  EXPECT_FALSE(LastSearchPattern().has_value());
}

TEST_F(SearchViewerTest, TheFormStartsEmptyAndF3RepeatsTheLastPattern) {
  StartOnCounting();
  SearchFor(u"\"abc");
  ExpectMatch(0x61, 3);
  CtrlKey('F');
  ASSERT_NE(SearchField(), nullptr);
  EXPECT_EQ(SearchField()->value, u"");
  Escape();  // the field lets go of the keyboard
  Escape();  // the box closes
  ASSERT_TRUE(LiveBoxes().empty());
  F3();
  ExpectMatch(0x161, 3);
}

TEST_F(SearchViewerTest, NonAsciiTextIsFoundAsItsUtf8Bytes) {
  const std::string text = "..Gr\xC3\xBC\xC3\x9F" "e aus K\xC3\xB6ln..";
  Start(std::vector<uint8_t>(text.begin(), text.end()));
  SearchFor(u"\"K\u00F6ln\"");
  ExpectMatch(14, 5);
  SearchFor(u"\"Gr\u00FC\u00DF");
  ExpectMatch(2, 6);
}

// --- a long search across frames -------------------------------------------------------------

class SlowSearchTest : public SearchViewerTest {
 protected:
  void SetUp() override {
    SearchViewerTest::SetUp();
    // 64 bytes a frame: a 64 KiB file takes a thousand frames.
    searchSettings.chunkSize = 64;
    searchSettings.frameBudget = std::chrono::microseconds(0);
  }
  void StartOnLongFile() {
    std::vector<uint8_t> bytes(65536, 0x20);
    bytes[60000] = 0xEE;
    bytes[60001] = 0xFF;
    Start(bytes);
  }
};

TEST_F(SlowSearchTest, ProgressShowsInTheStatusRowAndTheMatchComesLater) {
  StartOnLongFile();
  SearchFor(u"ee ff");
  EXPECT_TRUE(SearchRunning());
  EXPECT_TRUE(LiveBoxes().empty());
  Frame();
  const std::string first = FieldText(kFindStatusKey);
  EXPECT_NE(first.find("% at 00000000000000"), std::string::npos) << first;
  EXPECT_NE(StatusRow().find("find: "), std::string::npos) << StatusRow();
  // The screen goes on: keys still scroll while the search runs.
  Key(kelm::port::VK_NEXT);
  EXPECT_EQ(topRow, 26);
  EXPECT_TRUE(SearchRunning());
  int frames = 0;
  while (SearchRunning() && frames < 2000) {
    Frame();
    ++frames;
  }
  EXPECT_GT(frames, 500);
  ExpectMatch(60000, 2);
  EXPECT_EQ(topRow, 60000 / 20);
}

TEST_F(SlowSearchTest, ItsFramesFollowAtOnceAndTheViewIdlesWhenItEnds) {
  StartOnLongFile();
  SearchFor(u"ee ff");
  ASSERT_TRUE(SearchRunning());
  for (int i = 0; i < 5; ++i) {
    Frame();
    EXPECT_EQ(engine->LastWaitMs(), 0u) << "frame " << i;
  }
  int frames = 0;
  while (SearchRunning() && frames++ < 2000) Frame();
  ExpectMatch(60000, 2);
  // The count of the matches goes on in the same way, then the view idles.
  while (MatchCountRunning() && frames++ < 4000) {
    Frame();
    EXPECT_EQ(engine->LastWaitMs(), 0u);
  }
  EXPECT_EQ(FieldText(kMatchStatusKey), "1 of 1");
  for (int i = 0; i < 6 && engine->LastWaitMs() != kelm::port::kWaitForever; ++i) Frame();
  EXPECT_EQ(engine->LastWaitMs(), kelm::port::kWaitForever);
}

TEST_F(SlowSearchTest, InputThatArrivesEndsTheSliceSoEscIsSeenAtOnce) {
  // 4 MiB in 64-byte steps with a budget of a minute: only input ends the
  // first slice early.
  std::vector<uint8_t> bytes(size_t{4} << 20, 0x20);
  bytes[bytes.size() - 2] = 0xEE;
  bytes[bytes.size() - 1] = 0xFF;
  Start(bytes);
  searchSettings.frameBudget = std::chrono::seconds(60);
  CtrlKey('F');
  TypeText(u"ee ff");
  console->PushKey(kelm::port::VK_RETURN, u'\r');
  // More records than one poll reads: some still wait while the slice runs.
  for (int i = 0; i < 40; ++i) console->PushMouseMove(i % 10, 5);
  Frame();
  ASSERT_TRUE(SearchRunning());
  EXPECT_LT(std::stoi(FieldText(kFindStatusKey)), 50) << FieldText(kFindStatusKey);
  // Esc behind the records still waiting: the next frame stops the search.
  Escape();
  EXPECT_FALSE(SearchRunning());
  EXPECT_NE(FieldText(kFindStatusKey).find("stopped at "), std::string::npos) << FieldText(kFindStatusKey);
}

TEST_F(SlowSearchTest, ThePercentageAndOffsetGrow) {
  StartOnLongFile();
  SearchFor(u"ee ff");
  Frame(100);
  const std::string early = FieldText(kFindStatusKey);
  Frame(400);
  const std::string later = FieldText(kFindStatusKey);
  const int earlyPercent = std::stoi(early);
  const int laterPercent = std::stoi(later);
  EXPECT_LT(earlyPercent, laterPercent) << early << " / " << later;
  EXPECT_LT(early.substr(early.find(" at ")), later.substr(later.find(" at "))) << early << " / " << later;
}

TEST_F(SlowSearchTest, EscStopsTheSearchAndLeavesTheSelection) {
  StartOnLongFile();
  Select(10, 1);
  SearchFor(u"ee ff");
  Frame(20);
  ASSERT_TRUE(SearchRunning());
  Escape();
  EXPECT_FALSE(SearchRunning());
  EXPECT_NE(FieldText(kFindStatusKey).find("stopped at 0000000000000"), std::string::npos)
      << FieldText(kFindStatusKey);
  Frame(200);
  EXPECT_EQ(selection.start, 10u);
  EXPECT_EQ(selection.length, 1u);
  EXPECT_FALSE(seekMark.has_value());
}

TEST_F(SlowSearchTest, EscStopsTheSearchBeforeItClosesABox) {
  StartOnLongFile();
  SearchFor(u"ee ff");
  CtrlKey('D');  // the inspector panel, which Esc would close
  ASSERT_EQ(LiveBoxes().size(), 1u);
  ASSERT_TRUE(SearchRunning());
  Escape();
  EXPECT_FALSE(SearchRunning());
  EXPECT_EQ(LiveBoxes().size(), 1u);
  // A second Esc closes the panel as before.
  Escape();
  EXPECT_TRUE(LiveBoxes().empty());
}

TEST_F(SlowSearchTest, ANewSearchReplacesTheRunningOne) {
  StartOnLongFile();
  SearchFor(u"ee ff");
  Frame(5);
  ASSERT_TRUE(SearchRunning());
  searchSettings.chunkSize = 1 << 20;
  SearchFor(u"20 20 ee");
  EXPECT_FALSE(SearchRunning());
  ExpectMatch(59998, 3);
  Frame(3);
  ExpectMatch(59998, 3);
}

TEST_F(SlowSearchTest, LoadingAnotherFileStopsTheSearch) {
  StartOnLongFile();
  SearchFor(u"ee ff");
  Frame(3);
  ASSERT_TRUE(SearchRunning());
  LoadFile(WriteFile(CountingBytes(100), "other.bin"));
  Frame();
  EXPECT_FALSE(SearchRunning());
  EXPECT_FALSE(selectionActive);
  EXPECT_FALSE(seekMark.has_value());
}

// --- the sparse 1 TiB file in the viewer ------------------------------------------------------

TEST_F(SearchViewerTest, ASparseTerabyteFileIsSearchedNearItsEnd) {
  constexpr uint64_t kSize = uint64_t{1} << 40;
  constexpr uint64_t kAt = kSize - 1000;
  const std::filesystem::path path = directory / "sparse.bin";
  {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    if (::ftruncate(fd, static_cast<off_t>(kSize)) != 0) {
      ::close(fd);
      GTEST_SKIP() << "this file system cannot hold a sparse 1 TiB file";
    }
    const uint8_t pattern[] = {0x12, 0x34};
    ASSERT_EQ(::pwrite(fd, pattern, 2, static_cast<off_t>(kAt)), 2);
    ::close(fd);
  }
  searchSettings.chunkSize = 4096;
  StartOn(path.string());
  ASSERT_EQ(fileSize, kSize);
  Select(kSize - 300000, 1);
  SearchFor(u"12 34");
  // 73 chunks: done within a few frames (a search that missed the pattern
  // would go on through the terabyte).
  for (int i = 0; i < 200 && SearchRunning(); ++i) Frame();
  ExpectMatch(kAt, 2);
  ASSERT_TRUE(FramesUntil([&] {
    return Cells(kFirstGridRow, 0, 16) == "000000FFFFFFFC08" && Cells(kFirstGridRow, HexX(kAt), 5) == "12 34";
  })) << Row(kFirstGridRow);
  // Backward from the end finds it again.
  Select(kSize - 1, 1);
  ShiftF3();
  for (int i = 0; i < 200 && SearchRunning(); ++i) Frame();
  ExpectMatch(kAt, 2);
}

}  // namespace
}  // namespace inspector_ui_test
