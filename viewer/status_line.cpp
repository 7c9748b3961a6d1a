// The bottom row's key/value fields.
#include <algorithm>

#include "engine/core/engine.h"
#include "viewer/decoded_values.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

StatusField* FindStatusField(const std::u16string& key) {
  for (StatusField& field : statusFields) {
    if (field.key == key) return &field;
  }
  return nullptr;
}

}  // namespace

void AddStatusField(const std::u16string& key, const std::u16string& value) {
  if (StatusField* field = FindStatusField(key)) {
    field->value = value;
    field->visible = !value.empty();
  } else {
    statusFields.push_back(StatusField{key, value, !value.empty()});
  }
  RenderStatusLine();
}

void SetStatusField(const std::u16string& key, const std::u16string& value, size_t labelLength) {
  if (StatusField* field = FindStatusField(key)) {
    field->value = value;
    field->visible = !value.empty();
    field->labelLength = std::min(labelLength, value.size());
  }
  RenderStatusLine();
}

void SetStatusNote(const std::u16string& key, const std::u16string& value) {
  StatusField* field = nullptr;
  for (StatusField& existing : statusFields) {
    if (existing.shownWithoutSelection && existing.key == key) field = &existing;
  }
  if (field == nullptr) {
    if (value.empty()) return;
    statusFields.push_back(StatusField{key, value, true});
    field = &statusFields.back();
    field->shownWithoutSelection = true;
  }
  field->value = value;
  field->visible = !value.empty();
  RenderStatusLine();
}

bool HasStatusField(const std::u16string& key) { return FindStatusField(key) != nullptr; }

void RenderStatusLine() {
  if (statusLine == nullptr) return;
  const int32_t width =
      KelmCEngineV2::mainEngine != nullptr ? KelmCEngineV2::mainEngine->GetScreenWidth() : 0;
  // The cells the row shows from its left edge to the screen's right edge.
  const int32_t left = KelmCEngineV2::SnapToCell(statusLine->GetLeft());
  const size_t shown = width > left ? static_cast<size_t>(width - std::max(left, 0)) : 0;

  size_t length = 0;
  for (const StatusField& field : statusFields) {
    if (field.visible) length += (field.key.empty() ? 0 : field.key.size() + 2) + field.value.size() + 2;
  }
  std::u16string text;
  for (const StatusField& field : statusFields) {
    if (!field.visible) continue;
    // A field without a key is a message of its own.
    if (!field.key.empty()) {
      text += field.key;
      text += u": ";
    }
    if (length > shown && field.labelLength > 0) {
      // Too long for the screen: the value before the label gives way, so
      // that the label stays and the cut shows.
      const size_t valueLength = field.value.size() - field.labelLength;
      const size_t over = length - shown;
      const size_t room = valueLength > over ? valueLength - over : 0;
      const std::u16string cut = EndWithEllipsis(field.value.substr(0, valueLength), room);
      length -= valueLength - cut.size();
      text += cut;
      text += field.value.substr(valueLength);
    } else {
      text += field.value;
    }
    text += u"  ";
  }
  // Exactly one screen width: cut, never wrapped; padded so that an earlier,
  // longer text leaves nothing behind.
  text.resize(width > 0 ? static_cast<size_t>(width) : 0, u' ');
  statusLine->SetText(std::move(text));
}

}  // namespace kelm::viewer
