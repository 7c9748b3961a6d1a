#include "engine/core/layer.h"

#include <algorithm>
#include <mutex>

#include "engine/core/engine.h"

namespace KelmCEngineV2 {

Layer::~Layer() {
  for (Object* object : objects) delete object;
}

void Layer::AddObject(Object* object) {
  if (mainEngine != nullptr) {
    {
      std::lock_guard lock(mainEngine->Lock());
      objects.push_back(object);
    }
    // First drawn and updated in the next frame, which must come.
    mainEngine->RequestFrame(0);
  } else {
    objects.push_back(object);
  }
  object->layer = this;
}

std::vector<Object*> Layer::GetObjects() const { return objects; }

void Layer::DeleteObject(Object* object) {
  for (Object*& slot : objects) {
    if (slot == object && slot != nullptr) {
      delete slot;
      slot = nullptr;
    }
  }
}

void Layer::RemoveObject(Object* object) {
  objects.erase(std::remove(objects.begin(), objects.end(), object), objects.end());
}

}  // namespace KelmCEngineV2
