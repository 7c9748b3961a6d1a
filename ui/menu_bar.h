// The viewer's fixed screen: the menu bar ("File", "Settings") on the top
// row and the grid and status objects below it.
#pragma once

#include "engine/core/object.h"

// Builds the menu bar and the grid and status objects in the "Objects" layer
// and lays them out for the current screen size. Called once at start-up,
// before the first file is loaded.
void InitUI();

// The "File" button's action: consumes the press and opens the drop-down of
// file actions below the button.
void OpenFileMenu(KelmCEngineV2::Object* button);
