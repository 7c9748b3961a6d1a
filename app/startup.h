// Starting the viewer: choosing the file, creating the engine and building
// the screen.
#pragma once

#include <string>

#include "engine/core/engine.h"

// Builds the viewer on an engine that already exists, in this order: the
// "Tips" layer with the tooltip object, the grid layout as the resize
// handler, the key-handler object, the menu bar (InitMenuBar) and grid (InitGrid), the
// status fields "len", "dec" and "bin", and the first load of `path`.
// Frames may already run on another thread: the engine lock is held
// throughout.
void BuildViewer(KelmCEngineV2::Engine& engine, const std::string& path);

// The program: the file is the first argument (further ones are ignored),
// or else the one chosen in the open dialog, shown again until a file is
// chosen or the port asks to quit. Starts the engine's frame thread, builds
// the viewer and waits until the frame loop ends; yields the exit status.
// The console port must already be set. The working directory is left as
// it is, so relative paths keep working.
int RunViewer(int argc, char** argv);
