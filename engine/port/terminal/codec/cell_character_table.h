// The table of UTF-16 units that must not be placed in a terminal cell as
// they are: everything a terminal would execute, hide, combine with its
// neighbour or draw wider than one cell. Used by IsSafeCellCharacter.
#pragma once

namespace kelm::port::detail {

// Whether `ch` is listed as unfit for a one-cell display: controls (C0, DEL,
// C1), format characters (bidi controls, soft hyphen, zero-width
// characters, byte-order mark), line and paragraph separators, combining
// marks (non-spacing, enclosing and spacing), conjoining Hangul jamo,
// surrogate units, private use, unassigned code points, noncharacters, and
// East Asian Wide and Fullwidth characters.
bool IsListedUnsafeCellCharacter(char16_t ch);

}  // namespace kelm::port::detail
