#include "engine/port/terminal/command_line.h"

namespace kelm::port {

std::optional<std::vector<std::string>> SplitCommandLine(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  bool inWord = false;
  enum class Quote { None, Single, Double } quote = Quote::None;
  for (size_t i = 0; i < line.size(); ++i) {
    const char c = line[i];
    switch (quote) {
      case Quote::Single:
        if (c == '\'') {
          quote = Quote::None;
        } else {
          word += c;
        }
        continue;
      case Quote::Double:
        if (c == '"') {
          quote = Quote::None;
        } else if (c == '\\' && i + 1 < line.size() && (line[i + 1] == '"' || line[i + 1] == '\\')) {
          word += line[++i];
        } else {
          word += c;
        }
        continue;
      case Quote::None:
        break;
    }
    if (c == ' ' || c == '\t' || c == '\n') {
      if (inWord) words.push_back(std::move(word));
      word.clear();
      inWord = false;
      continue;
    }
    inWord = true;
    if (c == '\'') {
      quote = Quote::Single;
    } else if (c == '"') {
      quote = Quote::Double;
    } else if (c == '\\' && i + 1 < line.size()) {
      word += line[++i];
    } else {
      word += c;
    }
  }
  if (quote != Quote::None) return std::nullopt;
  if (inWord) words.push_back(std::move(word));
  return words;
}

}  // namespace kelm::port
