// The message pop-up and its text helpers.
#pragma once

#include <cstdint>
#include <string>

namespace KelmCEngineV2 {

// Puts a framed message with a title and a "Close" button in the middle of the
// screen, on the "Menus" layer, and returns at once.
void ShowMessage(std::u16string title, std::u16string message);
// Characters of the longest line (line feeds separate lines); 0 when empty.
int32_t LongestLineLength(const std::u16string& text);
// The text as a rectangle of lines exactly `width` wide joined by line feeds,
// cut at `width` characters.
std::u16string WrapText(const std::u16string& text, int32_t width);

}  // namespace KelmCEngineV2
