#include "viewer/offset_forms.h"

#include <limits>

#include "engine/core/engine.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/console_types.h"
#include "engine/port/hex_digits.h"
#include "viewer/grid_geometry.h"
#include "viewer/form_box.h"
#include "viewer/values_refresh.h"
#include "viewer/mark_list.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

using KelmCEngineV2::MenuObject;
using KelmCEngineV2::Object;
using KelmCEngineV2::TextInput;
using KelmCEngineV2::Vector2;

namespace {

// Value of one hexadecimal digit, or -1. Only the ASCII digits count: a unit
// such as U+0161 is not the digit 'a' even though its low byte is.
int HexDigitValue(char16_t unit) { return kelm::port::HexDigitValue(unit); }

// The focused hexadecimal field both forms hold, at the box's centre.
TextInput* AddNumberField(MenuObject* box, KelmCEngineV2::ObjectCallback onFrame) {
  auto* field = new TextInput(Vector2(0.0f, 0.0f), std::u16string(), kHex64Digits,
                              KelmCEngineV2::HexLowercase, KelmCEngineV2::Spaced);
  field->SetCallback(std::move(onFrame));
  field->Focus();
  box->AddChild(field);
  return field;
}

// A number form's box. An Enter pressed before the form opened (the hex
// view ignores Enter) must not count as this form's Enter: the port's record
// of it is dropped.
MenuObject* AddNumberFormBox(float y, int32_t innerWidth, int32_t innerHeight) {
  MenuObject* box = AddFormBox(y, innerWidth, innerHeight);
  (void)kelm::port::Port().GetAsyncKeyState(kelm::port::VK_RETURN);
  return box;
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
  const uint64_t perRow = RowLength();
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
  MenuObject* box = AddNumberFormBox(-2.0f, kSeekFormInnerWidth, kSeekFormInnerHeight);
  AddNumberField(box, SeekToOffset);
  box->AddChild(new Object(Vector2(-9.0f, 1.0f), std::u16string(u"Seek")));
  return box;
}

MenuObject* OpenLengthForm() {
  MenuObject* box = AddNumberFormBox(-1.0f, kLengthFormInnerWidth, kLengthFormInnerHeight);
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

}  // namespace kelm::viewer
