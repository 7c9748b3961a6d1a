#include "engine/core/draw.h"

#include <algorithm>

#include "engine/core/engine.h"

namespace KelmCEngineV2 {

using kelm::port::CHAR_INFO;

namespace {
// Colour value of every byte: 0-15 for the digits of both cases, -1 for a
// space and anything else (which leaves the colour unchanged).
struct DigitTable {
  int8_t value[256];
  constexpr DigitTable() : value() {
    for (int c = 0; c < 256; ++c) value[c] = -1;
    for (int c = '0'; c <= '9'; ++c) value[c] = static_cast<int8_t>(c - '0');
    for (int c = 'A'; c <= 'F'; ++c) value[c] = static_cast<int8_t>(c - 'A' + 10);
    for (int c = 'a'; c <= 'f'; ++c) value[c] = static_cast<int8_t>(c - 'a' + 10);
  }
};
constexpr DigitTable kDigits;
}  // namespace

int ColourDigitValue(char digit) { return kDigits.value[static_cast<unsigned char>(digit)]; }

char ColourDigit(int index) {
  index &= 0xF;
  return static_cast<char>(index < 10 ? '0' + index : 'A' + index - 10);
}

void ClearFrame(std::vector<CHAR_INFO>& cells, std::vector<uint8_t>& drawnMask) {
  std::fill(cells.begin(), cells.end(), CHAR_INFO{u' ', 0x0007});
  std::fill(drawnMask.begin(), drawnMask.end(), uint8_t{0});
}

CellRect IntersectInsetBox(const Object* object, const CellRect& clip) {
  const CellRect inset{SnapToCell(object->GetLeft() + static_cast<float>(object->clipInset.left)),
                       SnapToCell(object->GetTop() - static_cast<float>(object->clipInset.top)),
                       SnapToCell(object->GetRight() - static_cast<float>(object->clipInset.right)),
                       SnapToCell(object->GetBottom() + static_cast<float>(object->clipInset.bottom))};
  return CellRect{std::max(clip.left, inset.left), std::min(clip.top, inset.top),
                  std::min(clip.right, inset.right), std::max(clip.bottom, inset.bottom)};
}

namespace {

void DrawOwnCells(const Engine& engine, const Object* object, std::vector<CHAR_INFO>& cells,
                  std::vector<uint8_t>& drawnMask, int32_t frameWidth, int32_t frameHeight,
                  const CellRect& clip) {
  const Vector2 camera = engine.camera;
  const int32_t ty = SnapToCell(object->GetTop() - camera.y);
  const int32_t lx = SnapToCell(object->GetLeft() - camera.x);
  const int32_t rt = SnapToCell(static_cast<float>(clip.top) - camera.y);
  const int32_t rb = SnapToCell(static_cast<float>(clip.bottom) - camera.y);
  const int32_t rl = std::max(SnapToCell(static_cast<float>(clip.left) - camera.x), 0);
  const int32_t rr = std::min(SnapToCell(static_cast<float>(clip.right) - camera.x), frameWidth - 1);

  const std::u16string& text = object->text;
  const std::string& fg = object->foreground;
  const std::string& bg = object->background;
  const std::string& mask = object->opaqueMask;
  const int64_t stride = static_cast<int64_t>(object->width) + 1;

  // Only the columns of the object inside the clip rectangle.
  const int32_t firstColumn = std::max(0, rl - lx);
  const int32_t lastColumn = std::min(object->width - 1, rr - lx);
  if (firstColumn > lastColumn) return;

  for (int32_t i = 0; i < object->height; ++i) {
    const int64_t relativeY = static_cast<int64_t>(ty) - i;
    if (relativeY > rt) continue;  // above the rectangle
    if (relativeY < rb) break;     // this and every later line lie below it
    const int64_t row = -relativeY;
    if (row < 0 || row >= frameHeight) continue;
    const size_t rowStart = static_cast<size_t>(row) * static_cast<size_t>(frameWidth);
    const size_t lineStart = static_cast<size_t>(i * stride);
    // Cells whose index lies inside every string need no bounds checks (the
    // common case: rectangular text with full colour strings).
    const size_t lineEnd = lineStart + static_cast<size_t>(lastColumn);
    const bool inside = lineEnd < text.size() && (fg.empty() || lineEnd < fg.size()) &&
                        (bg.empty() || lineEnd < bg.size()) && (mask.empty() || lineEnd < mask.size());
    for (int32_t j = firstColumn; j <= lastColumn; ++j) {
      const size_t p = rowStart + static_cast<size_t>(lx + j);
      if (drawnMask[p]) continue;  // something above already drew here
      const size_t k = lineStart + static_cast<size_t>(j);
      char16_t ch;
      int fgValue = -1;
      int bgValue = -1;
      if (inside) {
        ch = text[k];
        if (ch == u' ' && (mask.empty() || mask[k] != '#')) continue;
        if (!fg.empty()) fgValue = ColourDigitValue(fg[k]);
        if (!bg.empty()) bgValue = ColourDigitValue(bg[k]);
      } else {
        ch = k < text.size() ? text[k] : u' ';
        if (ch == u' ' && (mask.empty() || k >= mask.size() || mask[k] != '#')) continue;
        if (k < fg.size()) fgValue = ColourDigitValue(fg[k]);
        if (k < bg.size()) bgValue = ColourDigitValue(bg[k]);
      }
      // A foreground digit replaces the whole cleared attribute; a background
      // digit then sets the upper four bits.
      uint16_t attribute = fgValue >= 0 ? static_cast<uint16_t>(fgValue) : uint16_t{0x0007};
      if (bgValue >= 0) attribute = static_cast<uint16_t>(bgValue * 16 + (attribute & 0xF));
      cells[p] = CHAR_INFO{ch, attribute};
      drawnMask[p] = 1;
    }
  }
}

}  // namespace

void DrawObject(const Engine& engine, Object* object, std::vector<CHAR_INFO>& cells,
                std::vector<uint8_t>& drawnMask, int32_t frameWidth, int32_t frameHeight,
                const CellRect& clip) {
  const bool outside = SnapToCell(object->GetRight()) < clip.left ||
                       clip.right < SnapToCell(object->GetLeft()) ||
                       SnapToCell(object->GetBottom()) > clip.top ||
                       SnapToCell(object->GetTop()) < clip.bottom;

  if (!object->children.empty()) {
    const CellRect childClip = object->clipChildren ? IntersectInsetBox(object, clip) : clip;
    // A copy: children added meanwhile are first seen in the next frame.
    const std::vector<Object*> children = object->GetChildren();
    for (auto it = children.rbegin(); it != children.rend(); ++it) {
      Object* child = *it;
      if (child == nullptr) {
        object->RemoveChild(nullptr);
        continue;
      }
      if (child->visible) {
        DrawObject(engine, child, cells, drawnMask, frameWidth, frameHeight, childClip);
      }
      child->Update();
      if (child->IsDestroyed()) {
        object->DeleteChild(child);
        object->RemoveChild(nullptr);
      }
    }
  }

  if (!outside && frameWidth > 0 && frameHeight > 0) {
    DrawOwnCells(engine, object, cells, drawnMask, frameWidth, frameHeight, clip);
  }
}

}  // namespace KelmCEngineV2
