// Object: a block of UTF-16 text with per-cell colour digits and an opaque
// mask, placed in world coordinates by an anchor, with owned children placed
// from its centre and a per-frame callback. Every widget and every viewer
// display is an Object.
//
// Objects are used on the frame thread only (and by the start-up code before
// they are handed to a layer). They are created with `new` and handed to one
// owner at once: a layer (Layer::AddObject) or a parent (AddChild).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "engine/core/vector2.h"

namespace KelmCEngineV2 {

class Layer;
class Object;

using ObjectCallback = std::function<void(Object*)>;

// Anchor bits: which point of the block `position` names.
inline constexpr int32_t kAnchorBottom = 1;
inline constexpr int32_t kAnchorRight = 2;
inline constexpr int32_t kAnchorTop = 4;
inline constexpr int32_t kAnchorLeft = 8;
inline constexpr int32_t kAnchorTopLeft = kAnchorTop | kAnchorLeft;

class VirtualObject {
 public:
  virtual ~VirtualObject() = default;
  virtual void Update() = 0;
};

class Object : public VirtualObject {
 public:
  Object(Vector2 at, std::u16string initialText);
  // Narrow form: each byte becomes one 16-bit unit.
  Object(Vector2 at, const std::string& narrowText);
  Object(Vector2 at, const char* narrowText) : Object(at, std::string(narrowText)) {}
  Object(const Object&) = delete;
  Object& operator=(const Object&) = delete;
  // Deletes every child.
  ~Object() override;

  // Runs the callback with this object when one is set.
  void Update() override;

  // Stores the text and measures it (width = characters before the first line
  // break, height = number of lines).
  void SetText(std::u16string value);
  void SetText(const std::string& value);  // narrow form
  void SetText(const char* value) { SetText(std::string(value)); }
  std::u16string GetText() const { return text; }

  void SetForeground(std::string value) { foreground = std::move(value); }
  void SetBackground(std::string value) { background = std::move(value); }
  void SetOpaqueMask(std::string value) { opaqueMask = std::move(value); }
  // One copy of the character per character of `text` (call after SetText).
  void FillForeground(char digit);
  void FillBackground(char digit);
  // '#' for every character of `text`: every space becomes opaque.
  void FillOpaqueMask();
  std::string GetForeground() const { return foreground; }
  std::string GetBackground() const { return background; }
  std::string GetOpaqueMask() const { return opaqueMask; }

  int32_t GetWidth() const { return width; }
  int32_t GetHeight() const { return height; }

  // Edges of the block. With world set, a child's base is its parent's world
  // centre plus `position`; otherwise `position` alone.
  float GetLeft(bool world = true) const;
  float GetRight(bool world = true) const;
  float GetTop(bool world = true) const;
  float GetBottom(bool world = true) const;
  // The world point children are placed from.
  Vector2 GetWorldCentre() const;
  // Where this object's children are visible: the parent's clip rectangle (or
  // the screen for a root object), cut to the inset box when clipChildren.
  CellRect GetClipRect() const;

  void AddChild(Object* child);
  std::vector<Object*> GetChildren() const { return children; }
  // Deletes each equal non-null entry and nulls its slot.
  void DeleteChild(Object* child);
  // Removes every equal entry; with null, purges emptied slots.
  void RemoveChild(Object* child);

  void SetCallback(ObjectCallback value) { callback = std::move(value); }

  // Marks the object for deletion by its owner. A free object (no layer, no
  // parent) is deleted at once: the caller must not use the pointer after.
  void Destroy();
  bool IsDestroyed() const { return destroyed; }

  // Cell-exact overlap: some cell of both objects is solid (not a space, or a
  // space with a non-space mask character), each tested inside its own
  // clip rectangle.
  bool Overlaps(const Object* other) const;
  // The mouse is over a solid cell of this object.
  bool IsHovered() const;
  // The left button went down this frame over a solid cell of this object.
  // Consumes the press: a true answer clears the left button's pressed edge,
  // so objects asked later (lower in the stacking order) see no press.
  bool IsClicked();

  std::u16string text;
  std::string foreground;
  std::string background;
  std::string opaqueMask;
  int32_t height = 1;
  int32_t width = 0;
  bool destroyed = false;
  Layer* layer = nullptr;
  std::vector<Object*> children;
  Object* parent = nullptr;
  ObjectCallback callback;
  bool visible = true;
  Vector2 position;
  int32_t anchor = 0;
  bool clipChildren = false;
  struct Inset {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
  } clipInset;

 private:
  // Base point of the edges: position, plus the parent's world centre when
  // world values are asked for.
  Vector2 Base(bool world) const;
};

// Widens a narrow string one byte to one 16-bit unit.
std::u16string Widen(const std::string& narrow);

}  // namespace KelmCEngineV2
