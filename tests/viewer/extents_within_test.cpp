// The extents of a stretch of a file in offsets into the stretch: data and
// holes moved by the stretch's start, the stretch's end as the file's end,
// and answers that would walk backwards or past the end held in.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "tests/viewer/sparse_layout.h"
#include "viewer/data_extents.h"

using namespace kelm::viewer;

namespace {

using sparse_test::SparseLayout;

// 1000 bytes: data at [100, 200) and [600, 700), holes elsewhere.
SparseLayout TwoExtents() {
  SparseLayout file(1000);
  file.Data(100, std::vector<uint8_t>(100, 1)).Data(600, std::vector<uint8_t>(100, 2));
  return file;
}

TEST(ExtentsWithin, AnswersAreOffsetsIntoTheStretch) {
  const SparseLayout file = TwoExtents();
  // [150, 650): data to 50, a hole to 450, data to the stretch's end.
  const DataExtents window = ExtentsWithin(file.Extents(), 150, 500);
  ASSERT_TRUE(window.Known());
  EXPECT_EQ(window.nextData(0), 0u);
  EXPECT_EQ(window.nextHole(0), 50u);
  EXPECT_EQ(window.nextData(50), 450u);
  EXPECT_EQ(window.nextHole(50), 50u);
  EXPECT_EQ(window.nextData(300), 450u);
  EXPECT_EQ(window.nextData(450), 450u);
  // The data goes on to 700 in the file; the stretch ends at 500.
  EXPECT_EQ(window.nextHole(450), 500u);
  EXPECT_EQ(window.nextData(500), 500u);
  EXPECT_EQ(window.nextHole(499), 500u);
  EXPECT_EQ(window.nextData(UINT64_MAX), 500u);
}

TEST(ExtentsWithin, AStretchInsideOneHoleIsHoleToItsEnd) {
  const SparseLayout file = TwoExtents();
  // [250, 550) lies between the two extents: the data at 600 is past it.
  const DataExtents window = ExtentsWithin(file.Extents(), 250, 300);
  EXPECT_EQ(window.nextData(0), 300u);
  EXPECT_EQ(window.nextHole(0), 0u);
  EXPECT_EQ(window.nextData(299), 300u);
}

TEST(ExtentsWithin, AnswersBehindTheOffsetOrPastTheStretchAreHeldIn) {
  DataExtents broken;
  broken.nextData = [](uint64_t) { return uint64_t{0}; };             // always "before you"
  broken.nextHole = [](uint64_t) { return uint64_t{1} << 62; };       // far past any end
  const DataExtents window = ExtentsWithin(broken, 1000, 64);
  EXPECT_EQ(window.nextData(10), 10u) << "an answer behind the offset means data here";
  EXPECT_EQ(window.nextHole(10), 64u) << "an answer past the stretch means its end";
}

TEST(ExtentsWithin, NoExtentsStayNoExtents) {
  const DataExtents window = ExtentsWithin(DataExtents{}, 150, 500);
  EXPECT_FALSE(window.Known());
  EXPECT_EQ(window.NextData(7), 7u);
  EXPECT_EQ(window.NextHole(7, 500), 500u);
}

}  // namespace
