// The tables of characters that must not reach a terminal as they are:
// the UTF-16 units unfit for a terminal cell (everything a terminal would
// execute, hide, combine with its neighbour or draw wider than one cell;
// used by IsSafeCellCharacter), and the controls and invisible characters
// that every other text (the window title, names in the file chooser)
// leaves out or escapes.
#pragma once

namespace kelm::port {

// Whether `cp` is a control (C0, DEL, C1) or a character that is not seen
// but changes what is around it: format characters (bidi controls, soft
// hyphen, zero-width characters, byte-order mark), line and paragraph
// separators, and the other default-ignorable code points (variation
// selectors, Hangul fillers, tags). One rule for every text the terminal
// shows: cells show them as the placeholder (the cell table lists every one
// of them), the title drops them, the file chooser shows them as escapes.
bool IsControlOrInvisible(char32_t cp);

}  // namespace kelm::port

namespace kelm::port::detail {

// Whether `ch` is listed as unfit for a one-cell display: controls (C0, DEL,
// C1), format characters (bidi controls, soft hyphen, zero-width
// characters, byte-order mark), line and paragraph separators, combining
// marks (non-spacing, enclosing and spacing), conjoining Hangul jamo,
// surrogate units, private use, unassigned code points, noncharacters, and
// East Asian Wide and Fullwidth characters.
bool IsListedUnsafeCellCharacter(char16_t ch);

}  // namespace kelm::port::detail
