// The viewer's menu bar: "File" and "Settings" on the top row.
#pragma once

#include "engine/core/object.h"

// Builds the menu bar's buttons in the "Objects" layer. Called once at
// start-up, before the grid is built (InitGrid) and the first file loaded.
void InitMenuBar();

// The "File" button's action: consumes the press and opens the drop-down of
// file actions below the button.
void OpenFileMenu(KelmCEngineV2::Object* button);
