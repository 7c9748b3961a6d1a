#include "ui/menu_bar.h"

#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/widgets/button.h"
#include "engine/widgets/menu_object.h"
#include "ui/file_actions.h"
#include "ui/marks_transfer.h"
#include "ui/settings_panel.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

using namespace KelmCEngineV2;

namespace {
// The File menu opens on the row below the pointer (y grows upwards).
constexpr float kMenuRowsBelowPointer = 1.0f;
}  // namespace

void InitMenuBar() {
  if (mainEngine == nullptr) return;
  Layer* objects = mainEngine->FindLayer("Objects");
  if (objects == nullptr) return;

  auto* file = new Button(Vector2(8.0f, 0.0f), u"File", Spaced);
  file->SetOnClick(OpenFileMenu);
  objects->AddObject(file);

  auto* settings = new Button(Vector2(22.0f, 0.0f), u"Settings", Spaced);
  settings->SetOnClick(OpenSettingsPanel);
  objects->AddObject(settings);
}

void OpenFileMenu(Object* button) {
  mouseButtons[kLeftButton].pressed = false;
  std::vector<MenuEntry> entries;
  entries.emplace_back(u"Open", OpenFileAction, false);
  entries.emplace_back(u"Open With", OpenWithAction, false);
  entries.emplace_back(u"Reload", ReloadAction, false);
  entries.emplace_back(u"Export", ExportAction, false);
  entries.emplace_back(u"Export as", ExportAsAction, true);
  entries.emplace_back(u"Copy as", CopyAsAction, true);
  entries.emplace_back(u"Marks", MarkListAction, false);
  entries.emplace_back(u"Export marks", ExportMarksAction, false);
  entries.emplace_back(u"Import marks", ImportMarksAction, false);
  auto* menu = new ContextMenu(std::move(entries), Vector2(button->GetLeft(), mousePosition.y - kMenuRowsBelowPointer));
  if (menusLayer != nullptr) {
    menusLayer->AddObject(menu);
  } else {
    delete menu;
  }
}
