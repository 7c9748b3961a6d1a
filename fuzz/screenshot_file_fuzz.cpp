// DecodeScreenshot on any bytes, version 1 and 2 alike: it never crashes;
// what it refuses has a one-line reason; what it accepts has exactly the
// cells its header names, default colours only in version 2, and comes back
// byte for byte (digits in upper case) from the encoder. The views of an
// accepted picture send the terminal nothing but colour sequences, and ask
// for its default colours exactly where cells have them.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "engine/core/screenshot.h"
#include "engine/core/screenshot_reader.h"
#include "ui/screenshot_view.h"

using namespace KelmCEngineV2;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr uint16_t kDefaultBits = kScreenshotDefaultForeground | kScreenshotDefaultBackground;

// Every ESC starts a CSI colour sequence: digits and ';' up to 'm'.
void CheckOnlyColourSequences(const std::string& text) {
  for (size_t at = text.find('\x1b'); at != std::string::npos; at = text.find('\x1b', at + 1)) {
    Check(at + 1 < text.size() && text[at + 1] == '[');
    size_t end = at + 2;
    while (end < text.size() && (std::isdigit(static_cast<unsigned char>(text[end])) || text[end] == ';')) ++end;
    Check(end < text.size() && text[end] == 'm');
  }
}

void CheckViews(const Screenshot& shot, bool defaultForeground, bool defaultBackground) {
  for (const ScreenshotColours mode :
       {ScreenshotColours::None, ScreenshotColours::Standard16, ScreenshotColours::TrueColour}) {
    CheckOnlyColourSequences(ScreenshotTerminalText(shot, mode));
  }
  // With the 16 colours 39 and 49 mean nothing but the defaults: the
  // foreground follows "0;" and the background ends the sequence.
  const std::string text = ScreenshotTerminalText(shot, ScreenshotColours::Standard16);
  Check((text.find("\x1b[0;39;") != std::string::npos) == defaultForeground);
  Check((text.find(";49m") != std::string::npos) == defaultBackground);
  const std::string page = ScreenshotHtml(shot, "fuzz.ss");
  Check(page.find('\x1b') == std::string::npos);
  Check((page.find("class=\"fd ") != std::string::npos) == defaultForeground);
  Check((page.find(" bd\">") != std::string::npos) == defaultBackground);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Screenshot shot;
  std::string error;
  if (!DecodeScreenshot(bytes, shot, error)) {
    Check(!error.empty() && error.find('\n') == std::string::npos);
    return 0;
  }
  Check(shot.width >= 0 && static_cast<uint32_t>(shot.width) <= kMaxScreenshotColumns);
  Check(shot.height >= 0 && static_cast<uint32_t>(shot.height) <= kMaxScreenshotRows);
  Check(shot.cells.size() == static_cast<size_t>(shot.width) * static_cast<size_t>(shot.height));
  Check(size == ScreenshotFileSize(static_cast<uint64_t>(shot.width), static_cast<uint64_t>(shot.height)));
  const auto version = static_cast<uint8_t>(bytes[kScreenshotVersionOffset]);
  bool defaultForeground = false;
  bool defaultBackground = false;
  for (const kelm::port::CHAR_INFO& cell : shot.cells) {
    Check((cell.Attributes & ~(0xFF | kDefaultBits)) == 0);
    if ((cell.Attributes & kScreenshotDefaultForeground) != 0) {
      defaultForeground = true;
      Check((cell.Attributes & 0x0F) == kScreenshotDefaultForegroundIndex);
    }
    if ((cell.Attributes & kScreenshotDefaultBackground) != 0) {
      defaultBackground = true;
      Check(((cell.Attributes >> 4) & 0x0F) == kScreenshotDefaultBackgroundIndex);
    }
  }
  Check(version == kScreenshotDefaultsVersion || !(defaultForeground || defaultBackground));

  // The encoder gives back the same bytes, digits in upper case, in the
  // version the cells need (a version 2 file without a default colour
  // comes back as version 1).
  std::string expected(bytes);
  expected[kScreenshotVersionOffset] =
      static_cast<char>(defaultForeground || defaultBackground ? kScreenshotDefaultsVersion : kScreenshotVersion);
  for (size_t i = kScreenshotHeaderSize + 2 * shot.cells.size(); i < expected.size(); ++i) {
    expected[i] = static_cast<char>(std::toupper(static_cast<unsigned char>(expected[i])));
  }
  const std::string again = EncodeScreenshot(shot);
  Check(again == expected);
  Screenshot reread;
  Check(DecodeScreenshot(again, reread, error));
  Check(reread.cells == shot.cells && reread.width == shot.width && reread.height == shot.height);

  CheckViews(shot, defaultForeground, defaultBackground);
  return 0;
}
