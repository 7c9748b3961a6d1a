// The modal loop every terminal dialog runs: take the screen's size, draw the
// dialog on a fresh canvas, show it, wait for the next event, until the
// dialog says it is done. A resize or a lost screen (a Redraw event) is just
// another round.
#pragma once

#include <functional>

#include "engine/port/terminal/dialogs/dialog_canvas.h"
#include "engine/port/terminal/dialogs/dialog_terminal.h"

namespace kelm::port {

// What a dialog is drawn over: a blank screen, or the picture the terminal
// shows (a box over the program's screen).
enum class DialogBackdrop { Blank, Picture };

// Runs the loop: `draw` paints a round's canvas, `handle` takes its event and
// yields true when the dialog is over.
void RunDialog(DialogTerminal& terminal, DialogBackdrop backdrop,
               const std::function<void(DialogCanvas&)>& draw,
               const std::function<bool(const DialogEvent&)>& handle);

}  // namespace kelm::port
