// Searching the viewed file for a byte pattern: reading what the user typed
// (hexadecimal bytes, or text after a leading double quote), a scan that
// reads the file in large chunks and never holds more than one of them, and
// the running search of the hex view, which advances a slice per frame so
// the screen stays live, shows its progress in the status field "find" and
// stops on Esc.
//
// Frame thread only.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "engine/core/object.h"
#include "viewer/search_scan.h"

namespace kelm::viewer {

// --- patterns -------------------------------------------------------------------

struct SearchPattern {
  std::vector<uint8_t> bytes;  // what is looked for, never empty
  // Empty, or per byte 0x20 where an ASCII letter matches in either case
  // (see SearchNeedle).
  std::vector<uint8_t> fold;
  bool text = false;           // typed as text (searched as its encoded bytes)
  std::u16string display;      // for messages: "DE AD BE EF" or "\"text\""

  SearchNeedle Needle() const { return SearchNeedle(bytes, fold); }
  bool operator==(const SearchPattern& other) const { return bytes == other.bytes && fold == other.fold; }
};

struct ParsedPattern {
  enum class Outcome : uint8_t {
    Empty,    // nothing but blanks was typed
    Invalid,  // `error` says why
    Valid,    // `pattern` holds the bytes
  };
  Outcome outcome = Outcome::Empty;
  SearchPattern pattern;
  std::u16string error;
};

// How a text pattern becomes bytes: its encoding, and whether ASCII
// letters match in either case (other characters always as they are).
enum class TextEncoding : uint8_t { Utf8, Utf16Le, Utf16Be };
struct TextSearchOptions {
  TextEncoding encoding = TextEncoding::Utf8;
  bool anyCase = false;
};
// "UTF-8", "UTF-16 LE", "UTF-16 BE".
std::u16string EncodingName(TextEncoding encoding);

// Reads a typed pattern:
//   de ad be ef / DEADBEEF   hexadecimal bytes, either case; blanks (spaces,
//                            tabs) may stand between pairs, never inside one
//   "text  or  "text"        text after a leading double quote, searched as
//                            its bytes in the options' encoding (UTF-8 by
//                            default), case and all unless the options say
//                            any case; one closing quote is dropped, so "a""
//                            looks for a" (with its quote)
// The options apply to text only: hex bytes are always searched as typed.
ParsedPattern ParseSearchPattern(const std::u16string& typed, const TextSearchOptions& options = {});

// --- the hex view's running search ----------------------------------------------------

// How a running search reads and how long it may run per frame. Tests make
// both small to watch a search across frames.
struct SearchSettings {
  uint64_t chunkSize = kSearchChunkSize;
  // Time a search may take per frame; at least one chunk is always scanned.
  // The frames of a running search follow each other without a wait, so
  // the scan runs nearly all the time while a frame still shows the
  // progress at least every 50 ms; input that arrives ends the slice early,
  // so Esc is seen at once.
  std::chrono::microseconds frameBudget{40000};
  // Whether the scans ask the file system where the data lies (off: every
  // byte is read, as where the file system cannot tell).
  bool useExtents = true;
};
extern SearchSettings searchSettings;

// Calls `step` (which yields whether the work is done) until it is done,
// the frame budget is spent or input is waiting; at least once.
void RunSearchSlice(const std::function<bool()>& step);

// How the scans read the viewed file, and where its data lies (the empty
// source when searchSettings.useExtents is off).
ByteReader ViewedFileReader();
DataExtents ViewedFileExtents();

// Key of the status field a search shows its progress and outcome in.
inline constexpr char16_t kFindStatusKey[] = u"find";
// Title of the pop-up for a pattern that is nowhere in the file; its text is
// kNotFoundPrefix followed by the pattern.
inline constexpr char16_t kSearchMessageTitle[] = u"Search";
inline constexpr char16_t kNotFoundPrefix[] = u"Pattern not found: ";

// Starts a search of the viewed file for `pattern` (stopping one that runs)
// and runs its first slice at once; the rest runs a slice per frame. A match
// becomes the active selection and the "SearchResult" mark, scrolled into
// view; no match shows the "Search" pop-up.
void StartSearch(const SearchPattern& pattern, uint64_t from, SearchDirection direction);
// F3: the next match of the last pattern after the selection's first byte
// (or from the first visible byte), wrapping once. Opens the search form
// when nothing was searched yet.
void FindNext();
// Shift+F3: the previous match of the last pattern, before the selection's
// first byte (or before the first visible byte), wrapping once.
void FindPrevious();
// The offset a search from the form starts at: the byte after the
// selection, or the first visible byte when nothing is selected.
uint64_t SearchStartAfterSelection();

bool SearchRunning();

// Adds an invisible object with `callback` to the top layer, where it sees
// Esc before any box or field does: the way background work (a search, a
// count) runs a slice each frame. False when there is no engine yet.
bool AddWorkObject(KelmCEngineV2::ObjectCallback callback);

// Stops a running search where it is (Esc); the selection stays.
void CancelSearch();
// One frame's slice of the running search (the search's own object on the
// top layer calls it every frame); asks for the next frame at once while the
// search goes on.
void AdvanceSearch();

// b, Shift+B: the next (previous) byte whose value differs from the selected
// byte's, past the run of equal bytes it stands in; a run slice per frame
// like a search, with its progress and Esc. It becomes the selection.
void FindDifferentByte(SearchDirection direction);
// d, Shift+D: the start of the next data extent after a hole (after the
// selection's first byte, or the first visible byte), or of the data extent
// before it; it becomes the selection. Where the file system cannot tell,
// the whole file is one extent.
void JumpToData(SearchDirection direction);

// The last pattern searched for, if any.
const std::optional<SearchPattern>& LastSearchPattern();

// Only for tests: no search running, no last pattern, default settings.
void ResetSearchForTests();

}  // namespace kelm::viewer
