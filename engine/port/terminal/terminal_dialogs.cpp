#include "engine/port/terminal/terminal_dialogs.h"

#include <dirent.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>

#include "engine/port/terminal/replace_target.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

// Colours (console attribute: background << 4 | foreground).
constexpr uint16_t kPlain = 0x07;      // light grey on black
constexpr uint16_t kTitleBar = 0x1F;   // white on blue
constexpr uint16_t kEditLine = 0x70;   // black on light grey
constexpr uint16_t kCaret = 0x0F;      // white on black
constexpr uint16_t kHelp = 0x08;       // dark grey on black
constexpr uint16_t kWarning = 0x0E;    // yellow on black
constexpr uint16_t kDirectory = 0x0B;  // light cyan on black
constexpr uint16_t kBox = 0x70;        // black on light grey
constexpr uint16_t kButton = 0x1F;     // white on blue

constexpr std::u16string_view kPathHelp =
    u"Enter: accept   Esc: cancel   Tab: complete   Ctrl+U: clear   Ctrl+W: delete folder";
constexpr std::u16string_view kLineHelp = u"Enter: accept   Esc: cancel   Ctrl+U: clear";

bool HasCtrl(uint32_t state) { return (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0; }
bool HasAlt(uint32_t state) { return (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0; }

bool IsDirectory(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool Exists(const std::string& path) {
  struct stat st {};
  return stat(path.c_str(), &st) == 0;
}

// An editable line of raw bytes (file names need not be UTF-8; typed
// characters are added as UTF-8).
class LineEditor {
 public:
  explicit LineEditor(std::string initial) : text_(std::move(initial)) {}
  std::string& Text() { return text_; }

  // Applies an editing key; yields whether it was one.
  bool Handle(const KEY_EVENT_RECORD& key, DialogTerminal& terminal, bool pathWords) {
    const uint32_t state = key.dwControlKeyState;
    const bool ctrl = HasCtrl(state) && !HasAlt(state);
    if (key.wVirtualKeyCode == VK_BACK) {
      if (ctrl) {
        pathWords ? PopPathComponent(text_) : PopWord();
      } else {
        PopUtf8Character(text_);
      }
      return true;
    }
    if (ctrl) {
      switch (key.wVirtualKeyCode) {
        case 'U':
          text_.clear();
          return true;
        case 'W':
          pathWords ? PopPathComponent(text_) : PopWord();
          return true;
        case 'V':
          Insert(terminal.ClipboardText());
          return true;
        default:
          return false;
      }
    }
    if (HasAlt(state)) return false;
    const char16_t ch = key.UnicodeChar;
    if (ch < 0x20 || ch == 0x7F) return false;
    Insert(std::u16string_view(&ch, 1));
    return true;
  }

 private:
  void Insert(std::u16string_view units) {
    for (char16_t unit : units) {
      if (unit < 0x20 || unit == 0x7F) continue;  // no controls in a path or command
      if (unit >= 0xD800 && unit <= 0xDBFF) {
        highSurrogate_ = unit;
        continue;
      }
      std::u16string character;
      if (unit >= 0xDC00 && unit <= 0xDFFF) {
        if (highSurrogate_ == 0) continue;
        character = {highSurrogate_, unit};
      } else {
        character = {unit};
      }
      highSurrogate_ = 0;
      text_ += ToUtf8(character);
    }
  }

  void PopWord() {
    while (!text_.empty() && text_.back() == ' ') text_.pop_back();
    while (!text_.empty() && text_.back() != ' ') text_.pop_back();
  }

  std::string text_;
  char16_t highSurrogate_ = 0;
};

// The editable line as shown: its tail when it is wider than the room left.
void DrawEditLine(DialogCanvas& canvas, int y, const std::string& text) {
  const int width = canvas.Columns() - 2;
  if (width <= 1) return;
  canvas.Fill(1, y, width, 1, kEditLine);
  std::u16string shown = FromUtf8(text);
  const size_t room = static_cast<size_t>(width - 1);  // one cell for the caret
  if (shown.size() > room) shown = u"<" + shown.substr(shown.size() - room + 1);
  canvas.Text(1, y, shown, kEditLine);
  canvas.Put(1 + static_cast<int>(shown.size()), y, u' ', kCaret);
}

void DrawTitle(DialogCanvas& canvas, std::u16string_view title) {
  canvas.Fill(0, 0, canvas.Columns(), 1, kTitleBar);
  canvas.Text(1, 0, title, kTitleBar);
}

void DrawListing(DialogCanvas& canvas, int top, const std::vector<std::string>& names) {
  if (names.empty() || top >= canvas.Rows()) return;
  size_t widest = 1;
  std::vector<std::u16string> shown;
  for (const std::string& name : names) {
    shown.push_back(FromUtf8(name));
    widest = std::max(widest, shown.back().size());
  }
  const int cellWidth = static_cast<int>(std::min<size_t>(widest + 2, static_cast<size_t>(canvas.Columns())));
  const int perRow = std::max(1, (canvas.Columns() - 2) / std::max(1, cellWidth));
  const int rows = canvas.Rows() - top;
  for (size_t i = 0; i < shown.size(); ++i) {
    const int row = static_cast<int>(i) / perRow;
    if (row >= rows) break;
    const int column = static_cast<int>(i) % perRow;
    const bool directory = !names[i].empty() && names[i].back() == '/';
    canvas.Text(1 + column * cellWidth, top + row, shown[i], directory ? kDirectory : kPlain, cellWidth - 1);
  }
}

std::string StartPath(const std::string& startDir) {
  std::string path = startDir;
  if (path.empty()) {
    char buffer[4096];
    if (getcwd(buffer, sizeof buffer) != nullptr) path = buffer;
  }
  if (path.empty() || path.back() != '/') path += '/';
  return path;
}

std::string DirectoryOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  if (slash == 0) return "/";
  return path.substr(0, slash);
}

// Lines of `text` wrapped at `width` cells (at blanks where possible).
std::vector<std::u16string> WrapText(std::u16string_view text, size_t width) {
  std::vector<std::u16string> lines;
  if (width == 0) width = 1;
  size_t start = 0;
  while (start <= text.size()) {
    size_t end = text.find(u'\n', start);
    if (end == std::u16string_view::npos) end = text.size();
    std::u16string_view paragraph = text.substr(start, end - start);
    if (paragraph.empty()) lines.emplace_back();
    while (!paragraph.empty()) {
      if (paragraph.size() <= width) {
        lines.emplace_back(paragraph);
        break;
      }
      size_t cut = paragraph.rfind(u' ', width);
      if (cut == std::u16string_view::npos || cut == 0) cut = width;
      lines.emplace_back(paragraph.substr(0, cut));
      paragraph = paragraph.substr(cut);
      while (!paragraph.empty() && paragraph.front() == u' ') paragraph.remove_prefix(1);
    }
    start = end + 1;
  }
  return lines;
}

// Waits for Enter (yes) or anything else (no).
bool Confirm(DialogTerminal& terminal, DialogCanvas& canvas, int row, std::u16string_view question) {
  for (;;) {
    canvas.Fill(0, row, canvas.Columns(), 1, kPlain);
    canvas.Text(1, row, question, kWarning);
    terminal.Show(canvas.Cells(), canvas.Columns(), canvas.Rows());
    DialogEvent event = terminal.Next();
    switch (event.kind) {
      case DialogEvent::Kind::Redraw:
        continue;
      case DialogEvent::Kind::Key:
        return event.key.wVirtualKeyCode == VK_RETURN || event.key.UnicodeChar == u'y' ||
               event.key.UnicodeChar == u'Y';
      default:
        return false;
    }
  }
}

}  // namespace

// --- DialogCanvas ---------------------------------------------------------------

DialogCanvas::DialogCanvas(int columns, int rows, uint16_t attributes)
    : columns_(std::max(0, columns)), rows_(std::max(0, rows)),
      cells_(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), CHAR_INFO{u' ', attributes}) {}

DialogCanvas::DialogCanvas(std::vector<CHAR_INFO> cells, int columns, int rows)
    : columns_(std::max(0, columns)), rows_(std::max(0, rows)), cells_(std::move(cells)) {
  cells_.resize(static_cast<size_t>(columns_) * static_cast<size_t>(rows_), CHAR_INFO{});
}

CHAR_INFO DialogCanvas::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= columns_ || y >= rows_) return CHAR_INFO{};
  return cells_[static_cast<size_t>(y) * static_cast<size_t>(columns_) + static_cast<size_t>(x)];
}

void DialogCanvas::Put(int x, int y, char16_t ch, uint16_t attributes) {
  if (x < 0 || y < 0 || x >= columns_ || y >= rows_) return;
  cells_[static_cast<size_t>(y) * static_cast<size_t>(columns_) + static_cast<size_t>(x)] =
      CHAR_INFO{ch, attributes};
}

void DialogCanvas::Text(int x, int y, std::u16string_view text, uint16_t attributes, int maxWidth) {
  int limit = columns_ - x;
  if (maxWidth >= 0) limit = std::min(limit, maxWidth);
  for (int i = 0; i < limit && static_cast<size_t>(i) < text.size(); ++i) {
    Put(x + i, y, text[static_cast<size_t>(i)], attributes);
  }
}

void DialogCanvas::Fill(int x, int y, int width, int height, uint16_t attributes) {
  for (int row = y; row < y + height; ++row) {
    for (int column = x; column < x + width; ++column) Put(column, row, u' ', attributes);
  }
}

void DialogCanvas::Frame(int x, int y, int width, int height, uint16_t attributes,
                         std::u16string_view caption) {
  if (width < 2 || height < 2) return;
  const int right = x + width - 1;
  const int bottom = y + height - 1;
  for (int column = x + 1; column < right; ++column) {
    Put(column, y, u'\u2500', attributes);
    Put(column, bottom, u'\u2500', attributes);
  }
  for (int row = y + 1; row < bottom; ++row) {
    Put(x, row, u'\u2502', attributes);
    Put(right, row, u'\u2502', attributes);
  }
  Put(x, y, u'\u250C', attributes);
  Put(right, y, u'\u2510', attributes);
  Put(x, bottom, u'\u2514', attributes);
  Put(right, bottom, u'\u2518', attributes);
  if (!caption.empty() && width > 4) {
    std::u16string title = u" " + std::u16string(caption) + u" ";
    Text(x + 2, y, title, attributes, width - 4);
  }
}

std::u16string DialogCanvas::Row(int y) const {
  std::u16string row;
  for (int x = 0; x < columns_; ++x) row += At(x, y).UnicodeChar;
  return row;
}

// --- path helpers -----------------------------------------------------------------

std::string ExpandHome(const std::string& path) {
  if (path.empty() || path[0] != '~' || (path.size() > 1 && path[1] != '/')) return path;
  std::string home;
  if (const char* value = std::getenv("HOME"); value != nullptr && *value != '\0') {
    home = value;
  } else if (const passwd* entry = getpwuid(getuid()); entry != nullptr && entry->pw_dir != nullptr) {
    home = entry->pw_dir;
  } else {
    return path;
  }
  return home + path.substr(1);
}

void PopUtf8Character(std::string& text) {
  if (text.empty()) return;
  size_t end = text.size() - 1;
  // Step back over up to three continuation bytes to the lead byte.
  size_t back = 0;
  while (back < 3 && end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
    --end;
    ++back;
  }
  const unsigned char lead = static_cast<unsigned char>(text[end]);
  const size_t expected = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 1;
  if (back + 1 == expected) {
    text.erase(end);
  } else {
    text.pop_back();  // not a whole character: remove one stray byte
  }
}

void PopPathComponent(std::string& text) {
  if (!text.empty() && text.back() == '/') text.pop_back();
  while (!text.empty() && text.back() != '/') text.pop_back();
}

PathCompletion CompletePath(const std::string& path) {
  PathCompletion result{path, {}};
  if (path == "~") {
    result.path = "~/";
    return result;
  }
  const size_t slash = path.rfind('/');
  const std::string directoryPart = slash == std::string::npos ? "" : path.substr(0, slash + 1);
  const std::string base = slash == std::string::npos ? path : path.substr(slash + 1);
  const std::string directory = directoryPart.empty() ? "." : ExpandHome(directoryPart);

  DIR* dir = opendir(directory.c_str());
  if (dir == nullptr) return result;
  struct Match {
    std::string name;
    bool directory;
  };
  std::vector<Match> matches;
  while (const dirent* entry = readdir(dir)) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (name.compare(0, base.size(), base) != 0) continue;
    if (name[0] == '.' && (base.empty() || base[0] != '.')) continue;
    bool isDir = entry->d_type == DT_DIR;
    if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
      isDir = IsDirectory((directory == "/" ? std::string() : directory) + "/" + name);
    }
    matches.push_back({name, isDir});
  }
  closedir(dir);
  if (matches.empty()) return result;
  std::sort(matches.begin(), matches.end(), [](const Match& a, const Match& b) { return a.name < b.name; });

  std::string common = matches.front().name;
  for (const Match& match : matches) {
    size_t n = 0;
    while (n < common.size() && n < match.name.size() && common[n] == match.name[n]) ++n;
    common.resize(n);
  }
  result.path = directoryPart + common;
  if (matches.size() == 1 && matches.front().directory) result.path += '/';
  for (const Match& match : matches) result.candidates.push_back(match.name + (match.directory ? "/" : ""));
  return result;
}

// --- the dialogs ------------------------------------------------------------------

std::optional<std::string> PathPrompt(DialogTerminal& terminal, PathPromptKind kind,
                                      const std::string& startDir) {
  const std::u16string_view title = kind == PathPromptKind::Open ? kOpenFileTitle : kSaveFileTitle;
  LineEditor editor(StartPath(startDir));
  std::vector<std::string> listing;
  std::u16string message;
  for (;;) {
    int columns = 0;
    int rows = 0;
    terminal.ScreenSize(columns, rows);
    DialogCanvas canvas(columns, rows);
    DrawTitle(canvas, title);
    canvas.Text(1, 2, u"Path:", kPlain);
    DrawEditLine(canvas, 3, editor.Text());
    canvas.Text(1, 5, kPathHelp, kHelp);
    canvas.Text(1, 6, message, kWarning);
    DrawListing(canvas, 8, listing);
    terminal.Show(canvas.Cells(), columns, rows);

    const DialogEvent event = terminal.Next();
    if (event.kind == DialogEvent::Kind::End) return std::nullopt;
    if (event.kind != DialogEvent::Kind::Key) continue;
    const KEY_EVENT_RECORD& key = event.key;
    std::string& text = editor.Text();
    if (key.wVirtualKeyCode == VK_ESCAPE) return std::nullopt;
    if (key.wVirtualKeyCode == VK_TAB) {
      PathCompletion completion = CompletePath(text);
      text = completion.path;
      listing = std::move(completion.candidates);
      message = listing.empty() ? u"No match" : u"";
      continue;
    }
    if (key.wVirtualKeyCode == VK_RETURN) {
      const std::string path = ExpandHome(text);
      message.clear();
      if (path.empty()) continue;
      if (IsDirectory(path)) {
        // Enter on a folder goes into it and shows what it holds.
        if (text.back() != '/') text += '/';
        listing = CompletePath(text).candidates;
        continue;
      }
      if (kind == PathPromptKind::Open) {
        if (Exists(path)) return path;
        message = u"File not found";
        continue;
      }
      if (path.back() == '/' || !IsDirectory(DirectoryOf(path))) {
        message = u"Folder not found";
        continue;
      }
      if (Exists(path)) {
        const ReplaceTarget target = DescribeReplaceTarget(path);
        if (!target.replaceable) {
          message = target.refusal + u"; choose a regular file";
          continue;
        }
        if (!Confirm(terminal, canvas, 6,
                     u"The file exists. " + target.notes + u"Replace it? Enter: yes, Esc: no")) {
          continue;
        }
      }
      return path;
    }
    if (editor.Handle(key, terminal, true)) {
      message.clear();
    }
  }
}

std::optional<std::string> LinePrompt(DialogTerminal& terminal, std::u16string_view title,
                                      std::u16string_view label, std::u16string_view detail,
                                      const std::string& initial) {
  LineEditor editor(initial);
  for (;;) {
    int columns = 0;
    int rows = 0;
    terminal.ScreenSize(columns, rows);
    DialogCanvas canvas(columns, rows);
    DrawTitle(canvas, title);
    canvas.Text(1, 2, detail, kPlain);
    canvas.Text(1, 4, label, kPlain);
    DrawEditLine(canvas, 5, editor.Text());
    canvas.Text(1, 7, kLineHelp, kHelp);
    terminal.Show(canvas.Cells(), columns, rows);

    const DialogEvent event = terminal.Next();
    if (event.kind == DialogEvent::Kind::End) return std::nullopt;
    if (event.kind != DialogEvent::Kind::Key) continue;
    if (event.key.wVirtualKeyCode == VK_ESCAPE) return std::nullopt;
    if (event.key.wVirtualKeyCode == VK_RETURN) return editor.Text();
    editor.Handle(event.key, terminal, false);
  }
}

void MessageBoxScreen(DialogTerminal& terminal, std::u16string_view text, std::u16string_view caption) {
  for (;;) {
    int columns = 0;
    int rows = 0;
    terminal.ScreenSize(columns, rows);
    DialogCanvas canvas(terminal.Background(columns, rows), columns, rows);
    const size_t maxInner = static_cast<size_t>(std::max(8, columns - 6));
    const std::vector<std::u16string> lines = WrapText(text, maxInner);
    size_t inner = std::max(kOkButton.size(), caption.size() + 2);
    for (const std::u16string& line : lines) inner = std::max(inner, line.size());
    inner = std::min(inner, maxInner);
    const int boxWidth = static_cast<int>(inner) + 4;
    const int shownLines = std::min(static_cast<int>(lines.size()), std::max(0, rows - 4));
    const int boxHeight = shownLines + 4;
    const int x = std::max(0, (columns - boxWidth) / 2);
    const int y = std::max(0, (rows - boxHeight) / 2);
    canvas.Fill(x, y, boxWidth, boxHeight, kBox);
    canvas.Frame(x, y, boxWidth, boxHeight, kBox, caption);
    for (int i = 0; i < shownLines; ++i) {
      canvas.Text(x + 2, y + 1 + i, lines[static_cast<size_t>(i)], kBox, static_cast<int>(inner));
    }
    const int okX = x + (boxWidth - static_cast<int>(kOkButton.size())) / 2;
    canvas.Text(okX, y + boxHeight - 2, kOkButton, kButton);
    terminal.Show(canvas.Cells(), columns, rows);

    const DialogEvent event = terminal.Next();
    switch (event.kind) {
      case DialogEvent::Kind::End:
      case DialogEvent::Kind::Click:
        return;
      case DialogEvent::Kind::Key:
        if (event.key.wVirtualKeyCode == VK_RETURN || event.key.wVirtualKeyCode == VK_ESCAPE ||
            event.key.wVirtualKeyCode == VK_SPACE) {
          return;
        }
        break;
      case DialogEvent::Kind::Redraw:
      case DialogEvent::Kind::Wheel:
        break;
    }
  }
}

}  // namespace kelm::port
