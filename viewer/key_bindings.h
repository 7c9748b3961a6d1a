// The hex view's keys: one table read by the key handler (which key runs
// which command, in which order) and by the help (--help, the F1 box and the
// manual page list its rows as the "Hex view" section). A key is bound only
// by being a chord of a row here, so it cannot be bound without being told.
//
// Header only and pure data, so that the help text needs nothing else.
#pragma once

#include <cstdint>
#include <string_view>
#include <vector>

#include "engine/port/console_types.h"

namespace kelm::viewer {

// How a chord's modifiers are matched against a key-down record.
enum class KeyModifiers : uint8_t {
  Ctrl,         // either Ctrl key; other modifiers may be held too
  Any,          // whatever modifiers are held
  Shift,        // Shift held; other modifiers may be held too
  NoCtrlOrAlt,  // neither Ctrl nor Alt (Shift and the lock keys may be on)
};

// What a chord does; the key handler runs it.
enum class KeyCommand : uint8_t {
  CopyText,          // Ctrl+C: text, or hex pairs when Shift came with it
  CopyHex,
  Seek,
  Inspector,
  SelectAll,
  OpenWith,
  OpenAnotherFile,
  Reload,
  Mark,              // the mark form, or removing the mark under the pointer
  SelectionLength,
  QuickMark,
  Find,
  MoveByLengthForward,
  MoveByLengthBack,
  ScrollRowUp,
  ScrollRowDown,
  Help,
  FindPrevious,
  FindNext,
  NextData,
  PreviousData,
  NextDifferentByte,
  PreviousDifferentByte,
  // Navigation: of these only the first one pressed in a frame is taken.
  SelectionUp,
  SelectionRight,
  SelectionLeft,
  SelectionDown,
  PageUp,
  PageDown,
  ShowLastRow,
  ShowFirstRow,
  CloseBox,  // the last navigation command
  Quit,
  NextMark,
  PreviousMark,
  MarkList,
  CopyAs,
};

// Whether `command` is one of the navigation commands.
constexpr bool IsNavigation(KeyCommand command) {
  return command >= KeyCommand::SelectionUp && command <= KeyCommand::CloseBox;
}

// One key with its modifiers, and what it does. `step` orders the handler's
// tests: each test consumes the record it matches, so a chord tested earlier
// (Ctrl+Up) takes its record before a wider one (Up with any modifiers).
struct KeyChord {
  uint16_t key;  // virtual-key code ('A'-'Z' for letters)
  KeyModifiers modifiers;
  KeyCommand command;
  uint8_t step;
};

// One row of the help: the keys as shown, what they do, and the chords the
// handler tests for them (none for keys that the engine or the port handle,
// or that modify another row's keys).
struct KeyBinding {
  std::string_view keys;
  std::string_view action;
  std::vector<KeyChord> chords;
};

// The hex view's rows, in the order the help lists them.
inline const std::vector<KeyBinding>& HexViewBindings() {
  using enum KeyCommand;
  using enum KeyModifiers;
  namespace port = kelm::port;
  static const std::vector<KeyBinding> kBindings = {
      {"Left, Right", "move the selection one byte",
       {{port::VK_LEFT, Any, SelectionLeft, 23}, {port::VK_RIGHT, Any, SelectionRight, 22}}},
      {"Up, Down", "move the selection one row",
       {{port::VK_UP, Any, SelectionUp, 21}, {port::VK_DOWN, Any, SelectionDown, 24}}},
      {"Shift+arrows", "grow or shrink the selection from where it began", {}},
      {"Ctrl+Left, Ctrl+Right", "move the selection by its own length",
       {{port::VK_LEFT, Ctrl, MoveByLengthBack, 15}, {port::VK_RIGHT, Ctrl, MoveByLengthForward, 14}}},
      {"Ctrl+Up, Ctrl+Down", "scroll one row",
       {{port::VK_UP, Ctrl, ScrollRowUp, 16}, {port::VK_DOWN, Ctrl, ScrollRowDown, 17}}},
      {"PgUp, PgDn", "scroll one screen", {{port::VK_PRIOR, Any, PageUp, 25}, {port::VK_NEXT, Any, PageDown, 26}}},
      {"Home, End", "show the first row, the row of the last byte",
       {{port::VK_HOME, Any, ShowFirstRow, 28}, {port::VK_END, Any, ShowLastRow, 27}}},
      {"Ctrl+A", "select the whole file", {{'A', Ctrl, SelectAll, 5}}},
      // Ctrl+C copies (hex while Shift is held); Ctrl+Y always copies hex
      // pairs. Terminals report Ctrl+Shift+C apart from Ctrl+C only with the
      // kitty keyboard protocol or modifyOtherKeys, so Ctrl+Y is the hex copy
      // of every terminal.
      {"Ctrl+C", "copy the selection as text (bytes 20-7A hex as they are, others as '.')",
       {{'C', Ctrl, CopyText, 1}}},
      {"Ctrl+Y, Ctrl+Shift+C", "copy the selection as hex pairs", {{'Y', Ctrl, CopyHex, 2}}},
      {"Ctrl+G", "seek: scroll to a hexadecimal offset and mark that byte", {{'G', Ctrl, Seek, 3}}},
      {"Ctrl+B", "set the length of the selection (hexadecimal)", {{'B', Ctrl, SelectionLength, 11}}},
      {"Ctrl+F", "find hex bytes (de ad be ef) or text (\"text) after the selection", {{'F', Ctrl, Find, 13}}},
      {"F3, Shift+F3", "find the next, the previous match",
       {{port::VK_F3, Any, FindNext, 20}, {port::VK_F3, Shift, FindPrevious, 19}}},
      // Letters without Ctrl reach the view from every terminal; Shift is
      // tested first, as the plain chord allows it.
      {"d, Shift+D", "jump to the next start of data after a hole, to the start of the data before",
       {{'D', NoCtrlOrAlt, NextData, 33}, {'D', Shift, PreviousData, 32}}},
      {"b, Shift+B", "jump to the next, the previous byte that differs from the selected one",
       {{'B', NoCtrlOrAlt, NextDifferentByte, 35}, {'B', Shift, PreviousDifferentByte, 34}}},
      {"Ctrl+D", "open or close the inspector panel", {{'D', Ctrl, Inspector, 4}}},
      // A terminal without the kitty keyboard protocol or modifyOtherKeys sends
      // Ctrl+M as the same byte as Enter, so Ctrl+K is the binding that works
      // in every terminal.
      {"Ctrl+M, Ctrl+K", "colour and name the selection; over a mark: remove the mark",
       {{'M', Ctrl, Mark, 9}, {'K', Ctrl, Mark, 10}}},
      {"Ctrl+Q", "quick mark: colour the selection in the next colours", {{'Q', Ctrl, QuickMark, 12}}},
      {"Ctrl+L", "list of marks: Up/Down, Enter jumps, Del removes, typing filters", {{'L', Ctrl, MarkList, 38}}},
      {"n, p", "jump to the next, the previous mark",
       {{'N', NoCtrlOrAlt, NextMark, 36}, {'P', NoCtrlOrAlt, PreviousMark, 37}}},
      {"Ctrl+E", "copy as: hex string (h), C array (c), Python bytes (p), base64 (b)", {{'E', Ctrl, CopyAs, 39}}},
      {"Ctrl+N", "open another file", {{'N', Ctrl, OpenAnotherFile, 7}}},
      {"Ctrl+R", "reload the file", {{'R', Ctrl, Reload, 8}}},
      {"Ctrl+O", "open the file with another program", {{'O', Ctrl, OpenWith, 6}}},
      {"F1", "this help", {{port::VK_F1, Any, Help, 18}}},
      {"F2", "save the screen as a screenshot", {}},
      {"Esc", "close the topmost box", {{port::VK_ESCAPE, Any, CloseBox, 29}}},
      {"Ctrl+Z", "suspend to the shell (fg brings the viewer back)", {}},
      {"q, F10", "quit", {{'Q', NoCtrlOrAlt, Quit, 30}, {port::VK_F10, Any, Quit, 31}}},
  };
  return kBindings;
}

}  // namespace kelm::viewer
