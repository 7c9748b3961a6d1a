#include "viewer/float_format.h"

#include <cstdio>

namespace kelm::viewer {

std::string FormatFixed(double number) {
  // First ask for the length, then convert into a buffer of exactly that
  // size plus the terminator the conversion always writes.
  const int length = std::snprintf(nullptr, 0, "%f", number);
  if (length <= 0) {
    return std::string();
  }
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int written = std::snprintf(text.data(), text.size(), "%f", number);
  text.resize(written > 0 && written <= length ? static_cast<size_t>(written) : 0);
  return text;
}

std::u16string FormatFixedWide(double number) {
  const std::string narrow = FormatFixed(number);
  return std::u16string(narrow.begin(), narrow.end());
}

}  // namespace kelm::viewer
