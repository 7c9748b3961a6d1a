// The keyboard state the terminal port answers (asynchronous key state and
// key-to-character translation), fed by decoded terminal input.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/terminal/codec/vt_input.h"
#include "engine/port/terminal/key_state_tracker.h"

namespace kelm::port {
namespace {

constexpr int16_t kDown = static_cast<int16_t>(0x8000);
constexpr int16_t kPressed = 0x0001;

// Decodes terminal bytes and shows every record to the tracker, as the port
// does while reading input.
void FeedBytes(KeyStateTracker& keys, const std::string& bytes) {
  VtInputDecoder decoder;
  std::vector<VtEvent> events;
  decoder.Feed(bytes.data(), bytes.size(), 1000, events);
  decoder.Flush(5000, events);
  for (const VtEvent& event : events) {
    if (event.kind == VtEvent::Kind::Record) keys.Observe(event.record);
  }
}

TEST(TerminalKeyStatePressedSinceQuery, EnterIsReportedOnceUntilTheNextQuery) {
  KeyStateTracker keys;
  EXPECT_EQ(keys.Query(VK_RETURN), 0);
  FeedBytes(keys, "\r");
  EXPECT_EQ(keys.Query(VK_RETURN) & kPressed, kPressed);
  EXPECT_EQ(keys.Query(VK_RETURN), 0) << "the first query clears the record";
}

TEST(TerminalKeyStatePressedSinceQuery, QueryClearsOnlyTheKeyAsked) {
  KeyStateTracker keys;
  FeedBytes(keys, "\rx");
  EXPECT_EQ(keys.Query('X') & kPressed, kPressed);
  EXPECT_EQ(keys.Query(VK_RETURN) & kPressed, kPressed);
}

TEST(TerminalKeyStatePressedSinceQuery, OrdinaryKeysAreNeverDownAfterTheirKeyUp) {
  KeyStateTracker keys;
  FeedBytes(keys, "a\x1b[A");
  EXPECT_EQ(keys.Query('A') & kDown, 0);
  EXPECT_EQ(keys.Query(VK_UP) & kDown, 0);
  EXPECT_EQ(keys.Query(VK_UP) & kPressed, 0) << "cleared by the previous query";
}

TEST(TerminalKeyStatePressedSinceQuery, OutOfRangeKeysAnswerZero) {
  KeyStateTracker keys;
  EXPECT_EQ(keys.Query(-1), 0);
  EXPECT_EQ(keys.Query(256), 0);
  EXPECT_EQ(keys.CharOf(300), 0);
}

TEST(TerminalKeyStateModifiers, ShiftFromTheLastKeyStaysDownUntilAKeyWithoutIt) {
  KeyStateTracker keys;
  FeedBytes(keys, "\x1b[1;2A");  // Shift+Up
  EXPECT_NE(keys.Query(VK_SHIFT) & kDown, 0) << "the Shift key-up record that follows must not clear it";
  FeedBytes(keys, "\x1b[A");  // Up alone
  EXPECT_EQ(keys.Query(VK_SHIFT) & kDown, 0);
}

TEST(TerminalKeyStateModifiers, CtrlShiftCFromTheKittyProtocolLeavesShiftAndCtrlDown) {
  KeyStateTracker keys;
  FeedBytes(keys, "\x1b[99;6u");
  EXPECT_NE(keys.Query(VK_SHIFT) & kDown, 0);
  EXPECT_NE(keys.Query(VK_CONTROL) & kDown, 0);
  EXPECT_EQ(keys.Query(VK_MENU) & kDown, 0);
  EXPECT_EQ(keys.Query('C') & kPressed, kPressed);
}

TEST(TerminalKeyStateModifiers, MouseReportsRefreshTheModifiers) {
  KeyStateTracker keys;
  FeedBytes(keys, "\x1b[<4;5;5M");  // Shift + left press
  EXPECT_NE(keys.Query(VK_SHIFT) & kDown, 0);
  FeedBytes(keys, "\x1b[<35;6;5M");  // plain hover
  EXPECT_EQ(keys.Query(VK_SHIFT) & kDown, 0);
  FeedBytes(keys, "\x1b[<59;6;5M");  // hover with Alt and Ctrl (35 + 8 + 16)
  EXPECT_NE(keys.Query(VK_MENU) & kDown, 0);
  EXPECT_NE(keys.Query(VK_CONTROL) & kDown, 0);
}

TEST(TerminalKeyStateModifiers, MouseButtonsAreDownFromPressToRelease) {
  KeyStateTracker keys;
  FeedBytes(keys, "\x1b[<0;3;3M");
  EXPECT_EQ(keys.Query(VK_LBUTTON), static_cast<int16_t>(0x8001));
  FeedBytes(keys, "\x1b[<0;3;3m");
  EXPECT_EQ(keys.Query(VK_LBUTTON), 0);
  FeedBytes(keys, "\x1b[<2;3;3M");
  EXPECT_NE(keys.Query(VK_RBUTTON) & kDown, 0);
}

TEST(TerminalKeyStateModifiers, ReleaseAllForgetsModifiersAndButtons) {
  KeyStateTracker keys;
  FeedBytes(keys, "\x1b[<20;3;3M");  // Ctrl + Shift + left press
  keys.ReleaseAll();
  EXPECT_EQ(keys.Query(VK_SHIFT) & kDown, 0);
  EXPECT_EQ(keys.Query(VK_CONTROL) & kDown, 0);
  EXPECT_EQ(keys.Query(VK_LBUTTON) & kDown, 0);
}

TEST(TerminalKeyStateKeyToChar, GivesTheCharacterOfTheLastPressOfThatKey) {
  KeyStateTracker keys;
  EXPECT_EQ(keys.CharOf('A'), 0) << "nothing typed yet";
  FeedBytes(keys, "a");
  EXPECT_EQ(keys.CharOf('A'), u'a');
  FeedBytes(keys, "A");
  EXPECT_EQ(keys.CharOf('A'), u'A');
  FeedBytes(keys, "7");
  EXPECT_EQ(keys.CharOf('7'), u'7');
  EXPECT_EQ(keys.CharOf('A'), u'A') << "other keys keep their character";
}

TEST(TerminalKeyStateKeyToChar, ControlKeysGiveTheirControlCharacter) {
  KeyStateTracker keys;
  FeedBytes(keys, "\x03");  // Ctrl+C
  EXPECT_EQ(keys.CharOf('C'), 0x03);
  FeedBytes(keys, "\x7f");  // Backspace
  EXPECT_EQ(keys.CharOf(VK_BACK), 0x08);
}

TEST(TerminalKeyStateKeyToChar, ShiftedPunctuationKeepsItsCharacter) {
  KeyStateTracker keys;
  FeedBytes(keys, "!");
  EXPECT_EQ(keys.CharOf('1'), u'!');
  FeedBytes(keys, "\"");
  EXPECT_EQ(keys.CharOf(VK_OEM_7), u'"');
}

}  // namespace
}  // namespace kelm::port
