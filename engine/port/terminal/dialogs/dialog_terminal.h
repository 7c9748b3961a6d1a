// What the terminal's modal dialogs (file chooser, command prompt, message
// box) ask of the terminal: its size and picture, a way to show a screen of
// cells, the next event and the clipboard.
//
// The dialogs are drawn by the backend itself on the whole screen and block
// the calling thread until answered. They are written against this small
// interface so they can be driven by scripted input in tests.
#pragma once

#include <string>
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

}  // namespace kelm::port
