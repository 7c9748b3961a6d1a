// "match K of N" in the status row: the background count over a file with
// a million matches (a chunk per frame, frames at once, Esc stops it), the
// rank from F3 and Shift+F3 without a new count, a rank count after the
// selection moved, and a new pattern starting again.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/viewer/viewer_harness.h"
#include "viewer/search.h"
#include "viewer/search_count.h"

using namespace kelm::viewer;

namespace inspector_ui_test {
namespace {

using kelm::port::SHIFT_PRESSED;
using kelm::port::VK_F3;

class SearchCountTest : public InspectorUiTest {
 protected:
  void SetUp() override {
    ResetSearchForTests();
    InspectorUiTest::SetUp();
  }
  void TearDown() override {
    InspectorUiTest::TearDown();
    ResetSearchForTests();
  }
  void SearchFor(const std::u16string& typed) {
    const ParsedPattern parsed = ParseSearchPattern(typed);
    ASSERT_EQ(parsed.outcome, ParsedPattern::Outcome::Valid);
    StartSearch(parsed.pattern, SearchStartAfterSelection(), SearchDirection::Forward);
    Frame();
  }
  // Frames until the count is done; how many it took.
  int FramesUntilCounted(int budget) {
    int frames = 0;
    while ((MatchCountRunning() || SearchRunning()) && frames < budget) {
      Frame();
      ++frames;
    }
    return frames;
  }
  std::string Count() const { return FieldText(kMatchStatusKey); }

  // "ab" a million times, then a lone "a".
  void StartOnAMillion() {
    std::vector<uint8_t> bytes;
    bytes.reserve(2000001);
    for (int i = 0; i < 1000000; ++i) bytes.insert(bytes.end(), {'a', 'b'});
    bytes.push_back('a');
    Start(bytes);
    // 64 KiB a frame: the count takes some thirty frames.
    searchSettings.chunkSize = 65536;
    searchSettings.frameBudget = std::chrono::microseconds(0);
  }
};

TEST_F(SearchCountTest, AMillionMatchesAreCountedAChunkPerFrame) {
  StartOnAMillion();
  SearchFor(u"\"ab");
  EXPECT_EQ(selection.start, 0u);
  ASSERT_TRUE(MatchCountRunning());
  // The rank is known at once (nothing lies before the first match).
  EXPECT_EQ(Count().substr(0, 17), "1 of ? (counting ") << Count();
  EXPECT_LT(std::stoi(Count().substr(17)), 10) << Count();
  Frame();
  EXPECT_EQ(engine->LastWaitMs(), 0u);
  const int frames = FramesUntilCounted(1000);
  EXPECT_GE(frames, 25);
  EXPECT_EQ(Count(), "1 of 1000000");
  EXPECT_NE(Row(kConsoleRows - 1).find("match: 1 of 1000000"), std::string::npos) << Row(kConsoleRows - 1);
  // Done: the view idles again.
  for (int i = 0; i < 4 && engine->LastWaitMs() != kelm::port::kWaitForever; ++i) Frame();
  EXPECT_EQ(engine->LastWaitMs(), kelm::port::kWaitForever);

  // F3 and Shift+F3 step the rank without a count; the wraps land on the
  // first and the last match.
  Key(VK_F3);
  EXPECT_EQ(selection.start, 2u);
  EXPECT_EQ(Count(), "2 of 1000000");
  EXPECT_FALSE(MatchCountRunning());
  Key(VK_F3, SHIFT_PRESSED);
  Key(VK_F3, SHIFT_PRESSED);
  EXPECT_EQ(selection.start, 1999998u);
  EXPECT_EQ(Count(), "1000000 of 1000000");
  Key(VK_F3);
  EXPECT_EQ(selection.start, 0u);
  EXPECT_EQ(Count(), "1 of 1000000");
}

TEST_F(SearchCountTest, AfterTheSelectionMovedTheRankIsCountedAgain) {
  StartOnAMillion();
  SearchFor(u"\"ab");
  FramesUntilCounted(1000);
  ASSERT_EQ(Count(), "1 of 1000000");
  Select(1500001, 1);
  Key(VK_F3);
  EXPECT_EQ(selection.start, 1500002u);
  ASSERT_TRUE(MatchCountRunning());
  EXPECT_EQ(Count().substr(0, 20), "? of 1000000 (placin") << Count();
  FramesUntilCounted(1000);
  EXPECT_EQ(Count(), "750002 of 1000000");
}

TEST_F(SearchCountTest, EscStopsTheCountAndANewPatternCountsAgain) {
  StartOnAMillion();
  SearchFor(u"\"ab");
  Frame(3);
  ASSERT_TRUE(MatchCountRunning());
  Escape();
  EXPECT_FALSE(MatchCountRunning());
  EXPECT_EQ(Count(), "count stopped");
  for (int i = 0; i < 4 && engine->LastWaitMs() != kelm::port::kWaitForever; ++i) Frame();
  EXPECT_EQ(engine->LastWaitMs(), kelm::port::kWaitForever);
  // Another pattern: "ba" stands a million times (the last before the lone
  // "a"); after the selection 0..1 the next one is at 3, the second.
  SearchFor(u"\"ba");
  EXPECT_EQ(selection.start, 3u);
  FramesUntilCounted(1000);
  EXPECT_EQ(Count(), "2 of 1000000");
}

TEST_F(SearchCountTest, ANewSearchStopsTheCountOfTheOldPattern) {
  StartOnAMillion();
  SearchFor(u"\"ab");
  Frame(2);
  ASSERT_TRUE(MatchCountRunning());
  // Slow enough to watch: the next search runs over several frames.
  searchSettings.chunkSize = 4096;
  Select(0, 1);
  const ParsedPattern parsed = ParseSearchPattern(u"\"aa");
  StartSearch(parsed.pattern, 0, SearchDirection::Forward);
  EXPECT_TRUE(SearchRunning());
  EXPECT_FALSE(MatchCountRunning());
  EXPECT_EQ(Count(), "(hidden)");
}

}  // namespace
}  // namespace inspector_ui_test
