// ParseMarksFile on any bytes: it never crashes, never holds more marks or
// longer names than its caps, and what it accepts comes back the same after
// formatting and reading again.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "viewer/marks_file.h"

using namespace kelm::viewer;

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  std::string error;
  const std::optional<MarksFile> file = ParseMarksFile(text, error);
  if (!file) {
    Check(!error.empty());
    return 0;
  }
  Check(file->marks.size() <= kMaxStoredMarks);
  for (const MarkedRange& mark : file->marks) Check(mark.name.size() <= kMaxStoredNameUnits);
  const std::string again = FormatMarksFile(*file);
  std::string secondError;
  const std::optional<MarksFile> reread = ParseMarksFile(again, secondError);
  Check(reread.has_value());
  Check(reread->path == file->path && reread->size == file->size && reread->modified == file->modified);
  Check(reread->marks.size() == file->marks.size());
  for (size_t i = 0; i < file->marks.size(); ++i) {
    const MarkedRange& a = file->marks[i];
    const MarkedRange& b = reread->marks[i];
    Check(a.foreground == b.foreground && a.background == b.background && a.start == b.start &&
          a.length == b.length && a.name == b.name);
  }
  Check(FormatMarksFile(*reread) == again);
  return 0;
}
