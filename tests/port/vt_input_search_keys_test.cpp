// The keys of the search form's options (Ctrl+E, Ctrl+L) and of the data
// and different-byte jumps (d, D, b, B) as the decoder reads them in the
// forms terminals send: plain control bytes (xterm, urxvt, VTE, foot), the
// kitty keyboard protocol and xterm's modifyOtherKeys.
#include <gtest/gtest.h>

#include "tests/port/vt_input_support.h"

namespace {

using kelm::port::test::DecodeWhole;

TEST(VtInputSearchKeys, CtrlEAndCtrlLInEveryForm) {
  EXPECT_EQ(DecodeWhole("\x05"), "C-E=05");
  EXPECT_EQ(DecodeWhole("\x0c"), "C-L=0c");
  EXPECT_EQ(DecodeWhole("\x1b[101;5u"), "C-E=05");  // kitty
  EXPECT_EQ(DecodeWhole("\x1b[108;5u"), "C-L=0c");
  EXPECT_EQ(DecodeWhole("\x1b[27;5;101~"), "C-E=05");  // modifyOtherKeys
  EXPECT_EQ(DecodeWhole("\x1b[27;5;108~"), "C-L=0c");
}

TEST(VtInputSearchKeys, JumpLettersWithAndWithoutShift) {
  EXPECT_EQ(DecodeWhole("dDbB"), "D='d' S-D='D' B='b' S-B='B'");
  EXPECT_EQ(DecodeWhole("\x1b[100u\x1b[100;2u"), "D='d' S-D='D'");  // kitty reports Shift apart
}

}  // namespace
