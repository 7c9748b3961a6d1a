// WrapText on arbitrary UTF-16 text and widths, against a reference written
// here: every line of the text (line feeds separate them) becomes as many
// rows as it needs, `width` characters each, the last one padded with
// spaces; an empty line is one blank row; a width below 1 counts as 1.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "engine/widgets/message.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::u16string Reference(const std::u16string& text, int32_t width) {
  const size_t w = static_cast<size_t>(std::max(width, 1));
  std::u16string out;
  size_t start = 0;
  for (;;) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    const std::u16string line = text.substr(start, end - start);
    size_t at = 0;
    do {
      std::u16string row = line.substr(at, w);
      row.resize(w, u' ');
      if (!out.empty()) out += u'\n';
      out += row;
      at += w;
    } while (at < line.size());
    if (end == text.size()) break;
    start = end + 1;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  // Widths from -8 to 119.
  const int32_t width = static_cast<int32_t>(data[0] % 128) - 8;
  std::u16string text;
  for (size_t i = 1; i + 1 < size; i += 2) {
    // Small values map onto line feeds and spaces, so both come often.
    char16_t unit = static_cast<char16_t>(data[i] | (data[i + 1] << 8));
    if (data[i + 1] == 0 && data[i] < 16) unit = data[i] < 8 ? u'\n' : u' ';
    text += unit;
  }
  const std::u16string wrapped = KelmCEngineV2::WrapText(text, width);
  Check(wrapped == Reference(text, width));
  Check(KelmCEngineV2::LongestLineLength(wrapped) == std::max(width, 1));
  return 0;
}
