#include "ui/file_actions.h"

#include <algorithm>
#include <optional>

#include "engine/core/engine.h"
#include "engine/core/layer.h"
#include "engine/port/atomic_file_writer.h"
#include "engine/port/path_separator.h"
#include "engine/port/console_port.h"
#include "engine/port/utf.h"
#include "engine/widgets/menu_object.h"
#include "engine/widgets/message.h"
#include "viewer/input_pipe.h"
#include "viewer/copy_as_box.h"
#include "viewer/data_extents.h"
#include "viewer/mark_list_box.h"
#include "viewer/viewer_state.h"

using namespace kelm::viewer;

namespace {

using namespace KelmCEngineV2;
using kelm::port::Port;

constexpr char16_t kExportFailureTitle[] = u"Err";
constexpr char16_t kExportFailurePrefix[] = u"Failed to export to: \"";

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::string FileNameOf(const std::string& path) {
  const size_t slash = kelm::port::LastPathSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// The bytes of the selection that lie within the file.
uint64_t ExportableLength(const MarkedRange& range) {
  if (range.start >= fileSize) return 0;
  return std::min(range.length, fileSize - range.start);
}

void ReportExportFailure(const std::string& target, const std::u16string& reason) {
  ShowMessage(kExportFailureTitle,
              kExportFailurePrefix + kelm::port::FromUtf8(FileNameOf(target)) + u"\"\n" + reason);
}

// Why an export failed, in the pop-up's words.
std::u16string ExportFailureReason(const ExportResult& result, uint64_t expected) {
  if (result.status == ExportStatus::ShortSource) {
    return u"Read " + Ascii(std::to_string(result.written)) + u" of " + Ascii(std::to_string(expected)) +
           u" bytes: the file shrank; nothing was written";
  }
  return kelm::port::FromUtf8(kelm::port::WriteErrorText(result.error));
}

}  // namespace

void OpenFileAction(Object*) {
  CloseAllMenus();
  OpenAnotherFile();
}

void OpenWithAction(Object*) {
  CloseAllMenus();
  ShowOpenWith();
}

void ReloadAction(Object*) {
  CloseAllMenus();
  if (RefusedForPipe(u"Reload")) return;
  const std::string path = filePath;
  LoadFile(path);
}

void ExportAction(Object*) { ExportSelection(); }

namespace {

// The save dialog for an export of the selection: the chosen target, or
// nothing (with the message when there is no selection).
std::optional<std::string> ChooseExportTarget() {
  if (!selectionActive) {
    CloseAllMenus();
    ShowMessage(u"", kNothingSelected);
    return std::nullopt;
  }
  const std::optional<std::string> target = Port().SaveFileDialog(kelm::port::FolderOf(filePath));
  CloseAllMenus();
  if (!target || target->empty()) return std::nullopt;
  return target;
}

// The selection's bytes within the file, and where the file system says
// their data lies (asked as the export goes, so a file that shrinks
// meanwhile is seen).
ExportSource SelectionSource() {
  const MarkedRange range = selection;
  ExportSource source;
  source.read = [range](uint8_t* buffer, uint64_t capacity, uint64_t offset) {
    MarkedRange part = range;
    part.start = range.start + offset;  // offset < the length within the file: no wrap
    part.length = capacity;
    return ReadRange(buffer, capacity, part);
  };
  source.extents = ExtentsWithin(ExtentsOf(viewedFile), range.start, ExportableLength(range));
  return source;
}

void ReportIfFailed(const std::string& target, const ExportResult& result, uint64_t expected) {
  if (result.status == ExportStatus::Failed || result.status == ExportStatus::ShortSource) {
    ReportExportFailure(target, ExportFailureReason(result, expected));
  }
}

}  // namespace

void ExportSelection(const ExportScreenOptions& options) {
  const std::optional<std::string> target = ChooseExportTarget();
  if (!target) return;
  const uint64_t expected = ExportableLength(selection);
  ReportIfFailed(*target, ExportWithProgress(*target, expected, SelectionSource(), options), expected);
}

void ExportSelectionAs(CodeForm form) {
  const std::optional<std::string> target = ChooseExportTarget();
  if (!target) return;
  const uint64_t expected = ExportableLength(selection);
  ReportIfFailed(*target, ExportCode(*target, expected, SelectionSource(), form), expected);
}

void ExportAsAction(Object*) {
  CloseAllMenus();
  OpenCodeFormBox(ExportSelectionAs);
}

void CopyAsAction(Object*) {
  CloseAllMenus();
  OpenCopyAsBox();
}

void MarkListAction(Object*) {
  CloseAllMenus();
  OpenMarkList();
}
