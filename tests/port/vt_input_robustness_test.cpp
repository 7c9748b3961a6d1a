// Input decoder: replies to queries, unknown, malformed and truncated
// sequences, and random input.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "engine/port/terminal/codec/vt_input.h"
#include "tests/port/vt_input_support.h"

namespace kelm::port::test {
namespace {

TEST(VtInputReplies, RepliesAreNeverKeys) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x1b[?1u", "reply:Kitty{\\e[?1u}"},
      {"\x1b[?0u", "reply:Kitty{\\e[?0u}"},
      {"\x1b[?62;22;52c", "reply:DA1{\\e[?62;22;52c}"},
      {"\x1b[>41;390;0c", "reply:DA2{\\e[>41;390;0c}"},
      {"\x1b[>4;2m", "reply:ModifyOtherKeys{\\e[>4;2m}"},
      {"\x1b[>4m", "reply:ModifyOtherKeys{\\e[>4m}"},
      {"\x1b[12;40R", "reply:CursorPosition{\\e[12;40R}"},
      // Same shape as xterm's Ctrl+F3: a reply, never a key.
      {"\x1b[1;5R", "reply:CursorPosition{\\e[1;5R}"},
      {"\x1b[?12;40;1R", "reply:CursorPosition{\\e[?12;40;1R}"},
      {"\x1b[?2026;2$y", "reply:ModeReport{\\e[?2026;2$y}"},
      {"\x1b[4;2$y", "reply:ModeReport{\\e[4;2$y}"},
      {"\x1b]11;rgb:0000/0000/0000\x1b\\", "reply:OSC{\\e]11;rgb:0000/0000/0000\\e\\}"},
      {"\x1b]10;rgb:ffff/ffff/ffff\x07", "reply:OSC{\\e]10;rgb:ffff/ffff/ffff\\a}"},
      {"\x1b]4;1;rgb:cdcd/0000/0000\x07", "reply:OSC{\\e]4;1;rgb:cdcd/0000/0000\\a}"},
      {"\x1bP>|XTerm(390)\x1b\\", "reply:DCS{\\eP>|XTerm(390)\\e\\}"},
      {"\x1bP1$r0m\x1b\\", "reply:DCS{\\eP1$r0m\\e\\}"},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(DecodeWhole(bytes + "x"), expected + " X='x'") << bytes;
    EXPECT_EQ(DecodeBytewise(bytes + "x"), expected + " X='x'") << bytes;
  }
}

TEST(VtInputReplies, ReplyCarriesTheRawBytesAndItsType) {
  const auto events = DecodeEvents("\x1b[?31u\x1b[?65;1c");
  ASSERT_EQ(events.size(), 2u);
  EXPECT_EQ(events[0].kind, VtEvent::Kind::Reply);
  EXPECT_EQ(events[0].replyType, VtEvent::ReplyType::KittyKeyboardFlags);
  EXPECT_EQ(events[0].reply, "\x1b[?31u");
  EXPECT_EQ(events[1].replyType, VtEvent::ReplyType::PrimaryDeviceAttributes);
  EXPECT_EQ(events[1].reply, "\x1b[?65;1c");
}

TEST(VtInputReplies, ColourReplyAmidKeys) {
  EXPECT_EQ(DecodeBytewise("a\x1b]11;rgb:1a1a/1b1b/2c2c\x1b\\\x1b[Ab"),
            "A='a' reply:OSC{\\e]11;rgb:1a1a/1b1b/2c2c\\e\\} Up* B='b'");
}

TEST(VtInputGarbage, UnknownSequencesAreDroppedWhole) {
  const std::pair<std::string, std::string> cases[] = {
      {"\x1b[99Xa", "A='a'"},
      {"\x1b[?1049ha", "A='a'"},
      {"\x1b[=5ua", "A='a'"},
      {"\x1b[1;2;3;4;5qa", "A='a'"},
      {"\x1b[ qa", "A='a'"},
      {"\x1b[u" "a", "A='a'"},
      {"\x1b[E" "a", "A='a'"},     // keypad 5 with Num Lock off: no key
      {"\x1bO5Za", "A='a'"},       // SS3 with an unknown final
      {"\x1b[1;5Ea", "A='a'"},
      {"\x1b[99~a", "A='a'"},
      {"\x1b[27;5;57441~a", "A='a'"},
      {"\x1b[1;2;3;4;5;6;7;8;9;10;11;12;13;14;15;16;17Aa", "A='a'"},  // too many parameters
      {"\x1b[1<5Aa", "A='a'"},     // private marker out of place
      {"\x1b[1;2 5~a", "A='a'"},   // parameter after an intermediate
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(DecodeWhole(bytes), expected) << bytes;
    EXPECT_EQ(DecodeBytewise(bytes), expected) << bytes;
  }
}

TEST(VtInputGarbage, BrokenSequencesNeverEatTheKeysAfterThem) {
  const std::pair<std::string, std::string> cases[] = {
      // Cut by a control byte: the prefix goes, the control byte is a key.
      {"\x1b[1;5\x03", "C-C=03"},
      {"\x1b[<0;12\r", "Enter=0d"},
      // Cut by a new sequence.
      {"\x1b[1;\x1b[A", "Up*"},
      {"\x1bO1\x1b[B", "Down*"},
      {"\x1b]11;rgb:00\x1b[C", "Right*"},
      {"\x1b]11;rgb\x03", "C-C=03"},
      {"\x1bP>|x\x1b[D", "Left*"},
      // Cut by a byte that belongs to no sequence.
      {"\x1b[1\xc3\xa9", "Packet=U+00E9"},
      {"\x1b[1\x7f", "Back=08"},
      // ESC [ followed by such a byte: Alt+[ then the byte.
      {"\x1b[\x03", "A-LBracket='[' C-C=03"},
      {"\x1bO\x03", "A-S-O='O' C-C=03"},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(DecodeWhole(bytes), expected) << bytes;
    EXPECT_EQ(DecodeBytewise(bytes), expected) << bytes;
  }
}

TEST(VtInputGarbage, OverlongSequencesAreDropped) {
  const std::string longCsi = "\x1b[" + std::string(100, '1') + "A" + "b";
  EXPECT_EQ(DecodeWhole(longCsi), "B='b'");
  EXPECT_EQ(DecodeBytewise(longCsi), "B='b'");
  const std::string manyParameters = "\x1b[" + std::string(200, ';') + "~b";
  EXPECT_EQ(DecodeWhole(manyParameters), "B='b'");
  // Cut short by a control byte while being skipped.
  EXPECT_EQ(DecodeWhole("\x1b[" + std::string(100, '2') + "\x03"), "C-C=03");

  const std::string longOsc = "\x1b]52;c;" + std::string(5000, 'Q') + "\x07" + "b";
  EXPECT_EQ(DecodeWhole(longOsc), "B='b'");
  EXPECT_EQ(DecodeBytewise(longOsc), "B='b'");
  const std::string longOscSt = "\x1b]52;c;" + std::string(5000, 'Q') + "\x1b\\" + "b";
  EXPECT_EQ(DecodeWhole(longOscSt), "B='b'");
  EXPECT_EQ(DecodeBytewise(longOscSt), "B='b'");
  // Ended by a new sequence while being skipped.
  EXPECT_EQ(DecodeBytewise("\x1b]52;c;" + std::string(5000, 'Q') + "\x1b[A"), "Up*");
}

TEST(VtInputGarbage, EndlessSequenceIsGivenUpAfterItsTimeOut) {
  VtInputDecoder decoder;
  DecodeNoFlush(decoder, "\x1b[" + std::string(1000, '1'), 100);
  EXPECT_TRUE(decoder.HasPending());
  EXPECT_EQ(FlushAt(decoder, 100 + VtInputDecoder::kDefaultEscTimeoutMs), "");
  EXPECT_FALSE(decoder.HasPending());
  EXPECT_EQ(DecodeNoFlush(decoder, "1", 200), "1='1'");

  VtInputDecoder strings;
  DecodeNoFlush(strings, "\x1b]1;" + std::string(100000, 'z'), 100);
  EXPECT_EQ(FlushAt(strings, 100 + VtInputDecoder::kStringTimeoutMs), "");
  EXPECT_EQ(DecodeNoFlush(strings, "z", 1000), "Z='z'");
}

TEST(VtInputGarbage, MixedStreamSplitAnywhere) {
  const std::string bytes =
      "a\x1b[1;5A\xc3\xa9\x1b[<0;3;4M\x1b[99X\x1b]11;rgb:0/0/0\x07\x1b[200~p\x1b\x1bq\x1b[201~"
      "\x1b\x1b[B\x1b[27;6;72~\x1b[I\x01\x1bOP\x1b[<0;3;4m\xf0\x9f\x98\x80\x1b";
  const std::string expected =
      "A='a' C-Up* Packet=U+00E9 m@2,3:- b@2,3:L reply:OSC{\\e]11;rgb:0/0/0\\a} paste{pq} A-Down* "
      "C-S-H=08 focus+ C-A=01 F1 m@2,3:L b@2,3:- Packet=U+D83D Packet=U+DE00 Esc=1b";
  EXPECT_EQ(DecodeWhole(bytes), expected);
  EXPECT_EQ(DecodeBytewise(bytes), expected);
  for (uint32_t seed = 1; seed <= 50; ++seed) EXPECT_EQ(DecodeInPieces(bytes, seed, 9), expected) << seed;
}

// Random input built from the bytes that matter to the decoder.
std::string RandomInput(uint32_t seed, size_t length) {
  static const char kAlphabet[] = "\x1b\x1b\x1b[[[O]P;;;:<>?$~~uMmARZIc0123456789aA \x07\\\x03\x7f\r\xc3\xa9\xf0\x9f\x80\xff";
  std::mt19937 random(seed);
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
  std::string s;
  s.reserve(length);
  for (size_t i = 0; i < length; ++i) s += kAlphabet[pick(random)];
  return s;
}

TEST(VtInputFuzz, RandomInputDecodesTheSameInAnySplitAndKeepsRecordsWellFormed) {
  for (uint32_t seed = 1; seed <= 40; ++seed) {
    const std::string bytes = RandomInput(seed, 4000);
    const std::string whole = DecodeWhole(bytes);
    EXPECT_EQ(whole.find("BAD<"), std::string::npos) << seed;
    EXPECT_EQ(DecodeBytewise(bytes), whole) << seed;
    EXPECT_EQ(DecodeInPieces(bytes, seed, 17), whole) << seed;
  }
}

TEST(VtInputFuzz, RandomInputWithRandomTimingNeverBreaksTheDecoder) {
  std::mt19937 random(7);
  for (uint32_t seed = 100; seed < 110; ++seed) {
    const std::string bytes = RandomInput(seed, 20000);
    VtInputDecoder decoder;
    std::vector<VtEvent> events;
    uint64_t now = 0;
    size_t pos = 0;
    while (pos < bytes.size()) {
      const size_t piece = std::min<size_t>(1 + random() % 40, bytes.size() - pos);
      decoder.Feed(bytes.data() + pos, piece, now, events);
      pos += piece;
      now += random() % 40;
      decoder.Flush(now, events);
    }
    decoder.Flush(now + 1'000'000, events);
    EXPECT_FALSE(decoder.HasPending());
    EXPECT_EQ(Describe(events).find("BAD<"), std::string::npos) << seed;
  }
}

}  // namespace
}  // namespace kelm::port::test
