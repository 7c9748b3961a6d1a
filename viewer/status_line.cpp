// The bottom row's key/value fields.
#include "engine/core/engine.h"
#include "viewer/viewer_state.h"

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

void SetStatusField(const std::u16string& key, const std::u16string& value) {
  if (StatusField* field = FindStatusField(key)) {
    field->value = value;
    field->visible = !value.empty();
  }
  RenderStatusLine();
}

bool HasStatusField(const std::u16string& key) { return FindStatusField(key) != nullptr; }

void RenderStatusLine() {
  if (statusLine == nullptr) return;
  std::u16string text;
  for (const StatusField& field : statusFields) {
    if (!field.visible) continue;
    // A field without a key is a message of its own.
    if (!field.key.empty()) {
      text += field.key;
      text += u": ";
    }
    text += field.value;
    text += u"  ";
  }
  // Exactly one screen width: cut, never wrapped; padded so that an earlier,
  // longer text leaves nothing behind.
  const int32_t width =
      KelmCEngineV2::mainEngine != nullptr ? KelmCEngineV2::mainEngine->GetScreenWidth() : 0;
  text.resize(width > 0 ? static_cast<size_t>(width) : 0, u' ');
  statusLine->SetText(std::move(text));
}
