#include "viewer/marks_file.h"

#include <charconv>
#include <type_traits>

#include "engine/port/hex_digits.h"
#include "engine/port/utf.h"

namespace kelm::viewer {

namespace {

constexpr size_t kMaxLineBytes = 64 * 1024;

bool NeedsEscape(unsigned char byte) { return byte <= 0x20 || byte >= 0x7F || byte == '%'; }

bool IsColourDigit(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

template <typename Number>
bool ParseNumber(std::string_view text, Number& value, int base) {
  if (text.empty()) return false;
  if (text[0] == '+' || (text[0] == '-' && !std::is_signed_v<Number>)) return false;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, base);
  return error == std::errc() && end == text.data() + text.size();
}

// The fields of a line split at single spaces.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> fields;
  size_t from = 0;
  while (fields.size() < 8) {
    const size_t space = line.find(' ', from);
    fields.push_back(line.substr(from, space == std::string_view::npos ? std::string_view::npos : space - from));
    if (space == std::string_view::npos) break;
    from = space + 1;
  }
  return fields;
}

std::string Hex(uint64_t value) {
  char digits[17];
  const auto [end, error] = std::to_chars(digits, digits + sizeof digits, value, 16);
  (void)error;
  std::string text(digits, end);
  for (char& c : text) c = static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c);
  return text;
}

}  // namespace

std::string EscapeField(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size());
  for (const char c : bytes) {
    const auto byte = static_cast<unsigned char>(c);
    if (NeedsEscape(byte)) {
      out += '%';
      out += kelm::port::HexDigit(byte >> 4);
      out += kelm::port::HexDigit(byte);
    } else {
      out += c;
    }
  }
  return out;
}

std::optional<std::string> UnescapeField(std::string_view field) {
  std::string out;
  out.reserve(field.size());
  for (size_t i = 0; i < field.size(); ++i) {
    const auto byte = static_cast<unsigned char>(field[i]);
    if (byte != '%') {
      if (NeedsEscape(byte)) return std::nullopt;
      out += field[i];
      continue;
    }
    if (i + 2 >= field.size()) return std::nullopt;
    const int high = kelm::port::HexDigitValue(static_cast<unsigned char>(field[i + 1]));
    const int low = kelm::port::HexDigitValue(static_cast<unsigned char>(field[i + 2]));
    if (high < 0 || low < 0) return std::nullopt;
    out += static_cast<char>(high * 16 + low);
    i += 2;
  }
  return out;
}

std::string FormatMarksFile(const MarksFile& file) {
  std::string text(kMarksFileHeader);
  text += "\npath " + EscapeField(file.path);
  text += "\nsize " + std::to_string(file.size);
  text += "\nmtime " + std::to_string(file.modified) + "\n";
  for (const MarkedRange& mark : file.marks) {
    text += "mark ";
    text += IsColourDigit(mark.foreground) ? mark.foreground : '7';
    text += ' ';
    text += IsColourDigit(mark.background) ? mark.background : '4';
    text += ' ' + Hex(mark.start) + ' ' + Hex(mark.length);
    if (!mark.name.empty()) text += ' ' + EscapeField(kelm::port::ToUtf8(mark.name));
    text += '\n';
  }
  return text;
}

std::optional<MarksFile> ParseMarksFile(std::string_view text, std::string& error) {
  const auto fail = [&error](size_t lineNumber, std::string_view why) {
    error = "line " + std::to_string(lineNumber) + ": " + std::string(why);
    return std::nullopt;
  };
  if (text.size() > kMaxMarksFileBytes) {
    error = "larger than " + std::to_string(kMaxMarksFileBytes >> 20) + " MiB";
    return std::nullopt;
  }
  MarksFile file;
  bool havePath = false;
  bool haveSize = false;
  bool haveTime = false;
  size_t lineNumber = 0;
  size_t from = 0;
  while (from < text.size()) {
    const size_t end = text.find('\n', from);
    if (end == std::string_view::npos) return fail(lineNumber + 1, "no line break at the end");
    std::string_view line = text.substr(from, end - from);
    from = end + 1;
    ++lineNumber;
    if (line.size() > kMaxLineBytes) return fail(lineNumber, "line too long");
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    if (lineNumber == 1) {
      if (line != kMarksFileHeader) return fail(lineNumber, "not a kelmhex marks file");
      continue;
    }
    const std::vector<std::string_view> fields = Fields(line);
    const std::string_view kind = fields[0];
    if (kind == "path" && fields.size() == 2 && !havePath) {
      std::optional<std::string> path = UnescapeField(fields[1]);
      if (!path || path->empty()) return fail(lineNumber, "bad path");
      file.path = std::move(*path);
      havePath = true;
    } else if (kind == "size" && fields.size() == 2 && !haveSize) {
      if (!ParseNumber(fields[1], file.size, 10)) return fail(lineNumber, "bad size");
      haveSize = true;
    } else if (kind == "mtime" && fields.size() == 2 && !haveTime) {
      if (!ParseNumber(fields[1], file.modified, 10)) return fail(lineNumber, "bad time");
      haveTime = true;
    } else if (kind == "mark" && (fields.size() == 5 || fields.size() == 6)) {
      if (file.marks.size() >= kMaxStoredMarks) return fail(lineNumber, "too many marks");
      MarkedRange mark;
      if (fields[1].size() != 1 || !IsColourDigit(fields[1][0]) || fields[2].size() != 1 ||
          !IsColourDigit(fields[2][0])) {
        return fail(lineNumber, "bad colours");
      }
      mark.foreground = fields[1][0];
      mark.background = fields[2][0];
      if (!ParseNumber(fields[3], mark.start, 16) || !ParseNumber(fields[4], mark.length, 16)) {
        return fail(lineNumber, "bad start or length");
      }
      if (fields.size() == 6) {
        const std::optional<std::string> name = UnescapeField(fields[5]);
        if (!name || name->empty()) return fail(lineNumber, "bad name");
        mark.name = kelm::port::FromUtf8(*name);
        if (mark.name.size() > kMaxStoredNameUnits) return fail(lineNumber, "name too long");
      }
      file.marks.push_back(std::move(mark));
    } else {
      return fail(lineNumber, "unknown line");
    }
  }
  if (lineNumber == 0) return fail(1, "empty");
  if (!havePath || !haveSize || !haveTime) return fail(lineNumber, "path, size or time missing");
  return file;
}

}  // namespace kelm::viewer
