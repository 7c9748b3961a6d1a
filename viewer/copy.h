// Copying the selected bytes to the clipboard, as characters, as hex pairs
// or as code (viewer/copy_formats.h).
//
// The text goes to the port's clipboard (on a terminal: the in-process
// clipboard, the terminal's clipboard through OSC 52, and the desktop's
// clipboard tool where one is present). When the port cannot confirm that
// the text reached the system clipboard, the status row says where it went
// until the selection changes. Frame thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "engine/port/console_port.h"
#include "viewer/copy_formats.h"

namespace kelm::viewer {

// The two forms of the copied text.
enum class CopyForm {
  Characters,  // each byte 0x20..0x7A as itself, every other byte '.'
  Hex,         // two upper-case hex digits per byte, single spaces between
};

// The most text one copy puts on the clipboard, in characters (16 MiB).
inline constexpr uint64_t kClipboardTextLimit = 16ULL * 1024 * 1024;

// The most bytes one copy takes in the given form: the whole text limit for
// characters, a third of it (plus the missing last separator) for hex pairs.
uint64_t CopyByteLimit(CopyForm form);

// Length of the text that `byteCount` bytes give in the given form.
uint64_t CopyTextLength(uint64_t byteCount, CopyForm form);

// Appends the text of `count` bytes to `text`. In the hex form a space goes
// before each pair unless `text` is empty, so chunks join seamlessly.
void AppendCopyText(std::u16string& text, const uint8_t* bytes, size_t count, CopyForm form);

// The status row's message after `byteCount` bytes were copied to `target`:
// empty for the system clipboard (nothing to say), otherwise where the text
// went, e.g. "copied 12 bytes as hex to the terminal's clipboard (OSC 52)".
std::u16string CopyStatusText(kelm::port::ClipboardTarget target, uint64_t byteCount, CopyForm form);

// Whether the hex form is asked for by the keyboard: the console is the
// foreground window and Shift is down now.
bool ShiftHeldForCopy();

// Copies the selection in the form the Shift key asks for.
void CopySelection();

// Copies the bytes of the selection that lie in the file (selectionActive is
// not consulted; an empty selection copies an empty text). A selection whose
// bytes in the file exceed CopyByteLimit(form) is refused with a message
// pop-up naming the limit, and nothing is copied. Yields whether it copied.
bool CopySelectionAs(CopyForm form);

// Copies the bytes of the selection that lie in the file as code (the same
// rules as CopySelectionAs: a selection whose text would exceed
// kClipboardTextLimit is refused with a pop-up). Yields whether it copied.
bool CopySelectionAsCode(CodeForm form);

// Ctrl+C, given the dwControlKeyState of its key record: hex pairs when the
// record carried Shift (terminals with the kitty keyboard protocol or
// modifyOtherKeys report Ctrl+Shift+C so) or Shift is down now, else text.
void CopyForCtrlC(uint32_t controlKeyState);

// Takes the copy's message off the status row once the selection has
// changed; the key handler calls it every frame.
void ClearCopyStatusAfterSelectionChange();

}  // namespace kelm::viewer
