#include "viewer/search_form.h"

#include <algorithm>

#include "engine/core/engine.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/console_types.h"
#include "engine/core/input.h"
#include "engine/widgets/button.h"
#include "engine/widgets/text_input.h"
#include "viewer/form_box.h"
#include "viewer/offset_forms.h"
#include "viewer/search.h"

namespace kelm::viewer {

using KelmCEngineV2::Button;
using KelmCEngineV2::MenuObject;
using KelmCEngineV2::Object;
using KelmCEngineV2::TextInput;
using KelmCEngineV2::Vector2;

TextSearchOptions searchTextOptions;

std::u16string EncodingOptionText(const TextSearchOptions& options) {
  return u"Text as [" + EncodingName(options.encoding) + u"] (Ctrl+E)";
}

std::u16string CaseOptionText(const TextSearchOptions& options) {
  return std::u16string(u"Letters [") + (options.anyCase ? u"any case" : u"exact case") + u"] (Ctrl+L)";
}

namespace {

// Width of the box's inside for a screen `screenWidth` columns wide: odd, so
// that the box, centred on a cell, has whole cells on both sides.
int32_t InnerWidthFor(int32_t screenWidth) {
  int32_t width = std::clamp(screenWidth - 4, kSearchFormMinInnerWidth, kSearchFormMaxInnerWidth);
  if (width % 2 == 0) --width;
  return width;
}

// A one-line object whose left edge is the box's first inner column.
Object* AddLine(MenuObject* box, float left, float y, std::u16string text) {
  auto* line = new Object(Vector2(left, y), std::move(text));
  line->anchor = KelmCEngineV2::kAnchorLeft;
  box->AddChild(line);
  return line;
}

// Shows why the pattern was refused, in red, cut to the box's inside.
void ShowProblem(Object* line, std::u16string text, int32_t width) {
  if (text.size() > static_cast<size_t>(width)) text.resize(static_cast<size_t>(width));
  line->SetText(std::move(text));
  line->FillForeground('C');
}

void NextEncoding() {
  switch (searchTextOptions.encoding) {
    case TextEncoding::Utf8: searchTextOptions.encoding = TextEncoding::Utf16Le; break;
    case TextEncoding::Utf16Le: searchTextOptions.encoding = TextEncoding::Utf16Be; break;
    case TextEncoding::Utf16Be: searchTextOptions.encoding = TextEncoding::Utf8; break;
  }
}

// An option's line, cut to the box's inside; set only when it changed.
void ShowOption(Object* line, std::u16string text, int32_t width) {
  if (text.size() > static_cast<size_t>(width)) text.resize(static_cast<size_t>(width));
  if (line->text == text) return;
  line->SetText(std::move(text));
  line->FillOpaqueMask();
}

Button* AddOption(MenuObject* box, float left, float y, int32_t width) {
  auto* button = new Button(Vector2(left, y), std::u16string(), KelmCEngineV2::None);
  button->anchor = KelmCEngineV2::kAnchorLeft;
  ShowOption(button, y > -1.5f ? EncodingOptionText(searchTextOptions) : CaseOptionText(searchTextOptions), width);
  box->AddChild(button);
  return button;
}

// The field's Enter action. It runs while the field handles the Enter key
// itself, so what it does (closing the form, or giving the focus back after a
// refused pattern) is settled before the next key of the same frame.
void SubmitPattern(Object* input, Object* problemLine, int32_t width) {
  auto* field = dynamic_cast<TextInput*>(input);
  if (field == nullptr) return;
  const ParsedPattern parsed = ParseSearchPattern(field->value, searchTextOptions);
  switch (parsed.outcome) {
    case ParsedPattern::Outcome::Empty:
      CloseForm(input);
      return;
    case ParsedPattern::Outcome::Invalid:
      ShowProblem(problemLine, parsed.error, width);
      // Enter took the focus away; give it back so the pattern can be fixed.
      field->Focus();
      return;
    case ParsedPattern::Outcome::Valid:
      break;
  }
  // The start is taken before the form goes: closing it changes nothing of
  // the selection, but the search must start from what the user saw.
  const uint64_t from = SearchStartAfterSelection();
  CloseForm(input);
  StartSearch(parsed.pattern, from, SearchDirection::Forward);
}

}  // namespace

MenuObject* OpenSearchForm() {
  using namespace KelmCEngineV2;
  const int32_t screenWidth = mainEngine->GetScreenWidth();
  const int32_t width = InnerWidthFor(screenWidth);
  MenuObject* box = AddFormBox(-3.0f, width, kSearchFormInnerHeight);

  const float left = -static_cast<float>((width - 1) / 2);
  std::u16string label = kSearchFormLabel;
  if (label.size() > static_cast<size_t>(width)) label.resize(static_cast<size_t>(width));
  AddLine(box, left, 2.0f, std::move(label));
  Object* problem = AddLine(box, left, 0.0f, std::u16string());

  // Brackets, their blanks and the caret take five cells beside the text.
  auto* field = new TextInput(Vector2(left, 1.0f), std::u16string(), width - 5, Any, Spaced);
  field->anchor = kAnchorLeft;
  field->onSubmit = [problem, width](Object* input) { SubmitPattern(input, problem, width); };
  field->Focus();
  box->AddChild(field);

  Button* encoding = AddOption(box, left, -1.0f, width);
  Button* letters = AddOption(box, left, -2.0f, width);
  encoding->SetOnClick([](Object*) { NextEncoding(); });
  letters->SetOnClick([](Object*) { searchTextOptions.anyCase = !searchTextOptions.anyCase; });
  // The keys of the options, taken before the field takes every key of the
  // frame (the last child is updated first); the lines follow the options.
  auto* keys = new Object(Vector2(0.0f, 0.0f), std::u16string());
  keys->SetCallback([encoding, letters, width](Object*) {
    if (KelmCEngineV2::TakeKeyPress('E', KelmCEngineV2::kModCtrl)) NextEncoding();
    if (KelmCEngineV2::TakeKeyPress('L', KelmCEngineV2::kModCtrl)) {
      searchTextOptions.anyCase = !searchTextOptions.anyCase;
    }
    ShowOption(encoding, EncodingOptionText(searchTextOptions), width);
    ShowOption(letters, CaseOptionText(searchTextOptions), width);
  });
  box->AddChild(keys);
  return box;
}

}  // namespace kelm::viewer
