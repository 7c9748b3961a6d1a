// The console's sixteen colours as ANSI SGR colour numbers: the one mapping
// used by the terminal's output encoder and by the screenshot views that
// print a screenshot as terminal text.
#pragma once

namespace kelm::port {

// The SGR colour number of a console colour index (0-15; bit 3 is the bright
// half) for the foreground (30-37, 90-97) or the background (40-47,
// 100-107).
int AnsiForeground(int consoleIndex);
int AnsiBackground(int consoleIndex);

}  // namespace kelm::port
