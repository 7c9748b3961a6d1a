#include "ui/export.h"

#include <algorithm>
#include <optional>
#include <string_view>
#include <vector>

#include "engine/core/engine.h"
#include "engine/port/atomic_file_writer.h"
#include "engine/port/console_port.h"

namespace {

using kelm::port::CHAR_INFO;
using kelm::port::INPUT_RECORD;
using kelm::port::Port;
using kelm::viewer::CodeEncoder;
using kelm::viewer::CodeForm;

constexpr uint16_t kBoxColours = 0x07;  // light grey on black, as the engine's boxes
constexpr int kBoxInnerWidth = 40;
constexpr size_t kInputBatch = 32;

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// Esc among the waiting input records (the rest is dropped, as a modal
// dialog would), or a quit request, which also ends the frame loop.
bool CancelRequested() {
  int status = 0;
  if (Port().TakeQuitRequest(status)) {
    if (KelmCEngineV2::mainEngine != nullptr) KelmCEngineV2::mainEngine->Quit(status);
    return true;
  }
  bool cancel = false;
  INPUT_RECORD records[kInputBatch];
  while (Port().PendingInputCount() > 0) {
    const uint32_t count = Port().ReadInput(records, kInputBatch);
    if (count == 0) break;
    for (uint32_t i = 0; i < count; ++i) {
      const auto& record = records[i];
      if (record.EventType == kelm::port::KEY_EVENT && record.Event.KeyEvent.bKeyDown &&
          record.Event.KeyEvent.wVirtualKeyCode == kelm::port::VK_ESCAPE) {
        cancel = true;
      }
    }
  }
  return cancel;
}

void PutText(std::vector<CHAR_INFO>& cells, int width, int height, int x, int y, std::u16string_view text) {
  if (y < 0 || y >= height) return;
  for (size_t i = 0; i < text.size(); ++i) {
    const int column = x + static_cast<int>(i);
    if (column < 0 || column >= width) continue;
    cells[static_cast<size_t>(y) * static_cast<size_t>(width) + static_cast<size_t>(column)] =
        CHAR_INFO{text[i], kBoxColours};
  }
}

// The last frame with a framed box in its middle: the progress text, a bar
// and the key that cancels.
void DrawProgress(uint64_t done, uint64_t total) {
  using KelmCEngineV2::mainEngine;
  if (mainEngine == nullptr) return;
  const int width = mainEngine->FrameWidth();
  const int height = mainEngine->FrameHeight();
  std::vector<CHAR_INFO> cells = mainEngine->Cells();
  if (width <= 0 || height <= 0 || cells.size() < static_cast<size_t>(width) * static_cast<size_t>(height)) return;

  const int inner = kBoxInnerWidth;
  const int left = width / 2 - (inner + 2) / 2;
  const int top = height / 2 - 5 / 2;
  const std::u16string border = u"+" + std::u16string(static_cast<size_t>(inner), u'-') + u"+";
  const std::u16string blank = u"|" + std::u16string(static_cast<size_t>(inner), u' ') + u"|";
  PutText(cells, width, height, left, top, border);
  for (int row = 1; row <= 3; ++row) PutText(cells, width, height, left, top + row, blank);
  PutText(cells, width, height, left, top + 4, border);

  PutText(cells, width, height, left + 2, top + 1, ExportProgressText(done, total));
  const int barWidth = inner - 4;
  const int filled =
      total == 0 ? barWidth
                 : static_cast<int>(static_cast<long double>(done) / static_cast<long double>(total) * barWidth);
  std::u16string bar = u"[" + std::u16string(static_cast<size_t>(std::clamp(filled, 0, barWidth)), u'#') +
                       std::u16string(static_cast<size_t>(barWidth - std::clamp(filled, 0, barWidth)), u'.') +
                       u"]";
  PutText(cells, width, height, left + 2, top + 2, bar);
  PutText(cells, width, height, left + 2, top + 3, u"Esc: cancel");
  Port().WriteFrame(cells.data(), width, height);
}

// One stretch of the range: a hole, or data that is read.
struct Stretch {
  uint64_t end = 0;
  bool hole = false;
};

// The stretch that starts at `done` (below `total`). A source that answers
// "data here" and "a hole starts here" at once is not trusted with a hole:
// `step` bytes are read.
Stretch StretchAt(const kelm::viewer::DataExtents& extents, uint64_t done, uint64_t total, uint64_t step) {
  if (!extents.Known()) return Stretch{total, false};
  const uint64_t data = std::min(extents.nextData(done), total);
  if (data > done) return Stretch{data, true};
  const uint64_t hole = std::min(extents.nextHole(done), total);
  return Stretch{hole > done ? hole : std::min(total, done + step), false};
}

// What a walk over the range does with each stretch: `data` takes each
// chunk read, `hole` each hole's length; either yields 0 or an error.
// `progress` is asked after every step, as ExportProgress.
struct RangeWalk {
  std::function<int(const uint8_t* bytes, uint64_t count)> data;
  std::function<int(uint64_t length)> hole;
  ExportProgress progress;
};

// Walks the `total` bytes of `source` in chunks of `buffer`'s size, holes
// whole. Yields nothing when every byte was handed on, or how it ended
// early. Before a hole is handed on, its last byte is read: a file cut
// short since it was opened still answers "hole" up to its old size, and
// its end must not be taken for zeros.
std::optional<ExportResult> WalkRange(uint64_t total, const ExportSource& source, std::vector<uint8_t>& buffer,
                                      const RangeWalk& walk) {
  const auto cancelled = [&](uint64_t done) { return walk.progress && !walk.progress(done, total); };
  uint64_t done = 0;
  while (done < total) {
    const Stretch stretch = StretchAt(source.extents, done, total, buffer.size());
    if (stretch.hole) {
      uint8_t last = 0;
      if (source.read(&last, 1, stretch.end - 1) < 1) return ExportResult{ExportStatus::ShortSource, 0, done};
      if (const int error = walk.hole(stretch.end - done); error != 0) {
        return ExportResult{ExportStatus::Failed, error, 0};
      }
      done = stretch.end;
      if (cancelled(done)) return ExportResult{ExportStatus::Cancelled, 0, 0};
      continue;
    }
    while (done < stretch.end) {
      const uint64_t want = std::min<uint64_t>(buffer.size(), stretch.end - done);
      const uint64_t got = std::min(source.read(buffer.data(), want, done), want);
      // The file ended before the range did: the partial copy is abandoned.
      if (got < want) return ExportResult{ExportStatus::ShortSource, 0, done + got};
      if (const int error = walk.data(buffer.data(), got); error != 0) {
        return ExportResult{ExportStatus::Failed, error, 0};
      }
      done += got;
      if (cancelled(done)) return ExportResult{ExportStatus::Cancelled, 0, 0};
    }
  }
  return std::nullopt;
}

std::vector<uint8_t> ChunkBuffer(uint64_t total, size_t chunkBytes) {
  if (chunkBytes == 0) chunkBytes = kExportChunkBytes;
  return std::vector<uint8_t>(static_cast<size_t>(std::min<uint64_t>(chunkBytes, std::max<uint64_t>(total, 1))));
}

}  // namespace

ExportResult ExportBytes(const std::string& target, uint64_t total, const ExportSource& source,
                         const ExportProgress& progress, size_t chunkBytes) {
  kelm::port::AtomicFileWriter file;
  if (const int error = file.Open(target, kelm::port::TargetLink::Follow); error != 0) {
    return ExportResult{ExportStatus::Failed, error, 0};
  }

  // Leaving early abandons the write: the writer removes its temporary file.
  if (progress && !progress(0, total)) return ExportResult{ExportStatus::Cancelled, 0, 0};
  std::vector<uint8_t> buffer = ChunkBuffer(total, chunkBytes);
  RangeWalk walk;
  walk.data = [&](const uint8_t* bytes, uint64_t count) { return file.Write(bytes, count); };
  walk.hole = [&](uint64_t length) { return file.Skip(length); };
  walk.progress = progress;
  if (const std::optional<ExportResult> early = WalkRange(total, source, buffer, walk)) return *early;

  if (const int error = file.Commit(); error != 0) return ExportResult{ExportStatus::Failed, error, 0};
  return ExportResult{ExportStatus::Written, 0, total};
}

ExportResult ExportBytes(const std::string& target, uint64_t total, const ExportReader& read,
                         const ExportProgress& progress, size_t chunkBytes) {
  return ExportBytes(target, total, ExportSource{read, {}}, progress, chunkBytes);
}

ExportResult ExportCode(const std::string& target, uint64_t total, const ExportSource& source, CodeForm form,
                        size_t chunkBytes) {
  kelm::port::AtomicFileWriter file;
  if (const int error = file.Open(target, kelm::port::TargetLink::Follow); error != 0) {
    return ExportResult{ExportStatus::Failed, error, 0};
  }
  CodeEncoder encoder(form);
  std::string text;
  encoder.Header(text, total);
  std::vector<uint8_t> buffer = ChunkBuffer(total, chunkBytes);
  uint64_t written = 0;
  const auto flush = [&]() {
    const int error = file.Write(reinterpret_cast<const uint8_t*>(text.data()), text.size());
    written += text.size();
    text.clear();
    return error;
  };
  const auto encode = [&](const uint8_t* bytes, uint64_t count) {
    encoder.Append(text, bytes, static_cast<size_t>(count));
    return flush();
  };
  RangeWalk walk;
  walk.data = encode;
  // The zeros of a hole, a chunk at a time (the buffer is free between
  // reads).
  walk.hole = [&](uint64_t length) {
    std::fill(buffer.begin(), buffer.end(), uint8_t{0});
    while (length > 0) {
      const uint64_t count = std::min<uint64_t>(length, buffer.size());
      if (const int error = encode(buffer.data(), count); error != 0) return error;
      length -= count;
    }
    return 0;
  };
  if (const std::optional<ExportResult> early = WalkRange(total, source, buffer, walk)) return *early;
  encoder.Finish(text);
  if (const int error = flush(); error != 0) return ExportResult{ExportStatus::Failed, error, 0};
  if (const int error = file.Commit(); error != 0) return ExportResult{ExportStatus::Failed, error, 0};
  return ExportResult{ExportStatus::Written, 0, written};
}

ExportResult ExportCode(const std::string& target, uint64_t total, const ExportReader& read, CodeForm form,
                        size_t chunkBytes) {
  return ExportCode(target, total, ExportSource{read, {}}, form, chunkBytes);
}

std::u16string ExportProgressText(uint64_t done, uint64_t total) {
  const uint64_t percent =
      total == 0 ? 100
                 : static_cast<uint64_t>(static_cast<long double>(done) * 100.0L / static_cast<long double>(total));
  return u"Exporting " + Ascii(std::to_string(std::min<uint64_t>(percent, 100))) + u"%  (" +
         Ascii(std::to_string(done >> 20)) + u" of " + Ascii(std::to_string(total >> 20)) + u" MiB)";
}

ExportResult ExportWithProgress(const std::string& target, uint64_t total, const ExportSource& source,
                                const ExportScreenOptions& options) {
  if (total < options.progressFromBytes) return ExportBytes(target, total, source, nullptr, options.chunkBytes);
  bool drawn = false;
  uint64_t lastDraw = 0;
  const ExportProgress progress = [&](uint64_t done, uint64_t all) {
    if (CancelRequested()) return false;
    const uint64_t now = Port().Ticks();
    if (!drawn || now - lastDraw >= options.redrawEveryMs) {
      DrawProgress(done, all);
      drawn = true;
      lastDraw = now;
    }
    return true;
  };
  return ExportBytes(target, total, source, progress, options.chunkBytes);
}

ExportResult ExportWithProgress(const std::string& target, uint64_t total, const ExportReader& read,
                                const ExportScreenOptions& options) {
  return ExportWithProgress(target, total, ExportSource{read, {}}, options);
}
