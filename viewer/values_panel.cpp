#include "viewer/values_panel.h"

#include <algorithm>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_types.h"
#include "viewer/values_refresh.h"

namespace kelm::viewer {

using KelmCEngineV2::Object;
using KelmCEngineV2::Vector2;

std::vector<ValuedButton*> inspectorButtons;
bool draggingPanel = false;

namespace {

constexpr char16_t kChosenMark[] = u"[X]";
constexpr char16_t kUnchosenMark[] = u"[ ]";

// A heading line of the panel.
void AddHeading(Object* panel, float x, float y, const char16_t* text) {
  auto* heading = new Object(Vector2(x, y), std::u16string(text));
  heading->anchor = KelmCEngineV2::kAnchorLeft;
  panel->AddChild(heading);
}

// A row's text within the room it has.
std::u16string ShownRowText(const InspectorValue& record, int32_t room) {
  std::u16string text = RowText(record);
  return room > 0 ? EndWithEllipsis(text, static_cast<size_t>(room)) : text;
}

// The panel as wide as its longest row needs (the radio button's three
// cells and the row text), at least its first width and at most the
// screen's; then each row's text within the room left of it.
void FitPanelToRows(Object* panel) {
  auto* box = dynamic_cast<KelmCEngineV2::MenuObject*>(panel);
  if (box == nullptr || KelmCEngineV2::mainEngine == nullptr) return;
  constexpr int32_t kButtonCells = 3;
  constexpr int32_t kFrameCells = 2;
  size_t longest = 0;
  for (Object* child : box->children) {
    if (const auto* row = dynamic_cast<DecimalObject*>(child); row != nullptr && row->entry != nullptr) {
      longest = std::max(longest, RowText(*row->entry).size());
    }
  }
  const int32_t screenWidth = KelmCEngineV2::mainEngine->GetScreenWidth();
  const int64_t wanted = kButtonCells + static_cast<int64_t>(longest);
  const int64_t widest = std::max<int64_t>(kInspectorPanelInnerWidth, screenWidth - kFrameCells);
  const auto inner = static_cast<int32_t>(std::clamp<int64_t>(wanted, kInspectorPanelInnerWidth, widest));

  if (inner != box->GetWidth() - kFrameCells) {
    box->MakeBox(inner, box->GetHeight() - kFrameCells);
    // Children sit at offsets from the centre, which moved with the width.
    const float x0 = 1.5f - static_cast<float>(box->GetWidth()) / 2.0f;
    for (Object* child : box->children) {
      if (child == nullptr) continue;
      child->position.x = dynamic_cast<DecimalObject*>(child) != nullptr ? x0 + kButtonCells : x0;
    }
    const float overflow = static_cast<float>(KelmCEngineV2::SnapToCell(box->GetRight()) + 1 - screenWidth);
    if (overflow > 0.0f) box->position.x = std::max(0.0f, box->position.x - overflow);
  }
  for (Object* child : box->children) {
    if (auto* row = dynamic_cast<DecimalObject*>(child)) row->SetRoom(inner - kButtonCells);
  }
}

}  // namespace

DecimalObject::DecimalObject(Vector2 at, InspectorValue* record)
    : Object(at, std::u16string()), entry(record) {}

void DecimalObject::Update() {
  if (entry != nullptr && entry->changed) {
    entry->changed = false;
    SetText(ShownRowText(*entry, room));
  }
  Object::Update();
}

void DecimalObject::SetRoom(int32_t cells) {
  if (cells == room) return;
  room = cells;
  if (entry != nullptr) SetText(ShownRowText(*entry, room));
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

  // The rows (children, updated first) have taken this frame's values.
  FitPanelToRows(panel);

  if (draggingPanel) {
    // The first inner cell lands under the mouse.
    panel->position = Vector2(mousePosition.x - 1.0f, mousePosition.y + 1.0f);
    if (!mouseButtons[kLeftButton].held) draggingPanel = false;
  }

  // The radio buttons (children, updated first) have already taken their
  // clicks; any other press on the panel starts a drag and is used up.
  // The panel is meant to be grabbed by its border as well.
  if (KelmCEngineV2::MouseOnBox(panel)) {
    if (mouseButtons[kLeftButton].pressed) draggingPanel = true;
    mouseButtons[kLeftButton].pressed = false;
  }

  if (KelmCEngineV2::KeyPressed('D', false, KelmCEngineV2::kModCtrl) ||
      KelmCEngineV2::KeyPressed(static_cast<uint8_t>(kelm::port::VK_ESCAPE), false, 0)) {
    KelmCEngineV2::CloseTopMenu();
  }
}

}  // namespace kelm::viewer
