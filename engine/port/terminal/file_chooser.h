// The full-screen file chooser of the terminal's open and save dialogs.
//
//   Open file                                        <- title
//   Folder: /home/ann/data/                          <- the folder listed
//   Name                                       Size
//   ../
//   logs/                                     <DIR>  <- directories first,
//   a.bin                                     1,024     then files, sorted
//   ...                                               <- scrolls
//   3 of 120                              <- message, question or position
//   Name: a.b_                                       <- the name line
//   Enter: open  Tab: complete  ...                  <- keys
//
// Typing filters the listing by the start of the names (hidden entries show
// once the name starts with '.'); a '/' typed after a folder's name goes into
// it, so a whole path can be typed or pasted ("/", "~/" and ".." work). Tab
// completes the longest common start of the matching names. Up, Down, Page
// Up/Down, Home and End move through the listing; Enter opens the highlighted
// folder or chooses the file; Backspace on an empty name line, or Left, goes
// to the parent folder; Right enters the highlighted folder. A click
// highlights an entry and a second click on it acts like Enter; the wheel
// scrolls. Esc cancels, F10 asks the program to quit. Saving asks before
// replacing an existing file.
//
// Names are raw bytes (Linux names need not be UTF-8): they are shown with
// invalid bytes and control characters as \xHH escapes (and a backslash
// doubled), and chosen exactly as they are on disk. The model (FileChooser)
// draws into a DialogCanvas and takes keys, clicks and wheel turns, so it is
// tested without a terminal; RunFileChooser is the modal loop around it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/terminal/terminal_dialogs.h"

namespace kelm::port {

struct ChooserEntry {
  enum class Type : uint8_t {
    Parent,  // the ".." entry
    Directory,
    File,
    Fifo,
    Socket,
    CharacterDevice,
    BlockDevice,
    Unknown,  // a broken symbolic link, or a type that could not be found out
  };
  std::string name;  // raw bytes as on disk
  Type type = Type::File;
  // Sizes of files are looked up when the entry is first shown (a folder of
  // 100,000 entries costs one look-up per row on screen, not 100,000).
  bool sizeChecked = false;
  std::optional<uint64_t> size;
};

struct DirectoryListing {
  std::vector<ChooserEntry> entries;  // without "." and ".."
  int error = 0;                      // errno when the folder could not be read
};

// The entries of a folder, typed (symbolic links by what they point to), in
// the order the system gives them; sizes are left unknown.
DirectoryListing ReadDirectory(const std::string& folder);
// The size of a file, or nothing when it cannot be found out.
std::optional<uint64_t> ReadEntrySize(const std::string& path);

// A name as it is shown: UTF-8 decoded; bytes that are not valid UTF-8 and
// control characters as \xHH, C1 controls, bidirectional and other
// invisible characters (IsControlOrInvisible) as \u{HHHH}, and a backslash
// doubled so that no name can look like another's escape.
std::u16string DisplayName(std::string_view raw);
// An absolute path with "." and ".." components and repeated slashes taken
// out, without a trailing slash ("/" for the root). A relative path is taken
// from `base`.
std::string NormalizePath(const std::string& path, const std::string& base);
// The folder above `folder` ("/" stays "/").
std::string ParentFolder(const std::string& folder);
// `folder` + '/' + `name`, without doubling the root's slash.
std::string JoinPath(const std::string& folder, const std::string& name);
// Decimal digits in groups of three: 1234567 -> "1,234,567".
std::u16string GroupedSize(uint64_t size);
// Listing order: "..", then folders, then everything else; within each, by
// name ignoring ASCII case, then by the exact bytes.
bool ChooserEntryLess(const ChooserEntry& a, const ChooserEntry& b);

class FileChooser {
 public:
  enum class State { Running, Chosen, Cancelled, Quit };

  // What the chooser asks of the system; tests replace it.
  struct Services {
    std::function<DirectoryListing(const std::string& folder)> readDirectory = ReadDirectory;
    std::function<std::optional<uint64_t>(const std::string& path)> entrySize = ReadEntrySize;
    std::function<bool(const std::string& path)> isDirectory;  // default: stat
    std::function<bool(const std::string& path)> exists;       // default: lstat
    std::function<std::u16string()> clipboard;                 // default: empty
  };

  // Lists `startDir` (the working directory when empty; the nearest folder
  // that exists above it when it does not).
  FileChooser(PathPromptKind kind, const std::string& startDir, Services services);
  FileChooser(PathPromptKind kind, const std::string& startDir);

  void HandleKey(const KEY_EVENT_RECORD& key);
  // A left press at a screen cell (of the last Render's layout).
  void HandleClick(int column, int row);
  // Wheel notches: > 0 away from the user (towards the top of the listing).
  void HandleWheel(int notches);
  // Draws the whole screen on `canvas`.
  void Render(DialogCanvas& canvas);

  State GetState() const { return state_; }
  // The chosen path (valid once the state is Chosen).
  const std::string& ChosenPath() const { return chosen_; }

  // --- what the screen shows (for tests) ---------------------------------------
  const std::string& Folder() const { return folder_; }
  const std::string& Name() const { return text_; }
  const std::u16string& Message() const { return message_; }
  bool Confirming() const { return !confirmPath_.empty(); }
  // The entries the listing shows, in order.
  std::vector<const ChooserEntry*> Shown() const;
  // The highlighted entry, null when the listing is empty.
  const ChooserEntry* Highlighted() const;
  int HighlightIndex() const { return highlight_; }
  int FirstShownRow() const { return scrollTop_; }

  // Screen rows of the layout for a canvas of `rows` rows.
  static constexpr int kListTop = 3;
  static int ListRows(int rows) { return rows - 6 > 0 ? rows - 6 : 0; }

 private:
  void Load(const std::string& folder, const std::string& highlightName);
  void Refilter(const std::string& preferName = {});
  void InsertText(std::u16string_view units);
  void ResolveTypedFolders();
  // The folder a typed path component names ("" is the root).
  std::string FolderNamed(const std::string& head) const;
  void Activate();
  void ActOn(const ChooserEntry& entry);
  void Choose(const std::string& path);
  void AskToReplace(const std::string& path, const std::string& name);
  void Complete();
  void GoUp();
  void Enter(const std::string& name);
  void MoveHighlight(int delta);
  void HandleConfirmKey(const KEY_EVENT_RECORD& key);
  bool IsDirectoryPath(const std::string& path) const;
  bool PathExists(const std::string& path) const;
  void EnsureVisible();
  const ChooserEntry* FindExact(const std::string& name) const;

  PathPromptKind kind_;
  Services services_;
  std::string folder_;  // absolute, normalised
  std::vector<ChooserEntry> entries_;  // sorted, ".." first unless at the root
  int listError_ = 0;
  std::vector<uint32_t> shown_;  // indexes into entries_ that pass the filter
  std::string text_;             // the name line, raw bytes
  char16_t highSurrogate_ = 0;   // first half of a typed character
  int highlight_ = 0;            // index into shown_
  bool highlightMoved_ = false;  // the user moved it since the last typing
  int scrollTop_ = 0;
  int listRows_ = 10;       // rows of the listing at the last Render
  int screenRows_ = 16;     // rows of the last Render
  int clickedIndex_ = -1;   // entry of the last click, for the second click
  std::u16string message_;  // a warning shown on the status row
  std::string confirmPath_;  // file waiting for "replace?" (Save)
  std::string confirmName_;
  std::u16string confirmNotes_;  // what the question adds: a link followed, other hard links
  State state_ = State::Running;
  std::string chosen_;
};

enum class ChooserOutcome {
  Chosen,     // `path` holds the choice
  Cancelled,  // Esc
  Quit,       // the user asked the program to quit (F10)
  Ended,      // the terminal asked the dialog to end (quit signal, hang-up)
};

struct ChooserResult {
  ChooserOutcome outcome = ChooserOutcome::Cancelled;
  std::string path;
};

// Shows the chooser until the user chooses, cancels or quits. Modal: blocks
// the calling thread, reading events from `terminal`.
ChooserResult RunFileChooser(DialogTerminal& terminal, PathPromptKind kind, const std::string& startDir);

}  // namespace kelm::port
