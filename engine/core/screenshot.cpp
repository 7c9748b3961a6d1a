#include "engine/core/screenshot.h"

#include <algorithm>
#include <cstdio>

#include "engine/core/draw.h"
#include "engine/port/atomic_file_writer.h"
#include "engine/port/terminal_default_colours.h"

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

namespace {

constexpr uint16_t kDefaultColourBits = kScreenshotDefaultForeground | kScreenshotDefaultBackground;

// The cells of a width x height picture that `cells` holds.
size_t PictureCells(size_t available, int32_t width, int32_t height) {
  return std::min(available, static_cast<size_t>(std::max(width, 0)) * static_cast<size_t>(std::max(height, 0)));
}

bool HasDefaultColour(const std::vector<CHAR_INFO>& cells, size_t count) {
  return std::any_of(cells.begin(), cells.begin() + static_cast<std::ptrdiff_t>(count),
                     [](const CHAR_INFO& cell) { return (cell.Attributes & kDefaultColourBits) != 0; });
}

std::string MagicAndVersion(bool defaults) {
  std::string out = "kelmsh";
  out += static_cast<char>(defaults ? kScreenshotDefaultsVersion : kScreenshotVersion);
  return out;
}

char ForegroundDigit(uint16_t attributes) {
  if ((attributes & kScreenshotDefaultForeground) != 0) return kScreenshotDefaultColourMark;
  return ColourDigit(attributes & 0xF);
}

char BackgroundDigit(uint16_t attributes) {
  if ((attributes & kScreenshotDefaultBackground) != 0) return kScreenshotDefaultColourMark;
  return ColourDigit((attributes >> 4) & 0xF);
}

}  // namespace

uint16_t ScreenshotAttributes(uint16_t frameAttributes) {
  auto attributes = static_cast<uint16_t>(frameAttributes & 0xFF);
  if (ShowsDefaultForeground(frameAttributes)) attributes |= kScreenshotDefaultForeground;
  if (ShowsDefaultBackground(frameAttributes)) attributes |= kScreenshotDefaultBackground;
  return attributes;
}

std::string EncodeScreenshot(const Screenshot& shot) {
  const size_t count = PictureCells(shot.cells.size(), shot.width, shot.height);
  std::string out = MagicAndVersion(HasDefaultColour(shot.cells, count));
  for (const auto& entry : shot.colours.rgb) {
    for (uint8_t component : entry) out += static_cast<char>(component);
  }
  const auto put16 = [&out](uint32_t value) {
    out += static_cast<char>(value & 0xFF);
    out += static_cast<char>((value >> 8) & 0xFF);
  };
  put16(static_cast<uint32_t>(shot.width));
  put16(static_cast<uint32_t>(shot.height));
  out.reserve(out.size() + count * 4);
  for (size_t i = 0; i < count; ++i) put16(shot.cells[i].UnicodeChar);
  for (size_t i = 0; i < count; ++i) out += ForegroundDigit(shot.cells[i].Attributes);
  for (size_t i = 0; i < count; ++i) out += BackgroundDigit(shot.cells[i].Attributes);
  return out;
}

std::string EncodeScreenshot(const std::vector<CHAR_INFO>& cells, int32_t width, int32_t height,
                             const ColourTable* colours) {
  Screenshot shot;
  shot.width = width;
  shot.height = height;
  const size_t count = PictureCells(cells.size(), width, height);
  shot.cells.resize(count);
  for (size_t i = 0; i < count; ++i) {
    shot.cells[i] = CHAR_INFO{cells[i].UnicodeChar, ScreenshotAttributes(cells[i].Attributes)};
  }
  if (colours == nullptr) return MagicAndVersion(HasDefaultColour(shot.cells, count));
  shot.colours = *colours;
  return EncodeScreenshot(shot);
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
