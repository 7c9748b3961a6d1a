#include "viewer/scroll_bar.h"

#include <cmath>
#include <limits>
#include <string>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "viewer/bar_geometry.h"
#include "viewer/grid_geometry.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

bool showFileMap = true;

namespace {

using KelmCEngineV2::Object;

// The viewed file as the map's source.
class ViewedFileSource : public MapSource {
 public:
  uint64_t Read(uint64_t offset, uint8_t* buffer, uint64_t count) override {
    MarkedRange range;
    range.start = offset;
    range.length = count;
    return ReadRange(buffer, count, range);
  }
  uint64_t NextData(uint64_t offset) override { return viewedFile.NextData(offset); }
  uint64_t NextHole(uint64_t offset) override { return viewedFile.NextHole(offset); }
};

struct BarState {
  Object* object = nullptr;
  FileMap map;
  bool restart = true;
  // A press on the bar is being dragged; `grab` is the cell of the thumb
  // the press took hold of.
  bool dragging = false;
  int32_t grab = 0;
};

BarState bar;

int32_t BarCells() { return bar.object != nullptr && bar.object->visible ? bar.object->GetHeight() : 0; }

uint64_t FirstVisibleOffset() { return static_cast<uint64_t>(ClampTopRow(topRow)) * RowLength(); }

ThumbCells CurrentThumb() {
  const int32_t cells = BarCells();
  const uint64_t length = static_cast<uint64_t>(cells) * RowLength();
  return ThumbFor(fileSize, cells, FirstVisibleOffset(), length);
}

char ColourOf(MapClass kind) {
  switch (kind) {
    case MapClass::Zeros: return kMapZerosColour;
    case MapClass::Text: return kMapTextColour;
    case MapClass::Random: return kMapRandomColour;
    case MapClass::Other: return kMapOtherColour;
    case MapClass::Unknown: break;
  }
  return kMapUnknownColour;
}

// Shows the rows of a cell's share and redraws the grid (and so the bar).
void ShowCell(int32_t cell) {
  const uint64_t row = BarCellRow(fileSize, BarCells(), cell, RowLength());
  constexpr auto kLargest = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  topRow = ClampTopRow(static_cast<int64_t>(row < kLargest ? row : kLargest));
  RefreshGrid();
}

// The bar's cell at the pointer's row, kept within the bar (a drag may leave
// it above or below).
int32_t CellAtPointer() {
  const double row = std::floor(bar.object->GetTop() - KelmCEngineV2::mousePosition.y + 0.5);
  const int32_t cells = BarCells();
  if (row < 0) return 0;
  if (row >= cells) return cells - 1;
  return static_cast<int32_t>(row);
}

void HandleBarMouse() {
  using KelmCEngineV2::kLeftButton;
  using KelmCEngineV2::mouseButtons;
  using KelmCEngineV2::mouseWheel;
  const int32_t cells = BarCells();
  if (cells <= 0 || fileSize == 0) return;
  if (bar.object->IsClicked()) {
    const int32_t cell = CellAtPointer();
    const ThumbCells thumb = CurrentThumb();
    bar.dragging = true;
    if (cell >= thumb.first && cell < thumb.first + thumb.count) {
      bar.grab = cell - thumb.first;
    } else {
      bar.grab = 0;
      ShowCell(cell);
    }
  } else if (bar.dragging && mouseButtons[kLeftButton].held) {
    const int32_t target = CellAtPointer() - bar.grab;
    const int32_t cell = target > 0 ? target : 0;
    if (cell != CurrentThumb().first) ShowCell(cell);
  } else {
    bar.dragging = false;
  }

  if (mouseWheel != 0 && bar.object->IsHovered()) {
    // One cell per notch; where a cell's share is shorter than a row (a
    // small file), one row, as the wheel scrolls elsewhere.
    const int64_t before = ClampTopRow(topRow);
    const ThumbCells thumb = CurrentThumb();
    if (mouseWheel > 0) {
      if (thumb.first > 0) ShowCell(thumb.first - 1);
      if (ClampTopRow(topRow) >= before) ScrollRows(-1);
    } else {
      if (thumb.first + 1 < cells) ShowCell(thumb.first + 1);
      if (ClampTopRow(topRow) <= before) ScrollRows(1);
    }
    mouseWheel = 0;  // taken: the key handler does not scroll a row too
  }
}

void UpdateScrollBar(Object* /*object*/) {
  if (bar.object == nullptr || !bar.object->visible) return;
  const int32_t cells = bar.object->GetHeight();
  if (bar.restart || bar.map.Size() != fileSize || bar.map.Cells() != cells) {
    bar.restart = false;
    bar.map.Restart(fileSize, cells);
    PaintScrollBar();
  }
  HandleBarMouse();
  if (!bar.map.Complete()) {
    // Slices of about one cell's reads, until the frame's read budget or
    // its time is used up (a slow disk shortens the slice, not the frame
    // rate).
    ViewedFileSource source;
    const uint64_t started = KelmCEngineV2::GetTicks();
    for (uint64_t slice = 0; slice < kMapFrameReadBudget / kMapSampleBytes; ++slice) {
      if (!bar.map.Step(source, kMapSampleBytes)) break;
      if (KelmCEngineV2::GetTicks() - started >= kMapFrameTimeMs) break;
    }
    PaintScrollBar();
    // The next slice in the next frame, at once; none once the map is done.
    if (!bar.map.Complete() && KelmCEngineV2::mainEngine != nullptr) KelmCEngineV2::mainEngine->RequestFrame(0);
  }
}

}  // namespace

void SetShowFileMap(bool shown) {
  showFileMap = shown;
  if (KelmCEngineV2::mainEngine == nullptr) return;
  LayoutGrid(KelmCEngineV2::Vector2(static_cast<float>(KelmCEngineV2::mainEngine->GetScreenWidth()),
                                    static_cast<float>(KelmCEngineV2::mainEngine->GetScreenHeight())));
}

int32_t ScrollBarColumns() { return showFileMap ? 1 : 0; }

void InitScrollBar() {
  if (KelmCEngineV2::mainEngine == nullptr) return;
  KelmCEngineV2::Layer* objects = KelmCEngineV2::mainEngine->FindLayer("Objects");
  if (objects == nullptr) return;
  bar.object = new Object(KelmCEngineV2::Vector2(0.0f, -2.0f), std::u16string());
  bar.object->anchor = KelmCEngineV2::kAnchorTopLeft;
  objects->AddObject(bar.object);
  // The bar's work is done by an invisible object above it, which the frame
  // pass updates before it draws the bar: what a press or a slice changes
  // shows in the same frame, as the grid's rows do.
  auto* driver = new Object(KelmCEngineV2::Vector2(0.0f, 0.0f), std::u16string());
  driver->SetCallback(UpdateScrollBar);
  objects->AddObject(driver);
  bar.restart = true;
}

void LayoutScrollBar(int32_t width, int32_t height) {
  if (bar.object == nullptr) return;
  bar.object->visible = showFileMap;
  bar.object->position.x = static_cast<float>(width - 1);
  const int32_t rows = height - 4;
  std::u16string column;
  column.reserve(static_cast<size_t>(rows) * 2);
  for (int32_t r = 0; r < rows; ++r) {
    if (r > 0) column += u'\n';
    column += u' ';
  }
  bar.object->SetText(std::move(column));
  PaintScrollBar();
}

void PaintScrollBar() {
  Object* object = bar.object;
  if (object == nullptr || !object->visible) return;
  const int32_t cells = object->GetHeight();
  const bool mapped = fileSize > 0 && bar.map.Cells() == cells && bar.map.Size() == fileSize;
  const ThumbCells thumb = fileSize > 0 ? CurrentThumb() : ThumbCells{};
  std::u16string text;
  std::string foreground;
  std::string background;
  text.reserve(static_cast<size_t>(cells) * 2);
  for (int32_t cell = 0; cell < cells; ++cell) {
    if (cell > 0) {
      text += u'\n';
      foreground += '0';
      background += '0';
    }
    const bool inThumb = cell >= thumb.first && cell < thumb.first + thumb.count;
    text += inThumb ? kThumbCharacter : u' ';
    foreground += kThumbColour;
    background += mapped ? ColourOf(bar.map.At(cell)) : kMapUnknownColour;
  }
  // Set only what changed: an unchanged bar costs no frame.
  if (object->text != text) object->SetText(std::move(text));
  // Blank cells are part of the bar too (hovered, clicked, drawn).
  if (object->opaqueMask.size() != object->text.size()) object->FillOpaqueMask();
  if (object->foreground != foreground) object->SetForeground(std::move(foreground));
  if (object->background != background) object->SetBackground(std::move(background));
}

void RestartFileMap() { bar.restart = true; }

const FileMap& ViewedFileMap() { return bar.map; }

void ForgetScrollBar() { bar.object = nullptr; }

void ResetScrollBarForTests() {
  bar = BarState{};
  showFileMap = true;
}

}  // namespace kelm::viewer
