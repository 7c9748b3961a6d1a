#include "engine/core/draw.h"

#include <algorithm>
#include <cstring>

#include "engine/core/engine.h"
#include "engine/port/hex_digits.h"

namespace KelmCEngineV2 {

using kelm::port::CHAR_INFO;

namespace {
// Colour value of every byte: 0-15 for the digits of both cases, -1 for a
// space and anything else (which leaves the colour unchanged).
struct DigitTable {
  int8_t value[256];
  // The attribute bits a foreground digit gives (its value; 0x7 for a byte
  // that is no digit, the cleared colour) and a background digit adds (its
  // value in the upper four bits; nothing for a byte that is no digit).
  uint16_t foregroundAttribute[256];
  uint16_t backgroundBits[256];
  constexpr DigitTable() : value(), foregroundAttribute(), backgroundBits() {
    for (int c = 0; c < 256; ++c) value[c] = static_cast<int8_t>(kelm::port::HexDigitValue(static_cast<char32_t>(c)));
    for (int c = 0; c < 256; ++c) {
      foregroundAttribute[c] = value[c] >= 0 ? static_cast<uint16_t>(value[c]) : uint16_t{0x0007};
      backgroundBits[c] = value[c] >= 0 ? static_cast<uint16_t>(value[c] << 4) : uint16_t{0};
    }
  }
};
constexpr DigitTable kDigits;
}  // namespace

int ColourDigitValue(char digit) { return kDigits.value[static_cast<unsigned char>(digit)]; }

char ColourDigit(int index) {
  index &= 0xF;
  return kelm::port::HexDigit(static_cast<unsigned>(index));
}

void ClearFrame(std::vector<CHAR_INFO>& cells, std::vector<uint8_t>& drawnMask) {
  // Runs every frame: one cell, then copies of what is filled so far, which
  // the library does in wide blocks.
  if (!cells.empty()) {
    cells[0] = CHAR_INFO{u' ', 0x0007};
    for (size_t filled = 1; filled < cells.size();) {
      const size_t count = std::min(filled, cells.size() - filled);
      std::memcpy(&cells[filled], &cells[0], count * sizeof(CHAR_INFO));
      filled += count;
    }
  }
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

// A foreground digit replaces the whole cleared attribute; a background digit
// then sets the upper four bits. A byte that is no digit changes nothing.
uint16_t CellAttribute(uint8_t fgDigit, uint8_t bgDigit) {
  return kDigits.foregroundAttribute[fgDigit] | kDigits.backgroundBits[bgDigit];
}

// Draws `count` cells of one line whose strings all reach that far (the
// common case: rectangular text with full colour strings). The pointers are
// at the line's first drawn column; `fg`, `bg` and `mask` are used only when
// the object has such a string.
template <bool kHasFg, bool kHasBg, bool kHasMask>
void DrawLine(const char16_t* text, const char* fg, const char* bg, const char* mask, CHAR_INFO* cells,
              uint8_t* drawn, int32_t count) {
  for (int32_t j = 0; j < count; ++j) {
    if (drawn[j]) continue;  // something above already drew here
    const char16_t ch = text[j];
    if (ch == u' ' && (!kHasMask || mask[j] != '#')) continue;  // transparent
    const uint8_t fgDigit = kHasFg ? static_cast<uint8_t>(fg[j]) : uint8_t{' '};
    const uint8_t bgDigit = kHasBg ? static_cast<uint8_t>(bg[j]) : uint8_t{' '};
    cells[j] = CHAR_INFO{ch, CellAttribute(fgDigit, bgDigit)};
    drawn[j] = 1;
  }
}

using DrawLineFunction = void (*)(const char16_t*, const char*, const char*, const char*, CHAR_INFO*, uint8_t*,
                                  int32_t);

// The line drawer for an object's set of strings, chosen once per object.
DrawLineFunction ChooseDrawLine(bool hasFg, bool hasBg, bool hasMask) {
  static constexpr DrawLineFunction kTable[8] = {
      DrawLine<false, false, false>, DrawLine<false, false, true>, DrawLine<false, true, false>,
      DrawLine<false, true, true>,   DrawLine<true, false, false>, DrawLine<true, false, true>,
      DrawLine<true, true, false>,   DrawLine<true, true, true>};
  return kTable[(hasFg ? 4 : 0) | (hasBg ? 2 : 0) | (hasMask ? 1 : 0)];
}

}  // namespace

void DrawRecordCells(const DrawRecord& record, std::vector<CHAR_INFO>& cells, std::vector<uint8_t>& drawnMask,
                     int32_t frameWidth) {
  const std::u16string& text = record.text;
  const std::string& fg = record.foreground;
  const std::string& bg = record.background;
  const std::string& mask = record.opaqueMask;
  const size_t stride = static_cast<size_t>(record.width) + 1;
  const DrawLineFunction drawLine = ChooseDrawLine(!fg.empty(), !bg.empty(), !mask.empty());

  for (int32_t i = record.firstRow; i <= record.lastRow; ++i) {
    const size_t rowStart = static_cast<size_t>(record.top + i) * static_cast<size_t>(frameWidth);
    const size_t lineStart = static_cast<size_t>(i) * stride;
    // Cells whose index lies inside every string need no bounds checks (the
    // common case: rectangular text with full colour strings).
    const size_t lineEnd = lineStart + static_cast<size_t>(record.lastColumn);
    const bool inside = lineEnd < text.size() && (fg.empty() || lineEnd < fg.size()) &&
                        (bg.empty() || lineEnd < bg.size()) && (mask.empty() || lineEnd < mask.size());
    if (inside) {
      const size_t k = lineStart + static_cast<size_t>(record.firstColumn);
      const size_t p = rowStart + static_cast<size_t>(record.left + record.firstColumn);
      const auto at = [k](const std::string& s) { return s.empty() ? nullptr : s.data() + k; };
      drawLine(text.data() + k, at(fg), at(bg), at(mask), cells.data() + p, drawnMask.data() + p,
               record.lastColumn - record.firstColumn + 1);
      continue;
    }
    for (int32_t j = record.firstColumn; j <= record.lastColumn; ++j) {
      const size_t p = rowStart + static_cast<size_t>(record.left + j);
      if (drawnMask[p]) continue;  // something above already drew here
      const size_t k = lineStart + static_cast<size_t>(j);
      const char16_t ch = k < text.size() ? text[k] : u' ';
      if (ch == u' ' && (mask.empty() || k >= mask.size() || mask[k] != '#')) continue;
      const uint8_t fgDigit = k < fg.size() ? static_cast<uint8_t>(fg[k]) : uint8_t{' '};
      const uint8_t bgDigit = k < bg.size() ? static_cast<uint8_t>(bg[k]) : uint8_t{' '};
      cells[p] = CHAR_INFO{ch, CellAttribute(fgDigit, bgDigit)};
      drawnMask[p] = 1;
    }
  }
}

void DrawObject(const Engine& engine, Object* object, DrawList& drawList, int32_t frameWidth,
                int32_t frameHeight, const CellRect& clip) {
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
        DrawObject(engine, child, drawList, frameWidth, frameHeight, childClip);
      }
      child->Update();
      if (child->IsDestroyed()) {
        object->DeleteChild(child);
        object->RemoveChild(nullptr);
      }
    }
  }

  if (!outside && frameWidth > 0 && frameHeight > 0) {
    drawList.Record(*object, engine.camera, clip, frameWidth, frameHeight);
  }
}

}  // namespace KelmCEngineV2
