// Button: a one-line label between optional brackets that runs onClick when
// the left button goes down over it (the press edge, not the release).
#pragma once

#include <string>

#include "engine/core/object.h"
#include "engine/widgets/bracket_style.h"

namespace KelmCEngineV2 {

class Button : public Object {
 public:
  // The picture is prefix + label + suffix; the brackets carry their colour
  // digits, the label none. Every cell is opaque.
  Button(Vector2 at, std::u16string label, BracketKind kind,
         const BracketStyle* customStyle = nullptr);
  void SetOnClick(ObjectCallback action) { onClick = std::move(action); }
  // Runs onClick when clicked (consuming the press), then the callback.
  void Update() override;

  ObjectCallback onClick;
};

}  // namespace KelmCEngineV2
