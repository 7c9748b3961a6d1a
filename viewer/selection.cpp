// The selection: the byte under the mouse, clicks and drags on the grid,
// and the arrow-key moves.
//
// Offsets are unsigned 64-bit. Moves saturate: a selection never wraps from
// offset 0 to the end of the offset space or back; moving past the end of
// the file is allowed (nothing can be read there).
#include <cmath>

#include "engine/core/input.h"
#include "engine/port/console_port.h"
#include "viewer/grid_geometry.h"
#include "viewer/values_refresh.h"
#include "viewer/mark_list.h"
#include "viewer/offset_math.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

// Halves round up, as the cell arithmetic of the engine.
double RoundHalfUp(double value) { return std::floor(value + 0.5); }

bool ShiftHeldNow() {
  return (static_cast<uint16_t>(kelm::port::Port().GetAsyncKeyState(kelm::port::VK_SHIFT)) & 0x8000) != 0;
}

// The range between the anchor and `end`, both included.
void SelectFromAnchorTo(uint64_t end) {
  const OffsetSpan span = SpanBetween(selectionAnchor, end);
  selection.start = span.start;
  selection.length = span.length;
}

// The selection's far end, start + length - 1 (just before the start for an
// empty selection), kept inside the offset space.
uint64_t SelectionEnd() {
  return selection.length == 0 ? SaturatingSub(selection.start, 1)
                               : LastByteOf(selection.start, selection.length);
}

void MoveSelection(uint64_t step, bool forward) {
  if (KelmCEngineV2::KeyPressed(static_cast<uint8_t>(kelm::port::VK_SHIFT), true, 0)) {
    // The end away from the anchor moves; the selection flips around the
    // anchor when that end passes it.
    const uint64_t moving = selection.start < selectionAnchor ? selection.start : SelectionEnd();
    SelectFromAnchorTo(forward ? SaturatingAdd(moving, step) : SaturatingSub(moving, step));
  } else if (selectionActive) {
    const uint64_t at = forward ? SaturatingAdd(SelectionEnd(), step) : SaturatingSub(selection.start, step);
    selection.start = at;
    selectionAnchor = at;
    selection.length = 1;
  }
  RecolourGrid();
  ShowSelectionOffset();
  RefreshInspector();
}

}  // namespace

ByteUnderMouseResult ByteUnderMouse() {
  using KelmCEngineV2::mousePosition;
  double column = 0;
  const KelmCEngineV2::Object* under = nullptr;
  if (hexColumn != nullptr && hexColumn->IsHovered()) {
    under = hexColumn;
    column = RoundHalfUp((mousePosition.x - hexColumn->GetLeft()) / 3.0);
  } else if (charColumn != nullptr && charColumn->IsHovered()) {
    under = charColumn;
    column = RoundHalfUp((mousePosition.x - charColumn->GetLeft()) / CharCellWidth());
  } else {
    return {};
  }
  const double row = RoundHalfUp(under->GetTop() - mousePosition.y);
  if (column < 0 || row < 0 || bytesPerRow < 1) return {};

  const auto perRow = static_cast<uint64_t>(bytesPerRow);
  const uint64_t first = static_cast<uint64_t>(ClampTopRow(topRow)) * perRow;
  const uint64_t within = static_cast<uint64_t>(row) * perRow + static_cast<uint64_t>(column);
  // A blank cell of a row beyond the last offset names no byte.
  if (within > kMaxOffset - first) return {};
  return {true, first + within};
}

void HandleGridMouse(KelmCEngineV2::Object* object) {
  using KelmCEngineV2::kLeftButton;
  using KelmCEngineV2::mouseButtons;
  if (object->IsClicked()) {
    if (seekMark) RemoveSeekMark();
    const ByteUnderMouseResult under = ByteUnderMouse();
    if (under.over) {
      if (under.offset == selection.start && selectionActive) {
        // A click on the first selected byte deselects.
        selectionActive = false;
      } else if (ShiftHeldNow()) {
        SelectFromAnchorTo(under.offset);
      } else {
        selectionAnchor = under.offset;
        selection.start = under.offset;
        selection.length = 1;
        selectionActive = true;
      }
    }
    RecolourGrid();
    dragSelecting = true;
    ShowSelectionOffset();
    RefreshInspector();
  } else if (dragSelecting && mouseButtons[kLeftButton].held) {
    const ByteUnderMouseResult under = ByteUnderMouse();
    if (!under.over) return;
    const OffsetSpan span = SpanBetween(selectionAnchor, under.offset);
    // Both columns run this every frame; only a change needs repainting.
    if (span.start == selection.start && span.length == selection.length) return;
    selection.start = span.start;
    selection.length = span.length;
    RecolourGrid();
    // Dragging before the anchor moves the first byte: the offset display
    // follows it.
    ShowSelectionOffset();
    RefreshInspector();
  } else {
    dragSelecting = false;
  }
}

void MoveSelectionBack(uint64_t step) { MoveSelection(step, false); }

void MoveSelectionForward(uint64_t step) { MoveSelection(step, true); }

void ShowSelectionOffset() {
  if (statusOffset == nullptr) return;
  statusOffset->SetText(selectionActive ? HexOffsetText(selection.start) : std::u16string(kNoOffset));
}

}  // namespace kelm::viewer
