// Reading a typed search pattern: hexadecimal bytes, or text after a leading
// double quote (see ParseSearchPattern in search.h).
#include <string>

#include "engine/port/hex_digits.h"
#include "engine/port/utf.h"
#include "viewer/search.h"

namespace kelm::viewer {

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

bool IsAsciiLetter(char16_t unit) { return (unit >= u'A' && unit <= u'Z') || (unit >= u'a' && unit <= u'z'); }

// The text's bytes in the encoding; with any case, every ASCII letter is
// kept in lower case with its fold bit (the other byte of a UTF-16 unit
// stays exact, so U+0141 never matches 'A').
void Encode(const std::u16string& text, const TextSearchOptions& options, SearchPattern& pattern) {
  const auto add = [&pattern](uint8_t byte, bool letter) {
    pattern.bytes.push_back(letter ? static_cast<uint8_t>(byte | 0x20) : byte);
    pattern.fold.push_back(letter ? 0x20 : 0);
  };
  if (options.encoding == TextEncoding::Utf8) {
    for (const char c : kelm::port::ToUtf8(text)) {
      const auto byte = static_cast<uint8_t>(c);
      add(byte, options.anyCase && IsAsciiLetter(byte));
    }
  } else {
    const bool little = options.encoding == TextEncoding::Utf16Le;
    for (const char16_t unit : text) {
      const bool letter = options.anyCase && IsAsciiLetter(unit);
      const auto low = static_cast<uint8_t>(unit & 0xFF);
      const auto high = static_cast<uint8_t>(unit >> 8);
      add(little ? low : high, little && letter);
      add(little ? high : low, !little && letter);
    }
  }
  if (!options.anyCase) pattern.fold.clear();
}

ParsedPattern ParseText(std::u16string text, const TextSearchOptions& options) {
  // An optional closing quote; a text that ends in a quote needs one more.
  if (!text.empty() && text.back() == u'"') text.pop_back();
  if (text.empty()) return Invalid(u"No text after the quote");
  // A text field turns pasted tabs and line breaks into U+0000; searching
  // for zero bytes instead would find something else than was pasted.
  if (text.find(u'\0') != std::u16string::npos) {
    return Invalid(u"Tabs and line breaks can only be searched as hex bytes");
  }
  SearchPattern pattern;
  Encode(text, options, pattern);
  pattern.text = true;
  pattern.display = u"\"" + text + u"\"";
  // What else than UTF-8 with its case is said after the text.
  std::u16string notes;
  if (options.encoding != TextEncoding::Utf8) notes = EncodingName(options.encoding);
  if (options.anyCase) notes += notes.empty() ? u"any case" : u", any case";
  if (!notes.empty()) pattern.display += u" (" + notes + u")";
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

std::u16string EncodingName(TextEncoding encoding) {
  switch (encoding) {
    case TextEncoding::Utf8: break;
    case TextEncoding::Utf16Le: return u"UTF-16 LE";
    case TextEncoding::Utf16Be: return u"UTF-16 BE";
  }
  return u"UTF-8";
}

ParsedPattern ParseSearchPattern(const std::u16string& typed, const TextSearchOptions& options) {
  const size_t first = typed.find_first_not_of(u" \t");
  if (first == std::u16string::npos) return ParsedPattern{};
  if (typed[first] == u'"') return ParseText(typed.substr(first + 1), options);
  if (typed.find_first_not_of(std::u16string(u" \t\0", 3)) == std::u16string::npos) return ParsedPattern{};
  return ParseHex(typed);
}

}  // namespace kelm::viewer
