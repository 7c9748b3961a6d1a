// World coordinates: x grows to the right, y grows upward. The screen cell in
// column c and row r is the world point (camera.x + c, camera.y - r).
#pragma once

#include <cstdint>

namespace KelmCEngineV2 {

struct Vector2 {
  float x = 0.0f;
  float y = 0.0f;
  Vector2() = default;
  Vector2(float xValue, float yValue) : x(xValue), y(yValue) {}
  Vector2 operator+(Vector2 o) const { return {x + o.x, y + o.y}; }
  Vector2 operator-(Vector2 o) const { return {x - o.x, y - o.y}; }
  bool operator==(const Vector2&) const = default;
};

// A rectangle of whole world cells; top >= bottom since y grows upward. A cell
// (x, y) is inside when left <= x <= right and bottom <= y <= top.
struct CellRect {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
  bool operator==(const CellRect&) const = default;
};

// World float to whole cell: x >= 0 rounds half up (x + 0.5 truncated); x < 0
// truncates toward zero, so -0.7 gives 0 and -1.5 gives -1. Every world-to-cell
// conversion of the engine goes through it. Values beyond the int32 range
// saturate.
int32_t SnapToCell(float x);

}  // namespace KelmCEngineV2
