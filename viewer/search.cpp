// The hex view's running search: a slice of the chunked scan per frame,
// its progress in the status row, the match as selection and mark, Esc.
#include "viewer/search.h"

#include <algorithm>
#include <limits>
#include <memory>

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/console_types.h"
#include "engine/widgets/message.h"
#include "viewer/values_refresh.h"
#include "viewer/mark_list.h"
#include "viewer/offset_forms.h"
#include "viewer/grid_geometry.h"
#include "viewer/offset_math.h"
#include "viewer/different_byte.h"
#include "viewer/search_count.h"
#include "viewer/search_form.h"
#include "viewer/viewer_state.h"

namespace kelm::viewer {

// --- the hex view's running search ----------------------------------------------------

SearchSettings searchSettings;

ByteReader ViewedFileReader() {
  return [](uint64_t offset, uint8_t* buffer, uint64_t count) {
    MarkedRange range;
    range.start = offset;
    range.length = count;
    return ReadRange(buffer, count, range);
  };
}

DataExtents ViewedFileExtents() { return searchSettings.useExtents ? ExtentsOf(viewedFile) : DataExtents{}; }

namespace {

using KelmCEngineV2::Object;

// A search for a pattern, or the walk to a byte that differs from the
// selected one (`pattern` then empty).
struct RunningSearch {
  RunningSearch(std::unique_ptr<FileScan> scanner, SearchDirection way, uint64_t id)
      : scan(std::move(scanner)), direction(way), path(filePath), size(fileSize), serial(id) {}

  std::unique_ptr<FileScan> scan;
  std::optional<SearchPattern> pattern;
  SearchDirection direction;
  // The file searched: a search stops when another file (or the same one
  // with another size) is loaded meanwhile.
  std::string path;
  uint64_t size;
  uint64_t serial;
  // Started by F3 or Shift+F3 from the match shown last.
  bool fromShownMatch = false;
  std::u16string shownProgress;
};

std::unique_ptr<RunningSearch> running;
std::optional<SearchPattern> lastPattern;
uint64_t lastSerial = 0;

// The "find" field stands first in the status row, so that the progress is
// seen even when the inspector's fields fill the row.
void SetFindStatus(const std::u16string& text) {
  if (!HasStatusField(kFindStatusKey)) {
    statusFields.insert(statusFields.begin(), StatusField{kFindStatusKey, std::u16string(), false});
  }
  SetStatusField(kFindStatusKey, text);
}

uint64_t FirstVisibleByte() {
  const uint64_t perRow = RowLength();
  const auto row = static_cast<uint64_t>(ClampTopRow(topRow));
  return row > kMaxOffset / perRow ? kMaxOffset : row * perRow;
}

int64_t RowsShown() {
  int64_t rows = charColumn != nullptr ? charColumn->GetHeight() : 0;
  if (rows <= 0 && KelmCEngineV2::mainEngine != nullptr) rows = KelmCEngineV2::mainEngine->GetScreenHeight() - 4;
  return rows > 0 ? rows : 1;
}

// The match becomes the selection and the seek mark; the view scrolls only
// when the match's row is not on screen.
void ShowMatch(uint64_t start, uint64_t length, bool withMark = true) {
  if (withMark) {
    if (seekMark) RemoveSeekMark();
    MarkedRange mark;
    mark.foreground = '7';
    mark.background = '8';
    mark.name = kSeekMarkName;
    mark.start = start;
    mark.length = length;
    markedRanges.push_back(std::move(mark));
    seekMark = markedRanges.size() - 1;
  }

  selection.start = start;
  selection.length = length;
  selectionAnchor = start;
  selectionActive = true;

  const uint64_t perRow = RowLength();
  const uint64_t row = start / perRow;
  const auto first = static_cast<uint64_t>(ClampTopRow(topRow));
  const auto shown = static_cast<uint64_t>(RowsShown());
  if (row < first || row - first >= shown) {
    const auto largest = static_cast<uint64_t>(std::numeric_limits<int64_t>::max());
    topRow = ClampTopRow(static_cast<int64_t>(std::min(row, largest)));
    RefreshGrid();
  } else {
    RecolourGrid();
  }
  ShowSelectionOffset();
  RefreshInspector();
}

// Text of the "find" field for a wrap: which end the scan went on from.
std::u16string WrapNote(SearchDirection direction) {
  return direction == SearchDirection::Forward ? u"wrapped to the start" : u"wrapped to the end";
}

// How the match was reached from the one shown before: a wrap lands on the
// first or the last match of the file wherever the search started.
MatchStep StepOf(const RunningSearch& search) {
  const bool forward = search.direction == SearchDirection::Forward;
  if (search.scan->Wrapped()) return forward ? MatchStep::NextWrapped : MatchStep::PreviousWrapped;
  if (!search.fromShownMatch) return MatchStep::Other;
  return forward ? MatchStep::Next : MatchStep::Previous;
}

// The byte found becomes the selection, one byte long.
void FinishDifferentByte(const RunningSearch& done) {
  if (done.scan->Match()) {
    SetFindStatus(std::u16string());
    ShowMatch(*done.scan->Match(), 1, /*withMark=*/false);
  } else {
    SetFindStatus(done.direction == SearchDirection::Forward ? u"no other byte value up to the end"
                                                             : u"no other byte value back to the start");
  }
}

void FinishSearch() {
  std::unique_ptr<RunningSearch> done = std::move(running);
  if (!done->pattern) {
    FinishDifferentByte(*done);
    return;
  }
  const FileScan& scan = *done->scan;
  const SearchPattern& pattern = *done->pattern;
  if (scan.Match()) {
    SetFindStatus(scan.Wrapped() ? WrapNote(done->direction) : std::u16string());
    ShowMatch(*scan.Match(), pattern.bytes.size());
    NoteMatchShown(pattern, *scan.Match(), StepOf(*done));
  } else {
    SetFindStatus(std::u16string());
    KeepMatchCountOnlyFor(SearchPattern{});
    KelmCEngineV2::ShowMessage(kSearchMessageTitle, kNotFoundPrefix + pattern.display);
  }
}

std::u16string ProgressText(const FileScan& scan) {
  const std::string percent = std::to_string(scan.Percent());
  return std::u16string(percent.begin(), percent.end()) + u"% at " + HexOffsetText(scan.Position()) +
         u" (Esc stops)";
}

}  // namespace

bool AddWorkObject(KelmCEngineV2::ObjectCallback callback) {
  using namespace KelmCEngineV2;
  if (mainEngine == nullptr) return false;
  Layer* top = mainEngine->FindLayer("Tips");
  if (top == nullptr) top = mainEngine->objectsLayer;
  if (top == nullptr) return false;
  auto* object = new Object(Vector2(0.0f, 0.0f), std::u16string());
  object->SetCallback(std::move(callback));
  top->AddObject(object);
  return true;
}

namespace {

// The search's own object: invisible, on the top layer, so that it sees Esc
// before any box or field (and before the key handler closes menus with it).
// It goes away as soon as its search is over or replaced.
void AddSearchObject(uint64_t serial) {
  using namespace KelmCEngineV2;
  AddWorkObject([serial](Object* self) {
    if (!running || running->serial != serial) {
      self->Destroy();
      return;
    }
    if (KeyPressed(static_cast<uint8_t>(kelm::port::VK_ESCAPE), false, 0)) {
      CancelSearch();
    } else {
      AdvanceSearch();
    }
    if (!running || running->serial != serial) self->Destroy();
  });
}

void StartSearchFrom(const SearchPattern& pattern, uint64_t from, SearchDirection direction, bool fromShownMatch) {
  running.reset();
  const bool newPattern = !lastPattern || !(*lastPattern == pattern);
  lastPattern = pattern;
  KeepMatchCountOnlyFor(pattern);
  // The view shows the new pattern's matches at once.
  if (newPattern) RecolourGrid();
  running = std::make_unique<RunningSearch>(
      std::make_unique<ChunkedSearch>(pattern.Needle(), fileSize, from, direction, ViewedFileReader(),
                                      searchSettings.chunkSize, ViewedFileExtents()),
      direction, ++lastSerial);
  running->pattern = pattern;
  running->fromShownMatch = fromShownMatch;
  AddSearchObject(running->serial);
  AdvanceSearch();
}

// Whether F3 or Shift+F3 steps from the match shown last.
bool FromShownMatch() { return selectionActive && CountedMatchStart() == selection.start; }

}  // namespace

void StartSearch(const SearchPattern& pattern, uint64_t from, SearchDirection direction) {
  StartSearchFrom(pattern, from, direction, false);
}

void RunSearchSlice(const std::function<bool()>& step) {
  // Looking for input costs a system call: once a millisecond is enough.
  constexpr auto kInputCheckEvery = std::chrono::milliseconds(1);
  const auto start = std::chrono::steady_clock::now();
  auto nextInputCheck = start + kInputCheckEvery;
  while (!step()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= start + searchSettings.frameBudget) break;
    if (now < nextInputCheck) continue;
    if (kelm::port::Port().InputWaiting()) break;
    nextInputCheck = now + kInputCheckEvery;
  }
}

void AdvanceSearch() {
  if (!running) return;
  if (filePath != running->path || fileSize != running->size) {
    running.reset();
    SetFindStatus(u"stopped: the file was loaded again");
    return;
  }
  FileScan& scan = *running->scan;
  RunSearchSlice([&scan] { return scan.Step(); });
  if (scan.Finished()) {
    FinishSearch();
    return;
  }
  if (KelmCEngineV2::mainEngine != nullptr) KelmCEngineV2::mainEngine->RequestFrame(0);
  const std::u16string progress = ProgressText(scan);
  if (progress != running->shownProgress) {
    running->shownProgress = progress;
    SetFindStatus(progress);
  }
}

bool SearchRunning() { return running != nullptr; }

void CancelSearch() {
  if (!running) return;
  const uint64_t at = running->scan->Position();
  running.reset();
  SetFindStatus(u"stopped at " + HexOffsetText(at));
}

uint64_t SearchStartAfterSelection() {
  if (!selectionActive) return FirstVisibleByte();
  return SaturatingAdd(selection.start, selection.length);
}

void FindNext() {
  if (!lastPattern) {
    OpenSearchForm();
    return;
  }
  const uint64_t from = selectionActive ? SaturatingAdd(selection.start, 1) : FirstVisibleByte();
  StartSearchFrom(SearchPattern(*lastPattern), from, SearchDirection::Forward, FromShownMatch());
}

void FindPrevious() {
  if (!lastPattern) {
    OpenSearchForm();
    return;
  }
  const uint64_t from = selectionActive ? selection.start : FirstVisibleByte();
  StartSearchFrom(SearchPattern(*lastPattern), from, SearchDirection::Backward, FromShownMatch());
}

void FindDifferentByte(SearchDirection direction) {
  if (!selectionActive || fileSize == 0) {
    SetFindStatus(u"select a byte first");
    return;
  }
  const uint64_t at = std::min(selection.start, fileSize - 1);
  uint8_t value = 0;
  MarkedRange range;
  range.start = at;
  range.length = 1;
  if (ReadRange(&value, 1, range) != 1) return;
  running.reset();
  running = std::make_unique<RunningSearch>(
      std::make_unique<DifferentByteScan>(value, fileSize, at, direction, ViewedFileReader(), searchSettings.chunkSize,
                                          ViewedFileExtents()),
      direction, ++lastSerial);
  AddSearchObject(running->serial);
  AdvanceSearch();
}

void JumpToData(SearchDirection direction) {
  const uint64_t at = selectionActive ? selection.start : FirstVisibleByte();
  const DataExtents extents = ViewedFileExtents();
  const std::optional<uint64_t> data = direction == SearchDirection::Forward
                                           ? NextDataStart(extents, fileSize, at)
                                           : PreviousDataStart(extents, fileSize, at);
  if (!data) {
    SetFindStatus(direction == SearchDirection::Forward ? u"no data after a hole from here"
                                                        : u"no data before this point");
    return;
  }
  SetFindStatus(std::u16string());
  ShowMatch(*data, 1, /*withMark=*/false);
}

const std::optional<SearchPattern>& LastSearchPattern() { return lastPattern; }

void ResetSearchForTests() {
  running.reset();
  ResetMatchCountForTests();
  lastPattern.reset();
  searchSettings = SearchSettings{};
}

}  // namespace kelm::viewer
