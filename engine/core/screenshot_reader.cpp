#include "engine/core/screenshot_reader.h"

#include <algorithm>
#include <cstring>

#include "engine/port/hex_digits.h"
#include "engine/port/read_only_file.h"

namespace KelmCEngineV2 {

namespace {

constexpr std::string_view kMagic = "kelmsh";

uint32_t Read16(std::string_view bytes, size_t at) {
  return static_cast<uint32_t>(static_cast<uint8_t>(bytes[at])) |
         (static_cast<uint32_t>(static_cast<uint8_t>(bytes[at + 1])) << 8);
}

// The value of a colour digit, or -1.
int DigitValue(char c) { return kelm::port::HexDigitValue(static_cast<unsigned char>(c)); }

// A cell's colour as a file of `version` holds it.
struct CellColour {
  bool valid = false;
  bool isDefault = false;
  int index = 0;
};

CellColour ReadColour(char c, uint8_t version, int defaultIndex) {
  if (c == kScreenshotDefaultColourMark && version >= kScreenshotDefaultsVersion) {
    return {true, true, defaultIndex};
  }
  const int value = DigitValue(c);
  return {value >= 0, false, value < 0 ? 0 : value};
}

// A byte as it can be shown in a message.
std::string Printable(char c) {
  const auto byte = static_cast<uint8_t>(c);
  if (byte >= 0x20 && byte < 0x7F) return std::string("'") + c + "'";
  return std::string("byte ") + kelm::port::HexDigit(byte >> 4) + kelm::port::HexDigit(byte) + " hex";
}

struct PictureSize {
  uint32_t width = 0;
  uint32_t height = 0;
  uint8_t version = 0;
};

// Checks the header against the size of the whole file. `head` holds the
// file's first bytes, up to the header's size.
bool CheckHeader(std::string_view head, uint64_t fileSize, PictureSize& size, std::string& error) {
  if (fileSize == 0) {
    error = "empty file, not a screenshot";
    return false;
  }
  const size_t compared = std::min(head.size(), kScreenshotMagicSize);
  if (head.substr(0, compared) != kMagic.substr(0, compared)) {
    error = "not a screenshot file (it does not start with \"kelmsh\")";
    return false;
  }
  if (head.size() <= kScreenshotVersionOffset) {
    error = "truncated: the file ends inside the header (" + std::to_string(fileSize) + " of " +
            std::to_string(kScreenshotHeaderSize) + " bytes)";
    return false;
  }
  const auto version = static_cast<uint8_t>(head[kScreenshotVersionOffset]);
  if (version != kScreenshotVersion && version != kScreenshotDefaultsVersion) {
    error = "screenshot format version " + std::to_string(version) + " is not known (only versions 1 and 2 are)";
    return false;
  }
  size.version = version;
  if (fileSize == kScreenshotColoursOffset) {
    error = "the screenshot holds no picture (the capture was abandoned after its first 7 bytes)";
    return false;
  }
  if (head.size() < kScreenshotHeaderSize) {
    error = "truncated: the file ends inside the header (" + std::to_string(fileSize) + " of " +
            std::to_string(kScreenshotHeaderSize) + " bytes)";
    return false;
  }
  size.width = Read16(head, kScreenshotWidthOffset);
  size.height = Read16(head, kScreenshotHeightOffset);
  const std::string cells = std::to_string(size.width) + " x " + std::to_string(size.height) + " cells";
  if (size.width > kMaxScreenshotColumns || size.height > kMaxScreenshotRows) {
    error = "a picture of " + cells + " is larger than any terminal (a console has at most " +
            std::to_string(kMaxScreenshotColumns) + " columns and " + std::to_string(kMaxScreenshotRows) +
            " rows)";
    return false;
  }
  const uint64_t expected = ScreenshotFileSize(size.width, size.height);
  if (fileSize < expected) {
    error = "truncated: a picture of " + cells + " needs " + std::to_string(expected) +
            " bytes, the file has " + std::to_string(fileSize);
    return false;
  }
  if (fileSize > expected) {
    error = "wrong size: a picture of " + cells + " needs exactly " + std::to_string(expected) +
            " bytes, the file has " + std::to_string(fileSize);
    return false;
  }
  return true;
}

}  // namespace

uint64_t ScreenshotFileSize(uint64_t width, uint64_t height) {
  return kScreenshotHeaderSize + 4 * width * height;
}

bool DecodeScreenshot(std::string_view bytes, Screenshot& shot, std::string& error) {
  PictureSize size;
  if (!CheckHeader(bytes.substr(0, std::min(bytes.size(), kScreenshotHeaderSize)), bytes.size(), size, error)) {
    return false;
  }
  Screenshot decoded;
  for (size_t i = 0; i < 16; ++i) {
    for (size_t c = 0; c < 3; ++c) {
      decoded.colours.rgb[i][c] = static_cast<uint8_t>(bytes[kScreenshotColoursOffset + i * 3 + c]);
    }
  }
  decoded.width = static_cast<int32_t>(size.width);
  decoded.height = static_cast<int32_t>(size.height);
  const size_t count = static_cast<size_t>(size.width) * size.height;
  const size_t characters = kScreenshotHeaderSize;
  const size_t foregrounds = characters + 2 * count;
  const size_t backgrounds = foregrounds + count;
  decoded.cells.resize(count);
  for (size_t i = 0; i < count; ++i) {
    const CellColour fg = ReadColour(bytes[foregrounds + i], size.version, kScreenshotDefaultForegroundIndex);
    const CellColour bg = ReadColour(bytes[backgrounds + i], size.version, kScreenshotDefaultBackgroundIndex);
    if (!fg.valid || !bg.valid) {
      const size_t row = size.width == 0 ? 0 : i / size.width;
      const size_t column = size.width == 0 ? 0 : i % size.width;
      const char digit = bytes[!fg.valid ? foregrounds + i : backgrounds + i];
      std::string why;
      if (size.version < kScreenshotDefaultsVersion) {
        why = digit == kScreenshotDefaultColourMark
                  ? ", the terminal's default colour, which only version 2 screenshots hold"
                  : ", not a hexadecimal digit";
      } else {
        why = std::string(", neither a hexadecimal digit nor '") + kScreenshotDefaultColourMark +
              "' (the terminal's default colour)";
      }
      error = std::string(!fg.valid ? "the foreground" : "the background") + " colour of the cell in row " +
              std::to_string(row + 1) + ", column " + std::to_string(column + 1) + " is " + Printable(digit) + why;
      return false;
    }
    uint16_t attributes = static_cast<uint16_t>(fg.index | (bg.index << 4));
    if (fg.isDefault) attributes |= kScreenshotDefaultForeground;
    if (bg.isDefault) attributes |= kScreenshotDefaultBackground;
    decoded.cells[i].UnicodeChar = static_cast<char16_t>(Read16(bytes, characters + 2 * i));
    decoded.cells[i].Attributes = attributes;
  }
  shot = std::move(decoded);
  return true;
}

bool ReadScreenshotFile(const std::string& path, Screenshot& shot, std::string& error) {
  using kelm::port::FileKind;
  // Opened before its type is looked at: a path swapped for a FIFO cannot
  // block the open.
  kelm::port::ReadOnlyFile file;
  const int opened = file.Open(path);
  if (opened == kelm::port::kNotReadableKind) {
    error = file.Kind() == FileKind::Directory ? "a directory, not a screenshot file"
                                               : "not a regular file, so not a screenshot";
    return false;
  }
  if (opened != 0) {
    error = std::string("cannot open: ") + std::strerror(opened);
    return false;
  }
  if (file.Kind() != FileKind::Regular) {
    error = "not a regular file, so not a screenshot";
    return false;
  }
  const uint64_t fileSize = file.Size();
  std::string head(static_cast<size_t>(std::min<uint64_t>(fileSize, kScreenshotHeaderSize)), '\0');
  if (file.ReadAt(0, reinterpret_cast<uint8_t*>(head.data()), head.size()) != head.size()) {
    error = "cannot read the file";
    return false;
  }
  PictureSize size;
  if (!CheckHeader(head, fileSize, size, error)) return false;

  std::string bytes(static_cast<size_t>(fileSize), '\0');
  uint8_t extra = 0;
  if (file.ReadAt(0, reinterpret_cast<uint8_t*>(bytes.data()), bytes.size()) != fileSize ||
      file.ReadAt(fileSize, &extra, 1) != 0) {
    error = "the file changed while it was read";
    return false;
  }
  return DecodeScreenshot(bytes, shot, error);
}

}  // namespace KelmCEngineV2
