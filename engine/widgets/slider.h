// Slider: a one-row bar of cells between brackets, one per step, filled up to
// the value; pressed and dragged with the left button.
#pragma once

#include <cstdint>

#include "engine/core/object.h"
#include "engine/widgets/bracket_style.h"

namespace KelmCEngineV2 {

class Slider : public Object {
 public:
  Slider(Vector2 at, int32_t minimumValue, int32_t maximumValue, int32_t initialValue,
         BracketKind kind, const BracketStyle* customStyle = nullptr);
  bool IsGrabbed() const { return grabbed; }
  void Update() override;

  bool grabbed = false;
  const char emptyChar = '-';
  const char filledChar = '|';
  const char emptyColour = '7';
  const char filledColour = 'F';
  BracketStyle style;
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t value = 0;
};

}  // namespace KelmCEngineV2
