#include "engine/port/terminal/dialogs/line_prompt.h"

#include "engine/port/terminal/dialogs/dialog_palette.h"
#include "engine/port/terminal/dialogs/line_editor.h"
#include "engine/port/terminal/dialogs/run_dialog.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

constexpr std::u16string_view kLineHelp = u"Enter: accept   Esc: cancel   Ctrl+U: clear";

}  // namespace

std::optional<std::string> LinePrompt(DialogTerminal& terminal, std::u16string_view title,
                                      std::u16string_view label, std::u16string_view detail,
                                      const std::string& initial) {
  using namespace dialog_colours;
  LineEditor editor(initial);
  std::optional<std::string> answer;
  RunDialog(
      terminal, DialogBackdrop::Blank,
      [&](DialogCanvas& canvas) {
        DrawTitleBar(canvas, title);
        canvas.Text(1, 2, detail, kPlain);
        canvas.Text(1, 4, label, kPlain);
        DrawEditField(canvas, 1, 5, canvas.Columns() - 2, FromUtf8(editor.Text()));
        canvas.Text(1, 7, kLineHelp, kHelp);
      },
      [&](const DialogEvent& event) {
        if (event.kind == DialogEvent::Kind::End) return true;
        if (event.kind != DialogEvent::Kind::Key) return false;
        if (event.key.wVirtualKeyCode == VK_ESCAPE) return true;
        if (event.key.wVirtualKeyCode == VK_RETURN) {
          answer = editor.Text();
          return true;
        }
        editor.Handle(event.key, terminal);
        return false;
      });
  return answer;
}

}  // namespace kelm::port
