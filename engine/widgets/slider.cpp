#include "engine/widgets/slider.h"

#include <cmath>

#include "engine/core/input.h"

namespace KelmCEngineV2 {

Slider::Slider(Vector2 at, int32_t minimumValue, int32_t maximumValue, int32_t initialValue,
               BracketKind kind, const BracketStyle* customStyle)
    : Object(at, std::u16string()),
      style(ResolveBracketStyle(kind, customStyle)),
      minimum(minimumValue),
      maximum(maximumValue),
      value(initialValue) {}

void Slider::Update() {
  // 1. The picture shows the value as it was at the start of this frame; a
  //    drag below shows in the next frame.
  std::u16string picture = style.prefix;
  std::string fore = style.prefixForeground;
  for (int64_t step = minimum; step < maximum; ++step) {
    const bool filled = step < value;
    picture += static_cast<char16_t>(filled ? filledChar : emptyChar);
    fore += filled ? filledColour : emptyColour;
  }
  picture += style.suffix;
  fore += style.suffixForeground;
  SetText(std::move(picture));
  SetForeground(std::move(fore));
  // No opaque mask: the spaces of the brackets let presses through.

  // 2. Grab on a press over the slider; let go on a release anywhere.
  if (IsClicked()) {
    grabbed = true;
  } else if (mouseButtons[kLeftButton].released) {
    grabbed = false;
  }

  // 3. While grabbed, the value follows the mouse's column: the k-th bar cell
  //    gives minimum + k + 1, anything left of the bar minimum, anything right
  //    of it maximum.
  if (grabbed && mouseButtons[kLeftButton].held) {
    const float d =
        mousePosition.x - (GetLeft(true) + static_cast<float>(style.prefix.size()) - 1.0f);
    const double m = static_cast<double>(minimum) + std::trunc(static_cast<double>(d));
    if (m < minimum) {
      value = minimum;
    } else {
      value = m < maximum ? static_cast<int32_t>(m) : maximum;
    }
  }

  if (callback) callback(this);
}

}  // namespace KelmCEngineV2
