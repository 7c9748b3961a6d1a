// The marks file: the colour marks of one viewed file as plain text lines,
// read and written without any library.
//
//   kelmhex-marks 1
//   path /home/me/disk.img          (percent-escaped bytes)
//   size 1048576                    (decimal bytes when the marks were saved)
//   mtime 1733700000123456789       (decimal nanoseconds since 1970)
//   mark 7 4 1A0 10 header          (colours, start and length in hex, name)
//
// Names and the path are escaped so that a line holds no space, no control
// character and no '%' of its own: those bytes are written as %XX. Whatever
// is read is untrusted: the parser caps the count of marks, the length of a
// name and of a line, and refuses the whole file at its first fault.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "viewer/viewer_state.h"

namespace kelm::viewer {

// The first line of every marks file.
inline constexpr std::string_view kMarksFileHeader = "kelmhex-marks 1";
// The most marks one file holds, the longest name (UTF-16 units) and the
// largest file read.
inline constexpr size_t kMaxStoredMarks = 1000000;
inline constexpr size_t kMaxStoredNameUnits = 256;
inline constexpr size_t kMaxMarksFileBytes = 64u << 20;

struct MarksFile {
  std::string path;       // the viewed file's absolute path (raw bytes)
  uint64_t size = 0;      // its size when saved
  int64_t modified = 0;   // its modification time when saved
  std::vector<MarkedRange> marks;
};

// The text of a marks file.
std::string FormatMarksFile(const MarksFile& file);

// Reads a marks file's text. Yields the contents, or nothing with `error`
// saying what is wrong (first fault only: a damaged file is taken whole or
// not at all).
std::optional<MarksFile> ParseMarksFile(std::string_view text, std::string& error);

// `bytes` with every byte that is a space, a control character, DEL, '%' or
// not ASCII written as %XX; and back (nothing for a bad escape).
std::string EscapeField(std::string_view bytes);
std::optional<std::string> UnescapeField(std::string_view field);

}  // namespace kelm::viewer
