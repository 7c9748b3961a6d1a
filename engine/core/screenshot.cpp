#include "engine/core/screenshot.h"

#include <algorithm>
#include <cstdio>

#include "engine/core/draw.h"
#include "engine/port/atomic_file_writer.h"

namespace KelmCEngineV2 {

using namespace kelm::port;

std::string ScreenshotFileName(std::time_t when) {
  char buffer[64] = {};
  struct tm local {};
  localtime_r(&when, &local);
  // The C library's ctime form: "Tue Dec  8 04:46:54 2026\n".
  std::string stamp = asctime_r(&local, buffer) != nullptr ? buffer : "";
  if (!stamp.empty()) stamp.pop_back();
  std::string name = "screenshot-" + stamp + ".ss";
  std::replace(name.begin(), name.end(), ':', '-');
  std::replace(name.begin(), name.end(), ' ', '-');
  return name;
}

std::string EncodeScreenshot(const std::vector<CHAR_INFO>& cells, int32_t width, int32_t height,
                             const ColourTable* colours) {
  std::string out = "kelmsh";
  out += static_cast<char>(1);
  if (colours == nullptr) return out;
  for (const auto& entry : colours->rgb) {
    for (uint8_t component : entry) out += static_cast<char>(component);
  }
  const auto put16 = [&out](uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
  };
  put16(static_cast<uint32_t>(width));
  put16(static_cast<uint32_t>(height));
  const size_t count = std::min(cells.size(), static_cast<size_t>(std::max(width, 0)) *
                                                  static_cast<size_t>(std::max(height, 0)));
  out.reserve(out.size() + count * 4);
  for (size_t i = 0; i < count; ++i) put16(cells[i].UnicodeChar);
  for (size_t i = 0; i < count; ++i) out += ColourDigit(cells[i].Attributes & 0xF);
  for (size_t i = 0; i < count; ++i) out += ColourDigit((cells[i].Attributes >> 4) & 0xF);
  return out;
}

bool WriteScreenshot(const std::string& path, const std::vector<CHAR_INFO>& cells, int32_t width,
                     int32_t height) {
  ColourTable colours;
  const bool haveColours = Port().GetColourTable(colours);
  const std::string bytes = EncodeScreenshot(cells, width, height, haveColours ? &colours : nullptr);
  // Written beside and renamed into place: a link planted at the
  // predictable name is replaced, never followed. A second screenshot in
  // the same second replaces the first, one file per second as before.
  return WriteFileAtomically(path, bytes) == 0;
}

}  // namespace KelmCEngineV2
