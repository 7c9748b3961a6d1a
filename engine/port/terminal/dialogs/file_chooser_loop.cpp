#include "engine/port/terminal/dialogs/file_chooser_loop.h"

#include "engine/port/terminal/dialogs/run_dialog.h"

namespace kelm::port {

ChooserResult RunFileChooser(DialogTerminal& terminal, PathPromptKind kind, const std::string& startDir) {
  FileChooser::Services services;
  services.clipboard = [&terminal] { return terminal.ClipboardText(); };
  FileChooser chooser(kind, startDir, std::move(services));
  ChooserResult result;
  RunDialog(
      terminal, DialogBackdrop::Blank, [&](DialogCanvas& canvas) { chooser.Render(canvas); },
      [&](const DialogEvent& event) {
        switch (event.kind) {
          case DialogEvent::Kind::End:
            result = ChooserResult{ChooserOutcome::Ended, {}};
            return true;
          case DialogEvent::Kind::Key: chooser.HandleKey(event.key); break;
          case DialogEvent::Kind::Click: chooser.HandleClick(event.position.X, event.position.Y); break;
          case DialogEvent::Kind::Wheel: chooser.HandleWheel(event.wheel); break;
          case DialogEvent::Kind::Redraw: break;
        }
        switch (chooser.GetState()) {
          case FileChooser::State::Running: return false;
          case FileChooser::State::Chosen: result = ChooserResult{ChooserOutcome::Chosen, chooser.ChosenPath()}; break;
          case FileChooser::State::Cancelled: result = ChooserResult{ChooserOutcome::Cancelled, {}}; break;
          case FileChooser::State::Quit: result = ChooserResult{ChooserOutcome::Quit, {}}; break;
        }
        return true;
      });
  return result;
}

}  // namespace kelm::port
