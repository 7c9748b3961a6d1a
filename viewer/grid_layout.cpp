// Placing the grid for a screen size: bytes per row, the character column,
// the separators, the rules and the status row.
#include <algorithm>
#include <cmath>
#include <limits>
#include <string>

#include "engine/core/engine.h"
#include "engine/core/layer.h"
#include "viewer/display_options.h"
#include "viewer/grid_geometry.h"
#include "viewer/scroll_bar.h"
#include "viewer/too_small_screen.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

using namespace KelmCEngineV2;

Object* AddScreenObject(Layer* layer, Vector2 at, int32_t anchorBits, ObjectCallback callback = nullptr) {
  auto* object = new Object(at, std::u16string());
  object->anchor = anchorBits;
  if (callback) object->SetCallback(std::move(callback));
  layer->AddObject(object);
  return object;
}

// A float size as int32; anything outside int32 (or not a number) becomes
// the smallest int32, which every check below refuses.
int32_t ToInt32(float value) {
  constexpr float kLimit = 2147483648.0f;  // 2^31
  if (!(value >= -kLimit && value < kLimit)) return std::numeric_limits<int32_t>::min();
  return static_cast<int32_t>(value);
}

}  // namespace

void InitGrid() {
  if (mainEngine == nullptr) return;
  Layer* objects = mainEngine->FindLayer("Objects");
  if (objects == nullptr) return;

  offsetColumn = AddScreenObject(objects, Vector2(0.0f, -2.0f), kAnchorTopLeft);
  hexColumn = AddScreenObject(objects, Vector2(static_cast<float>(kHexColumnX), -2.0f), kAnchorTopLeft,
                              HandleGridMouse);
  charColumn = AddScreenObject(objects, Vector2(0.0f, -2.0f), kAnchorTopLeft, HandleGridMouse);
  leftSeparator = AddScreenObject(objects, Vector2(static_cast<float>(kLeftBarX), -2.0f), kAnchorTop);
  rightSeparator = AddScreenObject(objects, Vector2(0.0f, -2.0f), kAnchorTop);
  topRule = AddScreenObject(objects, Vector2(0.0f, -1.0f), kAnchorLeft);
  bottomRule = AddScreenObject(objects, Vector2(0.0f, 0.0f), kAnchorLeft);
  statusLine = AddScreenObject(objects, Vector2(static_cast<float>(kHexColumnX), 0.0f), kAnchorLeft);
  statusOffset = AddScreenObject(objects, Vector2(0.0f, 0.0f), kAnchorLeft);
  statusOffset->SetText(kNoOffset);
  InitScrollBar();
  InitTooSmallCover();

  LayoutGrid(Vector2(static_cast<float>(mainEngine->GetScreenWidth()),
                     static_cast<float>(mainEngine->GetScreenHeight())));
}

namespace {

// The bytes a row shows on a screen `width` columns wide, and the status
// row's note when a fixed count had to give way.
int32_t RowBytesFor(int32_t width, std::u16string& note) {
  const int32_t fit = std::max<int32_t>(BytesThatFit(width), 1);
  const int32_t wanted = displayOptions.bytesPerRow;
  if (wanted < 1) return fit;
  if (wanted <= fit) return wanted;
  const std::string text =
      std::to_string(fit) + " of " + std::to_string(wanted) + " bytes a row (the window is too narrow)";
  note.assign(text.begin(), text.end());
  return fit;
}

}  // namespace

void LayoutGrid(KelmCEngineV2::Vector2 size) {
  const int32_t width = ToInt32(size.x);
  const int32_t height = ToInt32(size.y);
  if (width < kMinimumWidth || height < kMinimumHeight) {
    // Sizes outside int32 (or not a number) are no screen at all: ignored.
    if (width != std::numeric_limits<int32_t>::min() && height != std::numeric_limits<int32_t>::min()) {
      ShowTooSmallCover(width, height);
    }
    return;
  }
  if (charColumn == nullptr || leftSeparator == nullptr || rightSeparator == nullptr || topRule == nullptr ||
      bottomRule == nullptr || statusLine == nullptr || statusOffset == nullptr) {
    return;
  }
  HideTooSmallCover();
  std::u16string note;
  // The file map takes the last column when it is shown.
  bytesPerRow = RowBytesFor(width - ScrollBarColumns(), note);
  SetStatusNote(u"width", note);
  const int32_t charX = CharColumnX(bytesPerRow);

  charColumn->position.x = static_cast<float>(charX);

  std::u16string bars;
  bars.reserve(static_cast<size_t>(height - 4) * 2);
  for (int32_t r = 0; r < height - 4; ++r) {
    if (r > 0) bars += u'\n';
    bars += u'|';
  }
  leftSeparator->SetText(bars);
  rightSeparator->SetText(std::move(bars));
  rightSeparator->position.x = static_cast<float>(charX - 1);

  std::u16string rule(static_cast<size_t>(width), u'-');
  rule[kLeftBarX] = u'+';
  rule[static_cast<size_t>(charX - 1)] = u'+';
  topRule->SetText(rule);
  bottomRule->SetText(std::move(rule));
  bottomRule->position.y = static_cast<float>(2 - height);

  statusLine->position.y = static_cast<float>(1 - height);
  statusOffset->position.y = static_cast<float>(1 - height);
  statusLine->SetText(std::u16string(static_cast<size_t>(width - kHexColumnX), u' '));

  LayoutScrollBar(width, height);

  if (fileLoaded) RefreshGrid();
  RenderStatusLine();
}

void RelayoutGrid() {
  if (mainEngine == nullptr) return;
  LayoutGrid(Vector2(static_cast<float>(mainEngine->GetScreenWidth()),
                     static_cast<float>(mainEngine->GetScreenHeight())));
}

}  // namespace kelm::viewer
