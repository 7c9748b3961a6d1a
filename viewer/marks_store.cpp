#include "viewer/marks_store.h"

#include <cerrno>
#include <cstdio>
#include <set>

#include "engine/port/absolute_path.h"
#include "engine/port/atomic_file_writer.h"
#include "engine/port/read_only_file.h"
#include "engine/port/user_folders.h"
#include "engine/port/utf.h"

namespace kelm::viewer {

namespace {

constexpr char16_t kStatusKey[] = u"marks";
constexpr char kMarksFolderName[] = "/marks";
constexpr char kMarksFileSuffix[] = ".marks";
constexpr char16_t kSeekMarkName[] = u"SearchResult";

std::string testFolder;

// The absolute path of the viewed file whose marks markedRanges holds, and
// its size and time when it was opened (empty: the marks are not kept).
std::string shownPath;
uint64_t shownSize = 0;
int64_t shownModified = 0;
// Whether a marks file of the shown file held marks (removed when none are
// left at the save).
bool storedFileHeldMarks = false;
// Marks files already reported as unusable, and whether a failed save was
// already said.
std::set<std::string> reportedFiles;
bool reportedSaveFailure = false;
// The selection when the status row's message was shown: it goes when the
// selection changes.
MarkedRange messageSelection;
bool messageSelectionActive = false;
// Whether the message of the save before this load stays.
bool keepMessage = false;

uint64_t Fnv1a(const std::string& text) {
  uint64_t hash = 0xCBF29CE484222325ULL;
  for (const char c : text) {
    hash ^= static_cast<unsigned char>(c);
    hash *= 0x100000001B3ULL;
  }
  return hash;
}

std::u16string Ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

std::u16string Count(size_t count) {
  return Ascii(std::to_string(count)) + (count == 1 ? u" mark" : u" marks");
}

}  // namespace

std::string MarksFolder() {
  if (!testFolder.empty()) return testFolder;
  const std::string state = kelm::port::StateFolder();
  return state.empty() ? std::string() : state + kMarksFolderName;
}

void SetMarksFolderForTests(const std::string& folder) { testFolder = folder; }

std::string MarksFilePathFor(const std::string& absolutePath) {
  const std::string folder = MarksFolder();
  if (folder.empty() || absolutePath.empty()) return {};
  char name[17];
  std::snprintf(name, sizeof name, "%016llx", static_cast<unsigned long long>(Fnv1a(absolutePath)));
  return folder + "/" + name + kMarksFileSuffix;
}

std::vector<MarkedRange> MarksToKeep() {
  std::vector<MarkedRange> kept;
  kept.reserve(markedRanges.size());
  for (size_t i = 0; i < markedRanges.size(); ++i) {
    if (seekMark && *seekMark == i) continue;
    if (markedRanges[i].name == kSeekMarkName) continue;
    kept.push_back(markedRanges[i]);
  }
  return kept;
}

void ShowMarksStatus(const std::u16string& text) {
  if (!HasStatusField(kStatusKey)) {
    if (text.empty()) return;
    StatusField field{kStatusKey, std::u16string(), false};
    field.shownWithoutSelection = true;
    statusFields.insert(statusFields.begin(), field);
  }
  SetStatusField(kStatusKey, text);
  messageSelection = selection;
  messageSelectionActive = selectionActive;
}

void ClearMarksStatusAfterSelectionChange() {
  if (!HasStatusField(kStatusKey)) return;
  if (messageSelection.start == selection.start && messageSelection.length == selection.length &&
      messageSelectionActive == selectionActive) {
    return;
  }
  messageSelection = selection;
  messageSelectionActive = selectionActive;
  ShowMarksStatus(u"");
}

std::optional<MarksFile> ReadMarksFile(const std::string& path, std::string& error, bool* missing) {
  kelm::port::ReadOnlyFile file;
  const int code = file.Open(path);
  if (missing != nullptr) *missing = code == ENOENT || code == ENOTDIR;
  if (code != 0) {
    error = code == kelm::port::kNotReadableKind ? "not a regular file" : kelm::port::WriteErrorText(code);
    return std::nullopt;
  }
  // The size is checked before anything is allocated for it.
  if (file.Size() > kMaxMarksFileBytes) {
    error = "larger than " + std::to_string(kMaxMarksFileBytes >> 20) + " MiB";
    return std::nullopt;
  }
  std::string text(static_cast<size_t>(file.Size()), '\0');
  const uint64_t got = file.ReadAt(0, reinterpret_cast<uint8_t*>(text.data()), text.size());
  text.resize(static_cast<size_t>(got));
  return ParseMarksFile(text, error);
}

MarksFile CurrentMarksFile() {
  MarksFile file;
  file.path = shownPath.empty() ? kelm::port::AbsolutePath(filePath) : shownPath;
  file.size = shownPath.empty() ? fileSize : shownSize;
  file.modified = shownModified;
  file.marks = MarksToKeep();
  return file;
}

size_t ImportMarks(const std::vector<MarkedRange>& marks) {
  size_t outside = 0;
  markedRanges.reserve(markedRanges.size() + marks.size());
  for (const MarkedRange& mark : marks) {
    if (mark.start >= fileSize || mark.length > fileSize - mark.start) ++outside;
    markedRanges.push_back(mark);
  }
  return outside;
}

void SaveViewedFileMarks() {
  if (shownPath.empty()) return;
  const std::string target = MarksFilePathFor(shownPath);
  if (target.empty()) return;
  const MarksFile file = CurrentMarksFile();
  if (file.marks.empty()) {
    // The last mark was removed: the stored ones go too.
    if (storedFileHeldMarks) kelm::port::RemoveFile(target);
    storedFileHeldMarks = false;
    return;
  }
  int error = kelm::port::MakeFolders(MarksFolder());
  if (error == 0) error = kelm::port::WriteFileAtomically(target, FormatMarksFile(file));
  if (error != 0) {
    if (!reportedSaveFailure) {
      ShowMarksStatus(u"not saved: " + kelm::port::FromUtf8(kelm::port::WriteErrorText(error)));
    }
    reportedSaveFailure = true;
    return;
  }
  storedFileHeldMarks = true;
}

void BeforeFileLoad(const std::string& path) {
  keepMessage = false;
  if (shownPath.empty()) return;
  // A reload saves too (the marks stay shown), so a crash after it loses
  // nothing made before it.
  if (kelm::port::AbsolutePath(path) == shownPath) {
    SaveViewedFileMarks();
    return;
  }
  const bool failedBefore = reportedSaveFailure;
  SaveViewedFileMarks();
  // A failure said just now stays on the row of the next file.
  keepMessage = reportedSaveFailure && !failedBefore;
}

void AfterFileLoad() {
  // Marks are kept only for what opened as a regular file.
  const bool kept = viewedFile.IsOpen() && viewedFile.Kind() == kelm::port::FileKind::Regular;
  const std::string path = kept ? kelm::port::AbsolutePath(filePath) : std::string();
  const bool sameFile = !path.empty() && path == shownPath;
  if (sameFile) {
    // A reload keeps the marks it shows, and saves them with the new size.
    shownSize = viewedFile.Size();
    shownModified = viewedFile.ModifiedTime();
    return;
  }
  // Another file: its own marks replace the shown ones.
  markedRanges.clear();
  seekMark.reset();
  shownPath = path;
  shownSize = viewedFile.Size();
  shownModified = viewedFile.ModifiedTime();
  storedFileHeldMarks = false;
  if (!keepMessage) ShowMarksStatus(u"");
  keepMessage = false;
  const std::string stored = MarksFilePathFor(path);
  if (stored.empty()) return;
  std::string error;
  bool missing = false;
  std::optional<MarksFile> file = ReadMarksFile(stored, error, &missing);
  if (!file) {
    // No marks file is the usual case; anything else is said once.
    if (!missing && reportedFiles.insert(stored).second) {
      ShowMarksStatus(u"stored marks ignored (" + kelm::port::FromUtf8(error) + u")");
    }
    return;
  }
  if (file->path != path) {
    if (reportedFiles.insert(stored).second) ShowMarksStatus(u"stored marks ignored (they name another file)");
    return;
  }
  markedRanges = std::move(file->marks);
  storedFileHeldMarks = !markedRanges.empty();
  if (file->size != shownSize || file->modified != shownModified) {
    ShowMarksStatus(Count(markedRanges.size()) + u" restored; the file changed since they were saved");
  }
}

void ForgetMarksStore() {
  shownPath.clear();
  shownSize = 0;
  shownModified = 0;
  storedFileHeldMarks = false;
  reportedFiles.clear();
  reportedSaveFailure = false;
}

}  // namespace kelm::viewer
