// Input decoder: the Esc time-out, pending bytes and Flush.
#include <gtest/gtest.h>

#include <limits>

#include "engine/port/terminal/codec/vt_input.h"
#include "tests/port/vt_input_support.h"

namespace kelm::port::test {
namespace {

constexpr uint64_t kTimeout = VtInputDecoder::kDefaultEscTimeoutMs;

TEST(VtInputEscape, LoneEscIsEscOnlyOnceTheTimeOutPassed) {
  VtInputDecoder decoder;
  EXPECT_FALSE(decoder.HasPending());
  EXPECT_EQ(DecodeNoFlush(decoder, "\x1b", 100), "");
  EXPECT_TRUE(decoder.HasPending());
  EXPECT_EQ(decoder.PendingDeadline(), 100 + kTimeout);
  EXPECT_EQ(FlushAt(decoder, 100 + kTimeout - 1), "");
  EXPECT_TRUE(decoder.HasPending());
  EXPECT_EQ(FlushAt(decoder, 100 + kTimeout), "Esc=1b");
  EXPECT_FALSE(decoder.HasPending());
  EXPECT_EQ(FlushAt(decoder, 100 + 10 * kTimeout), "");
}

TEST(VtInputEscape, KeyWithinTheTimeOutMakesAlt) {
  VtInputDecoder decoder;
  EXPECT_EQ(DecodeNoFlush(decoder, "\x1b", 100), "");
  EXPECT_EQ(DecodeNoFlush(decoder, "x", 100 + kTimeout - 1), "A-X='x'");
  EXPECT_FALSE(decoder.HasPending());
}

TEST(VtInputEscape, KeyAfterTheTimeOutIsSeparateEvenWithoutFlush) {
  VtInputDecoder decoder;
  EXPECT_EQ(DecodeNoFlush(decoder, "\x1b", 100), "");
  EXPECT_EQ(DecodeNoFlush(decoder, "x", 100 + kTimeout), "Esc=1b X='x'");
  EXPECT_FALSE(decoder.HasPending());
}

TEST(VtInputEscape, TimeOutIsConfigurable) {
  VtInputDecoder decoder(100);
  DecodeNoFlush(decoder, "\x1b", 5000);
  EXPECT_EQ(decoder.PendingDeadline(), 5100u);
  EXPECT_EQ(FlushAt(decoder, 5099), "");
  EXPECT_EQ(FlushAt(decoder, 5100), "Esc=1b");
}

TEST(VtInputEscape, EscEscWaitsThenIsAltEsc) {
  VtInputDecoder decoder;
  EXPECT_EQ(DecodeNoFlush(decoder, "\x1b\x1b", 100), "");
  EXPECT_EQ(FlushAt(decoder, 100 + kTimeout), "A-Esc=1b");
}

TEST(VtInputEscape, StaleSequenceIntroducersAreAltKeys) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x1b[", "A-LBracket='['"},
      {"\x1bO", "A-S-O='O'"},
      {"\x1b]", "A-RBracket=']'"},
      {"\x1bP", "A-S-P='P'"},
      {"\x1b\xc3", "A-Packet=U+FFFD"},
  };
  for (const auto& [bytes, expected] : cases) {
    VtInputDecoder decoder;
    EXPECT_EQ(DecodeNoFlush(decoder, bytes, 100), "") << bytes;
    EXPECT_EQ(FlushAt(decoder, 100 + kTimeout), expected) << bytes;
  }
}

TEST(VtInputEscape, StalePartialSequencesAreDroppedAndTheNextKeyIsDecoded) {
  const char* partials[] = {"\x1b[1;5", "\x1b[<0;12", "\x1bO1;", "\x1b[M!", "\x1b\x1b[1", "\x1b[[",
                            "\x1b]11;rgb:00", "\x1bP>|xterm"};
  for (const char* bytes : partials) {
    VtInputDecoder decoder;
    EXPECT_EQ(DecodeNoFlush(decoder, bytes, 100), "") << bytes;
    EXPECT_TRUE(decoder.HasPending()) << bytes;
    EXPECT_EQ(FlushAt(decoder, kLongAfterMs), "") << bytes;
    EXPECT_FALSE(decoder.HasPending()) << bytes;
    EXPECT_EQ(DecodeNoFlush(decoder, "A", kLongAfterMs + 1), "S-A='A'") << bytes;
  }
}

TEST(VtInputEscape, DeadlineCountsFromTheLatestBytes) {
  VtInputDecoder decoder;
  DecodeNoFlush(decoder, "\x1b[1", 100);
  EXPECT_EQ(decoder.PendingDeadline(), 100 + kTimeout);
  DecodeNoFlush(decoder, ";5", 110);
  EXPECT_EQ(decoder.PendingDeadline(), 110 + kTimeout);
  EXPECT_EQ(FlushAt(decoder, 100 + kTimeout), "");
  EXPECT_EQ(DecodeNoFlush(decoder, "A", 120), "C-Up*");
  EXPECT_FALSE(decoder.HasPending());
}

TEST(VtInputEscape, OnlyAStringReplyInProgressWaitsLonger) {
  VtInputDecoder decoder;
  DecodeNoFlush(decoder, "\x1b]11;rgb:", 100);
  EXPECT_EQ(decoder.PendingDeadline(), 100 + VtInputDecoder::kStringTimeoutMs);
  EXPECT_EQ(FlushAt(decoder, 100 + kTimeout), "");
  EXPECT_EQ(DecodeNoFlush(decoder, "0/0/0\x07", 150), "reply:OSC{\\e]11;rgb:0/0/0\\a}");
}

TEST(VtInputEscape, NothingPendingAfterCompleteInput) {
  VtInputDecoder decoder;
  EXPECT_EQ(decoder.PendingDeadline(), std::numeric_limits<uint64_t>::max());
  EXPECT_EQ(DecodeNoFlush(decoder, "a\x1b[A\x1b[27u\x1b[<0;1;1M"), "A='a' Up* Esc=1b m@0,0:- b@0,0:L");
  EXPECT_FALSE(decoder.HasPending());
  EXPECT_EQ(decoder.PendingDeadline(), std::numeric_limits<uint64_t>::max());
}

TEST(VtInputEscape, EmptyFeedChangesNothing) {
  VtInputDecoder decoder;
  DecodeNoFlush(decoder, "\x1b", 100);
  EXPECT_EQ(DecodeNoFlush(decoder, "", 100 + 10 * kTimeout), "");
  EXPECT_TRUE(decoder.HasPending());
  EXPECT_EQ(decoder.PendingDeadline(), 100 + kTimeout);
}

TEST(VtInputEscape, EscThenKeysInOneReadAreAlt) {
  EXPECT_EQ(DecodeWhole("\x1b" "ab"), "A-A='a' B='b'");
  EXPECT_EQ(DecodeWhole("ab\x1b"), "A='a' B='b' Esc=1b");
}

}  // namespace
}  // namespace kelm::port::test
