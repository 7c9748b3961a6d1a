#include "engine/core/draw_list.h"

#include <algorithm>
#include <cstring>

#include "engine/core/draw.h"
#include "engine/core/object.h"

namespace KelmCEngineV2 {

using kelm::port::CHAR_INFO;

namespace {

// Assigns `value` to `field` when they differ; yields whether they did.
template <typename T>
bool Update(T& field, const T& value) {
  if (field == value) return false;
  field = value;
  return true;
}

// The same for strings, compared as bytes: the library compares UTF-16
// strings unit by unit, several times slower than memcmp.
template <typename Char>
bool Update(std::basic_string<Char>& field, const std::basic_string<Char>& value) {
  if (field.size() == value.size() && std::memcmp(field.data(), value.data(), field.size() * sizeof(Char)) == 0)
    return false;
  field = value;
  return true;
}

}  // namespace

void DrawList::Begin() {
  count_ = 0;
  changed_ = false;
}

void DrawList::Record(const Object& object, const Vector2& camera, const CellRect& clip, int32_t frameWidth,
                      int32_t frameHeight) {
  // The object's top-left cell and the clip rectangle, in frame cells (rows
  // grow downwards in the frame, upwards in the world).
  // 64-bit: negating or subtracting far-away cells must not wrap into view.
  const auto snap = [](float x) { return static_cast<int64_t>(SnapToCell(x)); };
  const int64_t top = -snap(object.GetTop() - camera.y);
  const int64_t left = snap(object.GetLeft() - camera.x);
  const int64_t clipTop = std::max<int64_t>(-snap(static_cast<float>(clip.top) - camera.y), 0);
  const int64_t clipBottom = std::min<int64_t>(-snap(static_cast<float>(clip.bottom) - camera.y), frameHeight - 1);
  const int64_t clipLeft = std::max<int64_t>(snap(static_cast<float>(clip.left) - camera.x), 0);
  const int64_t clipRight = std::min<int64_t>(snap(static_cast<float>(clip.right) - camera.x), frameWidth - 1);

  // The object's lines and columns inside the clip rectangle and the frame.
  const int64_t firstRow = std::max<int64_t>(0, clipTop - top);
  const int64_t lastRow = std::min<int64_t>(object.height - 1, clipBottom - top);
  const int64_t firstColumn = std::max<int64_t>(0, clipLeft - left);
  const int64_t lastColumn = std::min<int64_t>(object.width - 1, clipRight - left);
  if (firstRow > lastRow || firstColumn > lastColumn) return;  // draws no cell

  if (count_ == records_.size()) {
    records_.emplace_back();
    changed_ = true;
  }
  DrawRecord& record = records_[count_++];
  bool changed = Update(record.top, top);
  changed |= Update(record.left, left);
  changed |= Update(record.firstRow, static_cast<int32_t>(firstRow));
  changed |= Update(record.lastRow, static_cast<int32_t>(lastRow));
  changed |= Update(record.firstColumn, static_cast<int32_t>(firstColumn));
  changed |= Update(record.lastColumn, static_cast<int32_t>(lastColumn));
  changed |= Update(record.width, object.width);
  changed |= Update(record.text, object.text);
  changed |= Update(record.foreground, object.foreground);
  changed |= Update(record.background, object.background);
  changed |= Update(record.opaqueMask, object.opaqueMask);
  changed_ |= changed;
}

bool DrawList::End() {
  if (count_ != records_.size()) {
    records_.resize(count_);  // fewer objects drew than in the previous pass
    changed_ = true;
  }
  const bool changed = changed_ || invalid_;
  invalid_ = false;
  return changed;
}

void DrawList::Compose(std::vector<CHAR_INFO>& cells, std::vector<uint8_t>& drawnMask, int32_t frameWidth) const {
  ClearFrame(cells, drawnMask);
  for (size_t i = 0; i < count_; ++i) DrawRecordCells(records_[i], cells, drawnMask, frameWidth);
}

}  // namespace KelmCEngineV2
