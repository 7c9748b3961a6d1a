// What every object drew in a frame pass, kept from one pass to the next.
//
// The frame pass records, at the moment each object would draw, everything
// its cells depend on (place, clip rectangle, size, text, colour strings,
// opaque mask). The cells are composed from the records after the pass, so
// the result is the same as drawing at that moment, even when a later Update
// changes the object. When every record equals the previous pass's, the
// composed frame would be the same as the last one and composing is skipped:
// an idle viewer then does little more than its objects' Update calls.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/vector2.h"
#include "engine/port/console_types.h"

namespace KelmCEngineV2 {

class Object;

// One object's own cells as it drew them. Coordinates are frame cells: the
// object's line i lies on frame row `top` + i, its column j on frame column
// `left` + j; only rows `firstRow`..`lastRow` and columns
// `firstColumn`..`lastColumn` (of the object) are drawn.
struct DrawRecord {
  int64_t top = 0;
  int64_t left = 0;
  int32_t firstRow = 0;
  int32_t lastRow = -1;
  int32_t firstColumn = 0;
  int32_t lastColumn = -1;
  int32_t width = 0;
  std::u16string text;
  std::string foreground;
  std::string background;
  std::string opaqueMask;
};

class DrawList {
 public:
  // Starts a pass.
  void Begin();
  // Records `object`'s own cells, drawn at this point of the pass: `camera`
  // is the engine's, `clip` the world rectangle it may draw in, and the frame
  // is frameWidth x frameHeight. Objects that would draw no cell are left out.
  void Record(const Object& object, const Vector2& camera, const CellRect& clip, int32_t frameWidth,
              int32_t frameHeight);
  // Ends a pass; yields whether its records differ from the previous pass's
  // (always true after Invalidate).
  bool End();
  // The next End reports a change (new buffers, a new size).
  void Invalidate() { invalid_ = true; }

  // Clears the frame and draws the records: the first record to draw a cell
  // keeps it, so records come topmost first.
  void Compose(std::vector<kelm::port::CHAR_INFO>& cells, std::vector<uint8_t>& drawnMask,
               int32_t frameWidth) const;

  size_t size() const { return count_; }

 private:
  std::vector<DrawRecord> records_;
  size_t count_ = 0;
  bool changed_ = false;
  bool invalid_ = true;
};

}  // namespace KelmCEngineV2
