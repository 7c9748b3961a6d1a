// File > Export marks and Import marks: the viewed file's marks written to,
// and read from, a file the user names, in the marks file's own format
// (viewer/marks_file.h), so that marks can be shared. Frame thread only.
#pragma once

#include <string>

#include "engine/core/object.h"

// The save dialog, then the marks (all but the seek mark) written
// atomically; a failure is reported in a pop-up.
void ExportMarksAction(KelmCEngineV2::Object* entry = nullptr);

// The open dialog, then the marks read added to the viewed file's; the
// status row says how many came and how many fall outside the file. A file
// that is not a marks file is reported in a pop-up and changes nothing.
void ImportMarksAction(KelmCEngineV2::Object* entry = nullptr);

// The two without dialogs; each yields the pop-up's text on failure
// (empty when it worked).
std::u16string ExportMarksTo(const std::string& target);
std::u16string ImportMarksFrom(const std::string& source);
