// The picture of a screen too small for the grid: one line saying the size
// it needs, on a blank cover over everything else, so nothing stale shows.
// The view underneath is left as it was and comes back when the screen grows.
#pragma once

#include <cstdint>
#include <string>

namespace kelm::viewer {

// Adds the cover's layer on top of the engine's layers (once, at start-up,
// after every other layer).
void InitTooSmallCover();
// Shows the cover for a screen of width x height cells (as the engine draws
// them).
void ShowTooSmallCover(int32_t width, int32_t height);
void HideTooSmallCover();
bool TooSmallCoverShown();
// Forgets the cover (its layer owns and deletes it).
void ForgetTooSmallCover();

// The line for a screen `width` cells wide: "Terminal too small: needs at
// least W x H" (the terminal's own size, one column more than the engine
// draws), or a shorter form of it when that does not fit.
std::u16string TooSmallText(int32_t width);

}  // namespace kelm::viewer
