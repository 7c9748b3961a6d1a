// The hex view's key table: every chord the key handler tests is named in
// the help row it belongs to, the handler's order is total, and the help's
// "Hex view" section is the table.
#include "viewer/key_bindings.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "viewer/help_text.h"

using namespace kelm::viewer;

namespace {

using namespace kelm::port;

// The chord as the help spells it ("Ctrl+G", "Shift+F3", "PgUp").
std::string ChordName(const KeyChord& chord) {
  std::string key;
  switch (chord.key) {
    case VK_LEFT: key = "Left"; break;
    case VK_RIGHT: key = "Right"; break;
    case VK_UP: key = "Up"; break;
    case VK_DOWN: key = "Down"; break;
    case VK_PRIOR: key = "PgUp"; break;
    case VK_NEXT: key = "PgDn"; break;
    case VK_HOME: key = "Home"; break;
    case VK_END: key = "End"; break;
    case VK_ESCAPE: key = "Esc"; break;
    case VK_F1: key = "F1"; break;
    case VK_F3: key = "F3"; break;
    case VK_F10: key = "F10"; break;
    default:
      key = std::string(1, static_cast<char>(chord.key));
      // The quit letter is typed without modifiers: the help shows it small.
      if (chord.modifiers == KeyModifiers::NoCtrlOrAlt) key[0] = static_cast<char>(key[0] - 'A' + 'a');
  }
  if (chord.modifiers == KeyModifiers::Ctrl) return "Ctrl+" + key;
  if (chord.modifiers == KeyModifiers::Shift) return "Shift+" + key;
  return key;
}

// Whether `name` is one of the comma-separated keys of `keys`.
bool Lists(std::string_view keys, const std::string& name) {
  const std::string list = ", " + std::string(keys) + ",";
  return list.find(" " + name + ",") != std::string::npos;
}

TEST(KeyBindings, EveryChordIsNamedInItsOwnRow) {
  size_t chords = 0;
  for (const KeyBinding& binding : HexViewBindings()) {
    for (const KeyChord& chord : binding.chords) {
      ++chords;
      EXPECT_TRUE(Lists(binding.keys, ChordName(chord))) << ChordName(chord) << " is bound but its row says \""
                                                          << binding.keys << "\"";
    }
  }
  EXPECT_GE(chords, 30u);
}

TEST(KeyBindings, TheHandlerTestsTheChordsInOneOrder) {
  std::set<int> steps;
  std::set<std::pair<uint16_t, KeyModifiers>> keys;
  for (const KeyBinding& binding : HexViewBindings()) {
    for (const KeyChord& chord : binding.chords) {
      EXPECT_TRUE(steps.insert(chord.step).second) << "step " << int{chord.step} << " twice";
      EXPECT_TRUE(keys.insert({chord.key, chord.modifiers}).second) << ChordName(chord) << " bound twice";
    }
  }
  // Narrower chords of a key are tested before the wider ones that would
  // take their records: Ctrl+arrows before the arrows, Shift+F3 before F3.
  auto stepOf = [](KeyCommand command) {
    for (const KeyBinding& binding : HexViewBindings()) {
      for (const KeyChord& chord : binding.chords) {
        if (chord.command == command) return int{chord.step};
      }
    }
    return -1;
  };
  EXPECT_LT(stepOf(KeyCommand::ScrollRowUp), stepOf(KeyCommand::SelectionUp));
  EXPECT_LT(stepOf(KeyCommand::MoveByLengthBack), stepOf(KeyCommand::SelectionLeft));
  EXPECT_LT(stepOf(KeyCommand::FindPrevious), stepOf(KeyCommand::FindNext));
  EXPECT_LT(stepOf(KeyCommand::QuickMark), stepOf(KeyCommand::Quit));
}

TEST(KeyBindings, TheHelpsHexViewSectionIsTheTable) {
  const HelpSection& section = KeySections().front();
  EXPECT_EQ(section.title, "Hex view");
  ASSERT_EQ(section.entries.size(), HexViewBindings().size());
  for (size_t i = 0; i < section.entries.size(); ++i) {
    EXPECT_EQ(section.entries[i].keys, HexViewBindings()[i].keys);
    EXPECT_EQ(section.entries[i].action, HexViewBindings()[i].action);
  }
}

}  // namespace
