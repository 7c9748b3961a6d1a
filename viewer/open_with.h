// "Open With" for the viewed file (Ctrl+O and File > Open With): hands the
// file to the port's open-with dialog and reports a failure in a box.
// Frame thread only.
#pragma once

#include <cstdint>
#include <string>

namespace kelm::viewer {

// "Open With" for the viewed file; a failure shows a box naming the result
// code. Success and cancelling show nothing. Also Ctrl+O.
void ShowOpenWith();

// The name of an "Open With" result code: the standard names of the common
// failure codes, otherwise "Unknown error: " and the code in decimal.
std::u16string OpenWithErrorName(uint32_t code);
// "Got error: (" + name + ") when opening openwith menu!"
std::u16string OpenWithErrorMessage(uint32_t code);

}  // namespace kelm::viewer
