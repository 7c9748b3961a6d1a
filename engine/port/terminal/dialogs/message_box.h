// The terminal's message box: a centred framed box over the current picture.
#pragma once

#include <string>
#include <string_view>

#include "engine/port/terminal/dialogs/dialog_terminal.h"

namespace kelm::port {

inline constexpr std::u16string_view kOkButton = u"[ OK ]";

// The box has the caption in its frame, the text (wrapped) and "[ OK ]";
// Enter, Esc, Space or a click dismisses it, as does the end of the program.
void MessageBoxScreen(DialogTerminal& terminal, std::u16string_view text, std::u16string_view caption);

}  // namespace kelm::port
