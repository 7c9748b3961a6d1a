#include "viewer/mark_list_box.h"

#include <algorithm>
#include <climits>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/widgets/menu_object.h"
#include "viewer/grid_geometry.h"
#include "viewer/mark_list.h"
#include "viewer/offset_math.h"
#include "viewer/values_refresh.h"

namespace kelm::viewer {

using KelmCEngineV2::MenuObject;
using KelmCEngineV2::Object;
using KelmCEngineV2::Vector2;

namespace {

constexpr int32_t kNameCells = 20;
constexpr char16_t kSample[] = u"Ab";
constexpr int32_t kSampleCells = 2;
constexpr int32_t kRowsAroundList = 2;  // the title row and the filter row
constexpr uint32_t kCtrlOrAlt = kelm::port::LEFT_CTRL_PRESSED | kelm::port::RIGHT_CTRL_PRESSED |
                                kelm::port::LEFT_ALT_PRESSED | kelm::port::RIGHT_ALT_PRESSED;

char16_t LowerAscii(char16_t c) { return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c; }

std::u16string Fit(std::u16string text, size_t width) {
  text.resize(width, u' ');
  return text;
}

// The box's state: the marks it was built from, the order and the filtered
// view of it, and where the cursor is.
class MarkListBox : public MenuObject {
 public:
  MarkListBox(Vector2 at, int32_t innerWidth, int32_t listRows)
      : MenuObject(at, innerWidth, listRows + kRowsAroundList) {
    width_ = innerWidth;
    rows_ = listRows;
    title_ = new Object(Vector2(0.0f, static_cast<float>(rows_ + kRowsAroundList) * 0.5f), std::u16string());
    AddChild(title_);
    for (int32_t i = 0; i < rows_; ++i) {
      auto* line = new Object(Vector2(0.0f, static_cast<float>(rows_ + kRowsAroundList) * 0.5f - 1.0f - i),
                              std::u16string());
      line->SetCallback([this, i](Object* self) {
        if (self->IsClicked()) Choose(static_cast<size_t>(i));
      });
      lines_.push_back(line);
      AddChild(line);
    }
    filterLine_ = new Object(Vector2(0.0f, static_cast<float>(rows_ + kRowsAroundList) * 0.5f - 1.0f - rows_),
                             std::u16string());
    AddChild(filterLine_);
    SetCallback([this](Object*) { Step(); });
    Rebuild();
    Draw();  // shown complete in its first frame
  }

 private:
  // What markedRanges looked like when the order was built.
  struct Fingerprint {
    const MarkedRange* data = nullptr;
    size_t size = 0;
    uint64_t lastStart = 0;
    uint64_t lastLength = 0;
    bool operator==(const Fingerprint&) const = default;
  };
  static Fingerprint Now() {
    Fingerprint print{markedRanges.data(), markedRanges.size(), 0, 0};
    if (!markedRanges.empty()) {
      print.lastStart = markedRanges.back().start;
      print.lastLength = markedRanges.back().length;
    }
    return print;
  }

  void Rebuild() {
    order_ = MarksByStart();
    seen_ = Now();
    Filter();
  }

  void Filter() {
    shown_.clear();
    for (const size_t index : order_) {
      if (filter_.empty() || NameMatches(markedRanges[index].name, filter_)) shown_.push_back(index);
    }
    cursor_ = shown_.empty() ? 0 : std::min(cursor_, shown_.size() - 1);
    dirty_ = true;
  }

  void Move(int64_t rows) {
    if (shown_.empty()) return;
    const int64_t last = static_cast<int64_t>(shown_.size()) - 1;
    cursor_ = static_cast<size_t>(std::clamp(static_cast<int64_t>(cursor_) + rows, int64_t{0}, last));
    dirty_ = true;
  }

  void Choose(size_t line) {
    const size_t at = first_ + line;
    if (at >= shown_.size()) return;
    const size_t index = shown_[at];
    Destroy();
    JumpToMark(index);
  }

  void RemoveAtCursor() {
    if (shown_.empty()) return;
    RemoveMark(shown_[cursor_]);
    RecolourGrid();
    Rebuild();
  }

  // The keys of this frame that the box takes; the others are left for the
  // hex view (Esc closes the box there).
  void TakeKeys() {
    using namespace kelm::port;
    auto& events = KelmCEngineV2::keyEvents;
    for (auto it = events.begin(); it != events.end();) {
      const uint16_t key = it->wVirtualKeyCode;
      const bool plain = (it->dwControlKeyState & kCtrlOrAlt) == 0;
      const char16_t typed = it->UnicodeChar;
      bool taken = true;
      if (key == VK_UP) {
        Move(-1);
      } else if (key == VK_DOWN) {
        Move(1);
      } else if (key == VK_PRIOR) {
        Move(-rows_);
      } else if (key == VK_NEXT) {
        Move(rows_);
      } else if (key == VK_HOME) {
        Move(INT32_MIN);
      } else if (key == VK_END) {
        Move(INT32_MAX);
      } else if (key == VK_LEFT || key == VK_RIGHT) {
        // Taken, so that the selection under the box stays where it is.
      } else if (key == VK_RETURN) {
        if (!shown_.empty()) {
          events.erase(it);
          Choose(cursor_ - first_);
          return;
        }
      } else if (key == VK_DELETE) {
        RemoveAtCursor();
      } else if (key == VK_BACK && plain) {
        if (!filter_.empty()) filter_.pop_back();
        Filter();
      } else if (plain && typed >= 0x20 && typed != 0x7F && filter_.size() < kNameCells) {
        filter_ += typed;
        Filter();
      } else {
        taken = false;
      }
      it = taken ? events.erase(it) : it + 1;
    }
  }

  void Step() {
    if (IsDestroyed()) return;
    if (!(Now() == seen_)) Rebuild();
    TakeKeys();
    if (IsDestroyed()) return;
    // The wheel over the box moves in it and does not scroll the grid.
    if (KelmCEngineV2::mouseWheel != 0 && KelmCEngineV2::MouseOnBox(this)) {
      Move(-static_cast<int64_t>(KelmCEngineV2::mouseWheel));
      KelmCEngineV2::mouseWheel = 0;
    }
    if (dirty_) Draw();
  }

  void Draw() {
    dirty_ = false;
    const size_t rows = static_cast<size_t>(rows_);
    if (cursor_ < first_) first_ = cursor_;
    if (cursor_ >= first_ + rows) first_ = cursor_ + 1 - rows;
    if (shown_.size() <= rows) first_ = 0;
    const size_t cells = static_cast<size_t>(width_);
    std::u16string title = u"Marks: ";
    title += DecimalText(shown_.size()) + u" of " + DecimalText(markedRanges.size());
    title_->SetText(Fit(title, cells));
    title_->FillForeground('7');
    title_->FillBackground('0');
    for (size_t i = 0; i < rows; ++i) {
      Object* line = lines_[i];
      const size_t at = first_ + i;
      if (at >= shown_.size()) {
        line->SetText(Fit(u"", cells));
        line->FillForeground('7');
        line->FillBackground('0');
        line->FillOpaqueMask();
        continue;
      }
      const MarkedRange& mark = markedRanges[shown_[at]];
      line->SetText(MarkListLine(mark, width_));
      const bool current = at == cursor_;
      line->FillForeground(current ? '0' : '7');
      line->FillBackground(current ? '7' : '0');
      for (size_t c = 0; c < kSampleCells && c < line->foreground.size(); ++c) {
        line->foreground[c] = mark.foreground;
        line->background[c] = mark.background;
      }
      line->FillOpaqueMask();
    }
    filterLine_->SetText(Fit(u"Filter: " + filter_, cells));
    filterLine_->FillForeground('7');
    filterLine_->FillBackground('0');
  }

  static std::u16string DecimalText(size_t value) {
    const std::string digits = std::to_string(value);
    return std::u16string(digits.begin(), digits.end());
  }

  int32_t width_ = 0;
  int32_t rows_ = 0;
  Object* title_ = nullptr;
  Object* filterLine_ = nullptr;
  std::vector<Object*> lines_;
  std::vector<size_t> order_;
  std::vector<size_t> shown_;
  Fingerprint seen_;
  std::u16string filter_;
  size_t cursor_ = 0;
  size_t first_ = 0;
  bool dirty_ = true;
};

MarkListBox* openList = nullptr;

bool StillOpen(const MarkListBox* box) {
  if (box == nullptr || KelmCEngineV2::menusLayer == nullptr) return false;
  for (const Object* object : KelmCEngineV2::menusLayer->objects) {
    if (object == box && !object->IsDestroyed()) return true;
  }
  return false;
}

}  // namespace

std::vector<size_t> MarksByStart() {
  std::vector<size_t> order(markedRanges.size());
  for (size_t i = 0; i < order.size(); ++i) order[i] = i;
  std::stable_sort(order.begin(), order.end(), [](size_t a, size_t b) {
    const MarkedRange& x = markedRanges[a];
    const MarkedRange& y = markedRanges[b];
    return x.start != y.start ? x.start < y.start : x.length < y.length;
  });
  return order;
}

bool NameMatches(const std::u16string& name, const std::u16string& filter) {
  if (filter.empty()) return true;
  if (filter.size() > name.size()) return false;
  for (size_t at = 0; at + filter.size() <= name.size(); ++at) {
    size_t k = 0;
    while (k < filter.size() && LowerAscii(name[at + k]) == LowerAscii(filter[k])) ++k;
    if (k == filter.size()) return true;
  }
  return false;
}

std::u16string MarkListLine(const MarkedRange& mark, int32_t width) {
  std::u16string name = mark.name.empty() ? u"(no name)" : mark.name;
  if (name.size() > kNameCells) name = name.substr(0, kNameCells - 3) + u"...";
  std::u16string line = kSample;
  line += u' ';
  line += Fit(name, kNameCells);
  line += u' ';
  line += HexOffsetText(mark.start);
  line += u' ';
  // The length without leading zeros: most are short.
  const std::u16string length = HexOffsetText(mark.length);
  line += length.substr(std::min(length.find_first_not_of(u'0'), length.size() - 1));
  return Fit(line, width > 0 ? static_cast<size_t>(width) : 0);
}

void OpenMarkList() {
  using KelmCEngineV2::mainEngine;
  using KelmCEngineV2::menusLayer;
  if (mainEngine == nullptr || menusLayer == nullptr) return;
  if (StillOpen(openList)) return;
  const int32_t width = std::clamp(mainEngine->GetScreenWidth() - 4, 1, kMarkListWidth);
  const int32_t rows = std::clamp(mainEngine->GetScreenHeight() - 8, 1, kMarkListMostRows);
  openList = new MarkListBox(mainEngine->GetScreenCentre(), width, rows);
  menusLayer->AddObject(openList);
}

void JumpToMark(size_t index) {
  if (index >= markedRanges.size()) return;
  const MarkedRange mark = markedRanges[index];
  selection.start = mark.start;
  selection.length = mark.length;
  selectionAnchor = mark.start;
  selectionActive = true;
  const int64_t row = ClampTopRow(static_cast<int64_t>(mark.start / RowLength()));
  const int64_t shown = charColumn != nullptr ? charColumn->GetHeight() : 1;
  if (row < topRow || row >= topRow + std::max<int64_t>(shown, 1)) {
    topRow = row;
    RefreshGrid();
  } else {
    RecolourGrid();
  }
  ShowSelectionOffset();
  RefreshInspector();
}

std::optional<size_t> NextMarkAfterSelection() {
  // One walk over the marks: the nearest start after the selection's, or the
  // lowest start when none follows.
  std::optional<size_t> after;
  std::optional<size_t> lowest;
  for (size_t i = 0; i < markedRanges.size(); ++i) {
    if (seekMark && *seekMark == i) continue;
    const uint64_t start = markedRanges[i].start;
    if (!lowest || start < markedRanges[*lowest].start) lowest = i;
    const bool follows = !selectionActive || start > selection.start;
    if (follows && (!after || start < markedRanges[*after].start)) after = i;
  }
  return after ? after : lowest;
}

std::optional<size_t> PreviousMarkBeforeSelection() {
  std::optional<size_t> before;
  std::optional<size_t> highest;
  for (size_t i = 0; i < markedRanges.size(); ++i) {
    if (seekMark && *seekMark == i) continue;
    const uint64_t start = markedRanges[i].start;
    if (!highest || start >= markedRanges[*highest].start) highest = i;
    const bool precedes = !selectionActive || start < selection.start;
    if (precedes && (!before || start >= markedRanges[*before].start)) before = i;
  }
  return before ? before : highest;
}

void JumpToNextMark() {
  if (const std::optional<size_t> index = NextMarkAfterSelection()) JumpToMark(*index);
}

void JumpToPreviousMark() {
  if (const std::optional<size_t> index = PreviousMarkBeforeSelection()) JumpToMark(*index);
}

}  // namespace kelm::viewer
