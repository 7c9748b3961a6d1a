// The settings file's parser and its application to the display settings:
// any text, no crash, every line found bounded, the options left in range,
// and the file written for them read back to the same options.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "viewer/display_options.h"
#include "viewer/display_settings.h"

using namespace kelm::viewer;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ResetDisplaySettingsForTests();
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const std::vector<SettingsLine> lines = ParseSettingsText(text);
  Check(lines.size() <= kMaxSettingsLines);
  for (const SettingsLine& line : lines) Check(line.text.size() <= kMaxSettingsLineLength);
  ApplySettingsLines(lines);
  Check(displayOptions.bytesPerRow >= 0 && displayOptions.bytesPerRow <= kMaxBytesPerRow);
  const DisplayOptions applied = displayOptions;
  const std::string written = FormatSettingsText();
  displayOptions = DisplayOptions{};
  Check(ApplySettingsLines(ParseSettingsText(written)).empty());
  Check(displayOptions.bytesPerRow == applied.bytesPerRow && displayOptions.spacing == applied.spacing &&
        displayOptions.utf8 == applied.utf8 && displayOptions.byteClassColours == applied.byteClassColours &&
        displayOptions.theme == applied.theme);
  return 0;
}
