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

// --- patterns -------------------------------------------------------------------

struct SearchPattern {
  std::vector<uint8_t> bytes;  // what is looked for, never empty
  bool text = false;           // typed as text (searched as its UTF-8 bytes)
  std::u16string display;      // for messages: "DE AD BE EF" or "\"text\""
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

// Reads a typed pattern:
//   de ad be ef / DEADBEEF   hexadecimal bytes, either case; blanks (spaces,
//                            tabs) may stand between pairs, never inside one
//   "text  or  "text"        text after a leading double quote, searched as
//                            its UTF-8 bytes, case and all; one closing quote
//                            is dropped, so "a"" looks for a" (with its quote)
ParsedPattern ParseSearchPattern(const std::u16string& typed);

// --- the chunked scan -------------------------------------------------------------

enum class SearchDirection : uint8_t { Forward, Backward };

// Positions of the two pattern bytes a scan tests first: the two least
// common in typical files (zeros, 0xFF, blanks and lower-case letters are
// common; bytes above 0x7F are rare). Different positions when the pattern
// has two bytes or more.
struct SearchKeys {
  size_t first = 0;
  size_t second = 0;
};
SearchKeys KeyPositions(const std::vector<uint8_t>& pattern);

// Reads up to `count` bytes at `offset` into `buffer`; yields how many it
// read (fewer at the end of the file, 0 past it or on an error).
using ByteReader = std::function<uint64_t(uint64_t offset, uint8_t* buffer, uint64_t count)>;

inline constexpr uint64_t kSearchChunkSize = uint64_t{1} << 20;

// One search over a file of `size` bytes, run a chunk per Step().
//
// Forward from `from`, the first match starting at or after `from` is found;
// failing that the scan wraps once to the start and takes the first match
// starting before `from`. Backward, the last match starting before `from` is
// found; failing that the scan wraps once to the end and takes the last
// match starting at or after `from`. So every possible start is looked at
// exactly once. Matches may overlap (a match is looked for at every byte).
//
// Each chunk is read with pattern length - 1 bytes more, so a match that
// straddles two chunks is found; the one buffer the scan holds is
// chunkSize + pattern length - 1 bytes, whatever the file's size.
class ChunkedSearch {
 public:
  ChunkedSearch(std::vector<uint8_t> pattern, uint64_t size, uint64_t from, SearchDirection direction,
                ByteReader reader, uint64_t chunkSize = kSearchChunkSize);

  // Scans the next chunk; yields whether the search has ended (found, or
  // every start looked at).
  bool Step();
  // Steps until the search ends; yields the match.
  std::optional<uint64_t> RunToEnd();

  bool Finished() const { return finished_; }
  const std::optional<uint64_t>& Match() const { return match_; }
  // The scan went past the end (forward) or the start (backward) of the
  // file and went on from the other end.
  bool Wrapped() const { return wrapped_; }
  // Where the scan goes on: the next start looked at forward, one past it
  // backward.
  uint64_t Position() const { return cursor_; }
  // Starts looked at so far, of Total().
  uint64_t Scanned() const { return scanned_; }
  uint64_t Total() const { return total_; }
  // Scanned() as a whole percentage of Total() (100 for an empty search).
  int Percent() const;
  // Bytes of the scan's read buffer.
  size_t BufferSize() const { return buffer_.size(); }
  // The two pattern bytes the scan looks for before it compares the rest.
  const SearchKeys& Keys() const { return keys_; }

 private:
  // Starts [low, high) of one pass over the file.
  struct Pass {
    uint64_t low = 0;
    uint64_t high = 0;
  };
  // Moves to the next non-empty pass; false when none is left.
  bool NextPass();
  void Finish(std::optional<uint64_t> match);

  std::vector<uint8_t> pattern_;
  SearchKeys keys_;
  ByteReader reader_;
  uint64_t chunkSize_ = kSearchChunkSize;
  SearchDirection direction_ = SearchDirection::Forward;
  Pass passes_[2];
  int pass_ = -1;
  uint64_t cursor_ = 0;
  uint64_t scanned_ = 0;
  uint64_t total_ = 0;
  bool finished_ = false;
  bool wrapped_ = false;
  std::optional<uint64_t> match_;
  std::vector<uint8_t> buffer_;
};

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
};
extern SearchSettings searchSettings;

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
// Stops a running search where it is (Esc); the selection stays.
void CancelSearch();
// One frame's slice of the running search (the search's own object on the
// top layer calls it every frame); asks for the next frame at once while the
// search goes on.
void AdvanceSearch();

// The last pattern searched for, if any.
const std::optional<SearchPattern>& LastSearchPattern();

// Only for tests: no search running, no last pattern, default settings.
void ResetSearchForTests();
