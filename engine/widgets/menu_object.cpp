#include "engine/widgets/menu_object.h"

#include <algorithm>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/widgets/button.h"

namespace KelmCEngineV2 {

MenuObject::MenuObject(Vector2 at, int32_t innerWidth, int32_t innerHeight)
    : Object(at, std::u16string()) {
  MakeBox(innerWidth, innerHeight);
}

MenuObject::MenuObject() : Object(Vector2(0.0f, 0.0f), std::u16string()) {}

void MenuObject::MakeBox(int32_t innerWidth, int32_t innerHeight) {
  // A negative size would make no sense as a picture; treat it as empty.
  const size_t w = static_cast<size_t>(std::max(innerWidth, 0));
  const size_t h = static_cast<size_t>(std::max(innerHeight, 0));

  // Built by appending: GCC's -Wrestrict misreads "x" + std::u16string(...).
  std::u16string border;
  border.reserve(w + 2);
  border.append(1, u'+').append(w, u'-').append(1, u'+');
  std::u16string middle;
  middle.reserve(w + 2);
  middle.append(1, u'|').append(w, u' ').append(1, u'|');
  std::u16string picture;
  picture.reserve((w + 3) * (h + 2));
  picture += border;
  for (size_t i = 0; i < h; ++i) {
    picture += u'\n';
    picture += middle;
  }
  picture += u'\n';
  picture += border;

  SetText(std::move(picture));
  FillForeground('7');
  FillBackground('0');
  FillOpaqueMask();
  // Children show only inside the frame, and the frame itself is never hit
  // (hit tests happen inside the clip rectangle), so a press on the frame
  // counts as outside.
  clipChildren = true;
  clipInset = {1, 1, 1, 1};
}

void MenuObject::Update() {
  if (closeOnOutsideClick && mouseButtons[kLeftButton].pressed) {
    // A press inside is used up by IsClicked itself; one outside closes the
    // box and is used up here, so nothing below sees it.
    if (!IsClicked()) {
      const bool owned = layer != nullptr || parent != nullptr;
      mouseButtons[kLeftButton].pressed = false;
      Destroy();
      if (!owned) return;  // a free object is deleted by Destroy at once
    }
  }
  if (callback) callback(this);
}

ContextMenu::ContextMenu(std::vector<MenuEntry> entries, Vector2 corner) : MenuObject() {
  size_t w = 0;
  for (const MenuEntry& entry : entries) w = std::max(w, entry.label.size());
  const size_t n = entries.size();

  MakeBox(static_cast<int32_t>(w + 4), static_cast<int32_t>(n));
  position = corner;
  anchor = kAnchorTopLeft;

  for (size_t i = 0; i < n; ++i) {
    const MenuEntry& entry = entries[i];
    std::u16string line = entry.label;
    line.append(w - entry.label.size(), u' ');
    line += u' ';
    line += entry.hasSubmenu ? u'>' : u' ';

    auto* button = new Button(Vector2(0.0f, 0.0f), std::move(line), None);
    button->SetOnClick(entry.action);
    // Offsets from the box's centre: entry i lands on the (i + 1)-th row.
    button->position = Vector2(0.0f, static_cast<float>(n) * 0.5f - static_cast<float>(i));
    button->FillOpaqueMask();
    AddChild(button);
  }
}

bool MouseOnBox(const Object* box) {
  if (box == nullptr) return false;
  const int32_t x = SnapToCell(mousePosition.x);
  const int32_t y = SnapToCell(mousePosition.y);
  return x >= SnapToCell(box->GetLeft()) && x <= SnapToCell(box->GetRight()) && y <= SnapToCell(box->GetTop()) &&
         y >= SnapToCell(box->GetBottom());
}

bool MouseOnAnyBox() {
  if (menusLayer == nullptr) return false;
  for (const Object* object : menusLayer->objects) {
    if (object != nullptr && object->visible && !object->IsDestroyed() && MouseOnBox(object)) return true;
  }
  return false;
}

void CloseAllMenus() {
  if (menusLayer == nullptr) return;
  for (Object* object : menusLayer->GetObjects()) {
    if (object != nullptr) object->Destroy();
  }
}

void CloseTopMenu() {
  if (menusLayer == nullptr) return;
  const std::vector<Object*> objects = menusLayer->GetObjects();
  // The topmost box is the last entry; a slot emptied in this frame is skipped.
  for (auto it = objects.rbegin(); it != objects.rend(); ++it) {
    if (*it != nullptr) {
      (*it)->Destroy();
      return;
    }
  }
}

}  // namespace KelmCEngineV2
