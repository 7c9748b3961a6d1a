// Opening the viewed file, reporting a failed open, and reading byte ranges.
//
// The file is never held in memory: one read-only stream stays open and every
// read seeks first, so the stream position carries no meaning between reads.
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "engine/port/path_separator.h"
#include "engine/port/console_port.h"
#include "engine/port/utf.h"
#include "engine/widgets/message.h"
#include "viewer/viewer_state.h"

namespace {

constexpr char16_t kTitlePrefix[] = u"KelmHex Viewer - ";
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

// Why a path of this type cannot be shown as a file, or nothing when it can.
// Opening a FIFO would block until a writer appears and reading a socket or
// a character device may never end, so they are refused before any open.
std::optional<std::u16string> RefusalFor(std::filesystem::file_type type) {
  using std::filesystem::file_type;
  switch (type) {
    case file_type::directory:
      return u"Is a directory";
    case file_type::fifo:
      return u"Is a named pipe (FIFO)";
    case file_type::socket:
      return u"Is a socket";
    case file_type::character:
      return u"Is a character device";
    default:
      return std::nullopt;
  }
}

// Opens filePath into fileStream and takes its size, or reports why not.
void OpenViewedFile() {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(filePath, error);
  if (error || status.type() == std::filesystem::file_type::not_found) {
    ReportOpenFailureBecause(ErrorText(error ? error.value() : ENOENT));
    return;
  }
  if (const auto refusal = RefusalFor(status.type())) {
    ReportOpenFailureBecause(*refusal);
    return;
  }

  // Read-only, binary, positioned at the end so that the position is the
  // size. A block device reports its real size the same way.
  errno = 0;
  fileStream.open(filePath, std::ios::in | std::ios::binary | std::ios::ate);
  if (!fileStream.is_open()) {
    if (errno == 0) errno = EACCES;
    ReportOpenFailure();
    return;
  }
  const std::streamoff end = fileStream.tellg();
  fileSize = end > 0 ? static_cast<uint64_t>(end) : 0;
  fileStream.clear();
}

}  // namespace

void ReportOpenFailure() { ReportOpenFailureBecause(ErrorText(errno)); }

void LoadFile(const std::string& path) {
  if (&path != &filePath) filePath = path;
  if (fileStream.is_open()) fileStream.close();  // a failed close leaves failbit set
  fileStream.clear();
  fileLoaded = false;
  ForgetGridWindow();

  // The title names the file even when it cannot be opened.
  kelm::port::Port().SetTitle(kTitlePrefix + kelm::port::FromUtf8(FileNameOf(filePath)));

  fileSize = 0;
  OpenViewedFile();
  RefreshGrid();
  fileLoaded = true;
}

uint64_t ReadRange(uint8_t* buffer, uint64_t capacity, const MarkedRange& range) {
  if (buffer == nullptr || !fileStream.is_open() || range.start >= fileSize) return 0;
  // Clipped by subtraction: start + length may not fit in 64 bits.
  const uint64_t count = std::min({range.length, fileSize - range.start, capacity});
  if (count == 0) return 0;

  fileStream.clear();
  fileStream.seekg(static_cast<std::streamoff>(range.start));
  if (!fileStream) {
    fileStream.clear();
    return 0;
  }
  fileStream.read(reinterpret_cast<char*>(buffer), static_cast<std::streamsize>(count));
  const std::streamsize got = fileStream.gcount();
  // A file that shrank since it was loaded gives a short read: keep what
  // arrived and leave the stream usable for the next read.
  fileStream.clear();
  return got > 0 ? static_cast<uint64_t>(got) : 0;
}
