// Input decoder: mouse reports (SGR, legacy, urxvt) and focus reports.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/port/terminal/codec/vt_input.h"
#include "tests/port/vt_input_support.h"

namespace kelm::port::test {
namespace {

std::string Sgr(int button, int column, int row, char final = 'M') {
  return "\x1b[<" + std::to_string(button) + ";" + std::to_string(column) + ";" + std::to_string(row) + final;
}

std::string Legacy(int button, int column, int row) {
  return std::string("\x1b[M") + static_cast<char>(button + 32) + static_cast<char>(column + 32) +
         static_cast<char>(row + 32);
}

TEST(VtInputMouse, PressDragRelease) {
  const std::string bytes = Sgr(0, 5, 3) + Sgr(32, 6, 3) + Sgr(32, 7, 4) + Sgr(0, 7, 4, 'm');
  const std::string expected = "m@4,2:- b@4,2:L m@5,2:L m@6,3:L m@6,3:L b@6,3:-";
  EXPECT_EQ(DecodeWhole(bytes), expected);
  EXPECT_EQ(DecodeBytewise(bytes), expected);
}

TEST(VtInputMouse, EachButtonHasItsBit) {
  EXPECT_EQ(DecodeWhole(Sgr(0, 1, 1)), "m@0,0:- b@0,0:L");
  EXPECT_EQ(DecodeWhole(Sgr(1, 1, 1)), "m@0,0:- b@0,0:M");
  EXPECT_EQ(DecodeWhole(Sgr(2, 1, 1)), "m@0,0:- b@0,0:R");
  EXPECT_EQ(DecodeWhole(Sgr(128, 1, 1)), "m@0,0:- b@0,0:4");
  EXPECT_EQ(DecodeWhole(Sgr(129, 1, 1)), "m@0,0:- b@0,0:5");
}

TEST(VtInputMouse, ButtonsAreTrackedTogether) {
  const std::string bytes = Sgr(0, 2, 2) + Sgr(2, 2, 2) + Sgr(0, 2, 2, 'm') + Sgr(2, 3, 2, 'm');
  EXPECT_EQ(DecodeWhole(bytes), "m@1,1:- b@1,1:L m@1,1:L b@1,1:LR m@1,1:LR b@1,1:R m@2,1:R b@2,1:-");
}

TEST(VtInputMouse, ButtonRecordsCarryTheNewStateMovesTheCurrentOne) {
  const auto events = DecodeEvents(Sgr(0, 10, 20));
  ASSERT_EQ(events.size(), 2u);
  const MOUSE_EVENT_RECORD& move = events[0].record.Event.MouseEvent;
  const MOUSE_EVENT_RECORD& press = events[1].record.Event.MouseEvent;
  EXPECT_EQ(events[0].record.EventType, MOUSE_EVENT);
  EXPECT_EQ(move.dwEventFlags, MOUSE_MOVED);
  EXPECT_EQ(move.dwButtonState, 0u);
  EXPECT_EQ(move.dwMousePosition.X, 9);
  EXPECT_EQ(move.dwMousePosition.Y, 19);
  EXPECT_EQ(press.dwEventFlags, 0u);
  EXPECT_EQ(press.dwButtonState, FROM_LEFT_1ST_BUTTON_PRESSED);
}

TEST(VtInputMouse, WheelDeltaInTheHighWord) {
  const auto up = DecodeEvents(Sgr(64, 3, 4));
  ASSERT_EQ(up.size(), 2u);
  EXPECT_EQ(up[1].record.Event.MouseEvent.dwEventFlags, MOUSE_WHEELED);
  EXPECT_EQ(up[1].record.Event.MouseEvent.dwButtonState, static_cast<uint32_t>(WHEEL_DELTA) << 16);
  EXPECT_GT(static_cast<int32_t>(up[1].record.Event.MouseEvent.dwButtonState), 0);

  const auto down = DecodeEvents(Sgr(65, 3, 4));
  ASSERT_EQ(down.size(), 2u);
  EXPECT_EQ(down[1].record.Event.MouseEvent.dwEventFlags, MOUSE_WHEELED);
  EXPECT_EQ(down[1].record.Event.MouseEvent.dwButtonState >> 16, 0xFFFFu - WHEEL_DELTA + 1);
  EXPECT_LT(static_cast<int32_t>(down[1].record.Event.MouseEvent.dwButtonState), 0);
}

TEST(VtInputMouse, WheelsAndModifiers) {
  const std::pair<std::string, std::string> cases[] = {
      {Sgr(64, 3, 4), "m@2,3:- w+@2,3"},
      {Sgr(65, 3, 4), "m@2,3:- w-@2,3"},
      {Sgr(66, 3, 4), "m@2,3:- h-@2,3"},
      {Sgr(67, 3, 4), "m@2,3:- h+@2,3"},
      {Sgr(64 + 16, 1, 1), "C-m@0,0:- C-w+@0,0"},
      {Sgr(4, 1, 1), "S-m@0,0:- S-b@0,0:L"},
      {Sgr(8, 1, 1), "A-m@0,0:- A-b@0,0:L"},
      {Sgr(16, 1, 1), "C-m@0,0:- C-b@0,0:L"},
      {Sgr(28 + 2, 1, 1), "C-A-S-m@0,0:- C-A-S-b@0,0:R"},
      {Sgr(35, 7, 8), "m@6,7:-"},  // hover
      {Sgr(35 + 16, 7, 8), "C-m@6,7:-"},
      // A release of the wheel (some terminals) is only a move.
      {Sgr(64, 3, 4, 'm'), "m@2,3:-"},
  };
  for (const auto& [bytes, expected] : cases) {
    EXPECT_EQ(DecodeWhole(bytes), expected) << bytes;
    EXPECT_EQ(DecodeBytewise(bytes), expected) << bytes;
  }
}

TEST(VtInputMouse, WheelKeepsTheHeldButtons) {
  const auto events = DecodeEvents(Sgr(0, 1, 1) + Sgr(65, 1, 1));
  ASSERT_EQ(events.size(), 4u);
  EXPECT_EQ(events[3].record.Event.MouseEvent.dwButtonState & 0xFFFF, FROM_LEFT_1ST_BUTTON_PRESSED);
}

TEST(VtInputMouse, MissedReleaseIsReportedOnTheNextHover) {
  EXPECT_EQ(DecodeWhole(Sgr(0, 1, 1) + Sgr(35, 4, 4)), "m@0,0:- b@0,0:L m@3,3:L b@3,3:-");
}

TEST(VtInputMouse, CoordinatesAreClamped) {
  EXPECT_EQ(DecodeWhole(Sgr(0, 0, 0)), "m@0,0:- b@0,0:L");
  EXPECT_EQ(DecodeWhole(Sgr(35, 99999999, 40000)), "m@32767,32767:-");
  EXPECT_EQ(DecodeWhole(Sgr(35, 300, 200)), "m@299,199:-");
}

TEST(VtInputMouse, MalformedReportsAreDropped) {
  EXPECT_EQ(DecodeWhole("\x1b[<0;1Mx"), "X='x'");
  EXPECT_EQ(DecodeWhole("\x1b[<0;1;1;1Mx"), "X='x'");
  EXPECT_EQ(DecodeWhole("\x1b[<0;1;1$Mx"), "X='x'");
}

TEST(VtInputMouse, LegacyEncoding) {
  const std::string bytes = Legacy(0, 5, 3) + Legacy(32, 6, 3) + Legacy(3, 6, 3) + Legacy(64, 1, 1) + Legacy(35, 2, 2);
  const std::string expected = "m@4,2:- b@4,2:L m@5,2:L m@5,2:L b@5,2:- m@0,0:- w+@0,0 m@1,1:-";
  EXPECT_EQ(DecodeWhole(bytes), expected);
  EXPECT_EQ(DecodeBytewise(bytes), expected);
  // Coordinates past 95 use bytes above 0x7F: they are raw, never UTF-8.
  EXPECT_EQ(DecodeWhole(Legacy(2, 200, 150)), "m@199,149:- b@199,149:R");
}

TEST(VtInputMouse, UrxvtEncoding) {
  EXPECT_EQ(DecodeWhole("\x1b[32;5;3M\x1b[35;5;3M"), "m@4,2:- b@4,2:L m@4,2:L b@4,2:-");
}

TEST(VtInputMouse, UrxvtMotionAfterAWheelNotchIsMotion) {
  // urxvt keeps the wheel "button" in its motion reports: one notch up, then
  // motion reported as 96 (and 97 after a notch down), then a click.
  const std::string sgr = Sgr(64, 5, 5) + Sgr(96, 6, 5) + Sgr(96, 7, 6) + Sgr(65, 7, 6) + Sgr(97, 8, 6) +
                          Sgr(0, 8, 6) + Sgr(0, 8, 6, 'm') + Sgr(99, 9, 6);
  const std::string expected =
      "m@4,4:- w+@4,4 m@5,4:- m@6,5:- m@6,5:- w-@6,5 m@7,5:- m@7,5:- b@7,5:L m@7,5:L b@7,5:- m@8,5:-";
  EXPECT_EQ(DecodeWhole(sgr), expected);
  EXPECT_EQ(DecodeBytewise(sgr), expected);
  // The same in urxvt's own encoding (1015: the button code plus 32).
  EXPECT_EQ(DecodeWhole("\x1b[96;5;5M\x1b[128;6;5M\x1b[129;7;5M\x1b[32;7;5M\x1b[35;7;5M"),
            "m@4,4:- w+@4,4 m@5,4:- m@6,4:- m@6,4:- b@6,4:L m@6,4:L b@6,4:-");
  // And in the legacy bytes, which urxvt sends without 1006 or 1015.
  EXPECT_EQ(DecodeWhole(Legacy(64, 2, 2) + Legacy(96, 3, 2) + Legacy(97, 4, 2)), "m@1,1:- w+@1,1 m@2,1:- m@3,1:-");
}

TEST(VtInputMouse, WheelAndMotionAsEachTerminalSendsThem) {
  // A notch each way, a hover, a drag with the left button, and a click, as
  // xterm, VTE, kitty and foot report them (SGR, any-motion tracking); kitty
  // and foot add horizontal notches, and some terminals send a release for a
  // wheel notch, which is no second notch.
  const std::string common = Sgr(64, 3, 3) + Sgr(65, 3, 3) + Sgr(35, 4, 3) + Sgr(0, 4, 3) + Sgr(32, 5, 3) +
                             Sgr(0, 5, 3, 'm') + Sgr(35, 6, 3);
  const std::string expected = "m@2,2:- w+@2,2 m@2,2:- w-@2,2 m@3,2:- m@3,2:- b@3,2:L m@4,2:L m@4,2:L b@4,2:- m@5,2:-";
  EXPECT_EQ(DecodeWhole(common), expected) << "xterm, VTE";
  EXPECT_EQ(DecodeWhole(common + Sgr(66, 6, 3) + Sgr(67, 6, 3)), expected + " m@5,2:- h-@5,2 m@5,2:- h+@5,2")
      << "kitty, foot";
  EXPECT_EQ(DecodeWhole(Sgr(64, 3, 3) + Sgr(64, 3, 3, 'm') + Sgr(35, 4, 3)), "m@2,2:- w+@2,2 m@2,2:- m@3,2:-")
      << "a wheel release";
}

TEST(VtInputFocus, FocusInAndOut) {
  EXPECT_EQ(DecodeWhole("\x1b[I"), "focus+");
  EXPECT_EQ(DecodeWhole("\x1b[O"), "focus-");
  EXPECT_EQ(DecodeBytewise("\x1b[Ix\x1b[O"), "focus+ X='x' focus-");
  const auto events = DecodeEvents("\x1b[O");
  ASSERT_EQ(events.size(), 1u);
  EXPECT_EQ(events[0].record.EventType, FOCUS_EVENT);
  EXPECT_EQ(events[0].record.Event.FocusEvent.bSetFocus, 0);
}

TEST(VtInputFocus, FocusOutReleasesHeldButtons) {
  EXPECT_EQ(DecodeWhole(Sgr(2, 4, 5) + "\x1b[O" + Sgr(35, 1, 1)), "m@3,4:- b@3,4:R focus- b@3,4:- m@0,0:-");
}

}  // namespace
}  // namespace kelm::port::test
