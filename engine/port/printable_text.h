// Text that is safe to print on a terminal outside the viewer's own screen.
//
// Messages, usage errors, reports and help go to standard output and error
// byte for byte, on a terminal or into a pipe that a terminal shows later.
// Any part of them that comes from outside the program (file names,
// arguments, the program's own path) could carry control sequences: a name
// holding ESC ] 52 would set the clipboard, one holding ESC ] 2 the title.
// These functions show every such character as an escape instead:
//   - C0 controls, DEL and bytes that do not start well-formed UTF-8 as \xHH;
//   - C1 controls (U+0080-U+009F), bidirectional controls, line and
//     paragraph separators and invisible format characters as \u{HHHH};
//   - a backslash as \\, so that a name that really holds "\x07" reads
//     differently from one holding a BEL.
// Everything else, printable non-ASCII text included, passes unchanged.
#pragma once

#include <iosfwd>
#include <string>
#include <string_view>

namespace kelm::port {

// `bytes` (any bytes, meant as UTF-8) with every unsafe character escaped,
// line ends and tabs included: for names and arguments inside a message.
std::string EscapedText(std::string_view bytes);

// The program's own message text made safe: its line ends are kept, every
// other unsafe character is escaped as above. Backslashes are kept too, so
// that text already passed through EscapedText reads the same.
std::string SafeMessage(std::string_view text);

// Writes SafeMessage(text) to `out`. Every message the program prints
// outside its screen goes through here.
void WriteMessage(std::ostream& out, std::string_view text);

}  // namespace kelm::port
