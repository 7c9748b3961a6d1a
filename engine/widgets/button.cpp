#include "engine/widgets/button.h"

#include "engine/core/input.h"

namespace KelmCEngineV2 {

Button::Button(Vector2 at, std::u16string label, BracketKind kind,
               const BracketStyle* customStyle)
    : Object(at, std::u16string()) {
  const BracketStyle style = ResolveBracketStyle(kind, customStyle);
  const size_t labelLength = label.size();
  SetText(style.prefix + label + style.suffix);
  // The label cells carry no colour digit: they keep the cleared colour.
  SetForeground(style.prefixForeground + std::string(labelLength, ' ') + style.suffixForeground);
  // Every cell, spaces included, hides what is below and takes presses.
  FillOpaqueMask();
}

void Button::Update() {
  // Without onClick the press is never asked for, so it stays available to
  // the objects updated after this one.
  if (onClick && IsClicked()) {
    // Called through a copy: the action may replace this button's onClick.
    ObjectCallback action = onClick;
    action(this);
    mouseButtons[kLeftButton].pressed = false;
  }
  if (callback) callback(this);
}

}  // namespace KelmCEngineV2
