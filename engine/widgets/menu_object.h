// Framed boxes and drop-down menus on the "Menus" layer.
#pragma once

#include <string>
#include <vector>

#include "engine/core/object.h"

namespace KelmCEngineV2 {

// A box drawn with '+', '-' and '|', opaque, clipping its children to its
// inside. While closeOnOutsideClick is set, a left press outside its inside
// (its frame included) destroys it and is used up; a press inside is used up.
class MenuObject : public Object {
 public:
  MenuObject(Vector2 at, int32_t innerWidth, int32_t innerHeight);
  MenuObject();
  // Replaces the picture with a frame around innerWidth x innerHeight spaces.
  void MakeBox(int32_t innerWidth, int32_t innerHeight);
  void Update() override;

  bool closeOnOutsideClick = true;
};

struct MenuEntry {
  // The action may be a plain function, a lambda, or null for an inert entry
  // (a null function pointer also gives an empty action).
  MenuEntry(std::u16string entryLabel, ObjectCallback entryAction, bool entryHasSubmenu)
      : action(std::move(entryAction)), hasSubmenu(entryHasSubmenu), label(std::move(entryLabel)) {}

  ObjectCallback action;
  bool hasSubmenu = false;
  std::u16string label;
};

// A box with one button per entry, its top-left corner at `corner`.
class ContextMenu : public MenuObject {
 public:
  ContextMenu(std::vector<MenuEntry> entries, Vector2 corner);
};

// Whether the mouse's cell lies on `box`, its frame included (a box's own
// hit test counts only its inside, which it clips its children to).
bool MouseOnBox(const Object* box);
// Whether the mouse's cell lies on an open box of the "Menus" layer (one
// that is visible and not yet destroyed), frame included.
bool MouseOnAnyBox();

// Destroys every object of the "Menus" layer.
void CloseAllMenus();
// Destroys the most recently added object of the "Menus" layer, if any.
void CloseTopMenu();

}  // namespace KelmCEngineV2
