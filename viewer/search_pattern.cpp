// Reading a typed search pattern: hexadecimal bytes, or text after a leading
// double quote (see ParseSearchPattern in search.h).
#include <string>

#include "engine/port/hex_digits.h"
#include "engine/port/utf.h"
#include "viewer/search.h"

// --- patterns -------------------------------------------------------------------

namespace {

int HexValue(char16_t unit) { return kelm::port::HexDigitValue(unit); }

// Blanks between hex pairs. A tab pasted into a field arrives as U+0000.
bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\0'; }

ParsedPattern Invalid(std::u16string why) {
  ParsedPattern parsed;
  parsed.outcome = ParsedPattern::Outcome::Invalid;
  parsed.error = std::move(why);
  return parsed;
}

ParsedPattern Valid(SearchPattern pattern) {
  ParsedPattern parsed;
  parsed.outcome = ParsedPattern::Outcome::Valid;
  parsed.pattern = std::move(pattern);
  return parsed;
}

ParsedPattern ParseText(std::u16string text) {
  // An optional closing quote; a text that ends in a quote needs one more.
  if (!text.empty() && text.back() == u'"') text.pop_back();
  if (text.empty()) return Invalid(u"No text after the quote");
  // A text field turns pasted tabs and line breaks into U+0000; searching
  // for zero bytes instead would find something else than was pasted.
  if (text.find(u'\0') != std::u16string::npos) {
    return Invalid(u"Tabs and line breaks can only be searched as hex bytes");
  }
  SearchPattern pattern;
  const std::string utf8 = kelm::port::ToUtf8(text);
  pattern.bytes.assign(utf8.begin(), utf8.end());
  pattern.text = true;
  pattern.display = u"\"" + text + u"\"";
  return Valid(std::move(pattern));
}

ParsedPattern ParseHex(const std::u16string& typed) {
  SearchPattern pattern;
  size_t i = 0;
  while (i < typed.size()) {
    if (IsBlank(typed[i])) {
      ++i;
      continue;
    }
    const int high = HexValue(typed[i]);
    if (high < 0) {
      return Invalid(u"Not a hex digit: '" + std::u16string(1, typed[i]) + u"' (for text, type \" first)");
    }
    if (i + 1 >= typed.size() || IsBlank(typed[i + 1])) {
      return Invalid(u"Each byte needs two hex digits");
    }
    const int low = HexValue(typed[i + 1]);
    if (low < 0) {
      return Invalid(u"Not a hex digit: '" + std::u16string(1, typed[i + 1]) + u"' (for text, type \" first)");
    }
    pattern.bytes.push_back(static_cast<uint8_t>(high * 16 + low));
    if (!pattern.display.empty()) pattern.display += u' ';
    pattern.display += static_cast<char16_t>(kelm::port::HexDigit(static_cast<unsigned>(high)));
    pattern.display += static_cast<char16_t>(kelm::port::HexDigit(static_cast<unsigned>(low)));
    i += 2;
  }
  return Valid(std::move(pattern));
}

}  // namespace

ParsedPattern ParseSearchPattern(const std::u16string& typed) {
  const size_t first = typed.find_first_not_of(u" \t");
  if (first == std::u16string::npos) return ParsedPattern{};
  if (typed[first] == u'"') return ParseText(typed.substr(first + 1));
  if (typed.find_first_not_of(std::u16string(u" \t\0", 3)) == std::u16string::npos) return ParsedPattern{};
  return ParseHex(typed);
}
