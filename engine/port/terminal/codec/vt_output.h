// The terminal output encoder: previous frame + new frame in, bytes out. Pure
// (no tty), so output volume is tested and measured directly.
//
// Writes only the cells that changed, with cheap cursor moves and colour
// changes only where the colour changes; nothing at all when nothing changed.
// The first frame, a size change or Invalidate() draws the whole screen.
// Console colour indexes (1 blue, 4 red) are mapped to the terminal's ANSI
// colours (1 red, 4 blue). Characters that would act as controls (C0, C1,
// DEL, lone surrogates, bidi and other format controls) and characters that
// are not one cell wide are replaced, so a file's bytes can never reach the
// terminal as a sequence and never shift a row.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/port/console_types.h"

namespace kelm::port {

class VtOutputEncoder {
 public:
  // Appends to `out` the bytes that turn what the terminal shows into `cells`
  // (width x height, row by row, at the top-left of the screen), ending with
  // the cursor at the top-left cell.
  void Encode(const CHAR_INFO* cells, int width, int height, std::string& out);
  // The next Encode redraws everything (after a resize, a resume, a child
  // program that used the terminal).
  void Invalidate();

 private:
  std::vector<CHAR_INFO> front_;  // what the terminal shows now
  int width_ = 0;
  int height_ = 0;
  bool valid_ = false;
};

// The SGR colour number of a console colour index for the foreground (30-37,
// 90-97) or the background (40-47, 100-107).
int AnsiForeground(int consoleIndex);
int AnsiBackground(int consoleIndex);

// Whether a UTF-16 unit may be shown as one terminal cell as it is.
bool IsSafeCellCharacter(char16_t ch);
// The character shown instead of one that is not safe.
inline constexpr char16_t kReplacementCell = u'.';

// The OSC 2 sequence that sets the window title to a sanitised form of
// `title` (controls, bidi controls and lone surrogates removed, at most 200
// bytes of valid UTF-8).
std::string TitleSequence(const std::u16string& title);

}  // namespace kelm::port
