#include "engine/core/vector2.h"

#include <cmath>
#include <limits>

namespace KelmCEngineV2 {

int32_t SnapToCell(float x) {
  constexpr float kMax = 2147483520.0f;  // largest float below 2^31
  if (std::isnan(x)) return 0;
  if (x >= 0.0f) {
    const float rounded = x + 0.5f;
    return rounded >= kMax ? std::numeric_limits<int32_t>::max() : static_cast<int32_t>(rounded);
  }
  return x <= -kMax ? std::numeric_limits<int32_t>::min() : static_cast<int32_t>(x);
}

}  // namespace KelmCEngineV2
