#include "viewer/search.h"

#include <algorithm>
#include <cstring>
#include <limits>
#include <memory>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

#include "engine/core/engine.h"
#include "engine/core/input.h"
#include "engine/core/layer.h"
#include "engine/port/console_port.h"
#include "engine/port/console_types.h"
#include "engine/port/hex_digits.h"
#include "engine/port/utf.h"
#include "engine/widgets/message.h"
#include "viewer/values_refresh.h"
#include "viewer/mark_list.h"
#include "viewer/offset_forms.h"
#include "viewer/grid_geometry.h"
#include "viewer/offset_math.h"
#include "viewer/search_form.h"
#include "viewer/viewer_state.h"

// --- patterns -------------------------------------------------------------------

namespace {

int HexValue(char16_t unit) { return kelm::port::HexDigitValue(unit); }

// Blanks between hex pairs. A tab pasted into a field arrives as U+0000.
bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\0'; }

ParsedPattern Invalid(std::u16string why) {
  ParsedPattern parsed;
  parsed.outcome = ParsedPattern::Outcome::Invalid;
  parsed.error = std::move(why);
  return parsed;
}

ParsedPattern Valid(SearchPattern pattern) {
  ParsedPattern parsed;
  parsed.outcome = ParsedPattern::Outcome::Valid;
  parsed.pattern = std::move(pattern);
  return parsed;
}

ParsedPattern ParseText(std::u16string text) {
  // An optional closing quote; a text that ends in a quote needs one more.
  if (!text.empty() && text.back() == u'"') text.pop_back();
  if (text.empty()) return Invalid(u"No text after the quote");
  // A text field turns pasted tabs and line breaks into U+0000; searching
  // for zero bytes instead would find something else than was pasted.
  if (text.find(u'\0') != std::u16string::npos) {
    return Invalid(u"Tabs and line breaks can only be searched as hex bytes");
  }
  SearchPattern pattern;
  const std::string utf8 = kelm::port::ToUtf8(text);
  pattern.bytes.assign(utf8.begin(), utf8.end());
  pattern.text = true;
  pattern.display = u"\"" + text + u"\"";
  return Valid(std::move(pattern));
}

ParsedPattern ParseHex(const std::u16string& typed) {
  SearchPattern pattern;
  size_t i = 0;
  while (i < typed.size()) {
    if (IsBlank(typed[i])) {
      ++i;
      continue;
    }
    const int high = HexValue(typed[i]);
    if (high < 0) {
      return Invalid(u"Not a hex digit: '" + std::u16string(1, typed[i]) + u"' (for text, type \" first)");
    }
    if (i + 1 >= typed.size() || IsBlank(typed[i + 1])) {
      return Invalid(u"Each byte needs two hex digits");
    }
    const int low = HexValue(typed[i + 1]);
    if (low < 0) {
      return Invalid(u"Not a hex digit: '" + std::u16string(1, typed[i + 1]) + u"' (for text, type \" first)");
    }
    pattern.bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    if (!pattern.display.empty()) pattern.display += u' ';
    pattern.display += static_cast<char16_t>(kelm::port::HexDigit(static_cast<unsigned>(high)));
    pattern.display += static_cast<char16_t>(kelm::port::HexDigit(static_cast<unsigned>(low)));
    i += 2;
  }
  return Valid(std::move(pattern));
}

}  // namespace

ParsedPattern ParseSearchPattern(const std::u16string& typed) {
  const size_t first = typed.find_first_not_of(u" \t");
  if (first == std::u16string::npos) return ParsedPattern{};
  if (typed[first] == u'"') return ParseText(typed.substr(first + 1));
  if (typed.find_first_not_of(std::u16string(u" \t\0", 3)) == std::u16string::npos) return ParsedPattern{};
  return ParseHex(typed);
}

// --- the chunked scan -------------------------------------------------------------

namespace {

// How common a byte is in typical files; higher is more common.
int Commonness(uint8_t byte) {
  if (byte == 0x00) return 100;
  if (byte == 0xFF) return 90;
  if (byte == ' ') return 85;
  if (std::strchr("etaoinsrhl", byte) != nullptr && byte != 0) return 80;
  if (byte >= 'a' && byte <= 'z') return 70;
  if (byte == '\n' || byte == '\r' || byte == 0x01) return 65;
  if (byte >= '0' && byte <= '9') return 60;
  if (byte >= 'A' && byte <= 'Z') return 55;
  if (byte < 0x20) return 50;
  if (byte < 0x7F) return 45;
  return 30;
}

// A single-byte pattern: memchr / memrchr.
std::optional<size_t> FindByte(const uint8_t* data, size_t count, uint8_t wanted, bool last) {
  const void* hit = last ? memrchr(data, wanted, count) : std::memchr(data, wanted, count);
  if (hit == nullptr) return std::nullopt;
  return static_cast<size_t>(static_cast<const uint8_t*>(hit) - data);
}

// Whether the pattern starts at data + start.
bool MatchesAt(const uint8_t* data, size_t start, const std::vector<uint8_t>& pattern) {
  return std::memcmp(data + start, pattern.data(), pattern.size()) == 0;
}

#if defined(__SSE2__)
// Bit i set: start c + i has the two key bytes in place (16 starts at once).
unsigned KeyMask(const uint8_t* data, size_t c, const SearchKeys& keys, __m128i first, __m128i second) {
  const __m128i x = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + c + keys.first));
  const __m128i y = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + c + keys.second));
  return static_cast<unsigned>(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(x, first), _mm_cmpeq_epi8(y, second))));
}
#endif

bool KeysAt(const uint8_t* data, size_t c, const std::vector<uint8_t>& pattern, const SearchKeys& keys) {
  return data[c + keys.first] == pattern[keys.first] && data[c + keys.second] == pattern[keys.second];
}

// First start c in [0, count) with data[c, c + m) equal to the pattern;
// `data` holds count + m - 1 bytes. Two key bytes of the pattern are tested
// for 16 starts at once; only where both stand is the whole pattern
// compared, so common bytes in the file cost little.
std::optional<size_t> FindFirstIn(const uint8_t* data, size_t count, const std::vector<uint8_t>& pattern,
                                  const SearchKeys& keys) {
  if (pattern.size() == 1) return FindByte(data, count, pattern[0], false);
  size_t c = 0;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(static_cast<char>(pattern[keys.first]));
  const __m128i second = _mm_set1_epi8(static_cast<char>(pattern[keys.second]));
  for (; c + 16 <= count; c += 16) {
    for (unsigned mask = KeyMask(data, c, keys, first, second); mask != 0; mask &= mask - 1) {
      const size_t start = c + static_cast<size_t>(__builtin_ctz(mask));
      if (MatchesAt(data, start, pattern)) return start;
    }
  }
#endif
  for (; c < count; ++c) {
    if (KeysAt(data, c, pattern, keys) && MatchesAt(data, c, pattern)) return c;
  }
  return std::nullopt;
}

// The last such start, the blocks taken from the end.
std::optional<size_t> FindLastIn(const uint8_t* data, size_t count, const std::vector<uint8_t>& pattern,
                                 const SearchKeys& keys) {
  if (pattern.size() == 1) return FindByte(data, count, pattern[0], true);
  size_t c = count;
#if defined(__SSE2__)
  const __m128i first = _mm_set1_epi8(static_cast<char>(pattern[keys.first]));
  const __m128i second = _mm_set1_epi8(static_cast<char>(pattern[keys.second]));
  while (c >= 16) {
    c -= 16;
    for (unsigned mask = KeyMask(data, c, keys, first, second); mask != 0;) {
      const unsigned bit = 31u - static_cast<unsigned>(__builtin_clz(mask));
      if (MatchesAt(data, c + bit, pattern)) return c + bit;
      mask &= ~(1u << bit);
    }
  }
#endif
  while (c > 0) {
    --c;
    if (KeysAt(data, c, pattern, keys) && MatchesAt(data, c, pattern)) return c;
  }
  return std::nullopt;
}

// Starts that can be checked in a read of `got` bytes holding `wanted`
// starts of an m-byte pattern (a short read checks fewer).
uint64_t CheckableStarts(uint64_t wanted, uint64_t got, uint64_t m) {
  if (got < m) return 0;
  return std::min(wanted, got - m + 1);
}

}  // namespace

SearchKeys KeyPositions(const std::vector<uint8_t>& pattern) {
  SearchKeys keys;
  if (pattern.size() < 2) return keys;
  for (size_t i = 1; i < pattern.size(); ++i) {
    if (Commonness(pattern[i]) < Commonness(pattern[keys.first])) keys.first = i;
  }
  // The second: the rarest of the others; among equals the one farthest from
  // the first, as neighbouring bytes tend to go together.
  auto distance = [&](size_t i) { return i > keys.first ? i - keys.first : keys.first - i; };
  keys.second = keys.first == 0 ? 1 : 0;
  for (size_t i = 0; i < pattern.size(); ++i) {
    if (i == keys.first) continue;
    const int here = Commonness(pattern[i]);
    const int best = Commonness(pattern[keys.second]);
    if (here < best || (here == best && distance(i) > distance(keys.second))) keys.second = i;
  }
  return keys;
}

ChunkedSearch::ChunkedSearch(std::vector<uint8_t> pattern, uint64_t size, uint64_t from,
                             SearchDirection direction, ByteReader reader, uint64_t chunkSize)
    : pattern_(std::move(pattern)), reader_(std::move(reader)), direction_(direction) {
  // The buffer must stay addressable; an empty pattern matches nothing.
  constexpr uint64_t kLargestChunk = uint64_t{1} << 30;
  chunkSize_ = std::clamp<uint64_t>(chunkSize, 1, kLargestChunk);
  const uint64_t m = pattern_.size();
  if (m == 0 || size < m || !reader_) {
    Finish(std::nullopt);
    return;
  }
  keys_ = KeyPositions(pattern_);
  total_ = size - m + 1;  // starts 0 .. size - m
  const uint64_t split = std::min(from, total_);
  if (direction_ == SearchDirection::Forward) {
    passes_[0] = Pass{split, total_};
    passes_[1] = Pass{0, split};
  } else {
    passes_[0] = Pass{0, split};
    passes_[1] = Pass{split, total_};
  }
  buffer_.resize(static_cast<size_t>(std::min(chunkSize_, total_) + m - 1));
  if (!NextPass()) Finish(std::nullopt);
}

bool ChunkedSearch::NextPass() {
  while (++pass_ < 2) {
    const Pass& pass = passes_[pass_];
    if (pass.low >= pass.high) continue;
    cursor_ = direction_ == SearchDirection::Forward ? pass.low : pass.high;
    if (pass_ == 1) wrapped_ = true;
    return true;
  }
  return false;
}

void ChunkedSearch::Finish(std::optional<uint64_t> match) {
  finished_ = true;
  match_ = match;
  buffer_.clear();
  buffer_.shrink_to_fit();
}

bool ChunkedSearch::Step() {
  if (finished_) return true;
  const Pass& pass = passes_[pass_];
  const uint64_t m = pattern_.size();
  if (direction_ == SearchDirection::Forward) {
    const uint64_t count = std::min(chunkSize_, pass.high - cursor_);
    const uint64_t got = reader_(cursor_, buffer_.data(), count + m - 1);
    const uint64_t checkable = CheckableStarts(count, got, m);
    if (checkable > 0) {
      if (const auto at = FindFirstIn(buffer_.data(), static_cast<size_t>(checkable), pattern_, keys_)) {
        scanned_ += *at + 1;
        Finish(cursor_ + *at);
        return true;
      }
    }
    cursor_ += count;
    scanned_ += count;
    if (cursor_ < pass.high) return false;
  } else {
    const uint64_t count = std::min(chunkSize_, cursor_ - pass.low);
    const uint64_t base = cursor_ - count;
    const uint64_t got = reader_(base, buffer_.data(), count + m - 1);
    const uint64_t checkable = CheckableStarts(count, got, m);
    if (checkable > 0) {
      if (const auto at = FindLastIn(buffer_.data(), static_cast<size_t>(checkable), pattern_, keys_)) {
        scanned_ += count - *at;
        Finish(base + *at);
        return true;
      }
    }
    cursor_ = base;
    scanned_ += count;
    if (cursor_ > pass.low) return false;
  }
  if (!NextPass()) Finish(std::nullopt);
  return finished_;
}

std::optional<uint64_t> ChunkedSearch::RunToEnd() {
  while (!Step()) {
  }
  return match_;
}

int ChunkedSearch::Percent() const {
  if (total_ == 0) return 100;
  // Long double keeps the product of a 64-bit count and 100 exact enough.
  const long double share = static_cast<long double>(scanned_) * 100.0L / static_cast<long double>(total_);
  return static_cast<int>(std::min<long double>(share, 100.0L));
}

// --- the hex view's running search ----------------------------------------------------

SearchSettings searchSettings;

namespace {

using KelmCEngineV2::Object;

struct RunningSearch {
  RunningSearch(const SearchPattern& searched, uint64_t from, SearchDirection way, uint64_t id)
      : pattern(searched),
        scan(searched.bytes, fileSize, from, way,
             [](uint64_t offset, uint8_t* buffer, uint64_t count) {
               MarkedRange range;
               range.start = offset;
               range.length = count;
               return ReadRange(buffer, count, range);
             },
             searchSettings.chunkSize),
        direction(way),
        path(filePath),
        size(fileSize),
        serial(id) {}

  SearchPattern pattern;
  ChunkedSearch scan;
  SearchDirection direction;
  // The file searched: a search stops when another file (or the same one
  // with another size) is loaded meanwhile.
  std::string path;
  uint64_t size;
  uint64_t serial;
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
void ShowMatch(uint64_t start, uint64_t length) {
  if (seekMark) RemoveSeekMark();
  MarkedRange mark;
  mark.foreground = '7';
  mark.background = '8';
  mark.name = kSeekMarkName;
  mark.start = start;
  mark.length = length;
  markedRanges.push_back(std::move(mark));
  seekMark = markedRanges.size() - 1;

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

void FinishSearch() {
  std::unique_ptr<RunningSearch> done = std::move(running);
  const ChunkedSearch& scan = done->scan;
  if (scan.Match()) {
    SetFindStatus(scan.Wrapped() ? WrapNote(done->direction) : std::u16string());
    ShowMatch(*scan.Match(), done->pattern.bytes.size());
  } else {
    SetFindStatus(std::u16string());
    KelmCEngineV2::ShowMessage(kSearchMessageTitle, kNotFoundPrefix + done->pattern.display);
  }
}

std::u16string ProgressText(const ChunkedSearch& scan) {
  const std::string percent = std::to_string(scan.Percent());
  return std::u16string(percent.begin(), percent.end()) + u"% at " + HexOffsetText(scan.Position()) +
         u" (Esc stops)";
}

// The search's own object: invisible, on the top layer, so that it sees Esc
// before any box or field (and before the key handler closes menus with it).
// It goes away as soon as its search is over or replaced.
void AddSearchObject(uint64_t serial) {
  using namespace KelmCEngineV2;
  if (mainEngine == nullptr) return;
  Layer* top = mainEngine->FindLayer("Tips");
  if (top == nullptr) top = mainEngine->objectsLayer;
  if (top == nullptr) return;
  auto* object = new Object(Vector2(0.0f, 0.0f), std::u16string());
  object->SetCallback([serial](Object* self) {
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
  top->AddObject(object);
}

}  // namespace

void StartSearch(const SearchPattern& pattern, uint64_t from, SearchDirection direction) {
  running.reset();
  lastPattern = pattern;
  running = std::make_unique<RunningSearch>(pattern, from, direction, ++lastSerial);
  AddSearchObject(running->serial);
  AdvanceSearch();
}

void AdvanceSearch() {
  if (!running) return;
  if (filePath != running->path || fileSize != running->size) {
    running.reset();
    SetFindStatus(u"stopped: the file was loaded again");
    return;
  }
  ChunkedSearch& scan = running->scan;
  // Looking for input costs a system call: once a millisecond is enough.
  constexpr auto kInputCheckEvery = std::chrono::milliseconds(1);
  const auto start = std::chrono::steady_clock::now();
  auto nextInputCheck = start + kInputCheckEvery;
  while (!scan.Step()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= start + searchSettings.frameBudget) break;
    if (now < nextInputCheck) continue;
    if (kelm::port::Port().InputWaiting()) break;
    nextInputCheck = now + kInputCheckEvery;
  }
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
  const uint64_t at = running->scan.Position();
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
  StartSearch(SearchPattern(*lastPattern), from, SearchDirection::Forward);
}

void FindPrevious() {
  if (!lastPattern) {
    OpenSearchForm();
    return;
  }
  const uint64_t from = selectionActive ? selection.start : FirstVisibleByte();
  StartSearch(SearchPattern(*lastPattern), from, SearchDirection::Backward);
}

const std::optional<SearchPattern>& LastSearchPattern() { return lastPattern; }

void ResetSearchForTests() {
  running.reset();
  lastPattern.reset();
  searchSettings = SearchSettings{};
}
