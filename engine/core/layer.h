// A named layer of root objects; layers give the stacking order of the screen.
#pragma once

#include <string>
#include <vector>

#include "engine/core/object.h"

namespace KelmCEngineV2 {

class Layer {
 public:
  explicit Layer(std::string layerName) : name(std::move(layerName)) {}
  Layer(const Layer&) = delete;
  Layer& operator=(const Layer&) = delete;
  ~Layer();

  // Appends the object on top of the layer and sets its `layer`. Takes the
  // engine lock, so the start-up code may call it while frames run.
  void AddObject(Object* object);
  // A copy of the root objects (entries may be null between frames).
  std::vector<Object*> GetObjects() const;
  // Deletes each equal non-null entry and nulls its slot.
  void DeleteObject(Object* object);
  // Removes every equal entry; with null, purges emptied slots.
  void RemoveObject(Object* object);

  std::vector<Object*> objects;
  std::string name;
};

}  // namespace KelmCEngineV2
