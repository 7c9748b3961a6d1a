// The inspector refresh reads the selection from the file.
#include "tests/viewer/viewer_harness.h"
#include "viewer/values_refresh.h"
#include "viewer/decoded_values.h"

using namespace kelm::viewer;

namespace viewer_test {
namespace {

class SelectionInspector : public ViewerTest {
 protected:
  void Select(uint64_t start, uint64_t length, bool active = true) {
    selection.start = start;
    selection.length = length;
    selectionActive = active;
    RefreshInspector();
  }
  std::u16string Field(const std::u16string& key) const {
    for (const StatusField& field : statusFields) {
      if (field.key == key) return field.visible ? field.value : u"(hidden)";
    }
    return u"(none)";
  }
};

TEST_F(SelectionInspector, SingleByte) {
  Start({0x00, 0x41, 0x42});
  Select(1, 1);
  EXPECT_EQ(leUnsigned.value, u"65");
  EXPECT_EQ(leChar.value, u"A");
  EXPECT_EQ(Field(u"bin"), u"01000001");
  EXPECT_EQ(Field(u"dec"), u"65 LE u8");
}

TEST_F(SelectionInspector, EightBytesReadFromTheFile) {
  Start({0x00, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF});
  Select(1, 8);
  EXPECT_EQ(leUnsigned.value, u"18446744073709551615");
  EXPECT_EQ(leSigned.value, u"-1");
  EXPECT_EQ(Field(u"bin"), u"(hidden)");
}

TEST_F(SelectionInspector, SelectionRunningPastTheEnd) {
  Start({0x10, 0x20, 0x30});
  Select(1, 4);  // two bytes exist
  EXPECT_EQ(leUnsigned.value, u"12320");
  EXPECT_EQ(leUnsigned.suffix, u"16");
  Select(3, 1);  // none exists
  EXPECT_EQ(leUnsigned.value, u"---");
  EXPECT_EQ(Field(u"dec"), u"(hidden)");
  EXPECT_EQ(Field(u"bin"), u"(hidden)");
}

TEST_F(SelectionInspector, LongOrInactiveSelectionShowsNothing) {
  Start(Counting(20));
  Select(0, 9);
  for (const InspectorValue* record : inspectorValues) EXPECT_EQ(record->value, u"---");
  Select(0, 1, false);
  EXPECT_EQ(leUnsigned.value, u"---");
  Select(0, ~0ULL);
  EXPECT_EQ(leUnsigned.value, u"---");
}

TEST_F(SelectionInspector, ClearInspectorHidesBothFields) {
  Start({0x41});
  Select(0, 1);
  ASSERT_EQ(Field(u"bin"), u"01000001");
  ClearInspector();
  EXPECT_EQ(Field(u"bin"), u"(hidden)");
  EXPECT_EQ(Field(u"dec"), u"(hidden)");
  EXPECT_EQ(leChar.value, u"---");
}

}  // namespace
}  // namespace viewer_test
