// The inspector panel: a movable box on the "Menus" layer listing the nine
// inspector values under three headings, one row per value, each row with a
// radio button that chooses the value the status field "dec" shows.
//
// Rows repaint themselves from their record's changed flag, so the panel
// follows the selection without being told. The panel closes itself on
// Ctrl+D or Esc; presses outside it leave it open.
//
// Frame thread only.
#pragma once

#include <string>
#include <vector>

#include "engine/core/object.h"
#include "engine/widgets/bracket_style.h"
#include "engine/widgets/button.h"
#include "engine/widgets/menu_object.h"
#include "viewer/decoded_values.h"

namespace kelm::viewer {

// One row's value text: shows its record's row text ("LE u32: 305419896"),
// repainting on the frame after the record changed.
class DecimalObject : public KelmCEngineV2::Object {
 public:
  DecimalObject(KelmCEngineV2::Vector2 at, InspectorValue* record);
  // Repaints from the record when it changed (clearing its flag), then runs
  // the callback.
  void Update() override;
  // Limits the row text to `cells` cells (0: no limit), a longer one ending
  // in "..."; repaints at once when the limit changes.
  void SetRoom(int32_t cells);

  InspectorValue* entry = nullptr;  // not owned
  int32_t room = 0;
};

// One row's radio button: "[ ]", or "[X]" beside the chosen record.
class ValuedButton : public KelmCEngineV2::Button {
 public:
  ValuedButton(KelmCEngineV2::Vector2 at, std::u16string label, KelmCEngineV2::BracketKind kind,
               const KelmCEngineV2::BracketStyle* customStyle = nullptr);

  InspectorValue* entry = nullptr;  // not owned
};

// The radio buttons of the most recently opened panel, in row order. The
// panel owns them; the list is emptied (not deleted) when a panel opens.
extern std::vector<ValuedButton*> inspectorButtons;
// The panel follows the mouse while set.
extern bool draggingPanel;

// Inner size of the panel's box when every row fits it. A longer row
// widens the panel to fit it whole, up to the screen's width (the panel then
// moves left as far as it must to stay on screen); a row that still does not
// fit ends in "...". The panel narrows again when the rows get shorter.
inline constexpr int32_t kInspectorPanelInnerWidth = 30;
inline constexpr int32_t kInspectorPanelInnerHeight = 16;

// Builds a panel (top-left corner at the middle of the screen's top, below
// the menu bar), adds it to the "Menus" layer and refreshes the inspector so
// every row paints itself on the next frame. Yields the panel, which the
// layer owns.
KelmCEngineV2::MenuObject* OpenInspectorPanel();

// The panel's per-frame callback: its width for its longest row, dragging,
// using up presses on the panel, and closing on Ctrl+D or Esc.
void InspectorPanelUpdate(KelmCEngineV2::Object* panel);

// Adds one row (radio button, then value text three cells to its right) at
// the offset (x, y) from the panel's centre, and moves y one line down.
void AddInspectorRow(KelmCEngineV2::Object* panel, float x, float& y, InspectorValue* record);

// Click action of the radio buttons: chooses the button's record, marks the
// buttons and refreshes the inspector (which updates "dec").
void OnInspectorRowChosen(KelmCEngineV2::Object* button);

}  // namespace kelm::viewer
