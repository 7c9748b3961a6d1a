#include "engine/port/terminal/dialogs/run_dialog.h"

namespace kelm::port {

void RunDialog(DialogTerminal& terminal, DialogBackdrop backdrop,
               const std::function<void(DialogCanvas&)>& draw,
               const std::function<bool(const DialogEvent&)>& handle) {
  for (;;) {
    int columns = 0;
    int rows = 0;
    terminal.ScreenSize(columns, rows);
    DialogCanvas canvas = backdrop == DialogBackdrop::Picture
                              ? DialogCanvas(terminal.Background(columns, rows), columns, rows)
                              : DialogCanvas(columns, rows);
    draw(canvas);
    terminal.Show(canvas.Cells(), columns, rows);
    if (handle(terminal.Next())) return;
  }
}

}  // namespace kelm::port
