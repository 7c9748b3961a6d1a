#include "viewer/values_panel.h"

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_types.h"
#include "viewer/values_refresh.h"

using KelmCEngineV2::Object;
using KelmCEngineV2::Vector2;

std::vector<ValuedButton*> inspectorButtons;
bool draggingPanel = false;

namespace {

constexpr char16_t kChosenMark[] = u"[X]";
constexpr char16_t kUnchosenMark[] = u"[ ]";

// Whether the mouse cell lies on the panel, its frame included. A box's own
// hit test counts only its inside (it clips to its inset box), but the panel
// is meant to be grabbed by its border as well.
bool MouseOverPanel(const Object* panel) {
  using KelmCEngineV2::SnapToCell;
  const int32_t x = SnapToCell(KelmCEngineV2::mousePosition.x);
  const int32_t y = SnapToCell(KelmCEngineV2::mousePosition.y);
  return x >= SnapToCell(panel->GetLeft()) && x <= SnapToCell(panel->GetRight()) &&
         y <= SnapToCell(panel->GetTop()) && y >= SnapToCell(panel->GetBottom());
}

// A heading line of the panel.
void AddHeading(Object* panel, float x, float y, const char16_t* text) {
  auto* heading = new Object(Vector2(x, y), std::u16string(text));
  heading->anchor = KelmCEngineV2::kAnchorLeft;
  panel->AddChild(heading);
}

}  // namespace

DecimalObject::DecimalObject(Vector2 at, InspectorValue* record)
    : Object(at, std::u16string()), entry(record) {}

void DecimalObject::Update() {
  if (entry != nullptr && entry->changed) {
    entry->changed = false;
    SetText(RowText(*entry));
  }
  Object::Update();
}

ValuedButton::ValuedButton(Vector2 at, std::u16string label, KelmCEngineV2::BracketKind kind,
                           const KelmCEngineV2::BracketStyle* customStyle)
    : Button(at, std::move(label), kind, customStyle) {}

void AddInspectorRow(Object* panel, float x, float& y, InspectorValue* record) {
  auto* button = new ValuedButton(Vector2(x, y), u" ", KelmCEngineV2::Tight);
  button->entry = record;
  button->anchor = KelmCEngineV2::kAnchorLeft;
  button->SetOnClick(OnInspectorRowChosen);
  panel->AddChild(button);
  if (record == selectedValue) button->SetText(kChosenMark);
  inspectorButtons.push_back(button);

  auto* text = new DecimalObject(Vector2(x + 3.0f, y), record);
  record->changed = false;
  text->SetText(record->value);
  text->anchor = KelmCEngineV2::kAnchorLeft;
  panel->AddChild(text);

  y -= 1.0f;
}

KelmCEngineV2::MenuObject* OpenInspectorPanel() {
  inspectorButtons.clear();
  // A drag left over from a panel closed while the button was held must not
  // pull the new panel to the mouse.
  draggingPanel = false;

  const float left = static_cast<float>(KelmCEngineV2::mainEngine->GetScreenWidth() / 2);
  auto* panel = new KelmCEngineV2::MenuObject(Vector2(left, -2.0f), kInspectorPanelInnerWidth,
                                              kInspectorPanelInnerHeight);
  panel->anchor = KelmCEngineV2::kAnchorTopLeft;
  panel->closeOnOutsideClick = false;
  panel->SetCallback(InspectorPanelUpdate);
  KelmCEngineV2::menusLayer->AddObject(panel);

  // Offsets from the panel's centre: the first inner column and line.
  const float w = static_cast<float>(panel->GetWidth());
  const float h = static_cast<float>(panel->GetHeight());
  const float x0 = 1.5f - w / 2.0f;
  const float y0 = h / 2.0f - 1.5f;

  AddHeading(panel, x0, y0, u"Numbers");
  AddHeading(panel, x0, y0 - 2.0f, u"Int");
  float y = y0 - 3.0f;
  AddInspectorRow(panel, x0, y, &leUnsigned);
  AddInspectorRow(panel, x0, y, &leSigned);
  AddInspectorRow(panel, x0, y, &beUnsigned);
  AddInspectorRow(panel, x0, y, &beSigned);

  AddHeading(panel, x0, y0 - 8.0f, u"Float");
  y = y0 - 9.0f;
  AddInspectorRow(panel, x0, y, &leFloat);
  AddInspectorRow(panel, x0, y, &beFloat);

  AddHeading(panel, x0, y0 - 12.0f, u"Characters");
  y = y0 - 13.0f;
  AddInspectorRow(panel, x0, y, &leChar);
  AddInspectorRow(panel, x0, y, &beChar);
  AddInspectorRow(panel, x0, y, &utf8Char);

  RefreshInspector();
  return panel;
}

void OnInspectorRowChosen(Object* button) {
  const auto* chosen = dynamic_cast<ValuedButton*>(button);
  if (chosen == nullptr) return;
  selectedValue = chosen->entry;
  for (ValuedButton* each : inspectorButtons) {
    each->SetText(each->entry == selectedValue ? kChosenMark : kUnchosenMark);
  }
  RefreshInspector();
}

void InspectorPanelUpdate(Object* panel) {
  using KelmCEngineV2::kLeftButton;
  using KelmCEngineV2::mouseButtons;
  using KelmCEngineV2::mousePosition;

  if (draggingPanel) {
    // The first inner cell lands under the mouse.
    panel->position = Vector2(mousePosition.x - 1.0f, mousePosition.y + 1.0f);
    if (!mouseButtons[kLeftButton].held) draggingPanel = false;
  }

  // The radio buttons (children, updated first) have already taken their
  // clicks; any other press on the panel starts a drag and is used up.
  if (MouseOverPanel(panel)) {
    if (mouseButtons[kLeftButton].pressed) draggingPanel = true;
    mouseButtons[kLeftButton].pressed = false;
  }

  if (KelmCEngineV2::KeyPressed('D', false, KelmCEngineV2::kModCtrl) ||
      KelmCEngineV2::KeyPressed(static_cast<uint8_t>(kelm::port::VK_ESCAPE), false, 0)) {
    KelmCEngineV2::CloseTopMenu();
  }
}
