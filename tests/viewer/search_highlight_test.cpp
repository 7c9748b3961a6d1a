// Every match in view highlighted while a pattern is set, as screen
// pictures on a 39 x 10 console (4 bytes per row): a match across a row
// break, overlapping matches painted as one run, a match that begins above
// the first row, none at all, and the current match as the selection.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/viewer/viewer_harness.h"
#include "viewer/search.h"
#include "viewer/search_count.h"
#include "viewer/search_highlight.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

class SearchHighlight : public ViewerTest {
 protected:
  void SetUp() override {
    ResetSearchForTests();
    ViewerTest::SetUp();
  }
  void TearDown() override {
    ViewerTest::TearDown();
    ResetSearchForTests();
  }
  std::string FieldText(const std::u16string& key) const {
    for (const StatusField& field : statusFields) {
      if (field.key == key) return field.visible ? kelm::port::ToUtf8(field.value) : "(hidden)";
    }
    return "(missing)";
  }
  void SearchFor(const std::u16string& typed) {
    const ParsedPattern parsed = ParseSearchPattern(typed);
    ASSERT_EQ(parsed.outcome, ParsedPattern::Outcome::Valid);
    StartSearch(parsed.pattern, SearchStartAfterSelection(), SearchDirection::Forward);
    Frame(2);
  }
  // a b . a / b . . . / a a a . / 3 x zeros rows
  static std::vector<uint8_t> Bytes() {
    std::vector<uint8_t> bytes = {0x61, 0x62, 0x00, 0x61, 0x62, 0x00, 0x00, 0x00, 0x61, 0x61, 0x61, 0x00};
    bytes.resize(24, 0x00);
    return bytes;
  }
};

TEST_F(SearchHighlight, WithoutAPatternNothingIsHighlighted) {
  Start(Bytes(), 39, 10);
  ExpectScreen(*console,
               {
                   "     [ File ]    [ Settings ]",
                   "----------------+-------------+-------",
                   "0000000000000000| 61 62 00 61 |a b . a",
                   "0000000000000004| 62 00 00 00 |b . . .",
                   "0000000000000008| 61 61 61 00 |a a a .",
                   "000000000000000C| 00 00 00 00 |. . . .",
                   "0000000000000010| 00 00 00 00 |. . . .",
                   "0000000000000014| 00 00 00 00 |. . . .",
                   "----------------+-------------+-------",
                   "----------------",
               },
               {}, {"", "", "000000000000000000000000000000000000000", "000000000000000000000000000000000000000"});
}

TEST_F(SearchHighlight, TheCurrentMatchIsTheSelectionAndTheOthersHaveTheirColour) {
  Start(Bytes(), 39, 10);
  SearchFor(u"61 62");
  // The first match (0) is the selection (4); the one across the row break
  // (3, 4) is highlighted (6) on both rows, in the hex and the characters.
  ExpectScreen(*console,
               {
                   "     [ File ]    [ Settings ]",
                   "----------------+-------------+-------",
                   "0000000000000000| 61 62 00 61 |a b . a",
                   "0000000000000004| 62 00 00 00 |b . . .",
                   "0000000000000008| 61 61 61 00 |a a a .",
                   "000000000000000C| 00 00 00 00 |. . . .",
                   "0000000000000010| 00 00 00 00 |. . . .",
                   "0000000000000014| 00 00 00 00 |. . . .",
                   "----------------+-------------+-------",
                   "0000000000000000  match: 1 of 2  len:",
               },
               // The match's characters are black (0) but for the grey of
               // the non-printable ones; a row's last pair has no space after
               // it to paint.
               {"", "", "77777777777777777777777777700777777870.", "77777777777777777700777777777770787878."},
               {"", "", "00000000000000000044444000066004440006.", "00000000000000000066000000000006000000."});
}

TEST_F(SearchHighlight, OverlappingMatchesArePaintedAsOneRunAndNeighboursApart) {
  Start(Bytes(), 39, 10);
  Select(4, 1);
  SearchFor(u"61 61");
  // 8 and 9 overlap (61 61 61): one run from 8 to 10, the current match 8
  // under the selection. Zeros "00 00": many neighbouring runs would merge.
  ExpectScreen(*console,
               {
                   "     [ File ]    [ Settings ]",
                   "----------------+-------------+-------",
                   "0000000000000000| 61 62 00 61 |a b . a",
                   "0000000000000004| 62 00 00 00 |b . . .",
                   "0000000000000008| 61 61 61 00 |a a a .",
                   "000000000000000C| 00 00 00 00 |. . . .",
                   "0000000000000010| 00 00 00 00 |. . . .",
                   "0000000000000014| 00 00 00 00 |. . . .",
                   "----------------+-------------+-------",
                   "0000000000000008  match: 1 of 2  len:",
               },
               {}, {"", "", "000000000000000000000000000000000000000", "000000000000000000000000000000000000000",
                    "000000000000000000444446660000044466000"});
  // From the end it wraps to the first "00 61" (2, selected); the other
  // one (7) crosses the break between the second and the third row.
  Select(20, 1);
  SearchFor(u"00 61");
  ExpectScreen(*console,
               {
                   "     [ File ]    [ Settings ]",
                   "----------------+-------------+-------",
                   "0000000000000000| 61 62 00 61 |a b . a",
                   "0000000000000004| 62 00 00 00 |b . . .",
                   "0000000000000008| 61 61 61 00 |a a a .",
                   "000000000000000C| 00 00 00 00 |. . . .",
                   "0000000000000010| 00 00 00 00 |. . . .",
                   "0000000000000014| 00 00 00 00 |. . . .",
                   "----------------+-------------+-------",
                   "0000000000000002  find: wrapped to the",
               },
               {}, {"", "", "000000000000000000000000444440000004440", "000000000000000000000000000660000000060",
                    "000000000000000000660000000000060000000"});
  EXPECT_EQ(FieldText(kMatchStatusKey), "1 of 2");
}

TEST_F(SearchHighlight, AMatchThatBeginsAboveTheFirstRowShowsItsVisiblePart) {
  Start(Bytes(), 39, 10);
  SearchFor(u"61 62");
  ScrollRows(1);
  Frame(2);
  // The match at 3 ends at 4, the first byte of the top row now.
  EXPECT_EQ(Row(2), "0000000000000004| 62 00 00 00 |b . . .");
  EXPECT_EQ(Background(2, 0, 39), "000000000000000000660000000000060000000");
}

TEST_F(SearchHighlight, MatchRunsFromTheBytesAndTheirMargins) {
  // Bytes read from offset 10; "xyx" stands at 10, 12, 19, 21 and 25. The
  // window is [13, 24): the match at 10 ends at 13 and is left out, 12
  // begins above the window and shows, 19 and 21 overlap into one run, 25
  // begins past the window.
  const std::string bytes = "xyxyx....xyxyx.xyx";
  const std::vector<uint8_t> data(bytes.begin(), bytes.end());
  const PatternMatcher matcher(std::vector<uint8_t>{'x', 'y', 'x'});
  const std::vector<MatchRun> runs = MatchRunsIn(matcher, data.data(), data.size(), 10, 13, 11);
  ASSERT_EQ(runs.size(), 2u);
  EXPECT_EQ(runs[0].start, 12u);
  EXPECT_EQ(runs[0].end, 15u);
  EXPECT_EQ(runs[1].start, 19u);
  EXPECT_EQ(runs[1].end, 24u);
}

}  // namespace
}  // namespace viewer_test
