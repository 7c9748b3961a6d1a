// The hex view's keys and the mouse buttons that act outside the grid,
// handled once per frame by the invisible key-handler object. Which key does
// what is the table in viewer/key_bindings.h.
//
// The order of the steps matters: each chord test consumes the event it
// reports, so a Ctrl combination taken by an earlier step never reaches the
// plain keys below it. Every chord test consumes its event even when the
// command then does nothing. Text fields on open forms take their keys
// earlier in the frame (they sit on a higher layer), so typing into a form
// never reaches this handler.
#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/port/console_port.h"
#include "engine/widgets/menu_object.h"
#include "viewer/copy.h"
#include "viewer/grid_geometry.h"
#include "viewer/help_box.h"
#include "viewer/input_pipe.h"
#include "viewer/key_bindings.h"
#include "viewer/open_with.h"
#include "viewer/values_refresh.h"
#include "viewer/values_panel.h"
#include "viewer/copy_as_box.h"
#include "viewer/mark_list_box.h"
#include "viewer/marks.h"
#include "viewer/marks_store.h"
#include "viewer/offset_forms.h"
#include "viewer/offset_math.h"
#include "viewer/search.h"
#include "viewer/search_form.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

using namespace kelm::port;

// Takes the first key-down record of this frame that matches `chord`;
// yields its dwControlKeyState.
std::optional<uint32_t> TakeChord(const KeyChord& chord) {
  switch (chord.modifiers) {
    case KeyModifiers::Ctrl:
      return KelmCEngineV2::TakeKeyPress(static_cast<uint8_t>(chord.key), KelmCEngineV2::kModCtrl);
    case KeyModifiers::Any:
      return KelmCEngineV2::TakeKeyPress(static_cast<uint8_t>(chord.key), 0);
    case KeyModifiers::Shift:
    case KeyModifiers::NoCtrlOrAlt: break;
  }
  constexpr uint32_t kCtrlOrAlt = LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED | LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED;
  auto& events = KelmCEngineV2::keyEvents;
  for (auto it = events.begin(); it != events.end(); ++it) {
    if (it->wVirtualKeyCode != chord.key) continue;
    const uint32_t state = it->dwControlKeyState;
    // NoCtrlOrAlt serves the quit letter, so that a second Ctrl+Q of the same
    // frame (key repeat) never quits.
    const bool matches = chord.modifiers == KeyModifiers::Shift ? (state & SHIFT_PRESSED) != 0
                                                                : (state & kCtrlOrAlt) == 0;
    if (matches) {
      events.erase(it);
      return state;
    }
  }
  return std::nullopt;
}

// Every chord of the table, in the order of their steps.
const std::vector<KeyChord>& ChordsInStepOrder() {
  static const std::vector<KeyChord> chords = [] {
    std::vector<KeyChord> all;
    for (const KeyBinding& binding : HexViewBindings()) {
      all.insert(all.end(), binding.chords.begin(), binding.chords.end());
    }
    std::sort(all.begin(), all.end(), [](const KeyChord& a, const KeyChord& b) { return a.step < b.step; });
    return all;
  }();
  return chords;
}

void AfterSelectionChange() {
  RecolourGrid();
  ShowSelectionOffset();
  RefreshInspector();
}

void Deselect() {
  selectionActive = false;
  AfterSelectionChange();
}

// Ctrl+A: the whole file, active at once so that it shows (an empty file has
// nothing to select).
void SelectWholeFile() {
  selectionAnchor = 0;
  selection.start = 0;
  selection.length = fileSize;
  // An empty file has nothing to select: an earlier selection goes too.
  selectionActive = fileSize > 0;
  AfterSelectionChange();
}

void ShowRowOf(uint64_t offset) {
  topRow = ClampTopRow(static_cast<int64_t>(offset / RowLength()));
  RefreshGrid();
}

int64_t RowsShown() { return charColumn != nullptr ? charColumn->GetHeight() : 0; }

void Quit() {
  if (KelmCEngineV2::mainEngine != nullptr) KelmCEngineV2::mainEngine->Quit(0);
}

void Run(KeyCommand command, uint32_t controlKeyState) {
  switch (command) {
    case KeyCommand::CopyText: CopyForCtrlC(controlKeyState); break;
    case KeyCommand::CopyHex: CopySelectionAs(CopyForm::Hex); break;
    case KeyCommand::Seek: OpenSeekForm(); break;
    case KeyCommand::Inspector: OpenInspectorPanel(); break;
    case KeyCommand::SelectAll: SelectWholeFile(); break;
    case KeyCommand::OpenWith: ShowOpenWith(); break;  // "Open With" for the viewed file
    case KeyCommand::OpenAnotherFile: OpenAnotherFile(); break;
    case KeyCommand::Reload:
      if (!RefusedForPipe(u"Reload")) LoadFile(filePath);
      break;
    case KeyCommand::Mark: HandleMarkKey(); break;  // remove the mark under the mouse, or the colour-range form
    case KeyCommand::SelectionLength: OpenLengthForm(); break;
    case KeyCommand::QuickMark: QuickMark(); break;
    case KeyCommand::Find: OpenSearchForm(); break;
    case KeyCommand::MoveByLengthForward:
      if (selectionActive) {
        selection.start = SaturatingAdd(selection.start, selection.length);
        AfterSelectionChange();
      }
      break;
    case KeyCommand::MoveByLengthBack:
      if (selectionActive) {
        selection.start = SaturatingSub(selection.start, selection.length);
        AfterSelectionChange();
      }
      break;
    case KeyCommand::ScrollRowUp: ScrollRows(-1); break;
    case KeyCommand::ScrollRowDown: ScrollRows(1); break;
    case KeyCommand::Help: OpenHelpBox(); break;
    // (A running search takes Esc itself, before any box or this handler.)
    case KeyCommand::FindPrevious: FindPrevious(); break;
    case KeyCommand::FindNext: FindNext(); break;
    case KeyCommand::NextData: JumpToData(SearchDirection::Forward); break;
    case KeyCommand::PreviousData: JumpToData(SearchDirection::Backward); break;
    case KeyCommand::NextDifferentByte: FindDifferentByte(SearchDirection::Forward); break;
    case KeyCommand::PreviousDifferentByte: FindDifferentByte(SearchDirection::Backward); break;
    case KeyCommand::SelectionUp: MoveSelectionBack(RowLength()); break;
    case KeyCommand::SelectionRight: MoveSelectionForward(1); break;
    case KeyCommand::SelectionLeft: MoveSelectionBack(1); break;
    case KeyCommand::SelectionDown: MoveSelectionForward(RowLength()); break;
    case KeyCommand::PageUp: ScrollRows(-RowsShown()); break;
    case KeyCommand::PageDown: ScrollRows(RowsShown()); break;
    case KeyCommand::ShowLastRow: ShowRowOf(fileSize == 0 ? 0 : fileSize - 1); break;
    case KeyCommand::ShowFirstRow: ShowRowOf(0); break;
    case KeyCommand::CloseBox: KelmCEngineV2::CloseTopMenu(); break;
    case KeyCommand::Quit: Quit(); break;  // a terminal has no window to close
    case KeyCommand::NextMark: JumpToNextMark(); break;
    case KeyCommand::PreviousMark: JumpToPreviousMark(); break;
    case KeyCommand::MarkList: OpenMarkList(); break;
    case KeyCommand::CopyAs: OpenCopyAsBox(); break;
  }
}

}  // namespace

void HandleViewerKeys(KelmCEngineV2::Object* /*object*/) {
  using KelmCEngineV2::kRightButton;
  using KelmCEngineV2::mouseButtons;
  using KelmCEngineV2::mouseWheel;

  // A right-button press anywhere deselects.
  if (mouseButtons[kRightButton].pressed) Deselect();

  // The wheel turned away from the user scrolls up.
  if (mouseWheel != 0) ScrollRows(-static_cast<int64_t>(mouseWheel));

  // A copy's message on the status row lasts while the selection does.
  ClearCopyStatusAfterSelectionChange();
  ClearMarksStatusAfterSelectionChange();

  // The table's chords in their steps' order. A command runs at most once
  // per frame (Ctrl+M and Ctrl+K together open one form); of the navigation
  // commands only the first one pressed is taken, the others are not tested.
  std::vector<KeyCommand> ran;
  bool navigated = false;
  for (const KeyChord& chord : ChordsInStepOrder()) {
    const bool navigation = IsNavigation(chord.command);
    if (navigation && navigated) continue;
    const std::optional<uint32_t> state = TakeChord(chord);
    if (!state) continue;
    if (navigation) navigated = true;
    if (std::find(ran.begin(), ran.end(), chord.command) != ran.end()) continue;
    ran.push_back(chord.command);
    Run(chord.command, *state);
  }

  // Every frame: the tooltip of the named mark under the mouse.
  ShowTipUnderMouse();
}

}  // namespace kelm::viewer
