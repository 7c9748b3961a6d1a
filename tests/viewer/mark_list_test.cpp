// Removing marks while the seek mark keeps naming its own element.
#include <gtest/gtest.h>

#include "viewer/mark_list.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

class MarkList : public ::testing::Test {
 protected:
  void SetUp() override {
    ResetViewerStateForTests();
    for (uint64_t i = 0; i < 5; ++i) {
      MarkedRange mark;
      mark.start = i * 10;
      mark.length = 1;
      markedRanges.push_back(mark);
    }
  }
  void TearDown() override { ResetViewerStateForTests(); }

  std::vector<uint64_t> Starts() const {
    std::vector<uint64_t> starts;
    for (const MarkedRange& mark : markedRanges) starts.push_back(mark.start);
    return starts;
  }
};

TEST_F(MarkList, RemoveKeepsTheOrderOfTheOthers) {
  RemoveMark(1);
  EXPECT_EQ(Starts(), (std::vector<uint64_t>{0, 20, 30, 40}));
  RemoveMark(3);
  EXPECT_EQ(Starts(), (std::vector<uint64_t>{0, 20, 30}));
  RemoveMark(7);
  EXPECT_EQ(Starts(), (std::vector<uint64_t>{0, 20, 30}));
}

TEST_F(MarkList, SeekMarkFollowsItsElement) {
  seekMark = 3;
  RemoveMark(4);
  EXPECT_EQ(seekMark, 3u);
  RemoveMark(0);
  ASSERT_EQ(seekMark, 2u);
  EXPECT_EQ(markedRanges[*seekMark].start, 30u);
  RemoveMark(2);
  EXPECT_FALSE(seekMark.has_value());
}

TEST_F(MarkList, RemoveSeekMark) {
  RemoveSeekMark();
  EXPECT_EQ(markedRanges.size(), 5u) << "no seek mark: nothing removed";
  seekMark = 2;
  RemoveSeekMark();
  EXPECT_EQ(Starts(), (std::vector<uint64_t>{0, 10, 30, 40}));
  EXPECT_FALSE(seekMark.has_value());
}

}  // namespace
}  // namespace viewer_test
