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
// doubled), and chosen exactly as they are on disk. The model (FileChooser,
// file_chooser.cpp) takes keys, clicks and wheel turns and draws into a
// DialogCanvas (file_chooser_view.cpp), so it is tested without a terminal;
// RunFileChooser (file_chooser_loop.h) is the modal loop around it.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/port/console_types.h"
#include "engine/port/terminal/dialogs/dialog_canvas.h"
#include "engine/port/terminal/dialogs/directory_listing.h"
#include "engine/port/terminal/dialogs/line_editor.h"

namespace kelm::port {

enum class PathPromptKind { Open, Save };

// Titles of the chooser.
inline constexpr std::u16string_view kOpenFileTitle = u"Open file";
inline constexpr std::u16string_view kSaveFileTitle = u"Save file as";

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
  // Draws the whole screen on `canvas` (file_chooser_view.cpp).
  void Render(DialogCanvas& canvas);

  State GetState() const { return state_; }
  // The chosen path (valid once the state is Chosen).
  const std::string& ChosenPath() const { return chosen_; }

  // --- what the screen shows (for tests) ---------------------------------------
  const std::string& Folder() const { return folder_; }
  const std::string& Name() const { return name_.Text(); }
  const std::u16string& Message() const { return message_; }
  bool Confirming() const { return !confirmPath_.empty(); }
  // The entries the listing shows, in order.
  std::vector<const ChooserEntry*> Shown() const;
  // The highlighted entry, null when the listing is empty.
  const ChooserEntry* Highlighted() const;
  int HighlightIndex() const { return highlight_; }
  int FirstShownRow() const { return scrollTop_; }

  // Screen rows of the layout for a canvas of `rows` rows: the title bar,
  // the folder, the column headings, then the listing; below it the status
  // row, the name line and the help line (counted from the bottom).
  static constexpr int kFolderRow = 1;
  static constexpr int kHeadingRow = 2;
  static constexpr int kListTop = 3;
  static constexpr int kStatusRowFromBottom = 3;
  static constexpr int kNameRowFromBottom = 2;
  static constexpr int kHelpRowFromBottom = 1;
  static int ListRows(int rows) {
    const int listRows = rows - kListTop - kStatusRowFromBottom;
    return listRows > 0 ? listRows : 0;
  }

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
  LineEditor name_;              // the name line, raw bytes
  int highlight_ = 0;            // index into shown_
  bool highlightMoved_ = false;  // the user moved it since the last typing
  int scrollTop_ = 0;
  int listRows_ = 10;       // rows of the listing at the last Render
  int screenRows_ = 16;     // rows of the last Render
  static constexpr int kNoClick = -1;
  int clickedIndex_ = kNoClick;  // entry of the last click, for the second click
  std::u16string message_;  // a warning shown on the status row
  std::string confirmPath_;  // file waiting for "replace?" (Save)
  std::string confirmName_;
  std::u16string confirmNotes_;  // what the question adds: a link followed, other hard links
  State state_ = State::Running;
  std::string chosen_;
};

}  // namespace kelm::port
