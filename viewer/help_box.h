// The help box (F1): a framed box on the "Menus" layer listing every key and
// mouse action, from the same table as `kelmhex --help`.
//
// It is sized to the screen, below the menu bar and above the status row,
// and scrolls when the table does not fit: Up and Down by a line, Page Up and
// Page Down by a page, Home and End to either end, the wheel by three lines.
// Esc or F1 closes it, and so does a press outside it, like every box. While
// it is the topmost box it takes those keys and the wheel before the hex view
// sees them (the "Menus" layer updates first), so Esc closes only the help
// box and the arrows do not move the selection underneath.
//
// Frame thread only.
#pragma once

#include <cstdint>
#include <vector>

#include "engine/widgets/menu_object.h"
#include "viewer/help_text.h"

namespace kelm::viewer {

class HelpBox : public KelmCEngineV2::MenuObject {
 public:
  HelpBox();
  // Closes on a press outside; follows the screen size; scrolls and closes
  // on its keys while it is the topmost box; then runs the callback.
  void Update() override;

  // Index of the first table line shown.
  int32_t FirstLine() const { return firstLine; }
  // How many table lines the box shows at once.
  int32_t VisibleLines() const { return innerHeight; }
  // The whole table as laid out for the box's width.
  const std::vector<HelpLine>& Lines() const { return lines; }
  // Scrolls by `delta` lines (negative: up), kept within the table.
  void ScrollBy(int64_t delta);

 private:
  // Fits the box to the screen and lays out the table for its width.
  void Layout();
  // Builds the box's picture: the frame with its title and position, and
  // the visible lines.
  void Render();
  // The last live object of the "Menus" layer is this box.
  bool IsTopmost() const;

  std::vector<HelpLine> lines;
  int32_t firstLine = 0;
  int32_t innerWidth = 0;
  int32_t innerHeight = 0;
  int32_t screenWidth = -1;
  int32_t screenHeight = -1;
};

// Lines the wheel scrolls per notch.
inline constexpr int32_t kHelpWheelLines = 3;
// The widest the box's inside gets on a wide screen.
inline constexpr int32_t kHelpBoxMaxInnerWidth = 78;
// The title in the box's top edge.
inline constexpr const char* kHelpBoxTitle = " Help: keys and mouse ";

// F1 in the hex view: opens the help box on the "Menus" layer, unless one is
// open already. Yields the box (the layer owns it).
HelpBox* OpenHelpBox();

// The help box on the "Menus" layer, or null.
HelpBox* FindHelpBox();

}  // namespace kelm::viewer
