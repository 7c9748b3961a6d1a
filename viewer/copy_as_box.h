// The small box that picks one of the code forms (viewer/copy_formats.h):
// a line per form, chosen with a click or its letter (h, c, p, b). Copy as
// (Ctrl+E, the File menu) copies the selection in the chosen form; the
// File menu's "Export as" writes it to a file.
#pragma once

#include <functional>
#include <string>

#include "viewer/copy_formats.h"

namespace kelm::viewer {

// Opens the box; `chosen` runs once with the form picked (the box is closed
// first). Esc or a press outside closes it without a choice.
void OpenCodeFormBox(std::function<void(CodeForm)> chosen);

// The box with CopySelectionAsCode as its choice.
void OpenCopyAsBox();

// The box's line for a form: its name and its key, e.g. "C array       c".
std::u16string CodeFormLine(CodeForm form);

}  // namespace kelm::viewer
