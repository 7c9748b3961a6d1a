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
#include "viewer/viewer_state.h"

namespace {

using namespace KelmCEngineV2;
using kelm::port::Port;

// The "Open With" error box: one line, 40 cells inside the frame; a longer
// message shows only its middle, clipped by the box.
constexpr int32_t kErrorBoxWidth = 40;
constexpr int32_t kErrorBoxHeight = 1;

constexpr char16_t kExportFailureTitle[] = u"Err";
constexpr char16_t kExportFailurePrefix[] = u"Failed to export to: \"";

struct NamedCode {
  uint32_t code;
  const char16_t* name;
};

constexpr NamedCode kOpenWithErrorNames[] = {
    {0x80004001, u"E_NOTIMPL"},     {0x80004002, u"E_NOINTERFACE"},  {0x80004003, u"E_POINTER"},
    {0x80004004, u"E_ABORT"},       {0x80004005, u"E_FAIL"},         {0x8000FFFF, u"E_UNEXPECTED"},
    {0x80070005, u"E_ACCESSDENIED"}, {0x80070006, u"E_HANDLE"},      {0x8007000E, u"E_OUTOFMEMORY"},
    {0x80070057, u"E_INVALIDARG"},
};

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

std::u16string OpenWithErrorName(uint32_t code) {
  for (const NamedCode& named : kOpenWithErrorNames) {
    if (named.code == code) return named.name;
  }
  return u"Unknown error: " + Ascii(std::to_string(code));
}

std::u16string OpenWithErrorMessage(uint32_t code) {
  return u"Got error: (" + OpenWithErrorName(code) + u") when opening openwith menu!";
}

void OpenFileAction(Object*) {
  CloseAllMenus();
  OpenAnotherFile();
}

void ShowOpenWith() {
  const uint32_t result = Port().OpenWithDialog(filePath);
  if (result == kelm::port::kOpenWithOk || result == kelm::port::kOpenWithCancelled) return;
  if (mainEngine == nullptr || menusLayer == nullptr) return;
  auto* box = new MenuObject(mainEngine->GetScreenCentre(), kErrorBoxWidth, kErrorBoxHeight);
  box->AddChild(new Object(Vector2(0.0f, 0.0f), OpenWithErrorMessage(result)));
  menusLayer->AddObject(box);
}

void OpenWithAction(Object*) {
  CloseAllMenus();
  ShowOpenWith();
}

void ReloadAction(Object*) {
  CloseAllMenus();
  const std::string path = filePath;
  LoadFile(path);
}

void ExportAction(Object*) { ExportSelection(); }

void ExportSelection(const ExportScreenOptions& options) {
  if (!selectionActive) {
    CloseAllMenus();
    ShowMessage(u"", kNothingSelected);
    return;
  }
  const std::optional<std::string> target = Port().SaveFileDialog(kelm::port::FolderOf(filePath));
  CloseAllMenus();
  if (!target || target->empty()) return;

  const MarkedRange range = selection;
  const ExportReader read = [range](uint8_t* buffer, uint64_t capacity, uint64_t offset) {
    MarkedRange part = range;
    part.start = range.start + offset;  // offset < the length within the file: no wrap
    part.length = capacity;
    return ReadRange(buffer, capacity, part);
  };
  const uint64_t expected = ExportableLength(range);
  const ExportResult result = ExportWithProgress(*target, expected, read, options);
  if (result.status == ExportStatus::Failed || result.status == ExportStatus::ShortSource) {
    ReportExportFailure(*target, ExportFailureReason(result, expected));
  }
}
