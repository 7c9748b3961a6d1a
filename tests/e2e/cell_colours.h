// The colours of the cells tmux shows, read from `capture-pane -e` rows.
#pragma once

#include <string>
#include <vector>

namespace kelm::e2e {

// Foreground and background colour of one cell, as the terminal's palette
// index (-1: the default colour).
struct CellColour {
  int foreground = -1;
  int background = -1;
};

// The cells of one row of `capture-pane -e` output, with their colours.
inline std::vector<CellColour> ParseColours(const std::string& line) {
  std::vector<CellColour> cells;
  CellColour current;
  for (size_t i = 0; i < line.size();) {
    if (line[i] == '\x1b' && i + 1 < line.size() && line[i + 1] == '[') {
      const size_t end = line.find_first_of("ABCDEFGHJKSTfmhlsu", i + 2);
      if (end == std::string::npos) break;
      if (line[end] == 'm') {
        std::vector<int> params;
        std::string number;
        for (size_t k = i + 2; k <= end; ++k) {
          if (k == end || line[k] == ';' || line[k] == ':') {
            params.push_back(number.empty() ? 0 : std::stoi(number));
            number.clear();
          } else {
            number += line[k];
          }
        }
        for (size_t p = 0; p < params.size(); ++p) {
          const int v = params[p];
          if (v == 0) {
            current = CellColour{};
          } else if (v >= 30 && v <= 37) {
            current.foreground = v - 30;
          } else if (v >= 90 && v <= 97) {
            current.foreground = v - 90 + 8;
          } else if (v == 39) {
            current.foreground = -1;
          } else if (v >= 40 && v <= 47) {
            current.background = v - 40;
          } else if (v >= 100 && v <= 107) {
            current.background = v - 100 + 8;
          } else if (v == 49) {
            current.background = -1;
          } else if ((v == 38 || v == 48) && p + 2 < params.size() && params[p + 1] == 5) {
            (v == 38 ? current.foreground : current.background) = params[p + 2];
            p += 2;
          } else if ((v == 38 || v == 48) && p + 4 < params.size() && params[p + 1] == 2) {
            (v == 38 ? current.foreground : current.background) = -2;  // direct colour: not expected
            p += 4;
          }
        }
      }
      i = end + 1;
      continue;
    }
    const auto byte = static_cast<unsigned char>(line[i]);
    if ((byte & 0xC0) != 0x80) cells.push_back(current);  // one cell per character
    ++i;
  }
  return cells;
}

// Console colour index to the terminal's: console blue is 1 and red 4, the
// terminal's the other way round (bits 0 and 2 swap).
inline int TerminalColour(int console) { return (console & 0b1010) | ((console & 1) << 2) | ((console >> 2) & 1); }

}  // namespace kelm::e2e
