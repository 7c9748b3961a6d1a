// The hex view's keys and the mouse buttons that act outside the grid,
// handled once per frame by the invisible key-handler object.
//
// The order of the steps matters: each KeyPressed test consumes the event it
// reports, so a Ctrl combination taken by an earlier step never reaches the
// plain keys below it. Every Ctrl test consumes its event even when the
// action then does nothing. Text fields on open forms take their keys
// earlier in the frame (they sit on a higher layer), so typing into a form
// never reaches this handler.
#include <string>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/port/path_separator.h"
#include "engine/port/console_port.h"
#include "engine/widgets/menu_object.h"
#include "ui/file_actions.h"
#include "viewer/copy.h"
#include "viewer/help_box.h"
#include "viewer/values_refresh.h"
#include "viewer/values_panel.h"
#include "viewer/marks.h"
#include "viewer/offset_forms.h"
#include "viewer/offset_math.h"
#include "viewer/search.h"
#include "viewer/search_form.h"
#include "viewer/viewer_state.h"

namespace {

using namespace kelm::port;
using KelmCEngineV2::KeyPressed;

// Ctrl (either key) with `key`, pressed in this frame; consumes the event.
bool CtrlKey(uint16_t key) { return KeyPressed(static_cast<uint8_t>(key), false, KelmCEngineV2::kModCtrl); }

// `key` pressed in this frame with whatever modifiers; consumes the event.
bool PlainKey(uint16_t key) { return KeyPressed(static_cast<uint8_t>(key), false, 0); }

// `key` pressed in this frame without Ctrl or Alt; consumes the event. Used
// for the quit letter, so that a second Ctrl+Q of the same frame (key
// repeat) never quits.
bool UnmodifiedKey(uint16_t key) {
  auto& events = KelmCEngineV2::keyEvents;
  constexpr uint32_t kCtrlOrAlt = LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED | LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED;
  for (auto it = events.begin(); it != events.end(); ++it) {
    if (it->wVirtualKeyCode == key && (it->dwControlKeyState & kCtrlOrAlt) == 0) {
      events.erase(it);
      return true;
    }
  }
  return false;
}

// The folder part of a path, for the open dialog to start in; empty (the
// working directory) for a bare file name.
std::string DirectoryOf(const std::string& path) {
  const size_t slash = kelm::port::LastPathSeparator(path);
  if (slash == std::string::npos) return std::string();
  return slash == 0 ? std::string("/") : path.substr(0, slash);
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

// Ctrl+N: one open dialog; a chosen file is loaded and shown from its start.
void OpenAnotherFile() {
  const std::optional<std::string> chosen = Port().OpenFileDialog(DirectoryOf(filePath));
  if (!chosen || chosen->empty()) return;
  LoadFile(*chosen);
  topRow = 0;
  RefreshGrid();
}

void ShowRowOf(uint64_t offset) {
  topRow = ClampTopRow(static_cast<int64_t>(offset / static_cast<uint64_t>(bytesPerRow > 0 ? bytesPerRow : 1)));
  RefreshGrid();
}

int64_t RowsShown() { return charColumn != nullptr ? charColumn->GetHeight() : 0; }

// The first of the navigation keys pressed in this frame, in this order;
// only that one is handled.
void HandleNavigationKey() {
  const auto perRow = static_cast<uint64_t>(bytesPerRow > 0 ? bytesPerRow : 1);
  if (PlainKey(VK_UP)) {
    MoveSelectionBack(perRow);
  } else if (PlainKey(VK_RIGHT)) {
    MoveSelectionForward(1);
  } else if (PlainKey(VK_LEFT)) {
    MoveSelectionBack(1);
  } else if (PlainKey(VK_DOWN)) {
    MoveSelectionForward(perRow);
  } else if (PlainKey(VK_PRIOR)) {
    ScrollRows(-RowsShown());
  } else if (PlainKey(VK_NEXT)) {
    ScrollRows(RowsShown());
  } else if (PlainKey(VK_END)) {
    ShowRowOf(fileSize == 0 ? 0 : fileSize - 1);
  } else if (PlainKey(VK_HOME)) {
    ShowRowOf(0);
  } else if (PlainKey(VK_ESCAPE)) {
    KelmCEngineV2::CloseTopMenu();
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

  // Ctrl+C: copy the selection to the clipboard (as hex pairs with Shift);
  // Ctrl+Y: copy it as hex pairs in any terminal.
  HandleCopyKeys();
  if (CtrlKey('G')) OpenSeekForm();
  if (CtrlKey('D')) OpenInspectorPanel();
  if (CtrlKey('A')) SelectWholeFile();
  if (CtrlKey('O')) ShowOpenWith();  // "Open With" for the viewed file
  if (CtrlKey('N')) OpenAnotherFile();
  if (CtrlKey('R')) LoadFile(filePath);
  // Ctrl+M, or Ctrl+K which every terminal tells apart from Enter: remove the
  // mark under the mouse, or the colour-range form.
  const bool markKey = CtrlKey(kMarkKey);
  const bool markFallbackKey = CtrlKey(kMarkFallbackKey);
  if (markKey || markFallbackKey) HandleMarkKey();
  if (CtrlKey('B')) OpenLengthForm();
  if (CtrlKey('Q')) QuickMark();
  if (CtrlKey('F')) OpenSearchForm();

  if (CtrlKey(VK_RIGHT) && selectionActive) {
    selection.start = SaturatingAdd(selection.start, selection.length);
    AfterSelectionChange();
  }
  if (CtrlKey(VK_LEFT) && selectionActive) {
    selection.start = SaturatingSub(selection.start, selection.length);
    AfterSelectionChange();
  }
  if (CtrlKey(VK_UP)) ScrollRows(-1);
  if (CtrlKey(VK_DOWN)) ScrollRows(1);

  // F1: the keys and mouse actions in a box.
  if (PlainKey(VK_F1)) OpenHelpBox();

  // F3 and Shift+F3: the next and the previous match of the last search.
  // (A running search takes Esc itself, before any box or this handler.)
  HandleSearchKeys();

  HandleNavigationKey();

  // Every frame: the tooltip of the named mark under the mouse.
  ShowTipUnderMouse();

  // A terminal has no window to close: q and F10 end the program.
  if (UnmodifiedKey('Q') || PlainKey(VK_F10)) {
    if (KelmCEngineV2::mainEngine != nullptr) KelmCEngineV2::mainEngine->Quit(0);
  }
}
