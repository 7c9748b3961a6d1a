#include "engine/port/terminal/dialogs/message_box.h"

#include <algorithm>
#include <vector>

#include "engine/port/terminal/dialogs/dialog_palette.h"
#include "engine/port/terminal/dialogs/run_dialog.h"

namespace kelm::port {

namespace {

// Lines of `text` wrapped at `width` cells (at blanks where possible).
std::vector<std::u16string> WrapText(std::u16string_view text, size_t width) {
  std::vector<std::u16string> lines;
  if (width == 0) width = 1;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view paragraph = text.substr(start, end - start);
    if (paragraph.empty()) lines.emplace_back();
    while (!paragraph.empty()) {
      if (paragraph.size() <= width) {
        lines.emplace_back(paragraph);
        break;
      }
      size_t cut = paragraph.rfind(u' ', width);
      if (cut == std::u16string_view::npos || cut == 0) cut = width;
      lines.emplace_back(paragraph.substr(0, cut));
      paragraph = paragraph.substr(cut);
      while (!paragraph.empty() && paragraph.front() == u' ') paragraph.remove_prefix(1);
    }
    start = end + 1;
  }
  return lines;
}

}  // namespace

void MessageBoxScreen(DialogTerminal& terminal, std::u16string_view text, std::u16string_view caption) {
  using namespace dialog_colours;
  RunDialog(
      terminal, DialogBackdrop::Picture,
      [&](DialogCanvas& canvas) {
        const int columns = canvas.Columns();
        const int rows = canvas.Rows();
        const size_t maxInner = static_cast<size_t>(std::max(8, columns - 6));
        const std::vector<std::u16string> lines = WrapText(text, maxInner);
        size_t inner = std::max(kOkButton.size(), caption.size() + 2);
        for (const std::u16string& line : lines) inner = std::max(inner, line.size());
        inner = std::min(inner, maxInner);
        const int boxWidth = static_cast<int>(inner) + 4;
        const int shownLines = std::min(static_cast<int>(lines.size()), std::max(0, rows - 4));
        const int boxHeight = shownLines + 4;
        const int x = std::max(0, (columns - boxWidth) / 2);
        const int y = std::max(0, (rows - boxHeight) / 2);
        canvas.Fill(x, y, boxWidth, boxHeight, kBox);
        canvas.Frame(x, y, boxWidth, boxHeight, kBox, caption);
        for (int i = 0; i < shownLines; ++i) {
          canvas.Text(x + 2, y + 1 + i, lines[static_cast<size_t>(i)], kBox, static_cast<int>(inner));
        }
        const int okX = x + (boxWidth - static_cast<int>(kOkButton.size())) / 2;
        canvas.Text(okX, y + boxHeight - 2, kOkButton, kButton);
      },
      [](const DialogEvent& event) {
        switch (event.kind) {
          case DialogEvent::Kind::End:
          case DialogEvent::Kind::Click:
            return true;
          case DialogEvent::Kind::Key:
            return event.key.wVirtualKeyCode == VK_RETURN || event.key.wVirtualKeyCode == VK_ESCAPE ||
                   event.key.wVirtualKeyCode == VK_SPACE;
          case DialogEvent::Kind::Redraw:
          case DialogEvent::Kind::Wheel:
            break;
        }
        return false;
      });
}

}  // namespace kelm::port
