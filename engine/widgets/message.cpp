#include "engine/widgets/message.h"

#include <algorithm>

#include "engine/core/engine.h"
#include "engine/core/layer.h"
#include "engine/widgets/button.h"
#include "engine/widgets/menu_object.h"

namespace KelmCEngineV2 {

namespace {

// The narrowest message area: wide enough for the "Close" button line.
constexpr int32_t kMinimumMessageWidth = 33;
// Columns the frame, the margins and the rightmost (never drawn) screen
// column take beside the message area.
constexpr int32_t kMessageMargin = 7;
// The box's size until the message is measured.
constexpr int32_t kFirstInnerWidth = 40;
constexpr int32_t kFirstInnerHeight = 3;
// Inside the frame, beside the message: four columns of left margin and one
// on the right; the title row above it and the button row below it.
constexpr int32_t kInnerColumnsBesideText = 5;
constexpr int32_t kInnerRowsBesideText = 2;
// Where the parts stand in the box, counted from its frame's outer edge:
// the message from this column and row, the title from this column on the
// row below the top edge, the "Close" button this many columns short of
// the right edge on the row above the bottom edge.
constexpr int32_t kTextColumn = 5;
constexpr int32_t kTextRow = 2;
constexpr int32_t kTitleColumn = 2;
constexpr float kTitleRow = 1.0f;
constexpr int32_t kCloseRightGap = 3;
constexpr float kCloseRowFromBottom = 1.0f;

}  // namespace

int32_t LongestLineLength(const std::u16string& text) {
  size_t longest = 0;
  size_t current = 0;
  for (char16_t c : text) {
    if (c == u'\n') {
      longest = std::max(longest, current);
      current = 0;
    } else {
      ++current;
    }
  }
  longest = std::max(longest, current);
  return static_cast<int32_t>(std::min<size_t>(longest, INT32_MAX));
}

std::u16string WrapText(const std::u16string& text, int32_t width) {
  // A line must hold at least one character, or no character could be placed.
  const size_t w = static_cast<size_t>(std::max(width, 1));
  std::u16string result(w, u' ');
  size_t column = 0;
  size_t line = 0;
  for (char16_t c : text) {
    if (c == u'\n' || column == w) {
      result += u'\n';
      result.append(w, u' ');
      ++line;
      column = 0;
      if (c == u'\n') continue;
    }
    result[column + line * (w + 1)] = c;
    ++column;
  }
  return result;
}

void ShowMessage(std::u16string title, std::u16string message) {
  if (mainEngine == nullptr || menusLayer == nullptr) return;

  auto* box = new MenuObject(mainEngine->GetScreenCentre(), kFirstInnerWidth, kFirstInnerHeight);
  menusLayer->AddObject(box);

  int32_t w = LongestLineLength(message);
  const int32_t limit = mainEngine->GetScreenWidth() - kMessageMargin;
  if (w > limit) w = limit;
  if (w < kMinimumMessageWidth) w = kMinimumMessageWidth;

  auto* body = new Object(Vector2(0.0f, 0.0f), WrapText(message, w));
  body->anchor = kAnchorTopLeft;
  box->AddChild(body);

  box->MakeBox(w + kInnerColumnsBesideText, body->GetHeight() + kInnerRowsBesideText);
  const int32_t boxWidth = box->GetWidth();    // w + 7
  const int32_t boxHeight = box->GetHeight();  // body lines + 4

  body->position = Vector2(static_cast<float>(kTextColumn - boxWidth / 2),
                           static_cast<float>(SnapToCell(boxHeight * 0.5f - 0.5f) - kTextRow));

  auto* titleObject = new Object(Vector2(0.0f, 0.0f), std::move(title));
  const int32_t titleWidth = titleObject->GetWidth();
  titleObject->position = Vector2(static_cast<float>(titleWidth / 2 - boxWidth / 2 + kTitleColumn),
                                  static_cast<float>(boxHeight / 2) - 0.5f - kTitleRow);
  box->AddChild(titleObject);

  auto* close = new Button(Vector2(0.0f, 0.0f), u"Close", Spaced);
  // Closes the pop-up it belongs to, even when another box (one that lets
  // presses through) was opened above it later.
  close->SetOnClick([](Object* button) {
    if (button->parent != nullptr) button->parent->Destroy();
  });
  const int32_t buttonWidth = close->GetWidth();
  close->position = Vector2(static_cast<float>(boxWidth / 2 - buttonWidth / 2 - kCloseRightGap),
                            kCloseRowFromBottom - (static_cast<float>(boxHeight) * 0.5f - 0.5f));
  box->AddChild(close);
}

}  // namespace KelmCEngineV2
