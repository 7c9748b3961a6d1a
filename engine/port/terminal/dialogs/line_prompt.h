// A one-line prompt of the terminal (the "open with" command line): a title
// bar, a line of detail, a label and an editable line.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "engine/port/terminal/dialogs/dialog_terminal.h"

namespace kelm::port {

inline constexpr std::u16string_view kOpenWithTitle = u"Open with";
inline constexpr std::u16string_view kOpenWithLabel = u"Open with:";

// `title` on the top line, `detail` below it, `label` and an editable line
// holding `initial` (LineEditor's keys); Enter yields the line, Esc or the
// end of the program nothing.
std::optional<std::string> LinePrompt(DialogTerminal& terminal, std::u16string_view title,
                                      std::u16string_view label, std::u16string_view detail,
                                      const std::string& initial);

}  // namespace kelm::port
