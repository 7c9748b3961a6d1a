#include "viewer/form_box.h"

#include "engine/core/engine.h"
#include "engine/core/layer.h"

namespace kelm::viewer {

using KelmCEngineV2::MenuObject;
using KelmCEngineV2::Object;

MenuObject* AddFormBox(float y, int32_t innerWidth, int32_t innerHeight) {
  const float x = static_cast<float>(KelmCEngineV2::mainEngine->GetScreenWidth() / 2);
  auto* box = new MenuObject(KelmCEngineV2::Vector2(x, y), innerWidth, innerHeight);
  KelmCEngineV2::menusLayer->AddObject(box);
  return box;
}

void CloseForm(Object* input) {
  Object* box = input->parent;
  if (box != nullptr && box->layer == KelmCEngineV2::menusLayer && !box->IsDestroyed()) {
    box->Destroy();
    return;
  }
  KelmCEngineV2::CloseTopMenu();
}

}  // namespace kelm::viewer
