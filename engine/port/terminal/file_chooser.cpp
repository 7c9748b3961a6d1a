#include "engine/port/terminal/file_chooser.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include "engine/port/hex_digits.h"
#include "engine/port/terminal/codec/cell_character_table.h"
#include "engine/port/terminal/replace_target.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

// Colours (console attribute: background << 4 | foreground), as the other
// dialogs of the terminal use them.
constexpr uint16_t kPlain = 0x07;        // light grey on black
constexpr uint16_t kTitleBar = 0x1F;     // white on blue
constexpr uint16_t kFolderLine = 0x0F;   // white on black
constexpr uint16_t kEditLine = 0x70;     // black on light grey
constexpr uint16_t kCaret = 0x0F;        // white on black
constexpr uint16_t kHelp = 0x08;         // dark grey on black
constexpr uint16_t kWarning = 0x0E;      // yellow on black
constexpr uint16_t kDirectory = 0x0B;    // light cyan on black
constexpr uint16_t kSpecial = 0x0D;      // light magenta on black
constexpr uint16_t kHighlight = 0x70;    // black on light grey

constexpr std::u16string_view kFolderLabel = u"Folder: ";
constexpr std::u16string_view kNameLabel = u"Name: ";
constexpr std::u16string_view kOpenHelp =
    u"Enter: open  Tab: complete  Backspace: up  .: hidden  Esc: cancel  F10: quit";
constexpr std::u16string_view kSaveHelp =
    u"Enter: save  Tab: complete  Backspace: up  .: hidden  Esc: cancel  F10: quit";

// Rows the wheel moves per notch.
constexpr int kWheelStep = 3;

bool HasCtrl(uint32_t state) { return (state & (LEFT_CTRL_PRESSED | RIGHT_CTRL_PRESSED)) != 0; }
bool HasAlt(uint32_t state) { return (state & (LEFT_ALT_PRESSED | RIGHT_ALT_PRESSED)) != 0; }

char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool StartsWithIgnoringCase(const std::string& name, const std::string& prefix) {
  if (prefix.size() > name.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(name[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

int TypeRank(ChooserEntry::Type type) {
  switch (type) {
    case ChooserEntry::Type::Parent: return 0;
    case ChooserEntry::Type::Directory: return 1;
    default: return 2;
  }
}

ChooserEntry::Type TypeOfMode(mode_t mode) {
  if (S_ISDIR(mode)) return ChooserEntry::Type::Directory;
  if (S_ISREG(mode)) return ChooserEntry::Type::File;
  if (S_ISFIFO(mode)) return ChooserEntry::Type::Fifo;
  if (S_ISSOCK(mode)) return ChooserEntry::Type::Socket;
  if (S_ISCHR(mode)) return ChooserEntry::Type::CharacterDevice;
  if (S_ISBLK(mode)) return ChooserEntry::Type::BlockDevice;
  return ChooserEntry::Type::Unknown;
}

void AppendHex(std::u16string& out, uint32_t value, int digits) {
  for (int shift = (digits - 1) * 4; shift >= 0; shift -= 4) out += static_cast<char16_t>(HexDigit(value >> shift));
}

std::u16string SizeText(const ChooserEntry& entry) {
  switch (entry.type) {
    case ChooserEntry::Type::Parent: return u"";
    case ChooserEntry::Type::Directory: return u"<DIR>";
    case ChooserEntry::Type::File: return entry.size ? GroupedSize(*entry.size) : u"?";
    case ChooserEntry::Type::Fifo: return u"<FIFO>";
    case ChooserEntry::Type::Socket: return u"<SOCKET>";
    case ChooserEntry::Type::CharacterDevice: return u"<CHAR DEVICE>";
    case ChooserEntry::Type::BlockDevice: return u"<BLOCK DEVICE>";
    case ChooserEntry::Type::Unknown: return u"?";
  }
  return u"?";
}

uint16_t EntryColour(const ChooserEntry& entry) {
  switch (entry.type) {
    case ChooserEntry::Type::Parent:
    case ChooserEntry::Type::Directory: return kDirectory;
    case ChooserEntry::Type::File: return kPlain;
    case ChooserEntry::Type::Unknown: return kHelp;
    default: return kSpecial;
  }
}

std::u16string Number(size_t value) {
  std::u16string text;
  for (char c : std::to_string(value)) text += static_cast<char16_t>(c);
  return text;
}

std::u16string ErrorText(int error) { return FromUtf8(std::strerror(error)); }

std::string WorkingDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    if (getcwd(buffer.data(), buffer.size()) != nullptr) return buffer.data();
    if (errno != ERANGE || buffer.size() > (size_t{1} << 20)) return "/";
    buffer.resize(buffer.size() * 2);
  }
}

}  // namespace

// --- the system ---------------------------------------------------------------------

DirectoryListing ReadDirectory(const std::string& folder) {
  DirectoryListing listing;
  DIR* dir = opendir(folder.c_str());
  if (dir == nullptr) {
    listing.error = errno;
    return listing;
  }
  const int fd = dirfd(dir);
  for (;;) {
    errno = 0;
    const dirent* item = readdir(dir);
    if (item == nullptr) {
      listing.error = errno;
      break;
    }
    const std::string_view name = item->d_name;
    if (name == "." || name == "..") continue;
    ChooserEntry entry;
    entry.name = std::string(name);
    switch (item->d_type) {
      case DT_DIR: entry.type = ChooserEntry::Type::Directory; break;
      case DT_REG: entry.type = ChooserEntry::Type::File; break;
      case DT_FIFO: entry.type = ChooserEntry::Type::Fifo; break;
      case DT_SOCK: entry.type = ChooserEntry::Type::Socket; break;
      case DT_CHR: entry.type = ChooserEntry::Type::CharacterDevice; break;
      case DT_BLK: entry.type = ChooserEntry::Type::BlockDevice; break;
      default: {
        // A symbolic link counts as what it points to; the file system may
        // also not tell types in its listing at all.
        struct stat info {};
        if (fstatat(fd, item->d_name, &info, 0) == 0) {
          entry.type = TypeOfMode(info.st_mode);
        } else {
          entry.type = ChooserEntry::Type::Unknown;
        }
      }
    }
    listing.entries.push_back(std::move(entry));
  }
  closedir(dir);
  return listing;
}

std::optional<uint64_t> ReadEntrySize(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode)) return std::nullopt;
  return static_cast<uint64_t>(info.st_size);
}

// --- pure helpers --------------------------------------------------------------------

std::u16string DisplayName(std::string_view raw) {
  std::u16string shown;
  shown.reserve(raw.size());
  const auto* bytes = reinterpret_cast<const unsigned char*>(raw.data());
  size_t i = 0;
  while (i < raw.size()) {
    const unsigned char b = bytes[i];
    if (b < 0x80) {
      if (b < 0x20 || b == 0x7F) {
        shown += u"\\x";
        AppendHex(shown, b, 2);
      } else if (b == '\\') {
        // Doubled, so that a name holding the four characters \x07 does not
        // look like one holding a real BEL.
        shown += u"\\\\";
      } else {
        shown += static_cast<char16_t>(b);
      }
      ++i;
      continue;
    }
    const Utf8Step step = DecodeUtf8Step(bytes + i, raw.size() - i);
    uint32_t cp = step.codePoint;
    const size_t length = step.kind == Utf8Step::Kind::Character ? step.length : 0;
    if (length == 0) {
      shown += u"\\x";
      AppendHex(shown, b, 2);
      ++i;
      continue;
    }
    i += length;
    if (IsControlOrInvisible(cp)) {
      shown += u"\\u{";
      AppendHex(shown, cp, cp > 0xFFFF ? 5 : 4);
      shown += u'}';
    } else if (cp > 0xFFFF) {
      cp -= 0x10000;
      shown += static_cast<char16_t>(0xD800 + (cp >> 10));
      shown += static_cast<char16_t>(0xDC00 + (cp & 0x3FF));
    } else {
      shown += static_cast<char16_t>(cp);
    }
  }
  return shown;
}

std::string NormalizePath(const std::string& path, const std::string& base) {
  const std::string full = !path.empty() && path[0] == '/' ? path : base + "/" + path;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= full.size()) {
    size_t end = full.find('/', start);
    if (end == std::string::npos) end = full.size();
    const std::string part = full.substr(start, end - start);
    if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!part.empty() && part != ".") {
      parts.push_back(part);
    }
    start = end + 1;
  }
  if (parts.empty()) return "/";
  std::string result;
  for (const std::string& part : parts) result += "/" + part;
  return result;
}

std::string ParentFolder(const std::string& folder) {
  const size_t slash = folder.find_last_of('/');
  if (slash == std::string::npos || slash == 0) return "/";
  return folder.substr(0, slash);
}

std::string JoinPath(const std::string& folder, const std::string& name) {
  if (!folder.empty() && folder.back() == '/') return folder + name;
  return folder + "/" + name;
}

std::u16string GroupedSize(uint64_t size) {
  const std::string digits = std::to_string(size);
  std::u16string text;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) text += u',';
    text += static_cast<char16_t>(digits[i]);
  }
  return text;
}

bool ChooserEntryLess(const ChooserEntry& a, const ChooserEntry& b) {
  const int rankA = TypeRank(a.type);
  const int rankB = TypeRank(b.type);
  if (rankA != rankB) return rankA < rankB;
  const size_t common = std::min(a.name.size(), b.name.size());
  for (size_t i = 0; i < common; ++i) {
    const char la = LowerAscii(a.name[i]);
    const char lb = LowerAscii(b.name[i]);
    if (la != lb) return static_cast<unsigned char>(la) < static_cast<unsigned char>(lb);
  }
  if (a.name.size() != b.name.size()) return a.name.size() < b.name.size();
  return a.name < b.name;
}

// --- the chooser ----------------------------------------------------------------------

FileChooser::FileChooser(PathPromptKind kind, const std::string& startDir, Services services)
    : kind_(kind), services_(std::move(services)) {
  if (!services_.readDirectory) services_.readDirectory = ReadDirectory;
  if (!services_.entrySize) services_.entrySize = ReadEntrySize;
  std::string folder = NormalizePath(ExpandHome(startDir.empty() ? WorkingDirectory() : startDir),
                                     WorkingDirectory());
  while (folder != "/" && !IsDirectoryPath(folder)) folder = ParentFolder(folder);
  Load(folder, {});
}

FileChooser::FileChooser(PathPromptKind kind, const std::string& startDir)
    : FileChooser(kind, startDir, Services()) {}

bool FileChooser::IsDirectoryPath(const std::string& path) const {
  if (services_.isDirectory) return services_.isDirectory(path);
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool FileChooser::PathExists(const std::string& path) const {
  if (services_.exists) return services_.exists(path);
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

void FileChooser::Load(const std::string& folder, const std::string& highlightName) {
  folder_ = folder;
  DirectoryListing listing = services_.readDirectory(folder_);
  entries_ = std::move(listing.entries);
  listError_ = listing.error;
  if (folder_ != "/") entries_.push_back(ChooserEntry{"..", ChooserEntry::Type::Parent, true, {}});
  std::sort(entries_.begin(), entries_.end(), ChooserEntryLess);
  message_.clear();
  if (listError_ != 0) message_ = u"Cannot read this folder: " + ErrorText(listError_);
  clickedIndex_ = -1;
  highlightMoved_ = false;
  scrollTop_ = 0;
  Refilter(highlightName);
}

void FileChooser::Refilter(const std::string& preferName) {
  shown_.clear();
  const bool showHidden = !text_.empty() && text_[0] == '.';
  for (size_t i = 0; i < entries_.size(); ++i) {
    const ChooserEntry& entry = entries_[i];
    if (entry.type == ChooserEntry::Type::Parent) {
      if (text_.empty()) shown_.push_back(static_cast<uint32_t>(i));
      continue;
    }
    if (!showHidden && !entry.name.empty() && entry.name[0] == '.') continue;
    if (!StartsWithIgnoringCase(entry.name, text_)) continue;
    shown_.push_back(static_cast<uint32_t>(i));
  }
  highlight_ = 0;
  const std::string& wanted = !preferName.empty() ? preferName : text_;
  bool found = false;
  if (!wanted.empty()) {
    for (size_t i = 0; i < shown_.size(); ++i) {
      if (entries_[shown_[i]].name == wanted) {
        highlight_ = static_cast<int>(i);
        found = true;
        break;
      }
    }
  }
  // Without a name to go to, the first real entry rather than "..".
  if (!found && shown_.size() > 1 && entries_[shown_[0]].type == ChooserEntry::Type::Parent) highlight_ = 1;
  EnsureVisible();
}

void FileChooser::EnsureVisible() {
  const int rows = std::max(1, listRows_);
  const int count = static_cast<int>(shown_.size());
  if (highlight_ < scrollTop_) scrollTop_ = highlight_;
  if (highlight_ >= scrollTop_ + rows) scrollTop_ = highlight_ - rows + 1;
  scrollTop_ = std::clamp(scrollTop_, 0, std::max(0, count - rows));
}

std::vector<const ChooserEntry*> FileChooser::Shown() const {
  std::vector<const ChooserEntry*> shown;
  shown.reserve(shown_.size());
  for (uint32_t index : shown_) shown.push_back(&entries_[index]);
  return shown;
}

const ChooserEntry* FileChooser::Highlighted() const {
  if (shown_.empty()) return nullptr;
  return &entries_[shown_[static_cast<size_t>(highlight_)]];
}

const ChooserEntry* FileChooser::FindExact(const std::string& name) const {
  for (const ChooserEntry& entry : entries_) {
    if (entry.type != ChooserEntry::Type::Parent && entry.name == name) return &entry;
  }
  return nullptr;
}

// --- input ------------------------------------------------------------------------------

void FileChooser::HandleKey(const KEY_EVENT_RECORD& key) {
  if (!key.bKeyDown || state_ != State::Running) return;
  const uint16_t vk = key.wVirtualKeyCode;
  const uint32_t modifiers = key.dwControlKeyState;
  const bool ctrl = HasCtrl(modifiers) && !HasAlt(modifiers);
  if (vk == VK_F10) {
    state_ = State::Quit;
    return;
  }
  if (Confirming()) {
    HandleConfirmKey(key);
    return;
  }
  clickedIndex_ = -1;
  const int page = std::max(1, listRows_ - 1);
  switch (vk) {
    case VK_ESCAPE: state_ = State::Cancelled; return;
    case VK_RETURN: Activate(); return;
    case VK_TAB: Complete(); return;
    case VK_UP: MoveHighlight(-1); return;
    case VK_DOWN: MoveHighlight(1); return;
    case VK_PRIOR: MoveHighlight(-page); return;
    case VK_NEXT: MoveHighlight(page); return;
    case VK_HOME: MoveHighlight(-static_cast<int>(shown_.size())); return;
    case VK_END: MoveHighlight(static_cast<int>(shown_.size())); return;
    case VK_LEFT:
      if (text_.empty()) GoUp();
      return;
    case VK_RIGHT:
      if (const ChooserEntry* entry = Highlighted();
          entry != nullptr && (entry->type == ChooserEntry::Type::Directory ||
                               entry->type == ChooserEntry::Type::Parent)) {
        ActOn(*entry);
      }
      return;
    case VK_BACK:
      if (text_.empty()) {
        GoUp();
      } else {
        if (ctrl) {
          text_.clear();
        } else {
          PopUtf8Character(text_);
        }
        message_.clear();
        highlightMoved_ = false;
        Refilter();
      }
      return;
    default: break;
  }
  if (ctrl) {
    switch (vk) {
      case 'C': state_ = State::Cancelled; return;
      case 'U':
      case 'W':
        text_.clear();
        message_.clear();
        highlightMoved_ = false;
        Refilter();
        return;
      case 'V':
        if (services_.clipboard) InsertText(services_.clipboard());
        return;
      default: return;
    }
  }
  if (HasAlt(modifiers)) return;
  const char16_t ch = key.UnicodeChar;
  if (ch >= 0x20 && ch != 0x7F) InsertText(std::u16string_view(&ch, 1));
}

void FileChooser::HandleConfirmKey(const KEY_EVENT_RECORD& key) {
  const char16_t ch = key.UnicodeChar;
  if (key.wVirtualKeyCode == VK_RETURN || ch == u'y' || ch == u'Y') {
    Choose(confirmPath_);
    confirmPath_.clear();
  } else if (key.wVirtualKeyCode == VK_ESCAPE || ch == u'n' || ch == u'N') {
    confirmPath_.clear();
    confirmName_.clear();
  }
}

void FileChooser::HandleClick(int column, int row) {
  (void)column;
  if (state_ != State::Running || Confirming()) return;
  const int line = row - kListTop;
  const int index = scrollTop_ + line;
  if (line < 0 || line >= ListRows(screenRows_) || index >= static_cast<int>(shown_.size())) {
    clickedIndex_ = -1;
    return;
  }
  if (index == clickedIndex_) {
    // The second click on the same entry: open it.
    clickedIndex_ = -1;
    highlight_ = index;
    ActOn(entries_[shown_[static_cast<size_t>(index)]]);
    return;
  }
  highlight_ = index;
  highlightMoved_ = true;
  clickedIndex_ = index;
}

void FileChooser::HandleWheel(int notches) {
  if (state_ != State::Running || Confirming() || notches == 0) return;
  clickedIndex_ = -1;
  MoveHighlight(-notches * kWheelStep);
}

void FileChooser::MoveHighlight(int delta) {
  if (shown_.empty()) return;
  const int last = static_cast<int>(shown_.size()) - 1;
  highlight_ = static_cast<int>(std::clamp<int64_t>(int64_t{highlight_} + delta, 0, last));
  highlightMoved_ = true;
  EnsureVisible();
}

void FileChooser::InsertText(std::u16string_view units) {
  bool changed = false;
  for (const char16_t unit : units) {
    if (unit < 0x20 || unit == 0x7F) continue;  // no line breaks or controls in a name
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
    changed = true;
  }
  if (!changed) return;
  message_.clear();
  highlightMoved_ = false;
  ResolveTypedFolders();
  Refilter();
}

std::string FileChooser::FolderNamed(const std::string& head) const {
  if (head.empty()) return std::string(1, '/');  // a leading '/': the root
  if (head == "~") return NormalizePath(ExpandHome("~"), folder_);
  if (head == ".") return folder_;
  if (head == "..") return ParentFolder(folder_);
  return JoinPath(folder_, head);
}

void FileChooser::ResolveTypedFolders() {
  for (;;) {
    const size_t slash = text_.find('/');
    if (slash == std::string::npos) return;
    const std::string head = text_.substr(0, slash);
    const std::string target = FolderNamed(head);
    if (!IsDirectoryPath(target)) {
      message_ = u"No folder named \"" + DisplayName(head) + u"\"";
      return;
    }
    // Going up highlights the folder we came from.
    const std::string cameFrom = head == ".." ? folder_.substr(folder_.find_last_of('/') + 1) : std::string();
    text_.erase(0, slash + 1);
    Load(target, cameFrom);
  }
}

// --- actions ------------------------------------------------------------------------------

void FileChooser::Activate() {
  if (text_.empty() || highlightMoved_) {
    if (const ChooserEntry* entry = Highlighted()) ActOn(*entry);
    return;
  }
  if (text_.find('/') != std::string::npos) {
    // A folder in the typed path does not exist (the message says which).
    ResolveTypedFolders();
    Refilter();
    return;
  }
  if (text_ == ".") {
    text_.clear();
    Refilter();
    return;
  }
  if (text_ == "..") {
    text_.clear();
    GoUp();
    return;
  }
  if (const ChooserEntry* exact = FindExact(text_)) {
    ActOn(*exact);
    return;
  }
  const std::string path = JoinPath(folder_, text_);
  if (IsDirectoryPath(path)) {
    // Made after the folder was listed, or not listed because it could not
    // be read.
    Enter(text_);
    return;
  }
  if (kind_ == PathPromptKind::Open) {
    if (PathExists(path)) {
      Choose(path);
    } else if (const ChooserEntry* entry = Highlighted();
               entry != nullptr && entry->type != ChooserEntry::Type::Parent) {
      ActOn(*entry);
    } else {
      message_ = u"No file named \"" + DisplayName(text_) + u"\"";
    }
    return;
  }
  if (PathExists(path)) {
    AskToReplace(path, text_);
  } else {
    Choose(path);
  }
}

void FileChooser::ActOn(const ChooserEntry& entry) {
  switch (entry.type) {
    case ChooserEntry::Type::Parent: GoUp(); return;
    case ChooserEntry::Type::Directory: Enter(entry.name); return;
    default: break;
  }
  const std::string path = JoinPath(folder_, entry.name);
  if (kind_ == PathPromptKind::Open) {
    Choose(path);
  } else {
    AskToReplace(path, entry.name);
  }
}

void FileChooser::Choose(const std::string& path) {
  chosen_ = path;
  state_ = State::Chosen;
}

// Asks before replacing a file, saying when it is a link or has other hard
// links; a target that is not a regular file is refused at once.
void FileChooser::AskToReplace(const std::string& path, const std::string& name) {
  const ReplaceTarget target = DescribeReplaceTarget(path);
  if (!target.replaceable) {
    message_ = u"\"" + DisplayName(name) + u"\": " + target.refusal + u"; choose a regular file";
    return;
  }
  confirmPath_ = path;
  confirmName_ = name;
  confirmNotes_ = target.notes;
}

void FileChooser::Enter(const std::string& name) {
  const std::string target = JoinPath(folder_, name);
  text_.clear();
  Load(target, {});
}

void FileChooser::GoUp() {
  if (folder_ == "/") return;
  const std::string child = folder_.substr(folder_.find_last_of('/') + 1);
  text_.clear();
  Load(ParentFolder(folder_), child);
}

void FileChooser::Complete() {
  if (text_.find('/') != std::string::npos) return;
  std::vector<const ChooserEntry*> candidates;
  for (uint32_t index : shown_) {
    if (entries_[index].type != ChooserEntry::Type::Parent) candidates.push_back(&entries_[index]);
  }
  if (candidates.empty()) {
    message_ = u"No match";
    return;
  }
  message_.clear();
  highlightMoved_ = false;
  if (candidates.size() == 1) {
    const ChooserEntry& only = *candidates.front();
    if (only.type == ChooserEntry::Type::Directory) {
      Enter(only.name);
    } else {
      text_ = only.name;
      Refilter();
    }
    return;
  }
  const std::string& first = candidates.front()->name;
  size_t common = first.size();
  for (const ChooserEntry* candidate : candidates) {
    size_t n = 0;
    while (n < common && n < candidate->name.size() &&
           LowerAscii(first[n]) == LowerAscii(candidate->name[n])) {
      ++n;
    }
    common = n;
  }
  // Never stop inside a character.
  while (common > 0 && common < first.size() && (static_cast<unsigned char>(first[common]) & 0xC0) == 0x80) {
    --common;
  }
  if (common > text_.size()) {
    text_ = first.substr(0, common);
    Refilter();
  }
}

// --- drawing ----------------------------------------------------------------------------------

void FileChooser::Render(DialogCanvas& canvas) {
  const int columns = canvas.Columns();
  const int rows = canvas.Rows();
  screenRows_ = rows;
  listRows_ = ListRows(rows);
  EnsureVisible();

  canvas.Fill(0, 0, columns, 1, kTitleBar);
  canvas.Text(1, 0, kind_ == PathPromptKind::Open ? kOpenFileTitle : kSaveFileTitle, kTitleBar);

  // The folder, its end kept when it is too long.
  canvas.Text(1, 1, kFolderLabel, kPlain);
  std::u16string folderText = DisplayName(folder_ == "/" ? folder_ : folder_ + "/");
  const int folderRoom = columns - 1 - static_cast<int>(kFolderLabel.size()) - 1;
  if (folderRoom > 1 && static_cast<int>(folderText.size()) > folderRoom) {
    folderText = u"<" + folderText.substr(folderText.size() - static_cast<size_t>(folderRoom - 1));
  }
  canvas.Text(1 + static_cast<int>(kFolderLabel.size()), 1, folderText, kFolderLine, folderRoom);

  // The rows of the listing on screen; sizes are looked up for them only.
  const int count = static_cast<int>(shown_.size());
  const int visible = std::max(0, std::min(listRows_, count - scrollTop_));
  std::vector<std::u16string> sizes(static_cast<size_t>(visible));
  size_t sizeWidth = 4;  // "Size"
  for (int r = 0; r < visible; ++r) {
    ChooserEntry& entry = entries_[shown_[static_cast<size_t>(scrollTop_ + r)]];
    if (entry.type == ChooserEntry::Type::File && !entry.sizeChecked) {
      entry.size = services_.entrySize(JoinPath(folder_, entry.name));
      entry.sizeChecked = true;
    }
    sizes[static_cast<size_t>(r)] = SizeText(entry);
    sizeWidth = std::max(sizeWidth, sizes[static_cast<size_t>(r)].size());
  }
  int nameWidth = columns - 2 - static_cast<int>(sizeWidth) - 2;
  const bool showSizes = nameWidth >= 8;
  if (!showSizes) nameWidth = columns - 2;

  canvas.Text(1, 2, u"Name", kHelp);
  if (showSizes) canvas.Text(columns - 1 - 4, 2, u"Size", kHelp);

  for (int r = 0; r < visible; ++r) {
    const int index = scrollTop_ + r;
    const ChooserEntry& entry = entries_[shown_[static_cast<size_t>(index)]];
    const int y = kListTop + r;
    const bool highlighted = index == highlight_;
    const uint16_t colour = highlighted ? kHighlight : EntryColour(entry);
    if (highlighted) canvas.Fill(0, y, columns, 1, kHighlight);
    std::u16string name = DisplayName(entry.name);
    if (entry.type == ChooserEntry::Type::Directory || entry.type == ChooserEntry::Type::Parent) name += u'/';
    if (nameWidth > 1 && static_cast<int>(name.size()) > nameWidth) {
      name = name.substr(0, static_cast<size_t>(nameWidth - 1)) + u"~";
    }
    canvas.Text(1, y, name, colour, nameWidth);
    if (showSizes) {
      const std::u16string& size = sizes[static_cast<size_t>(r)];
      canvas.Text(columns - 1 - static_cast<int>(size.size()), y, size, colour);
    }
  }

  // Status row: the question, a warning, or where the highlight is.
  const int statusRow = rows - 3;
  if (Confirming()) {
    canvas.Text(1, statusRow,
                u"\"" + DisplayName(confirmName_) + u"\" exists. " + confirmNotes_ + u"Replace it? Enter/Y: yes  Esc/N: no",
                kWarning);
  } else if (!message_.empty()) {
    canvas.Text(1, statusRow, message_, kWarning);
  } else if (shown_.empty()) {
    canvas.Text(1, statusRow, text_.empty() ? u"Empty folder" : u"No name starts with this", kHelp);
  } else {
    canvas.Text(1, statusRow, Number(static_cast<size_t>(highlight_) + 1) + u" of " + Number(shown_.size()),
                kHelp);
  }

  // The name line with its caret at the end; its end kept when too long.
  const int nameRow = rows - 2;
  canvas.Fill(0, nameRow, columns, 1, kPlain);
  canvas.Text(1, nameRow, kNameLabel, kPlain);
  const int fieldX = 1 + static_cast<int>(kNameLabel.size());
  const int fieldWidth = columns - 1 - fieldX;
  if (fieldWidth > 1) {
    canvas.Fill(fieldX, nameRow, fieldWidth, 1, kEditLine);
    std::u16string typed = DisplayName(text_);
    const size_t room = static_cast<size_t>(fieldWidth - 1);
    if (typed.size() > room) typed = u"<" + typed.substr(typed.size() - room + 1);
    canvas.Text(fieldX, nameRow, typed, kEditLine);
    canvas.Put(fieldX + static_cast<int>(typed.size()), nameRow, u' ', kCaret);
  }

  canvas.Fill(0, rows - 1, columns, 1, kPlain);
  canvas.Text(1, rows - 1, kind_ == PathPromptKind::Open ? kOpenHelp : kSaveHelp, kHelp);
}

// --- the modal loop -----------------------------------------------------------------------------

ChooserResult RunFileChooser(DialogTerminal& terminal, PathPromptKind kind, const std::string& startDir) {
  FileChooser::Services services;
  services.clipboard = [&terminal] { return terminal.ClipboardText(); };
  FileChooser chooser(kind, startDir, std::move(services));
  for (;;) {
    int columns = 0;
    int rows = 0;
    terminal.ScreenSize(columns, rows);
    DialogCanvas canvas(columns, rows);
    chooser.Render(canvas);
    terminal.Show(canvas.Cells(), columns, rows);

    const DialogEvent event = terminal.Next();
    switch (event.kind) {
      case DialogEvent::Kind::End: return ChooserResult{ChooserOutcome::Ended, {}};
      case DialogEvent::Kind::Key: chooser.HandleKey(event.key); break;
      case DialogEvent::Kind::Click: chooser.HandleClick(event.position.X, event.position.Y); break;
      case DialogEvent::Kind::Wheel: chooser.HandleWheel(event.wheel); break;
      case DialogEvent::Kind::Redraw: break;
    }
    switch (chooser.GetState()) {
      case FileChooser::State::Running: break;
      case FileChooser::State::Chosen: return ChooserResult{ChooserOutcome::Chosen, chooser.ChosenPath()};
      case FileChooser::State::Cancelled: return ChooserResult{ChooserOutcome::Cancelled, {}};
      case FileChooser::State::Quit: return ChooserResult{ChooserOutcome::Quit, {}};
    }
  }
}

}  // namespace kelm::port
