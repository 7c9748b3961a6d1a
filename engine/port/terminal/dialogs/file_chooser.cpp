#include "engine/port/terminal/dialogs/file_chooser.h"

#include <sys/stat.h>

#include <algorithm>
#include <cstring>

#include "engine/port/terminal/dialogs/chooser_paths.h"
#include "engine/port/terminal/dialogs/display_name.h"
#include "engine/port/terminal/replace_target.h"
#include "engine/port/utf.h"

namespace kelm::port {

namespace {

// Rows the wheel moves per notch.
constexpr int kWheelStep = 3;
// Typed characters below this, and DEL, are controls, never part of a name.
constexpr char16_t kFirstPrintable = 0x20;
constexpr char16_t kDelete = 0x7F;
// UTF-8 continuation bytes are 10xxxxxx.
constexpr unsigned char kUtf8ContinuationMask = 0xC0;
constexpr unsigned char kUtf8Continuation = 0x80;

bool StartsWithIgnoringCase(const std::string& name, const std::string& prefix) {
  if (prefix.size() > name.size()) return false;
  for (size_t i = 0; i < prefix.size(); ++i) {
    if (LowerAscii(name[i]) != LowerAscii(prefix[i])) return false;
  }
  return true;
}

std::u16string ErrorText(int error) { return FromUtf8(std::strerror(error)); }

}  // namespace

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
  clickedIndex_ = kNoClick;
  highlightMoved_ = false;
  scrollTop_ = 0;
  Refilter(highlightName);
}

void FileChooser::Refilter(const std::string& preferName) {
  shown_.clear();
  const bool showHidden = !name_.Text().empty() && name_.Text()[0] == '.';
  for (size_t i = 0; i < entries_.size(); ++i) {
    const ChooserEntry& entry = entries_[i];
    if (entry.type == ChooserEntry::Type::Parent) {
      if (name_.Text().empty()) shown_.push_back(static_cast<uint32_t>(i));
      continue;
    }
    if (!showHidden && !entry.name.empty() && entry.name[0] == '.') continue;
    if (!StartsWithIgnoringCase(entry.name, name_.Text())) continue;
    shown_.push_back(static_cast<uint32_t>(i));
  }
  highlight_ = 0;
  const std::string& wanted = !preferName.empty() ? preferName : name_.Text();
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
  clickedIndex_ = kNoClick;
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
      if (name_.Text().empty()) GoUp();
      return;
    case VK_RIGHT:
      if (const ChooserEntry* entry = Highlighted();
          entry != nullptr && (entry->type == ChooserEntry::Type::Directory ||
                               entry->type == ChooserEntry::Type::Parent)) {
        ActOn(*entry);
      }
      return;
    case VK_BACK:
      if (name_.Text().empty()) {
        GoUp();
      } else {
        if (ctrl) {
          name_.Text().clear();
        } else {
          PopUtf8Character(name_.Text());
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
        name_.Text().clear();
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
  if (ch >= kFirstPrintable && ch != kDelete) InsertText(std::u16string_view(&ch, 1));
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
    clickedIndex_ = kNoClick;
    return;
  }
  if (index == clickedIndex_) {
    // The second click on the same entry: open it.
    clickedIndex_ = kNoClick;
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
  clickedIndex_ = kNoClick;
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
  if (!name_.Insert(units)) return;
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
    const size_t slash = name_.Text().find('/');
    if (slash == std::string::npos) return;
    const std::string head = name_.Text().substr(0, slash);
    const std::string target = FolderNamed(head);
    if (!IsDirectoryPath(target)) {
      message_ = u"No folder named \"" + DisplayName(head) + u"\"";
      return;
    }
    // Going up highlights the folder we came from.
    const std::string cameFrom = head == ".." ? folder_.substr(folder_.find_last_of('/') + 1) : std::string();
    name_.Text().erase(0, slash + 1);
    Load(target, cameFrom);
  }
}

// --- actions ------------------------------------------------------------------------------

void FileChooser::Activate() {
  if (name_.Text().empty() || highlightMoved_) {
    if (const ChooserEntry* entry = Highlighted()) ActOn(*entry);
    return;
  }
  if (name_.Text().find('/') != std::string::npos) {
    // A folder in the typed path does not exist (the message says which).
    ResolveTypedFolders();
    Refilter();
    return;
  }
  if (name_.Text() == ".") {
    name_.Text().clear();
    Refilter();
    return;
  }
  if (name_.Text() == "..") {
    name_.Text().clear();
    GoUp();
    return;
  }
  if (const ChooserEntry* exact = FindExact(name_.Text())) {
    ActOn(*exact);
    return;
  }
  const std::string path = JoinPath(folder_, name_.Text());
  if (IsDirectoryPath(path)) {
    // Made after the folder was listed, or not listed because it could not
    // be read.
    Enter(name_.Text());
    return;
  }
  if (kind_ == PathPromptKind::Open) {
    if (PathExists(path)) {
      Choose(path);
    } else if (const ChooserEntry* entry = Highlighted();
               entry != nullptr && entry->type != ChooserEntry::Type::Parent) {
      ActOn(*entry);
    } else {
      message_ = u"No file named \"" + DisplayName(name_.Text()) + u"\"";
    }
    return;
  }
  if (PathExists(path)) {
    AskToReplace(path, name_.Text());
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
  name_.Text().clear();
  Load(target, {});
}

void FileChooser::GoUp() {
  if (folder_ == "/") return;
  const std::string child = folder_.substr(folder_.find_last_of('/') + 1);
  name_.Text().clear();
  Load(ParentFolder(folder_), child);
}

void FileChooser::Complete() {
  if (name_.Text().find('/') != std::string::npos) return;
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
      name_.Text() = only.name;
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
  while (common > 0 && common < first.size() && (static_cast<unsigned char>(first[common]) & kUtf8ContinuationMask) == kUtf8Continuation) {
    --common;
  }
  if (common > name_.Text().size()) {
    name_.Text() = first.substr(0, common);
    Refilter();
  }
}

}  // namespace kelm::port
