// Input decoder: keys (typed characters, control bytes, cursor and function
// key sequences in every dialect, xterm modifiers, kitty and modifyOtherKeys,
// Alt prefixes) and the records a key becomes.
#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

#include "engine/port/terminal/codec/vt_input.h"
#include "tests/port/vt_input_support.h"

namespace kelm::port::test {
namespace {

using namespace std::string_view_literals;

struct Case {
  std::string_view bytes;
  std::string expected;
};

// Each case must decode the same whole, byte by byte and in random pieces.
void ExpectTable(const std::vector<Case>& cases) {
  uint32_t seed = 1;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "bytes: " << testing::PrintToString(std::string(c.bytes)));
    EXPECT_EQ(DecodeWhole(c.bytes), c.expected);
    EXPECT_EQ(DecodeBytewise(c.bytes), c.expected);
    EXPECT_EQ(DecodeInPieces(c.bytes, seed++, 3), c.expected);
  }
}

// --- Records of one key -------------------------------------------------------

TEST(VtInputKeyRecords, PlainKeyIsDownThenUp) {
  const auto events = DecodeEvents("q");
  ASSERT_EQ(events.size(), 2u);
  const KEY_EVENT_RECORD& down = events[0].record.Event.KeyEvent;
  const KEY_EVENT_RECORD& up = events[1].record.Event.KeyEvent;
  EXPECT_EQ(events[0].kind, VtEvent::Kind::Record);
  EXPECT_EQ(events[0].record.EventType, KEY_EVENT);
  EXPECT_EQ(down.bKeyDown, 1);
  EXPECT_EQ(up.bKeyDown, 0);
  EXPECT_EQ(down.wVirtualKeyCode, 'Q');
  EXPECT_EQ(down.UnicodeChar, u'q');
  EXPECT_EQ(down.wRepeatCount, 1);
  EXPECT_EQ(down.dwControlKeyState, 0u);
}

TEST(VtInputKeyRecords, ModifiedKeyIsWrappedInModifierKeyRecords) {
  // kitty's Ctrl+Shift+C.
  const auto events = DecodeEvents("\x1b[99;6u");
  ASSERT_EQ(events.size(), 6u);
  struct Expected {
    int down;
    uint16_t vk;
    char16_t ch;
    uint32_t state;
  };
  const uint32_t cs = LEFT_CTRL_PRESSED | SHIFT_PRESSED;
  const Expected expected[] = {
      {1, VK_CONTROL, 0, LEFT_CTRL_PRESSED}, {1, VK_SHIFT, 0, cs}, {1, 'C', 0x03, cs},
      {0, 'C', 0x03, cs}, {0, VK_SHIFT, 0, LEFT_CTRL_PRESSED}, {0, VK_CONTROL, 0, 0},
  };
  for (size_t i = 0; i < events.size(); ++i) {
    SCOPED_TRACE(i);
    const KEY_EVENT_RECORD& k = events[i].record.Event.KeyEvent;
    EXPECT_EQ(k.bKeyDown, expected[i].down);
    EXPECT_EQ(k.wVirtualKeyCode, expected[i].vk);
    EXPECT_EQ(k.UnicodeChar, expected[i].ch);
    EXPECT_EQ(k.dwControlKeyState, expected[i].state);
  }
}

TEST(VtInputKeyRecords, AltIsPressedBetweenCtrlAndShift) {
  const auto events = DecodeEvents("\x1b[1;8A");  // Ctrl+Alt+Shift+Up
  ASSERT_EQ(events.size(), 8u);
  const uint16_t order[] = {VK_CONTROL, VK_MENU, VK_SHIFT, VK_UP, VK_UP, VK_SHIFT, VK_MENU, VK_CONTROL};
  for (size_t i = 0; i < 8; ++i) EXPECT_EQ(events[i].record.Event.KeyEvent.wVirtualKeyCode, order[i]) << i;
  EXPECT_EQ(events[5].record.Event.KeyEvent.dwControlKeyState, LEFT_CTRL_PRESSED | LEFT_ALT_PRESSED);
  EXPECT_EQ(events[7].record.Event.KeyEvent.dwControlKeyState, 0u);
}

// --- Typed characters -----------------------------------------------------------

TEST(VtInputTyped, LettersDigitsAndSpace) {
  ExpectTable({
      {"a", "A='a'"},
      {"z", "Z='z'"},
      {"A", "S-A='A'"},
      {"Z", "S-Z='Z'"},
      {"0", "0='0'"},
      {"9", "9='9'"},
      {" ", "Space=' '"},
      {"hi", "H='h' I='i'"},
  });
}

TEST(VtInputTyped, PunctuationUsesUsLayoutKeys) {
  ExpectTable({
      {"!", "S-1='!'"},       {"@", "S-2='@'"},         {"#", "S-3='#'"},
      {"$", "S-4='$'"},       {"%", "S-5='%'"},         {"^", "S-6='^'"},
      {"&", "S-7='&'"},       {"*", "S-8='*'"},         {"(", "S-9='('"},
      {")", "S-0=')'"},       {";", "Semicolon=';'"},   {":", "S-Semicolon=':'"},
      {"=", "Equals='='"},    {"+", "S-Equals='+'"},    {",", "Comma=','"},
      {"<", "S-Comma='<'"},   {"-", "Minus='-'"},       {"_", "S-Minus='_'"},
      {".", "Period='.'"},    {">", "S-Period='>'"},    {"/", "Slash='/'"},
      {"?", "S-Slash='?'"},   {"`", "Backquote='`'"},   {"~", "S-Backquote='~'"},
      {"[", "LBracket='['"},  {"{", "S-LBracket='{'"},  {"\\", "Backslash='\\'"},
      {"|", "S-Backslash='|'"}, {"]", "RBracket=']'"},  {"}", "S-RBracket='}'"},
      {"'", "Quote='''"},     {"\"", "S-Quote='\"'"},
  });
}

TEST(VtInputTyped, Utf8Characters) {
  ExpectTable({
      {"\xc3\xa9", "Packet=U+00E9"},
      {"\xe2\x82\xac", "Packet=U+20AC"},
      {"\xef\xbf\xbd", "Packet=U+FFFD"},
      // Above U+FFFF: a surrogate pair, one key press per half.
      {"\xf0\x9f\x98\x80", "Packet=U+D83D Packet=U+DE00"},
      {"\xf4\x8f\xbf\xbf", "Packet=U+DBFF Packet=U+DFFF"},
      {"a\xc3\xa9z", "A='a' Packet=U+00E9 Z='z'"},
  });
}

TEST(VtInputTyped, InvalidUtf8BecomesReplacementCharacters) {
  ExpectTable({
      {"\xff", "Packet=U+FFFD"},
      {"\x80", "Packet=U+FFFD"},
      // Raw C1 bytes are never controls: 0x9B is no CSI.
      {"\x9b" "A", "Packet=U+FFFD S-A='A'"},
      // Overlong forms, surrogates, values above U+10FFFF.
      {"\xc0\xaf", "Packet=U+FFFD Packet=U+FFFD"},
      {"\xe0\x80\xaf", "Packet=U+FFFD Packet=U+FFFD Packet=U+FFFD"},
      {"\xed\xa0\x80", "Packet=U+FFFD Packet=U+FFFD Packet=U+FFFD"},
      {"\xf4\x90\x80\x80", "Packet=U+FFFD Packet=U+FFFD Packet=U+FFFD Packet=U+FFFD"},
      // A sequence cut short by another byte: one U+FFFD, the byte is kept.
      {"\xe2\x82" "a", "Packet=U+FFFD A='a'"},
      {"\xf0\x9f\x98\x1b[A", "Packet=U+FFFD Up*"},
      // Unfinished at the end: resolved by the flush.
      {"\xc3", "Packet=U+FFFD"},
  });
}

TEST(VtInputTyped, Utf8SplitAcrossReads) {
  VtInputDecoder decoder;
  EXPECT_EQ(DecodeNoFlush(decoder, "x\xf0\x9f"), "X='x'");
  EXPECT_TRUE(decoder.HasPending());
  EXPECT_EQ(DecodeNoFlush(decoder, "\x98"), "");
  EXPECT_EQ(DecodeNoFlush(decoder, "\x80y"), "Packet=U+D83D Packet=U+DE00 Y='y'");
  EXPECT_FALSE(decoder.HasPending());
}

// --- Control bytes ----------------------------------------------------------------

TEST(VtInputControl, ControlBytes) {
  ExpectTable({
      {"\x01", "C-A=01"},
      {"\x03", "C-C=03"},
      {"\x07", "C-G=07"},
      {"\x0b", "C-K=0b"},
      {"\x16", "C-V=16"},
      {"\x1a", "C-Z=1a"},
      {"\0"sv, "C-Space"},
      {"\t", "Tab=09"},
      {"\r", "Enter=0d"},
      {"\n", "Enter=0d"},  // Enter rather than Ctrl+J
      {"\x7f", "Back=08"},
      {"\x08", "C-Back=7f"},  // what terminals send for Ctrl+Backspace
      {"\x1c", "C-Backslash=1c"},
      {"\x1d", "C-RBracket=1d"},
      {"\x1e", "C-6=1e"},
      {"\x1f", "C-Minus=1f"},
  });
}

// --- Cursor, editing and function keys ---------------------------------------------

TEST(VtInputSequences, CursorAndEditingKeysInEveryDialect) {
  ExpectTable({
      {"\x1b[A", "Up*"},    {"\x1b[B", "Down*"},  {"\x1b[C", "Right*"}, {"\x1b[D", "Left*"},
      {"\x1bOA", "Up*"},    {"\x1bOB", "Down*"},  {"\x1bOC", "Right*"}, {"\x1bOD", "Left*"},
      {"\x1b[H", "Home*"},  {"\x1b[F", "End*"},   {"\x1bOH", "Home*"},  {"\x1bOF", "End*"},
      {"\x1b[1~", "Home*"}, {"\x1b[4~", "End*"},  // tmux, Linux console
      {"\x1b[7~", "Home*"}, {"\x1b[8~", "End*"},  // rxvt
      {"\x1b[2~", "Ins*"},  {"\x1b[3~", "Del*"},  {"\x1b[5~", "PgUp*"}, {"\x1b[6~", "PgDn*"},
      {"\x1b[Z", "S-Tab=09"},
  });
}

TEST(VtInputSequences, FunctionKeysInEveryDialect) {
  ExpectTable({
      {"\x1bOP", "F1"},    {"\x1bOQ", "F2"},    {"\x1bOR", "F3"},    {"\x1bOS", "F4"},
      {"\x1b[11~", "F1"},  {"\x1b[12~", "F2"},  {"\x1b[13~", "F3"},  {"\x1b[14~", "F4"},
      {"\x1b[15~", "F5"},  {"\x1b[17~", "F6"},  {"\x1b[18~", "F7"},  {"\x1b[19~", "F8"},
      {"\x1b[20~", "F9"},  {"\x1b[21~", "F10"}, {"\x1b[23~", "F11"}, {"\x1b[24~", "F12"},
      {"\x1b[P", "F1"},    {"\x1b[Q", "F2"},    {"\x1b[S", "F4"},
      // Linux console.
      {"\x1b[[A", "F1"},   {"\x1b[[B", "F2"},   {"\x1b[[C", "F3"},   {"\x1b[[D", "F4"},
      {"\x1b[[E", "F5"},
      // The gaps are no keys.
      {"\x1b[16~x", "X='x'"}, {"\x1b[22~x", "X='x'"},
  });
}

TEST(VtInputSequences, XtermModifierParameterIsDecodedArithmetically) {
  const std::pair<int, std::string> modifiers[] = {
      {1, ""},     {2, "S-"},   {3, "A-"},     {4, "A-S-"}, {5, "C-"},
      {6, "C-S-"}, {7, "C-A-"}, {8, "C-A-S-"},
      {9, ""},     {10, "S-"},  {13, "C-"},    {16, "C-A-S-"},  // Meta (8) ignored
  };
  const std::pair<std::string, std::string> families[] = {
      {"\x1b[1;%dA", "Up*"},   {"\x1b[1;%dB", "Down*"}, {"\x1b[1;%dC", "Right*"}, {"\x1b[1;%dD", "Left*"},
      {"\x1b[1;%dH", "Home*"}, {"\x1b[1;%dF", "End*"},  {"\x1b[2;%d~", "Ins*"},   {"\x1b[3;%d~", "Del*"},
      {"\x1b[5;%d~", "PgUp*"}, {"\x1b[6;%d~", "PgDn*"}, {"\x1b[1;%dP", "F1"},     {"\x1b[1;%dQ", "F2"},
      {"\x1b[1;%dS", "F4"},    {"\x1b[13;%d~", "F3"},   {"\x1b[15;%d~", "F5"},    {"\x1b[17;%d~", "F6"},
      {"\x1b[21;%d~", "F10"},  {"\x1b[23;%d~", "F11"},  {"\x1b[24;%d~", "F12"},   {"\x1bO%dA", "Up*"},
      {"\x1bO1;%dP", "F1"},
  };
  std::vector<std::string> storage;
  std::vector<Case> cases;
  for (const auto& [form, key] : families) {
    for (const auto& [m, prefix] : modifiers) {
      char bytes[32];
      std::snprintf(bytes, sizeof bytes, form.c_str(), m);
      storage.push_back(bytes);
    }
  }
  size_t k = 0;
  for (const auto& [form, key] : families) {
    for (const auto& [m, prefix] : modifiers) cases.push_back({storage[k++], prefix + key});
  }
  ExpectTable(cases);
}

TEST(VtInputSequences, RxvtModifiedForms) {
  ExpectTable({
      {"\x1b[2$", "S-Ins*"},    {"\x1b[3$", "S-Del*"},  {"\x1b[7$", "S-Home*"},
      {"\x1b[5^", "C-PgUp*"},   {"\x1b[8^", "C-End*"},  {"\x1b[6@", "C-S-PgDn*"},
      {"\x1b[11^", "C-F1"},     {"\x1b[24$", "S-F12"},
      {"\x1b[a", "S-Up*"},      {"\x1b[b", "S-Down*"},  {"\x1b[c", "S-Right*"}, {"\x1b[d", "S-Left*"},
      {"\x1bOa", "C-Up*"},      {"\x1bOd", "C-Left*"},
      // The '$' ends the sequence: the next byte is a key of its own.
      {"\x1b[2$y", "S-Ins* Y='y'"},
  });
}

TEST(VtInputSequences, ApplicationKeypad) {
  ExpectTable({
      {"\x1bOM", "Enter=0d"}, {"\x1bOp", "0='0'"},       {"\x1bOy", "9='9'"},
      {"\x1bOk", "Equals='+'"}, {"\x1bOm", "Minus='-'"}, {"\x1bOj", "8='*'"},
      {"\x1bOo", "Slash='/'"}, {"\x1bOn", "Period='.'"}, {"\x1bOX", "Equals='='"},
  });
}

// --- kitty keyboard protocol and modifyOtherKeys ------------------------------------

TEST(VtInputKitty, KeysByCodepoint) {
  ExpectTable({
      {"\x1b[99;6u", "C-S-C=03"},    // Ctrl+Shift+C told apart from Ctrl+C
      {"\x1b[99;5u", "C-C=03"},
      {"\x1b[109;5u", "C-M=0d"},     // Ctrl+M told apart from Enter
      {"\x1b[13u", "Enter=0d"},
      {"\x1b[13;5u", "C-Enter=0d"},
      {"\x1b[13;2u", "S-Enter=0d"},
      {"\x1b[27u", "Esc=1b"},
      {"\x1b[27;3u", "A-Esc=1b"},
      {"\x1b[9u", "Tab=09"},
      {"\x1b[9;5u", "C-Tab=09"},
      {"\x1b[9;6u", "C-S-Tab=09"},
      {"\x1b[127u", "Back=08"},
      {"\x1b[127;5u", "C-Back=7f"},
      {"\x1b[127;3u", "A-Back=08"},
      {"\x1b[32;5u", "C-Space"},
      {"\x1b[32;2u", "S-Space=' '"},
      {"\x1b[97;3u", "A-A='a'"},
      {"\x1b[97;4u", "A-S-A='A'"},
      {"\x1b[105;6u", "C-S-I=09"},
      {"\x1b[91;5u", "C-LBracket=1b"},
      {"\x1b[49;5u", "C-1"},
      {"\x1b[49;2u", "S-1='!'"},
      {"\x1b[49:33;2u", "S-1='!'"},  // with the shifted-key alternate
      {"\x1b[59;2u", "S-Semicolon=':'"},
      {"\x1b[233u", "Packet=U+00E9"},
  });
}

TEST(VtInputKitty, LetterCaseIsNormalised) {
  ExpectTable({
      {"\x1b[65;6u", "C-S-A=01"},  // tmux's csi-u format reports the shifted letter
      {"\x1b[65;2u", "S-A='A'"},
      {"\x1b[97;2u", "S-A='A'"},
      {"\x1b[65u", "A='A'"},       // Caps Lock: the letter as typed, no Shift
  });
}

TEST(VtInputKitty, KeypadAndSpecialKeys) {
  ExpectTable({
      {"\x1b[57399u", "0='0'"},
      {"\x1b[57408u", "9='9'"},
      {"\x1b[57409u", "Period='.'"},
      {"\x1b[57413u", "Equals='+'"},  // keypad keys need no Shift
      {"\x1b[57411;5u", "C-8"},
      {"\x1b[57414u", "Enter=0d"},
      {"\x1b[57414;5u", "C-Enter=0d"},
      {"\x1b[57417u", "Left"},
      {"\x1b[57420;2u", "S-Down"},
      {"\x1b[57426u", "Del"},
      // Keys with no console counterpart (Caps Lock, media, modifiers) vanish.
      {"\x1b[57358ux", "X='x'"},
      {"\x1b[57441ux", "X='x'"},
      {"\x1b[57427ux", "X='x'"},
  });
}

TEST(VtInputKitty, EventTypes) {
  ExpectTable({
      {"\x1b[97;1:1u", "A='a'"},  // press
      {"\x1b[97;1:2u", "A='a'"},  // repeat
      {"\x1b[97;1:3u", ""},       // release: no press
      {"\x1b[1;5:3A", ""},
      {"\x1b[3;1:3~", ""},
      {"\x1b[1;5:1A", "C-Up*"},
  });
}

TEST(VtInputModifyOtherKeys, KeysByCodepoint) {
  ExpectTable({
      {"\x1b[27;6;72~", "C-S-H=08"},   // xterm reports the shifted letter
      {"\x1b[27;6;67~", "C-S-C=03"},
      {"\x1b[27;5;99~", "C-C=03"},
      {"\x1b[27;5;109~", "C-M=0d"},
      {"\x1b[27;5;13~", "C-Enter=0d"},
      {"\x1b[27;2;9~", "S-Tab=09"},
      {"\x1b[27;3;97~", "A-A='a'"},
      {"\x1b[27;2;33~", "S-1='!'"},
      {"\x1b[27;5;49~", "C-1"},
      {"\x1b[27;5;8~", "C-Back=7f"},
  });
}

// --- Alt ----------------------------------------------------------------------------

TEST(VtInputAlt, EscPrefixedKeysAreAlt) {
  ExpectTable({
      {"\x1b" "a", "A-A='a'"},
      {"\x1b" "A", "A-S-A='A'"},
      {"\x1b" "1", "A-1='1'"},
      {"\x1b" "!", "A-S-1='!'"},
      {"\x1b" " ", "A-Space=' '"},
      {"\x1b\x7f", "A-Back=08"},
      {"\x1b\x08", "C-A-Back=7f"},
      {"\x1b\x03", "C-A-C=03"},
      {"\x1b\r", "A-Enter=0d"},
      {"\x1b\t", "A-Tab=09"},
      {"\x1b\xc3\xa9", "A-Packet=U+00E9"},
      {"\x1b\x1b", "A-Esc=1b"},
      // Alt + a sequence (rxvt, xterm's metaSendsEscape).
      {"\x1b\x1b[A", "A-Up*"},
      {"\x1b\x1bOA", "A-Up*"},
      {"\x1b\x1b[5~", "A-PgUp*"},
      {"\x1b\x1b[1;5D", "C-A-Left*"},
      // ESC ESC then something else: Alt+Esc, then that.
      {"\x1b\x1bx", "A-Esc=1b X='x'"},
      // ESC O / ESC ] / ESC P that start nothing are Alt keys.
      {"\x1bOz", "A-S-O='O' Z='z'"},
      {"\x1b]x", "A-RBracket=']' X='x'"},
      {"\x1bPa", "A-S-P='P' A='a'"},
  });
}

TEST(VtInputAlt, SecondEscStartingSomethingElseLeavesAPlainEsc) {
  ExpectTable({
      {"\x1b\x1b[<0;1;1M", "Esc=1b m@0,0:- b@0,0:L"},
      {"\x1b\x1b[I", "Esc=1b focus+"},
  });
}

}  // namespace
}  // namespace kelm::port::test
