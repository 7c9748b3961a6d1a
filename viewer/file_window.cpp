// Opening the viewed file, reporting a failed open, and reading byte ranges.
//
// The file is never held in memory: one read-only file stays open and every
// read names its offset.
#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/port/path_separator.h"
#include "engine/port/console_port.h"
#include "engine/port/utf.h"
#include "engine/widgets/message.h"
#include "viewer/input_pipe.h"
#include "viewer/scroll_bar.h"
#include "viewer/marks_store.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

namespace {

constexpr char16_t kFailurePrefix[] = u"Failed to open: \"";
constexpr char16_t kFailureTitle[] = u"Err";

// The part of the path after its last folder separator, or the whole path.
std::string FileNameOf(const std::string& path) {
  const size_t slash = kelm::port::LastPathSeparator(path);
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

// A name of at most kShownNameUnits units as it is; a longer one as its
// start, "..." and its end, so that the reason below it stays on screen
// (names may be thousands of characters long). A surrogate pair is never
// cut.
constexpr size_t kShownNameUnits = 48;
std::u16string ShownName(std::u16string name) {
  if (name.size() <= kShownNameUnits) return name;
  const auto isLow = [](char16_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; };
  size_t head = kShownNameUnits / 2 - 2;
  if (isLow(name[head])) --head;
  size_t tail = name.size() - (kShownNameUnits / 2 - 2);
  if (isLow(name[tail])) --tail;
  return name.substr(0, head) + u"..." + name.substr(tail);
}

void ReportOpenFailureBecause(const std::u16string& reason) {
  KelmCEngineV2::ShowMessage(kFailureTitle, kFailurePrefix + ShownName(kelm::port::FromUtf8(FileNameOf(filePath))) +
                                                u"\"\n" + reason);
  fileSize = 0;
}

std::u16string ErrorText(int code) { return kelm::port::FromUtf8(std::strerror(code)); }

// Why a file of this kind cannot be shown. Reading a FIFO, a socket or a
// character device may wait forever or never end.
std::u16string RefusalFor(kelm::port::FileKind kind) {
  using kelm::port::FileKind;
  switch (kind) {
    case FileKind::Directory: return u"Is a directory";
    case FileKind::Fifo: return u"Is a named pipe (FIFO)";
    case FileKind::Socket: return u"Is a socket";
    case FileKind::CharacterDevice: return u"Is a character device";
    default: return u"Is not a regular file";
  }
}

// Opens filePath as viewedFile and takes its size, or reports why not. The
// path is opened before its type is looked at (on the open file), so a
// path swapped for a FIFO meanwhile cannot block the frame thread; a block
// device is shown with its real size.
void OpenViewedFile() {
  const int error = viewedFile.Open(filePath);
  if (error == kelm::port::kNotReadableKind) {
    ReportOpenFailureBecause(RefusalFor(viewedFile.Kind()));
    return;
  }
  if (error != 0) {
    ReportOpenFailureBecause(ErrorText(error));
    return;
  }
  fileSize = viewedFile.Size();
}

}  // namespace

void ReportOpenFailure() { ReportOpenFailureBecause(ErrorText(errno)); }

void LoadFile(const std::string& path) {
  StopViewingPipe();
  // The marks of the file shown so far are saved before another replaces it.
  BeforeFileLoad(path);
  if (&path != &filePath) filePath = path;
  viewedFile.Close();
  fileLoaded = false;
  ForgetGridWindow();

  // The title names the file even when it cannot be opened.
  kelm::port::Port().SetTitle(kTitlePrefix + kelm::port::FromUtf8(FileNameOf(filePath)));

  fileSize = 0;
  OpenViewedFile();
  RestartFileMap();
  AfterFileLoad();
  RefreshGrid();
  fileLoaded = true;
}

uint64_t ReadRange(uint8_t* buffer, uint64_t capacity, const MarkedRange& range) {
  if (buffer == nullptr || !viewedFile.IsOpen() || range.start >= fileSize) return 0;
  // Clipped by subtraction: start + length may not fit in 64 bits.
  const uint64_t count = std::min({range.length, fileSize - range.start, capacity});
  if (count == 0) return 0;
  // A file that shrank since it was loaded gives a short read.
  return viewedFile.ReadAt(range.start, buffer, count);
}

void OpenAnotherFile() {
  const std::optional<std::string> chosen = kelm::port::Port().OpenFileDialog(kelm::port::FolderOf(filePath));
  if (!chosen || chosen->empty()) return;
  LoadFile(*chosen);
  topRow = 0;
  RefreshGrid();
}

}  // namespace kelm::viewer
