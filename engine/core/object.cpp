#include "engine/core/object.h"

#include <algorithm>

#include "engine/core/engine.h"
#include "engine/core/input.h"

namespace KelmCEngineV2 {

std::u16string Widen(const std::string& narrow) {
  std::u16string wide(narrow.size(), u'\0');
  for (size_t i = 0; i < narrow.size(); ++i) {
    wide[i] = static_cast<char16_t>(static_cast<unsigned char>(narrow[i]));
  }
  return wide;
}

Object::Object(Vector2 positionValue, std::u16string textValue) : position(positionValue) {
  SetText(std::move(textValue));
}

Object::Object(Vector2 positionValue, const std::string& textValue) : position(positionValue) {
  SetText(textValue);
}

Object::~Object() {
  for (Object* child : children) delete child;
}

void Object::Update() {
  if (callback) callback(this);
}

void Object::SetText(std::u16string value) {
  text = std::move(value);
  const size_t firstBreak = text.find(u'\n');
  if (firstBreak == std::u16string::npos) {
    width = static_cast<int32_t>(text.size());
    height = 1;
    return;
  }
  // Lines are found by stepping one line width (plus its break) at a time, so
  // a text that ends with a line break counts one more, empty, line.
  width = static_cast<int32_t>(firstBreak);
  const size_t stride = firstBreak + 1;
  int32_t lines = 0;
  for (size_t k = 0;; ++k) {
    const size_t start = k * stride;
    ++lines;
    if (start >= text.size() || text.find(u'\n', start) == std::u16string::npos) break;
  }
  height = lines;
}

void Object::SetText(const std::string& value) { SetText(Widen(value)); }

void Object::FillForeground(char digit) { foreground.assign(text.size(), digit); }
void Object::FillBackground(char digit) { background.assign(text.size(), digit); }
void Object::FillOpaqueMask() { opaqueMask.assign(text.size(), '#'); }

Vector2 Object::Base(bool world) const {
  if (world && parent != nullptr) return parent->GetWorldCentre() + position;
  return position;
}

float Object::GetLeft(bool world) const {
  const float x = Base(world).x;
  const auto w = static_cast<float>(width);
  if (anchor & kAnchorLeft) return x;
  if (anchor & kAnchorRight) return x - (w - 1.0f);
  return x - w * 0.5f + 0.5f;
}

float Object::GetRight(bool world) const {
  const float x = Base(world).x;
  const auto w = static_cast<float>(width);
  if (anchor & kAnchorLeft) return x + (w - 1.0f);
  if (anchor & kAnchorRight) return x;
  return x + w * 0.5f - 0.5f;
}

float Object::GetTop(bool world) const {
  const float y = Base(world).y;
  const auto h = static_cast<float>(height);
  if (anchor & kAnchorTop) return y;
  if (anchor & kAnchorBottom) return y + (h - 1.0f);
  return y + h * 0.5f - 0.5f;
}

float Object::GetBottom(bool world) const {
  const float y = Base(world).y;
  const auto h = static_cast<float>(height);
  if (anchor & kAnchorTop) return y - (h - 1.0f);
  if (anchor & kAnchorBottom) return y;
  return y - h * 0.5f + 0.5f;
}

Vector2 Object::GetWorldCentre() const {
  Vector2 centre = Base(true);
  const auto w = static_cast<float>(width);
  const auto h = static_cast<float>(height);
  // With both bits of an axis set, both adjustments apply in turn.
  if (anchor & kAnchorLeft) centre.x += w * 0.5f - 0.5f;
  if (anchor & kAnchorRight) centre.x -= (w - 1.0f) * 0.5f;
  // A top- or bottom-anchored block's centre lies half a cell below its exact
  // middle, so a one-line child lands on the lower of two middle lines.
  if (anchor & kAnchorTop) centre.y -= h * 0.5f;
  if (anchor & kAnchorBottom) centre.y += (h - 1.0f) * 0.5f - 0.5f;
  return centre;
}

namespace {
CellRect ScreenRect() {
  if (mainEngine == nullptr) return CellRect{0, 0, -1, 0};
  const int32_t left = SnapToCell(mainEngine->camera.x);
  const int32_t top = SnapToCell(mainEngine->camera.y);
  return CellRect{left, top, left + mainEngine->GetScreenWidth() - 1,
                  top - mainEngine->GetScreenHeight() + 1};
}
}  // namespace

CellRect Object::GetClipRect() const {
  const CellRect start = parent != nullptr ? parent->GetClipRect() : ScreenRect();
  if (!clipChildren) return start;
  CellRect inset{SnapToCell(GetLeft() + static_cast<float>(clipInset.left)),
                 SnapToCell(GetTop() - static_cast<float>(clipInset.top)),
                 SnapToCell(GetRight() - static_cast<float>(clipInset.right)),
                 SnapToCell(GetBottom() + static_cast<float>(clipInset.bottom))};
  return CellRect{std::max(start.left, inset.left), std::min(start.top, inset.top),
                  std::min(start.right, inset.right), std::max(start.bottom, inset.bottom)};
}

void Object::AddChild(Object* child) {
  children.push_back(child);
  child->parent = this;
}

void Object::DeleteChild(Object* child) {
  for (Object*& slot : children) {
    if (slot == child && slot != nullptr) {
      delete slot;
      slot = nullptr;
    }
  }
}

void Object::RemoveChild(Object* child) {
  children.erase(std::remove(children.begin(), children.end(), child), children.end());
}

void Object::Destroy() {
  destroyed = true;
  if (layer == nullptr && parent == nullptr) delete this;
}

namespace {

// One object's cells as seen by the hit test, restricted to its clip
// rectangle.
struct HitView {
  const Object* object;
  CellRect clip;
  float left;
  float top;

  explicit HitView(const Object* o)
      : object(o), clip(o->GetClipRect()), left(o->GetLeft()), top(o->GetTop()) {}

  bool Solid(int32_t line, int32_t column) const {
    const size_t k = static_cast<size_t>(line) * static_cast<size_t>(object->width + 1) +
                     static_cast<size_t>(column);
    const char16_t ch = k < object->text.size() ? object->text[k] : u' ';
    if (ch != u' ') return true;
    if (object->opaqueMask.empty()) return false;
    return k < object->opaqueMask.size() && object->opaqueMask[k] != ' ';
  }
};

}  // namespace

bool Object::Overlaps(const Object* other) const {
  const Object& a = *this;
  const Object& b = *other;
  if (SnapToCell(b.GetLeft()) > SnapToCell(a.GetRight()) ||
      SnapToCell(a.GetLeft()) > SnapToCell(b.GetRight()) ||
      SnapToCell(b.GetBottom()) > SnapToCell(a.GetTop()) ||
      SnapToCell(a.GetBottom()) > SnapToCell(b.GetTop())) {
    return false;
  }
  const HitView va(&a);
  const HitView vb(&b);

  // World cells of A's lines and columns inside A's clip rectangle. Lines map
  // to non-increasing y and columns to non-decreasing x, so the lines (and
  // columns) landing on one cell form a contiguous run.
  std::vector<int32_t> aLineY(static_cast<size_t>(std::max(a.height, 0)));
  for (int32_t k = 0; k < a.height; ++k) aLineY[static_cast<size_t>(k)] = SnapToCell(va.top - static_cast<float>(k));
  std::vector<int32_t> aColumnX(static_cast<size_t>(std::max(a.width, 0)));
  for (int32_t l = 0; l < a.width; ++l) aColumnX[static_cast<size_t>(l)] = SnapToCell(va.left + static_cast<float>(l));

  for (int32_t i = 0; i < b.height; ++i) {
    const int32_t yB = SnapToCell(vb.top - static_cast<float>(i));
    if (yB > vb.clip.top) continue;
    if (yB < vb.clip.bottom) return false;
    if (yB > va.clip.top || yB < va.clip.bottom) continue;
    // A's lines on this y.
    const auto lineBegin = std::lower_bound(aLineY.begin(), aLineY.end(), yB, std::greater<>());
    const auto lineEnd = std::upper_bound(aLineY.begin(), aLineY.end(), yB, std::greater<>());
    if (lineBegin == lineEnd) continue;
    for (int32_t j = 0; j < b.width; ++j) {
      const int32_t xB = SnapToCell(vb.left + static_cast<float>(j));
      if (xB < vb.clip.left) continue;
      if (xB > vb.clip.right) break;
      if (xB < va.clip.left || xB > va.clip.right) continue;
      if (!vb.Solid(i, j)) continue;
      const auto columnBegin = std::lower_bound(aColumnX.begin(), aColumnX.end(), xB);
      const auto columnEnd = std::upper_bound(aColumnX.begin(), aColumnX.end(), xB);
      for (auto line = lineBegin; line != lineEnd; ++line) {
        for (auto column = columnBegin; column != columnEnd; ++column) {
          if (va.Solid(static_cast<int32_t>(line - aLineY.begin()),
                       static_cast<int32_t>(column - aColumnX.begin()))) {
            return true;
          }
        }
      }
    }
  }
  return false;
}

bool Object::IsHovered() const {
  const Object probe(mousePosition, u"#");
  return Overlaps(&probe);
}

bool Object::IsClicked() {
  if (!mouseButtons[kLeftButton].pressed) return false;
  if (!IsHovered()) return false;
  mouseButtons[kLeftButton].pressed = false;
  return true;
}

}  // namespace KelmCEngineV2
