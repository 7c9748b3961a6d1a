#include "engine/port/vt_text_safety.h"

#include <string_view>

#include "engine/port/cell_character_table.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

constexpr std::string_view kTitleStart = "\x1b]2;";       // OSC 2 ;
constexpr std::string_view kStringTerminator = "\x1b\\";  // ST

constexpr size_t kTitleMaxBytes = 200;

// Characters removed from a window title: they would end the OSC string
// early, act as controls, reorder the text around them or hide in it. The
// same rule as the cells', which show them as the placeholder.
bool IsDroppedFromTitle(char32_t c) { return IsControlOrInvisible(c); }

}  // namespace

bool IsSafeCellCharacter(char16_t ch) {
  if (ch >= 0x20 && ch < 0x7F) return true;  // printable ASCII, the common case
  return !detail::IsListedUnsafeCellCharacter(ch);
}

std::string TitleSequence(const std::u16string& title) {
  std::string text;
  std::string character;
  for (size_t i = 0; i < title.size(); ++i) {
    char32_t c = title[i];
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < title.size() && title[i + 1] >= 0xDC00 &&
        title[i + 1] <= 0xDFFF) {
      c = 0x10000 + ((c - 0xD800) << 10) + (title[i + 1] - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c <= 0xDFFF) {
      continue;  // lone surrogate: has no UTF-8 form
    }
    if (IsDroppedFromTitle(c)) continue;
    character.clear();
    AppendUtf8(character, c);
    if (text.size() + character.size() > kTitleMaxBytes) break;  // never cut a character
    text += character;
  }
  std::string sequence;
  sequence.reserve(kTitleStart.size() + text.size() + kStringTerminator.size());
  sequence += kTitleStart;
  sequence += text;
  sequence += kStringTerminator;
  return sequence;
}

}  // namespace kelm::port
