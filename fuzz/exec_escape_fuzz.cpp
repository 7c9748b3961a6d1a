// The Exec-line escaping of the desktop entry: for any argument (raw bytes,
// no NUL), the escaped text holds no raw line break, tab or carriage return
// and reads back, through the two unescaping steps a desktop does (string
// value escapes, then Exec quoting and '%%'), as the very same argument.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>

#include "engine/port/desktop_registration.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

// Step one: the escapes of a string value (\s \n \t \r \\).
std::optional<std::string> UnescapeValue(const std::string& text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\') {
      out += text[i];
      continue;
    }
    if (++i >= text.size()) return std::nullopt;
    switch (text[i]) {
      case 's': out += ' '; break;
      case 'n': out += '\n'; break;
      case 't': out += '\t'; break;
      case 'r': out += '\r'; break;
      case '\\': out += '\\'; break;
      default: return std::nullopt;
    }
  }
  return out;
}

// Step two: one Exec argument, quoted or not; '%%' is a '%' and any other
// field code is refused.
std::optional<std::string> UnquoteArgument(const std::string& text) {
  std::string out;
  const bool quoted = !text.empty() && text.front() == '"';
  if (quoted && (text.size() < 2 || text.back() != '"')) return std::nullopt;
  const size_t begin = quoted ? 1 : 0;
  const size_t end = quoted ? text.size() - 1 : text.size();
  for (size_t i = begin; i < end; ++i) {
    const char c = text[i];
    if (c == '%') {
      if (i + 1 >= end || text[i + 1] != '%') return std::nullopt;
      out += '%';
      ++i;
    } else if (quoted && c == '\\') {
      if (i + 1 >= end) return std::nullopt;
      const char next = text[i + 1];
      if (next != '"' && next != '`' && next != '$' && next != '\\') return std::nullopt;
      out += next;
      ++i;
    } else if (quoted && (c == '"' || c == '`' || c == '$')) {
      return std::nullopt;  // must have been escaped
    } else if (!quoted && (c == ' ' || c == '\t' || c == '\n' || c == '"' || c == '\'' || c == '\\' ||
                           c == '>' || c == '<' || c == '~' || c == '|' || c == '&' || c == ';' ||
                           c == '$' || c == '*' || c == '?' || c == '#' || c == '(' || c == ')' || c == '`')) {
      return std::nullopt;  // a reserved character outside quotes
    } else {
      out += c;
    }
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::string argument(reinterpret_cast<const char*>(data), size);
  if (argument.find('\0') != std::string::npos) return 0;  // no path holds a NUL
  const std::string escaped = kelm::port::EscapeExecArgument(argument);
  Check(escaped.find_first_of("\n\r\t") == std::string::npos);
  const std::optional<std::string> value = UnescapeValue(escaped);
  Check(value.has_value());
  const std::optional<std::string> back = UnquoteArgument(*value);
  Check(back.has_value());
  Check(*back == argument);
  return 0;
}
