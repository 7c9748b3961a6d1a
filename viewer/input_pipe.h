// Viewing input that arrives on a pipe (`cmd | kelmhex`, `kelmhex -`): the
// spool's file is the viewed file, its size grows as bytes come (the grid,
// End and the size follow), and the status field "input" tells whether more
// is coming, that it ended, or why it stopped. Reload and Open With have no
// file to act on and say so.
//
// Frame thread only (the spool's own thread only asks for frames).
#pragma once

#include <string>

#include "engine/port/input_spool.h"

namespace kelm::viewer {

inline constexpr char16_t kInputStatusKey[] = u"input";
// What the title names instead of a file.
inline constexpr char16_t kPipeName[] = u"(standard input)";
inline constexpr char16_t kPipeRefusalTitle[] = u"Not available";

// Shows the bytes of `spool` (created, not started) as the viewed file and
// starts it on `source`; every frame then takes what came (TakePipeInput).
// The spool must stay until StopViewingPipe.
void ViewPipe(kelm::port::InputSpool& spool, int source);
bool ViewingPipe();
// Takes the bytes that came since the last call: the size grows, the grid
// is read again when the new bytes can be on screen, the "input" field
// follows; a frame is asked for when anything changed. Nothing when no
// pipe is viewed. Called once per frame by an object of the hex view.
void TakePipeInput();
// The "input" field's text for a state of the spool.
std::u16string PipeProgressText(const kelm::port::SpoolProgress& progress);
// While a pipe is viewed: shows why `action` ("Reload", "Open With") cannot
// act on it in a pop-up and yields true; otherwise false.
bool RefusedForPipe(const std::u16string& action);
// Stops following the spool (another file is loaded, the viewer ends, a
// test resets): its thread is ended and the "input" field removed.
void StopViewingPipe();

}  // namespace kelm::viewer
