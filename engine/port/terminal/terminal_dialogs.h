// The modal dialogs of the terminal backend, drawn by the backend itself on
// the whole screen: the path prompt that stands in for the open and save
// dialogs, a one-line command prompt ("open with"), and a framed message box.
//
// They block the calling thread until answered, reading keys from the
// terminal through a DialogTerminal. They are written against that small
// interface so they can be driven by scripted input in tests.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/port/console_types.h"

namespace kelm::port {

// One thing that happened while a dialog waits.
struct DialogEvent {
  enum class Kind {
    Key,     // a key-down record (modifier keys on their own are not reported)
    Click,   // the left mouse button went down at `position`
    Redraw,  // the screen size changed or the screen was lost: draw again
    End,     // the program must end (quit signal, terminal gone): give up
    Wheel,   // the wheel turned by `wheel` notches (> 0 away from the user);
             // only for dialogs that ask for it (the file chooser)
  };
  Kind kind = Kind::End;
  KEY_EVENT_RECORD key{};
  COORD position{};
  int wheel = 0;
};

class DialogTerminal {
 public:
  virtual ~DialogTerminal() = default;
  // The size a dialog may draw on (the terminal's last column excluded).
  virtual void ScreenSize(int& columns, int& rows) = 0;
  // The picture currently shown (columns x rows), for boxes drawn over it;
  // blank cells when nothing is known.
  virtual std::vector<CHAR_INFO> Background(int columns, int rows) = 0;
  // Shows a whole screen of cells.
  virtual void Show(const std::vector<CHAR_INFO>& cells, int columns, int rows) = 0;
  // Waits for the next event.
  virtual DialogEvent Next() = 0;
  // The in-process clipboard (what a bracketed paste delivered).
  virtual std::u16string ClipboardText() = 0;
};

// A grid of cells to draw a dialog on.
class DialogCanvas {
 public:
  DialogCanvas(int columns, int rows, uint16_t attributes = 0x07);
  DialogCanvas(std::vector<CHAR_INFO> cells, int columns, int rows);
  int Columns() const { return columns_; }
  int Rows() const { return rows_; }
  const std::vector<CHAR_INFO>& Cells() const { return cells_; }
  CHAR_INFO At(int x, int y) const;
  void Put(int x, int y, char16_t ch, uint16_t attributes);
  // Writes text from (x, y), cut at `maxWidth` cells (or the screen edge).
  void Text(int x, int y, std::u16string_view text, uint16_t attributes, int maxWidth = -1);
  void Fill(int x, int y, int width, int height, uint16_t attributes);
  // A single-line frame with `caption` in its top edge.
  void Frame(int x, int y, int width, int height, uint16_t attributes, std::u16string_view caption = {});
  // Row `y` as text (tests and diagnostics).
  std::u16string Row(int y) const;

 private:
  int columns_;
  int rows_;
  std::vector<CHAR_INFO> cells_;
};

enum class PathPromptKind { Open, Save };

// Titles of the path prompts.
inline constexpr std::u16string_view kOpenFileTitle = u"Open file";
inline constexpr std::u16string_view kSaveFileTitle = u"Save file as";
inline constexpr std::u16string_view kOpenWithTitle = u"Open with";
inline constexpr std::u16string_view kOpenWithLabel = u"Open with:";
inline constexpr std::u16string_view kOkButton = u"[ OK ]";

// The path prompt: an editable path line that starts with `startDir` and a
// slash (the working directory when empty). Enter accepts, Esc cancels,
// Backspace deletes a character, Ctrl+Backspace or Ctrl+W a path component,
// Ctrl+U clears, Tab completes the longest common prefix of the matching
// directory entries and lists them, Ctrl+V inserts the clipboard text. A
// leading "~/" stands for the home directory. Enter on a directory descends
// into it. Opening needs an existing file; saving needs an existing
// directory and asks before replacing an existing file.
std::optional<std::string> PathPrompt(DialogTerminal& terminal, PathPromptKind kind,
                                      const std::string& startDir);

// A one-line prompt: `title` on the top line, `label` and an editable line
// holding `initial`; Enter yields the line, Esc nothing.
std::optional<std::string> LinePrompt(DialogTerminal& terminal, std::u16string_view title,
                                      std::u16string_view label, std::u16string_view detail,
                                      const std::string& initial);

// A centred framed box with the caption in its frame, the text (wrapped) and
// "[ OK ]", over the current picture; Enter, Esc or a click dismisses it.
void MessageBoxScreen(DialogTerminal& terminal, std::u16string_view text, std::u16string_view caption);

// --- pieces of the path prompt (tested on their own) ------------------------

struct PathCompletion {
  std::string path;                     // the completed path
  std::vector<std::string> candidates;  // the matching names (directories end with '/')
};

// Completes the last component of `path` against the entries of its
// directory: the longest common prefix of the names that start with it, and a
// slash after a single matching directory. Hidden entries match only a
// component that starts with a dot.
PathCompletion CompletePath(const std::string& path);

// `path` with a leading "~" or "~/" replaced by $HOME.
std::string ExpandHome(const std::string& path);

// Removes the last UTF-8 character (or stray byte) of `text`.
void PopUtf8Character(std::string& text);
// Removes the last path component of `text` (and the slash after it).
void PopPathComponent(std::string& text);

}  // namespace kelm::port
