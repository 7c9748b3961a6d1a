#include "viewer/marks.h"

#include <vector>

#include "engine/core/draw.h"
#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/widgets/bracket_style.h"
#include "engine/widgets/menu_object.h"
#include "engine/widgets/slider.h"
#include "engine/widgets/text_input.h"
#include "viewer/mark_list.h"

namespace kelm::viewer {

using KelmCEngineV2::ColourDigit;
using KelmCEngineV2::MenuObject;
using KelmCEngineV2::Object;
using KelmCEngineV2::Slider;
using KelmCEngineV2::TextInput;
using KelmCEngineV2::Vector2;

namespace {

// Inner size of the colour-range form and of the "select a range" box.
constexpr int32_t kFormWidth = 30;
constexpr int32_t kFormHeight = 6;
constexpr int32_t kNoticeWidth = 30;
constexpr int32_t kNoticeHeight = 1;

// The sliders pick a console colour index.
constexpr int32_t kFirstColour = 0;
constexpr int32_t kLastColour = 15;

// Foreground digit of the tooltip frame (light grey).
constexpr char kTipForeground = '7';

int32_t NextColour(int32_t index) { return (index + 1) & kLastColour; }

// Keeps the sample showing the colours chosen on the sliders.
void UpdateColourSample(Object* sample) {
  const char foreground = ColourDigit(markForeground);
  const char background = ColourDigit(markBackground);
  if (sample->foreground.empty() || sample->foreground[0] != foreground) {
    sample->FillForeground(foreground);
  }
  if (sample->background.empty() || sample->background[0] != background) {
    sample->FillBackground(background);
  }
}

Slider* MakeColourSlider(Vector2 at, int32_t initial, int32_t* target) {
  auto* slider = new Slider(at, kFirstColour, kLastColour, initial, KelmCEngineV2::Spaced);
  slider->SetCallback([target](Object* object) {
    auto* self = static_cast<Slider*>(object);
    if (self->IsGrabbed()) *target = self->value;
  });
  return slider;
}

}  // namespace

bool RangeContains(const MarkedRange& range, uint64_t offset) {
  // offset - start is the distance into the range; below start it wraps to a
  // huge value, so one unsigned comparison covers both ends.
  return offset >= range.start && offset - range.start < range.length;
}

std::optional<size_t> FindVisibleMarkAt(uint64_t offset) {
  for (size_t i = 0; i < markedRanges.size(); ++i) {
    const MarkedRange& mark = markedRanges[i];
    if (RangeContains(mark, offset) && RangeIsVisible(mark)) return i;
  }
  return std::nullopt;
}

void HandleMarkKey() {
  const ByteUnderMouseResult under = ByteUnderMouse();
  if (under.over) {
    if (const std::optional<size_t> index = FindVisibleMarkAt(under.offset)) {
      RemoveMark(*index);
      RecolourGrid();
      return;
    }
  }
  if (selectionActive) {
    OpenColourRangeForm();
  } else {
    ShowSelectRangeFirst();
  }
}

void OpenColourRangeForm() {
  auto* form = new MenuObject(KelmCEngineV2::mainEngine->GetScreenCentre(), kFormWidth, kFormHeight);

  form->AddChild(new Object(Vector2(-9, 3), "Foreground"));
  form->AddChild(new Object(Vector2(-9, 1), "Background"));
  form->AddChild(MakeColourSlider(Vector2(-5, 2), markForeground, &markForeground));
  form->AddChild(MakeColourSlider(Vector2(-5, 0), markBackground, &markBackground));

  auto* sample = new Object(Vector2(9, 1), kColourSampleText);
  sample->FillOpaqueMask();
  sample->FillForeground(ColourDigit(markForeground));
  sample->FillBackground(ColourDigit(markBackground));
  sample->SetCallback(UpdateColourSample);
  form->AddChild(sample);

  auto* name = new TextInput(Vector2(0, -1), u"Name", kMarkNameLength, KelmCEngineV2::Any,
                             KelmCEngineV2::Spaced);
  name->value = rangeName;
  name->SetCallback([](Object* object) {
    auto* self = static_cast<TextInput*>(object);
    if (self->IsFocused()) rangeName = self->value;
  });
  form->AddChild(name);

  auto* ok = new Object(Vector2(0, -2), "[OK]");
  ok->SetCallback(AddMarkFromForm);
  form->AddChild(ok);

  KelmCEngineV2::menusLayer->AddObject(form);
}

void ShowSelectRangeFirst() {
  auto* box = new MenuObject(KelmCEngineV2::mainEngine->GetScreenCentre(), kNoticeWidth, kNoticeHeight);
  box->AddChild(new Object(Vector2(0, 0), std::u16string(kSelectRangeFirst)));
  KelmCEngineV2::menusLayer->AddObject(box);
}

void AddMarkFromForm(Object* object) {
  if (!object->IsClicked()) return;
  // Close the form this "[OK]" belongs to. It is normally the top box of the
  // "Menus" layer, but a box that lets presses through (the inspector panel)
  // may lie above it, and that one must stay open.
  if (object->parent != nullptr) {
    object->parent->Destroy();
  } else {
    KelmCEngineV2::CloseTopMenu();
  }
  lastMarkForeground = markForeground;
  lastMarkBackground = markBackground;
  MarkedRange mark;
  mark.foreground = ColourDigit(markForeground);
  mark.background = ColourDigit(markBackground);
  mark.name = rangeName;
  mark.start = selection.start;
  mark.length = selection.length;
  markedRanges.push_back(mark);
  selectionActive = false;
  RecolourGrid();
  ShowSelectionOffset();
}

void QuickMark() {
  if (!selectionActive) return;
  lastMarkForeground = NextColour(lastMarkForeground);
  lastMarkBackground = NextColour(lastMarkBackground);
  MarkedRange mark;
  mark.foreground = ColourDigit(lastMarkForeground);
  mark.background = ColourDigit(lastMarkBackground);
  mark.start = selection.start;
  mark.length = selection.length;
  markedRanges.push_back(mark);
  RecolourGrid();
}

std::string BuildTipBox(int32_t n) {
  const size_t inner = n > 0 ? static_cast<size_t>(n) : 0;
  const std::string rule = "+" + std::string(inner, '-') + "+";
  return rule + "\n|" + std::string(inner, ' ') + "|\n" + rule;
}

void ShowTip(const std::u16string& text) {
  if (tipObject == nullptr) return;
  if (text != tipText) {
    tipText = text;
    tipObject->SetText(BuildTipBox(static_cast<int32_t>(text.size())));
    tipObject->FillForeground(kTipForeground);
    tipObject->FillOpaqueMask();
    // The single child carries the text, centred on the frame.
    for (Object* child : tipObject->children) {
      if (child != nullptr) {
        child->SetText(text);
        break;
      }
    }
  }
  // Next to the pointer at once, as the tooltip's own callback places it in
  // every frame, so that its first frame is not drawn where it last was.
  tipObject->position = KelmCEngineV2::mousePosition;
  tipObject->position.x += static_cast<float>(tipObject->GetWidth() / 2 + 1);
  tipObject->visible = true;
}

void ShowTipUnderMouse() {
  // Only over a grid cell that no box (help, menu, panel, form, pop-up)
  // covers: the mark beneath a box is not what the pointer shows.
  const ByteUnderMouseResult under = ByteUnderMouse();
  if (!under.over || KelmCEngineV2::MouseOnAnyBox()) return;
  // The last matching mark wins, as it is painted over the earlier ones.
  const MarkedRange* shown = nullptr;
  for (const MarkedRange& mark : markedRanges) {
    if (!mark.name.empty() && RangeContains(mark, under.offset) && RangeIsVisible(mark)) {
      shown = &mark;
    }
  }
  if (shown != nullptr) ShowTip(shown->name);
}

}  // namespace kelm::viewer
