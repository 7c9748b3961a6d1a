// DecodeUtf8 against a reference decoder written here (any fault in the
// input gives an empty result; four-byte forms give surrogate pairs), and a
// round trip: a non-empty result encodes back to exactly the input bytes.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "viewer/decoded_values.h"

using namespace kelm::viewer;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

std::u16string Reference(const uint8_t* b, size_t n) {
  std::u16string out;
  size_t i = 0;
  while (i < n) {
    uint32_t value = 0;
    size_t length = 0;
    if (b[i] < 0x80) {
      value = b[i];
      length = 1;
    } else if (b[i] >= 0xC2 && b[i] <= 0xDF) {
      value = b[i] & 0x1Fu;
      length = 2;
    } else if (b[i] >= 0xE0 && b[i] <= 0xEF) {
      value = b[i] & 0x0Fu;
      length = 3;
    } else if (b[i] >= 0xF0 && b[i] <= 0xF4) {
      value = b[i] & 0x07u;
      length = 4;
    } else {
      return {};
    }
    if (n - i < length) return {};
    for (size_t k = 1; k < length; ++k) {
      if ((b[i + k] & 0xC0) != 0x80) return {};
      value = (value << 6) | (b[i + k] & 0x3Fu);
    }
    static const uint32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (value < kSmallest[length] || value > 0x10FFFF) return {};
    if (value >= 0xD800 && value <= 0xDFFF) return {};
    if (value > 0xFFFF) {
      value -= 0x10000;
      out += static_cast<char16_t>(0xD800 + (value >> 10));
      out += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
    } else {
      out += static_cast<char16_t>(value);
    }
    i += length;
  }
  return out;
}

std::string Encode(const std::u16string& units) {
  std::string out;
  for (size_t i = 0; i < units.size(); ++i) {
    uint32_t c = units[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < units.size()) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00u);
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::u16string decoded = DecodeUtf8(data, size);
  Check(decoded == Reference(data, size));
  if (!decoded.empty()) Check(Encode(decoded) == std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
