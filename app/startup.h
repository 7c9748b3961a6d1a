// Starting the viewer: choosing the file, creating the engine and building
// the screen.
#pragma once

#include <string>

#include "engine/core/engine.h"
#include "engine/port/input_spool.h"

// Builds the viewer on an engine that already exists, in this order: the
// "Tips" layer with the tooltip object, the grid layout as the resize
// handler, the key-handler object, the menu bar (InitMenuBar) and grid (InitGrid), the
// status fields "len", "dec" and "bin", and the first load of `path`.
// Frames may already run on another thread: the engine lock is held
// throughout.
void BuildViewer(KelmCEngineV2::Engine& engine, const std::string& path);

// BuildViewer for bytes that come on a pipe: `spool` (created, not started)
// is shown as it fills from `source`, an object takes what came in every
// frame. The spool must stay until StopViewingPipe.
void BuildViewerOnPipe(KelmCEngineV2::Engine& engine, kelm::port::InputSpool& spool, int source);

// The program on standard input (`cmd | kelmhex`, `kelmhex -`): spools it,
// starts the engine and waits as RunViewer does. A spool file that cannot be
// made is reported on standard error before the terminal is touched
// (kExitFailure).
int RunViewerOnStandardInput();

// The program: the file is the first argument (further ones are ignored),
// or else the one chosen in the open dialog, shown again until a file is
// chosen or the port asks to quit. Starts the engine's frame thread, builds
// the viewer and waits until the frame loop ends; yields the exit status.
// The console port must already be set. The working directory is left as
// it is, so relative paths keep working.
int RunViewer(int argc, char** argv);
