// The box every small form of the hex view sits in (Seek, length, search):
// put on the "Menus" layer, centred on the screen's middle column, and
// closed again by the field it holds. Frame thread only.
#pragma once

#include <cstdint>

#include "engine/core/object.h"
#include "engine/widgets/menu_object.h"

namespace kelm::viewer {

// A new form box with `innerWidth` x `innerHeight` cells inside, centred on
// (middle column of the screen, y), added to the "Menus" layer, which owns
// it. Needs the engine and its layers.
KelmCEngineV2::MenuObject* AddFormBox(float y, int32_t innerWidth, int32_t innerHeight);

// Closes the form that holds `input`. Normally that is the top menu; if a
// menu was opened above the form meanwhile, that menu stays open.
void CloseForm(KelmCEngineV2::Object* input);

}  // namespace kelm::viewer
