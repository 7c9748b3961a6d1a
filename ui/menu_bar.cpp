#include "ui/menu_bar.h"

#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/widgets/button.h"
#include "engine/widgets/menu_object.h"
#include "ui/file_actions.h"
#include "ui/settings_panel.h"
#include "viewer/grid_geometry.h"
#include "viewer/viewer_state.h"

namespace {

using namespace KelmCEngineV2;

constexpr char16_t kNoOffset[] = u"----------------";
// The File menu opens on the row below the pointer (y grows upwards).
constexpr float kMenuRowsBelowPointer = 1.0f;

Object* AddScreenObject(Layer* layer, Vector2 at, int32_t anchorBits, ObjectCallback callback = nullptr) {
  auto* object = new Object(at, std::u16string());
  object->anchor = anchorBits;
  if (callback) object->SetCallback(std::move(callback));
  layer->AddObject(object);
  return object;
}

}  // namespace

void InitUI() {
  if (mainEngine == nullptr) return;
  Layer* objects = mainEngine->FindLayer("Objects");
  if (objects == nullptr) return;

  auto* file = new Button(Vector2(8.0f, 0.0f), u"File", Spaced);
  file->SetOnClick(OpenFileMenu);
  objects->AddObject(file);

  auto* settings = new Button(Vector2(22.0f, 0.0f), u"Settings", Spaced);
  settings->SetOnClick(OpenSettingsPanel);
  objects->AddObject(settings);

  offsetColumn = AddScreenObject(objects, Vector2(0.0f, -2.0f), kAnchorTopLeft);
  hexColumn = AddScreenObject(objects, Vector2(static_cast<float>(kHexColumnX), -2.0f), kAnchorTopLeft,
                              HandleGridMouse);
  charColumn = AddScreenObject(objects, Vector2(0.0f, -2.0f), kAnchorTopLeft, HandleGridMouse);
  leftSeparator = AddScreenObject(objects, Vector2(static_cast<float>(kLeftBarX), -2.0f), kAnchorTop);
  rightSeparator = AddScreenObject(objects, Vector2(0.0f, -2.0f), kAnchorTop);
  topRule = AddScreenObject(objects, Vector2(0.0f, -1.0f), kAnchorLeft);
  bottomRule = AddScreenObject(objects, Vector2(0.0f, 0.0f), kAnchorLeft);
  statusLine = AddScreenObject(objects, Vector2(static_cast<float>(kHexColumnX), 0.0f), kAnchorLeft);
  statusOffset = AddScreenObject(objects, Vector2(0.0f, 0.0f), kAnchorLeft);
  statusOffset->SetText(kNoOffset);

  LayoutGrid(Vector2(static_cast<float>(mainEngine->GetScreenWidth()),
                     static_cast<float>(mainEngine->GetScreenHeight())));
}

void OpenFileMenu(Object* button) {
  mouseButtons[kLeftButton].pressed = false;
  std::vector<MenuEntry> entries;
  entries.emplace_back(u"Open", OpenFileAction, false);
  entries.emplace_back(u"Open With", OpenWithAction, false);
  entries.emplace_back(u"Reload", ReloadAction, false);
  entries.emplace_back(u"Export", ExportAction, false);
  auto* menu = new ContextMenu(std::move(entries), Vector2(button->GetLeft(), mousePosition.y - kMenuRowsBelowPointer));
  if (menusLayer != nullptr) {
    menusLayer->AddObject(menu);
  } else {
    delete menu;
  }
}
