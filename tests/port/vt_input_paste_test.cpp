// Input decoder: bracketed paste.
#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "engine/port/terminal/codec/vt_input.h"
#include "engine/port/utf.h"
#include "tests/port/vt_input_support.h"

namespace kelm::port::test {
namespace {

const std::string kStart = "\x1b[200~";
const std::string kEnd = "\x1b[201~";

TEST(VtInputPaste, TextBetweenTheMarkersIsOnePaste) {
  const std::string bytes = "a" + kStart + "hello world" + kEnd + "b";
  EXPECT_EQ(DecodeWhole(bytes), "A='a' paste{hello world} B='b'");
  EXPECT_EQ(DecodeBytewise(bytes), "A='a' paste{hello world} B='b'");
  for (uint32_t seed = 1; seed <= 20; ++seed) EXPECT_EQ(DecodeInPieces(bytes, seed, 7), "A='a' paste{hello world} B='b'");
}

TEST(VtInputPaste, BytesInsideAreNeverKeys) {
  const auto events = DecodeEvents(kStart + "q\x03\r\n\t\x7f\x1a\x08" + kEnd);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].kind, VtEvent::Kind::Paste);
  EXPECT_EQ(events[0].text, u"q\x03\r\n\t\x7f\x1a\x08");
}

TEST(VtInputPaste, EscBytesAreRemovedTheRestKept) {
  EXPECT_EQ(DecodeWhole(kStart + "a\x1b[Ab\x1b\x1b" "c" + kEnd), "paste{a[Abc}");
  // A nested start marker is text too.
  EXPECT_EQ(DecodeWhole(kStart + "x" + kStart + "y" + kEnd), "paste{x[200~y}");
  // Something that starts like the end marker but is not.
  EXPECT_EQ(DecodeWhole(kStart + "a\x1b[20x\x1b[2011~" + kEnd), "paste{a[20x[2011~}");
}

TEST(VtInputPaste, Utf8IsDecoded) {
  const auto events = DecodeEvents(kStart + "\xc3\xa9\xf0\x9f\x98\x80\xe2\x82\xac" + kEnd);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, u"\u00e9\U0001F600\u20ac");
}

TEST(VtInputPaste, InvalidUtf8BecomesReplacementCharacters) {
  const auto events = DecodeEvents(kStart + "a\xff" "b\xe2\x82" "c\xed\xa0\x80" "d\xc3" + kEnd);
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text, u"a\uFFFD" "b\uFFFD" "c\uFFFD\uFFFD\uFFFD" "d\uFFFD");
}

TEST(VtInputPaste, EmptyPaste) {
  EXPECT_EQ(DecodeWhole(kStart + kEnd + "x"), "paste{} X='x'");
}

TEST(VtInputPaste, SplitEndMarkerIsHeldBack) {
  VtInputDecoder decoder;
  EXPECT_EQ(DecodeNoFlush(decoder, kStart + "abc\x1b[20"), "");
  EXPECT_TRUE(decoder.HasPending());
  EXPECT_EQ(DecodeNoFlush(decoder, "1"), "");
  EXPECT_EQ(DecodeNoFlush(decoder, "~z"), "paste{abc} Z='z'");
  EXPECT_FALSE(decoder.HasPending());
}

TEST(VtInputPaste, StrayEndMarkerIsDropped) {
  EXPECT_EQ(DecodeWhole(kEnd + "x"), "X='x'");
}

TEST(VtInputPaste, PasteThatNeverEndsIsDeliveredAfterItsTimeOut) {
  VtInputDecoder decoder;
  EXPECT_EQ(DecodeNoFlush(decoder, kStart + "abc\x1b[2", 100), "");
  EXPECT_EQ(decoder.PendingDeadline(), 100 + VtInputDecoder::kPasteTimeoutMs);
  // The Esc time-out does not end a paste.
  EXPECT_EQ(FlushAt(decoder, 100 + VtInputDecoder::kDefaultEscTimeoutMs), "");
  EXPECT_EQ(DecodeNoFlush(decoder, "q", 200), "");
  EXPECT_EQ(FlushAt(decoder, 200 + VtInputDecoder::kPasteTimeoutMs - 1), "");
  EXPECT_EQ(FlushAt(decoder, 200 + VtInputDecoder::kPasteTimeoutMs), "paste{abc[2q}");
  EXPECT_FALSE(decoder.HasPending());
  EXPECT_EQ(DecodeNoFlush(decoder, "q", 5000), "Q='q'");
}

// Feeds `total` bytes of `fill` as a paste in pieces of `piece` bytes.
std::vector<VtEvent> FeedLargePaste(size_t total, size_t piece, char fill, const std::string& tail) {
  VtInputDecoder decoder;
  std::vector<VtEvent> events;
  decoder.Feed(kStart.data(), kStart.size(), kStartMs, events);
  const std::string chunk(piece, fill);
  for (size_t sent = 0; sent < total; sent += piece) {
    decoder.Feed(chunk.data(), std::min(piece, total - sent), kStartMs, events);
  }
  decoder.Feed(tail.data(), tail.size(), kStartMs, events);
  return events;
}

TEST(VtInputPaste, HugePasteIsCappedAndTheEndIsStillFound) {
  const size_t total = VtInputDecoder::kMaxPasteBytes + 3'000'000;
  const auto events = FeedLargePaste(total, 65536, 'x', kEnd + "k");
  ASSERT_EQ(events.size(), 3u);
  EXPECT_EQ(events[0].kind, VtEvent::Kind::Paste);
  EXPECT_EQ(events[0].text.size(), VtInputDecoder::kMaxPasteBytes);
  EXPECT_EQ(events[0].text.find_first_not_of(u'x'), std::u16string::npos);
  EXPECT_EQ(Describe({events[1], events[2]}), "K='k'");
}

TEST(VtInputPaste, CapNeverCutsACharacterInHalf) {
  VtInputDecoder decoder;
  std::vector<VtEvent> events;
  const std::string body(VtInputDecoder::kMaxPasteBytes - 1, 'a');
  const std::string bytes = kStart + body + "\xc3\xa9" + "more" + kEnd;
  decoder.Feed(bytes.data(), bytes.size(), kStartMs, events);
  ASSERT_EQ(events.size(), 1u);
  ASSERT_EQ(events[0].text.size(), body.size());
  EXPECT_EQ(events[0].text.back(), u'a');
}

TEST(VtInputPaste, HundredMegabytesTakeLinearTime) {
  // In small pieces, each ending with a held-back start of the end marker, so
  // both the scan and the joining of pending bytes are exercised.
  const size_t pieces = 100 * 256;  // 100 MiB in 4 KiB pieces
  std::string chunk(4096 - 4, 'y');
  chunk += "\x1b[20";
  VtInputDecoder decoder;
  std::vector<VtEvent> events;
  const auto start = std::chrono::steady_clock::now();
  decoder.Feed(kStart.data(), kStart.size(), kStartMs, events);
  for (size_t i = 0; i < pieces; ++i) decoder.Feed(chunk.data(), chunk.size(), kStartMs, events);
  decoder.Feed(kEnd.data(), kEnd.size(), kStartMs, events);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].text.size(), VtInputDecoder::kMaxPasteBytes);
  // Linear work is well under a second even with sanitizers; a quadratic
  // decoder would take hours.
  EXPECT_LT(elapsed, std::chrono::seconds(30));
}

}  // namespace
}  // namespace kelm::port::test
