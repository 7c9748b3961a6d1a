// Writing a range of the viewed file to another file.
//
// The bytes go to a new temporary file beside the target, which is renamed
// onto the target only when every byte was written and saved: a failed or
// cancelled export never leaves a half-written file, and the target keeps its
// old contents until the rename. Exporting onto the viewed file itself is
// safe: the viewer's open stream keeps reading the old file, which the
// rename only unlinks. The range is read and written in chunks, so an export
// of gigabytes needs no more memory than a small one.
//
// Where the source says a stretch of the range lies in a hole of the file
// (never written, reads as zeros), nothing of it is read: the target gets a
// hole of the same length (a sparse file where the file system keeps
// holes), so the copy of a huge sparse range with little data ends at once.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

#include "viewer/copy_formats.h"
#include "viewer/data_extents.h"

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
// The range to export: its bytes, and where its data lies in offsets into
// the range (kelm::viewer::ExtentsWithin). Empty extents (a file system
// that cannot tell) make every byte data, read as it is.
struct ExportSource {
  ExportReader read;
  kelm::viewer::DataExtents extents;
};
// Told how far the export got, once before the first chunk and after every
// chunk; answering false cancels the export.
using ExportProgress = std::function<bool(uint64_t done, uint64_t total)>;

// Writes `total` bytes from `source` to `target` as described above. A
// read that ends early (the file shrank) is a failed export: nothing
// replaces the target. A hole counts for progress as bytes done; the last
// byte of each hole is read, so that a file cut short since its extents
// were asked is not taken for zeros past its end. A link at the target is
// followed (the user chose and confirmed it); a target that is not a
// regular file is refused.
ExportResult ExportBytes(const std::string& target, uint64_t total, const ExportSource& source,
                         const ExportProgress& progress = nullptr, size_t chunkBytes = kExportChunkBytes);
// ExportBytes of a source that tells no extents: every byte is read.
ExportResult ExportBytes(const std::string& target, uint64_t total, const ExportReader& read,
                         const ExportProgress& progress = nullptr, size_t chunkBytes = kExportChunkBytes);

// ExportBytes writing the bytes as code (viewer/copy_formats.h) instead of
// as they are: the same chunks, the same atomic replacement, and a read that
// ends early leaves the target as it was. Holes are written out as the
// zeros they hold, made in memory instead of read.
ExportResult ExportCode(const std::string& target, uint64_t total, const ExportSource& source,
                        kelm::viewer::CodeForm form, size_t chunkBytes = kExportChunkBytes);
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
ExportResult ExportWithProgress(const std::string& target, uint64_t total, const ExportSource& source,
                                const ExportScreenOptions& options = {});
ExportResult ExportWithProgress(const std::string& target, uint64_t total, const ExportReader& read,
                                const ExportScreenOptions& options = {});

// The progress box's text for `done` of `total` bytes.
std::u16string ExportProgressText(uint64_t done, uint64_t total);
