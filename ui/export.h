// Writing a range of the viewed file to another file.
//
// The bytes go to a new temporary file beside the target, which is renamed
// onto the target only when every byte was written and saved: a failed or
// cancelled export never leaves a half-written file, and the target keeps its
// old contents until the rename. Exporting onto the viewed file itself is
// safe: the viewer's open stream keeps reading the old file, which the
// rename only unlinks. The range is read and written in chunks, so an export
// of gigabytes needs no more memory than a small one.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "viewer/copy_formats.h"

// Bytes read and written per step.
inline constexpr size_t kExportChunkBytes = size_t{1} << 20;

// ShortSource: the range ended early (the file shrank while it was read);
// the target is left as it was.
enum class ExportStatus { Written, Cancelled, Failed, ShortSource };

struct ExportResult {
  ExportStatus status = ExportStatus::Written;
  int error = 0;         // errno or writer refusal of a failure (kelm::port::WriteErrorText words it)
  uint64_t written = 0;  // bytes in the target (Written), or bytes read of the range (ShortSource)
};

// Reads up to `capacity` bytes found `offset` bytes into the exported range;
// yields how many it read (fewer, or 0, when the range ends early).
using ExportReader = std::function<uint64_t(uint8_t* buffer, uint64_t capacity, uint64_t offset)>;
// Told how far the export got, once before the first chunk and after every
// chunk; answering false cancels the export.
using ExportProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Writes `total` bytes from `read` to `target` as described above. A read
// that ends early (the file shrank) is a failed export: nothing replaces the
// target. A link at the target is followed (the user chose and confirmed
// it); a target that is not a regular file is refused.
ExportResult ExportBytes(const std::string& target, uint64_t total, const ExportReader& read,
                         const ExportProgress& progress = nullptr, size_t chunkBytes = kExportChunkBytes);

// ExportBytes writing the bytes as code (viewer/copy_formats.h) instead of
// as they are: the same chunks, the same atomic replacement, and a read that
// ends early leaves the target as it was.
ExportResult ExportCode(const std::string& target, uint64_t total, const ExportReader& read, kelm::viewer::CodeForm form,
                        size_t chunkBytes = kExportChunkBytes);

// How the viewer shows a long export.
struct ExportScreenOptions {
  // Exports of at least this many bytes show a progress box and can be
  // cancelled with Esc; smaller ones finish before the user could react.
  uint64_t progressFromBytes = uint64_t{32} << 20;
  // The box is drawn again this often (the chunks follow each other without
  // a pause, and Esc is looked for after every chunk).
  uint64_t redrawEveryMs = 50;
  size_t chunkBytes = kExportChunkBytes;
};

// ExportBytes on the frame thread. Like the modal dialogs it blocks the
// frame loop, so for a large export it draws its own progress box over the
// last frame (through the console port) and reads the console's input
// itself: Esc cancels (the temporary file is removed), and a quit request
// cancels and ends the frame loop.
ExportResult ExportWithProgress(const std::string& target, uint64_t total, const ExportReader& read,
                                const ExportScreenOptions& options = {});

// The progress box's text for `done` of `total` bytes.
std::u16string ExportProgressText(uint64_t done, uint64_t total);
