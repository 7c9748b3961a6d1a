// Searching the file: reading typed patterns, the chunked scan (checked
// against a plain scan of the same bytes), a sparse 1 TiB file, and the
// search in the viewer: the Ctrl+F form, F3 and Shift+F3, the match as
// selection and mark, wrapping, the not-found pop-up, progress across
// frames and Esc.
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
#include "viewer/search_form.h"

namespace {

using Outcome = ParsedPattern::Outcome;

std::vector<uint8_t> Bytes(const std::string& text) { return std::vector<uint8_t>(text.begin(), text.end()); }

// --- typed patterns -----------------------------------------------------------------

std::vector<uint8_t> ParsedBytes(const std::u16string& typed) {
  const ParsedPattern parsed = ParseSearchPattern(typed);
  EXPECT_EQ(parsed.outcome, Outcome::Valid) << kelm::port::ToUtf8(typed) << ": " << kelm::port::ToUtf8(parsed.error);
  return parsed.pattern.bytes;
}

TEST(SearchPatternTest, HexPairsWithOrWithoutBlanksInEitherCase) {
  const std::vector<uint8_t> deadbeef = {0xDE, 0xAD, 0xBE, 0xEF};
  EXPECT_EQ(ParsedBytes(u"de ad be ef"), deadbeef);
  EXPECT_EQ(ParsedBytes(u"DEADBEEF"), deadbeef);
  EXPECT_EQ(ParsedBytes(u"  dEaD  bE\tEf "), deadbeef);
  EXPECT_EQ(ParsedBytes(u"00"), std::vector<uint8_t>{0x00});
  const ParsedPattern parsed = ParseSearchPattern(u"de ad be ef");
  EXPECT_FALSE(parsed.pattern.text);
  EXPECT_EQ(parsed.pattern.display, u"DE AD BE EF");
}

TEST(SearchPatternTest, InvalidHexIsRefusedWithAReason) {
  for (const std::u16string typed : {u"dea", u"d e", u"de a", u"xy", u"de g0", u"0x12", u"12-34"}) {
    const ParsedPattern parsed = ParseSearchPattern(typed);
    EXPECT_EQ(parsed.outcome, Outcome::Invalid) << kelm::port::ToUtf8(typed);
    EXPECT_FALSE(parsed.error.empty()) << kelm::port::ToUtf8(typed);
  }
  EXPECT_EQ(ParseSearchPattern(u"de g0").error, u"Not a hex digit: 'g' (for text, type \" first)");
  EXPECT_EQ(ParseSearchPattern(u"dea").error, u"Each byte needs two hex digits");
  EXPECT_EQ(ParseSearchPattern(u"d e").error, u"Each byte needs two hex digits");
}

TEST(SearchPatternTest, NothingButBlanksIsEmpty) {
  EXPECT_EQ(ParseSearchPattern(u"").outcome, Outcome::Empty);
  EXPECT_EQ(ParseSearchPattern(u"   \t ").outcome, Outcome::Empty);
}

TEST(SearchPatternTest, TextAfterALeadingQuoteIsItsUtf8Bytes) {
  EXPECT_EQ(ParsedBytes(u"\"Hello world"), Bytes("Hello world"));
  // The closing quote is optional; a second one is part of the text.
  EXPECT_EQ(ParsedBytes(u"\"Hello\""), Bytes("Hello"));
  EXPECT_EQ(ParsedBytes(u"\"a\"\""), Bytes("a\""));
  EXPECT_EQ(ParsedBytes(u"\"\"\""), Bytes("\""));
  // Blanks after the quote are text; blanks before it are not.
  EXPECT_EQ(ParsedBytes(u"  \" de ad"), Bytes(" de ad"));
  const ParsedPattern parsed = ParseSearchPattern(u"\"Hello\"");
  EXPECT_TRUE(parsed.pattern.text);
  EXPECT_EQ(parsed.pattern.display, u"\"Hello\"");
}

TEST(SearchPatternTest, NonAsciiTextIsSearchedAsUtf8) {
  EXPECT_EQ(ParsedBytes(u"\"h\u00E9"), (std::vector<uint8_t>{'h', 0xC3, 0xA9}));
  EXPECT_EQ(ParsedBytes(u"\"\u65E5\u672C"), (std::vector<uint8_t>{0xE6, 0x97, 0xA5, 0xE6, 0x9C, 0xAC}));
  // A surrogate pair is one character of four bytes.
  EXPECT_EQ(ParsedBytes(u"\"\U0001F600"), (std::vector<uint8_t>{0xF0, 0x9F, 0x98, 0x80}));
}

TEST(SearchPatternTest, EmptyTextAndBlankedControlCharactersAreRefused) {
  EXPECT_EQ(ParseSearchPattern(u"\"").outcome, Outcome::Invalid);
  EXPECT_EQ(ParseSearchPattern(u"\"\"").outcome, Outcome::Invalid);
  // A pasted line break arrives as U+0000: it cannot be searched as text.
  EXPECT_EQ(ParseSearchPattern(std::u16string(u"\"a\0b", 4)).outcome, Outcome::Invalid);
  // Between hex pairs it is a blank like a pasted tab.
  EXPECT_EQ(ParsedBytes(std::u16string(u"01") + u'\0' + u"02"), (std::vector<uint8_t>{0x01, 0x02}));
}

// --- the chunked scan against a plain one -----------------------------------------------

// Reads from memory, recording every read so tests can check what the scan
// asked for.
struct MemoryFile {
  explicit MemoryFile(std::vector<uint8_t> content) : bytes(std::move(content)) {}

  ByteReader Reader() {
    return [this](uint64_t offset, uint8_t* buffer, uint64_t count) -> uint64_t {
      ++reads;
      largestRead = std::max(largestRead, count);
      if (offset >= bytes.size()) return 0;
      const uint64_t got = std::min<uint64_t>(count, bytes.size() - offset);
      std::copy_n(bytes.begin() + static_cast<std::ptrdiff_t>(offset), got, buffer);
      return got;
    };
  }

  std::vector<uint8_t> bytes;
  int reads = 0;
  uint64_t largestRead = 0;
};

struct Expected {
  std::optional<uint64_t> match;
  bool wrapped = false;
};

// What a search must find, by looking at every start.
Expected PlainSearch(const std::vector<uint8_t>& data, const std::vector<uint8_t>& pattern, uint64_t from,
                     SearchDirection direction) {
  std::vector<uint64_t> starts;
  if (data.size() >= pattern.size()) {
    for (uint64_t p = 0; p + pattern.size() <= data.size(); ++p) {
      if (std::equal(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(p))) {
        starts.push_back(p);
      }
    }
  }
  Expected result;
  if (direction == SearchDirection::Forward) {
    for (uint64_t p : starts) {
      if (p >= from) return Expected{p, false};
    }
    if (!starts.empty() && starts.front() < from) return Expected{starts.front(), true};
  } else {
    for (auto it = starts.rbegin(); it != starts.rend(); ++it) {
      if (*it < from) return Expected{*it, false};
    }
    if (!starts.empty() && starts.back() >= from) return Expected{starts.back(), true};
  }
  return result;
}

std::optional<uint64_t> Search(MemoryFile& file, const std::vector<uint8_t>& pattern, uint64_t from,
                               SearchDirection direction, uint64_t chunk) {
  ChunkedSearch search(pattern, file.bytes.size(), from, direction, file.Reader(), chunk);
  return search.RunToEnd();
}

TEST(ChunkedSearchTest, MatchesAtTheFirstAndTheLastByte) {
  MemoryFile file(Bytes("xyzzy plugh xyzzy"));
  EXPECT_EQ(Search(file, Bytes("xyz"), 0, SearchDirection::Forward, 4), 0u);
  EXPECT_EQ(Search(file, Bytes("zzy"), 5, SearchDirection::Forward, 4), 14u);
  EXPECT_EQ(Search(file, Bytes("y"), 16, SearchDirection::Forward, 4), 16u);
  // Backward from the end: the last start; from 1: the one at 0.
  EXPECT_EQ(Search(file, Bytes("xyzzy"), 17, SearchDirection::Backward, 4), 12u);
  EXPECT_EQ(Search(file, Bytes("xyzzy"), 1, SearchDirection::Backward, 4), 0u);
}

TEST(ChunkedSearchTest, AMatchStraddlingAChunkBoundaryIsFoundForEveryChunkSize) {
  const std::vector<uint8_t> pattern = {0xDE, 0xAD, 0xBE, 0xEF, 0x01};
  for (uint64_t at = 0; at <= 40; ++at) {
    std::vector<uint8_t> data(45, 0x55);
    std::copy(pattern.begin(), pattern.end(), data.begin() + static_cast<std::ptrdiff_t>(at));
    for (uint64_t chunk = 1; chunk <= 9; ++chunk) {
      MemoryFile file(data);
      EXPECT_EQ(Search(file, pattern, 0, SearchDirection::Forward, chunk), at) << "chunk " << chunk;
      EXPECT_EQ(Search(file, pattern, 45, SearchDirection::Backward, chunk), at) << "chunk " << chunk;
    }
  }
}

TEST(ChunkedSearchTest, OverlappingCandidatesAreNotSkipped) {
  MemoryFile file(Bytes("aaaab"));
  for (uint64_t chunk = 1; chunk <= 6; ++chunk) {
    EXPECT_EQ(Search(file, Bytes("aaab"), 0, SearchDirection::Forward, chunk), 1u);
    EXPECT_EQ(Search(file, Bytes("aaab"), 5, SearchDirection::Backward, chunk), 1u);
  }
  // Matches that overlap each other are each found.
  MemoryFile run(Bytes("aaaaa"));
  EXPECT_EQ(Search(run, Bytes("aa"), 1, SearchDirection::Forward, 2), 1u);
  EXPECT_EQ(Search(run, Bytes("aa"), 4, SearchDirection::Backward, 2), 3u);
  EXPECT_EQ(Search(run, Bytes("aa"), 3, SearchDirection::Backward, 2), 2u);
}

TEST(ChunkedSearchTest, NoMatchLooksAtEveryStartExactlyOnce) {
  MemoryFile file(std::vector<uint8_t>(1000, 0x41));
  ChunkedSearch search(Bytes("AAB"), 1000, 400, SearchDirection::Forward, file.Reader(), 64);
  EXPECT_FALSE(search.RunToEnd().has_value());
  EXPECT_TRUE(search.Finished());
  EXPECT_EQ(search.Total(), 998u);
  EXPECT_EQ(search.Scanned(), 998u);
  EXPECT_EQ(search.Percent(), 100);
  EXPECT_TRUE(search.Wrapped());
}

TEST(ChunkedSearchTest, WrapsOnceForwardToTheStartAndBackwardToTheEnd) {
  MemoryFile file(Bytes("..ab....ab.."));  // starts 2 and 8
  ChunkedSearch forward(Bytes("ab"), 12, 9, SearchDirection::Forward, file.Reader(), 3);
  EXPECT_EQ(forward.RunToEnd(), 2u);
  EXPECT_TRUE(forward.Wrapped());

  ChunkedSearch notWrapped(Bytes("ab"), 12, 8, SearchDirection::Forward, file.Reader(), 3);
  EXPECT_EQ(notWrapped.RunToEnd(), 8u);
  EXPECT_FALSE(notWrapped.Wrapped());

  ChunkedSearch backward(Bytes("ab"), 12, 2, SearchDirection::Backward, file.Reader(), 3);
  EXPECT_EQ(backward.RunToEnd(), 8u);
  EXPECT_TRUE(backward.Wrapped());

  // The only match is where the search starts: found again after the wrap.
  MemoryFile single(Bytes("....ab...."));
  ChunkedSearch again(Bytes("ab"), 10, 5, SearchDirection::Forward, single.Reader(), 4);
  EXPECT_EQ(again.RunToEnd(), 4u);
  EXPECT_TRUE(again.Wrapped());
}

TEST(ChunkedSearchTest, AgreesWithAPlainScanOnRandomFiles) {
  std::mt19937_64 random(12345);
  for (int round = 0; round < 6000; ++round) {
    std::vector<uint8_t> data(random() % 200);
    for (uint8_t& byte : data) byte = static_cast<uint8_t>("ab\0"[random() % 3]);
    std::vector<uint8_t> pattern(1 + random() % 5);
    for (uint8_t& byte : pattern) byte = static_cast<uint8_t>("ab\0"[random() % 3]);
    const uint64_t from = random() % (data.size() + 3);
    // Small chunks, and chunks of 16 starts and more (tested 16 at a time).
    const uint64_t chunk = round % 2 == 0 ? 1 + random() % 12 : 16 + random() % 64;
    const auto direction = random() % 2 == 0 ? SearchDirection::Forward : SearchDirection::Backward;

    MemoryFile file(data);
    ChunkedSearch search(pattern, data.size(), from, direction, file.Reader(), chunk);
    const std::optional<uint64_t> found = search.RunToEnd();
    const Expected expected = PlainSearch(data, pattern, from, direction);
    ASSERT_EQ(found, expected.match) << "round " << round << " from " << from << " chunk " << chunk;
    if (found) {
      ASSERT_EQ(search.Wrapped(), expected.wrapped) << "round " << round;
    }
    // The scan never asks for more than a chunk and the overlap.
    ASSERT_LE(file.largestRead, chunk + pattern.size() - 1) << "round " << round;
  }
}

TEST(ChunkedSearchTest, EmptyFilesPatternsLongerThanTheFileAndStartsPastTheEnd) {
  MemoryFile empty(std::vector<uint8_t>{});
  EXPECT_FALSE(Search(empty, Bytes("a"), 0, SearchDirection::Forward, 4).has_value());
  EXPECT_EQ(empty.reads, 0);
  MemoryFile tiny(Bytes("ab"));
  EXPECT_FALSE(Search(tiny, Bytes("abc"), 0, SearchDirection::Forward, 4).has_value());
  EXPECT_FALSE(Search(tiny, std::vector<uint8_t>{}, 0, SearchDirection::Forward, 4).has_value());
  // A start past the end: forward wraps at once, backward looks at all.
  EXPECT_EQ(Search(tiny, Bytes("ab"), ~uint64_t{0}, SearchDirection::Forward, 4), 0u);
  EXPECT_EQ(Search(tiny, Bytes("ab"), ~uint64_t{0}, SearchDirection::Backward, 4), 0u);
}

TEST(ChunkedSearchTest, AFileThatShrankGivesShortReadsAndNoFalseMatch) {
  // The scan was told 100 bytes but only 50 remain; the pattern's first
  // bytes stand at the very end of what remains.
  std::vector<uint8_t> data(50, 0);
  data[48] = 'a';
  data[49] = 'b';
  MemoryFile file(data);
  ChunkedSearch search(Bytes("abc"), 100, 0, SearchDirection::Forward, file.Reader(), 16);
  EXPECT_FALSE(search.RunToEnd().has_value());
  ChunkedSearch found(Bytes("ab"), 100, 0, SearchDirection::Forward, file.Reader(), 16);
  EXPECT_EQ(found.RunToEnd(), 48u);
}

TEST(ChunkedSearchTest, StepsAChunkAtATimeWithProgress) {
  MemoryFile file(std::vector<uint8_t>(1000, 0));
  file.bytes[900] = 0x7A;
  ChunkedSearch search(std::vector<uint8_t>{0x7A}, 1000, 0, SearchDirection::Forward, file.Reader(), 100);
  EXPECT_EQ(search.Percent(), 0);
  EXPECT_EQ(search.Position(), 0u);
  EXPECT_FALSE(search.Step());
  EXPECT_EQ(search.Position(), 100u);
  EXPECT_EQ(search.Percent(), 10);
  for (int i = 0; i < 8; ++i) EXPECT_FALSE(search.Step());
  EXPECT_EQ(search.Position(), 900u);
  EXPECT_EQ(search.Percent(), 90);
  EXPECT_TRUE(search.Step());
  EXPECT_EQ(search.Match(), 900u);
  EXPECT_EQ(file.reads, 10);
  // The buffer is released once the search is over.
  EXPECT_EQ(search.BufferSize(), 0u);

  // Backward the position falls from the end.
  ChunkedSearch back(std::vector<uint8_t>{0x7B}, 1000, 1000, SearchDirection::Backward, file.Reader(), 250);
  EXPECT_FALSE(back.Step());
  EXPECT_EQ(back.Position(), 750u);
  EXPECT_EQ(back.Percent(), 25);
}

// The two key positions as a pair, for comparisons.
std::pair<size_t, size_t> Keys(const std::vector<uint8_t>& pattern) {
  const SearchKeys keys = KeyPositions(pattern);
  return {keys.first, keys.second};
}

TEST(ChunkedSearchTest, LooksFirstForTheRarestBytes) {
  using Pair = std::pair<size_t, size_t>;
  // A byte above 0x7F before zeros; among the zeros the farthest one.
  EXPECT_EQ(Keys({0x00, 0x00, 0x00, 0x9C}), Pair(3, 0));
  // An upper-case letter, then 0xFF before zero.
  EXPECT_EQ(Keys({0xFF, 0x00, 0x4D, 0xFF}), Pair(2, 0));
  EXPECT_EQ(Keys(Bytes("the Zebra")), Pair(4, 6));
  // All equal: two different positions all the same.
  EXPECT_EQ(Keys({0x00, 0x00}), Pair(0, 1));
  EXPECT_EQ(Keys({0x41}), Pair(0, 0));
}

TEST(ChunkedSearchTest, FindsMatchesWhateverBytesAreCommonInTheFile) {
  // Files made of the key bytes themselves: every start passes the key test
  // and only the full comparison tells.
  for (const std::string& text : {std::string(100, 'a'), std::string(100, '\0')}) {
    std::vector<uint8_t> data(text.begin(), text.end());
    std::vector<uint8_t> pattern(7, data[0]);
    pattern[3] = 0x9C;
    data[61] = 0x9C;
    MemoryFile file(data);
    EXPECT_EQ(Search(file, pattern, 0, SearchDirection::Forward, 33), 58u);
    EXPECT_EQ(Search(file, pattern, 100, SearchDirection::Backward, 33), 58u);
    pattern[3] = data[0];
    EXPECT_EQ(Search(file, pattern, 5, SearchDirection::Forward, 33), 5u);
    EXPECT_EQ(Search(file, pattern, 100, SearchDirection::Backward, 33), 93u);
  }
}

// --- a sparse 1 TiB file ------------------------------------------------------------------

// Steps the search at most `steps` times; whether it ended.
bool StepAtMost(ChunkedSearch& search, int steps) {
  for (int i = 0; i < steps; ++i) {
    if (search.Step()) return true;
  }
  return search.Finished();
}

class SparseFileSearchTest : public ::testing::Test {
 protected:
  static constexpr uint64_t kSize = uint64_t{1} << 40;

  void SetUp() override {
    path = std::filesystem::temp_directory_path() /
           ("kelmhex-search-sparse-" + std::to_string(::getpid()) + "-" + std::to_string(std::random_device{}()));
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0600);
    ASSERT_GE(fd, 0);
    if (::ftruncate(fd, static_cast<off_t>(kSize)) != 0) {
      ::close(fd);
      GTEST_SKIP() << "this file system cannot hold a sparse 1 TiB file";
    }
    const uint8_t pattern[] = {0xCA, 0xFE, 0xBA, 0xBE};
    ASSERT_EQ(::pwrite(fd, pattern, sizeof pattern, static_cast<off_t>(kPatternAt)), 4);
    ::close(fd);
    fd_ = ::open(path.c_str(), O_RDONLY);
    ASSERT_GE(fd_, 0);
  }
  void TearDown() override {
    if (fd_ >= 0) ::close(fd_);
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
  }

  ByteReader Reader() {
    return [this](uint64_t offset, uint8_t* buffer, uint64_t count) -> uint64_t {
      largestRead = std::max(largestRead, count);
      const ssize_t got = ::pread(fd_, buffer, count, static_cast<off_t>(offset));
      return got > 0 ? static_cast<uint64_t>(got) : 0;
    };
  }

  static constexpr uint64_t kPatternAt = kSize - 4096 - 2;  // straddles a 4 KiB boundary
  std::filesystem::path path;
  int fd_ = -1;
  uint64_t largestRead = 0;
};

TEST_F(SparseFileSearchTest, OnePatternNearTheEndIsFoundBothWays) {
  const std::vector<uint8_t> pattern = {0xCA, 0xFE, 0xBA, 0xBE};
  constexpr uint64_t kChunk = 4096;
  ChunkedSearch forward(pattern, kSize, kSize - (uint64_t{1} << 20), SearchDirection::Forward, Reader(), kChunk);
  EXPECT_EQ(forward.BufferSize(), kChunk + 3);
  // 256 chunks lie before the pattern; a search that missed it would go on
  // through the whole terabyte, so the steps are counted.
  ASSERT_TRUE(StepAtMost(forward, 300));
  EXPECT_EQ(forward.Match(), kPatternAt);
  EXPECT_FALSE(forward.Wrapped());

  ChunkedSearch backward(pattern, kSize, kSize, SearchDirection::Backward, Reader(), kChunk);
  ASSERT_TRUE(StepAtMost(backward, 2));
  EXPECT_EQ(backward.Match(), kPatternAt);
  EXPECT_LE(largestRead, kChunk + 3);
  // The progress of a search over 2^40 starts does not overflow.
  EXPECT_EQ(backward.Total(), kSize - 3);
  EXPECT_EQ(backward.Percent(), 0);
}

}  // namespace

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
