#include "viewer/offset_forms.h"

#include <limits>

#include "engine/core/engine.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/console_types.h"
#include "viewer/values_refresh.h"
#include "viewer/mark_list.h"
#include "viewer/viewer_state.h"

using KelmCEngineV2::MenuObject;
using KelmCEngineV2::Object;
using KelmCEngineV2::TextInput;
using KelmCEngineV2::Vector2;

namespace {

// Value of one hexadecimal digit, or -1. Only the ASCII digits count: a unit
// such as U+0161 is not the digit 'a' even though its low byte is.
int HexDigitValue(char16_t unit) {
  if (unit >= u'0' && unit <= u'9') return unit - u'0';
  if (unit >= u'a' && unit <= u'f') return unit - u'a' + 10;
  if (unit >= u'A' && unit <= u'F') return unit - u'A' + 10;
  return -1;
}

// The focused hexadecimal field both forms hold, at the box's centre.
TextInput* AddNumberField(MenuObject* box, KelmCEngineV2::ObjectCallback onFrame) {
  auto* field = new TextInput(Vector2(0.0f, 0.0f), std::u16string(), kHex64Digits,
                              KelmCEngineV2::HexLowercase, KelmCEngineV2::Spaced);
  field->SetCallback(std::move(onFrame));
  field->Focus();
  box->AddChild(field);
  return field;
}

// A new form box on the "Menus" layer, centred on (middle of the screen, y).
MenuObject* AddFormBox(float y, int32_t innerWidth, int32_t innerHeight) {
  const float x = static_cast<float>(KelmCEngineV2::mainEngine->GetScreenWidth() / 2);
  auto* box = new MenuObject(Vector2(x, y), innerWidth, innerHeight);
  KelmCEngineV2::menusLayer->AddObject(box);
  // An Enter pressed before the form opened (the hex view ignores Enter) must
  // not count as this form's Enter: drop the port's record of it.
  (void)kelm::port::Port().GetAsyncKeyState(kelm::port::VK_RETURN);
  return box;
}

// Closes the form that holds `input`. Normally that is the top menu; if a
// menu was opened above the form meanwhile, that menu stays open.
void CloseForm(Object* input) {
  Object* box = input->parent;
  if (box != nullptr && box->layer == KelmCEngineV2::menusLayer && !box->IsDestroyed()) {
    box->Destroy();
    return;
  }
  KelmCEngineV2::CloseTopMenu();
}

// The parsed number of the field, when Enter was pressed this frame.
std::optional<uint64_t> EnteredNumber(Object* input) {
  auto* field = dynamic_cast<TextInput*>(input);
  if (field == nullptr || !EnterPressed()) return std::nullopt;
  return ParseHex64(*field);
}

// First visible row for `offset`: its row, limited to what topRow can hold
// (with one byte per row an offset above 2^63 has no signed row number).
int64_t RowOfOffset(uint64_t offset) {
  const uint64_t perRow = bytesPerRow > 0 ? static_cast<uint64_t>(bytesPerRow) : 1;
  const uint64_t row = offset / perRow;
  constexpr auto kMaxRow = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
  return static_cast<int64_t>(row < kMaxRow ? row : kMaxRow);
}

}  // namespace

std::optional<uint64_t> HexDigitsToNumber(const std::u16string& text) {
  if (text.empty() || text.size() > static_cast<size_t>(kHex64Digits)) return std::nullopt;
  uint64_t number = 0;
  for (const char16_t unit : text) {
    const int digit = HexDigitValue(unit);
    if (digit < 0) return std::nullopt;
    number = (number << 4) | static_cast<uint64_t>(digit);
  }
  return number;
}

bool EnterPressed() {
  kelm::port::ConsolePort& port = kelm::port::Port();
  if (!port.IsForeground()) return false;
  return (port.GetAsyncKeyState(kelm::port::VK_RETURN) & 1) != 0;
}

std::optional<uint64_t> ParseHex64(TextInput& input) {
  // Each UTF-16 unit stands for one character of the entry.
  const std::u16string& text = input.value;
  if (text.empty()) {
    CloseForm(&input);
    return std::nullopt;
  }
  if (text.size() > static_cast<size_t>(kHex64Digits)) {
    kelm::port::Port().MessageBox(kNumberTooBigText, kNumberTooBigCaption);
    return std::nullopt;
  }
  const std::optional<uint64_t> number = HexDigitsToNumber(text);
  if (!number) kelm::port::Port().MessageBox(kNotHexText, kNotHexCaption);
  return number;
}

MenuObject* OpenSeekForm() {
  MenuObject* box = AddFormBox(-2.0f, kSeekFormInnerWidth, kSeekFormInnerHeight);
  AddNumberField(box, SeekToOffset);
  box->AddChild(new Object(Vector2(-9.0f, 1.0f), std::u16string(u"Seek")));
  return box;
}

MenuObject* OpenLengthForm() {
  MenuObject* box = AddFormBox(-1.0f, kLengthFormInnerWidth, kLengthFormInnerHeight);
  AddNumberField(box, SetSelectionLength);
  return box;
}

void SeekToOffset(Object* input) {
  const std::optional<uint64_t> offset = EnteredNumber(input);
  if (!offset) return;

  if (seekMark) RemoveSeekMark();
  MarkedRange mark;
  mark.foreground = '7';
  mark.background = '8';
  mark.name = kSeekMarkName;
  mark.start = *offset;
  mark.length = 1;
  markedRanges.push_back(std::move(mark));
  seekMark = markedRanges.size() - 1;

  topRow = ClampTopRow(RowOfOffset(*offset));
  CloseForm(input);
  RefreshGrid();
  RecolourGrid();
}

void SetSelectionLength(Object* input) {
  const std::optional<uint64_t> length = EnteredNumber(input);
  if (!length) return;

  selection.length = *length;
  CloseForm(input);
  RecolourGrid();
  RefreshInspector();
}
