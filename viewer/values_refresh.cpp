#include <cstdint>
#include <string>

#include "viewer/values_refresh.h"
#include "viewer/decoded_values.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {
// The inspector decodes at most this many bytes.
constexpr uint64_t kMaxInspectedBytes = 8;
}  // namespace

void RefreshInspector() {
  uint8_t bytes[kMaxInspectedBytes] = {};
  uint64_t count = 0;
  if (selectionActive && selection.length <= kMaxInspectedBytes) {
    count = ReadRange(bytes, sizeof bytes, selection);
  }
  std::u16string binText;
  std::u16string decText;
  RefreshInspectorFrom(bytes, static_cast<size_t>(count), selection.length, selectionActive, binText, decText);
  SetStatusField(u"bin", binText);
  // The value's label stays when the value is too long for the screen.
  SetStatusField(u"dec", decText, decText.empty() ? 0 : StatusLabelLength(*selectedValue));
}

void ClearInspector() {
  ClearInspectorValues();
  SetStatusField(u"dec", u"");
  SetStatusField(u"bin", u"");
}

}  // namespace kelm::viewer
