// How the file chooser draws its screen (the layout is in file_chooser.h).
#include "engine/port/terminal/dialogs/file_chooser.h"

#include <algorithm>

#include "engine/port/terminal/dialogs/chooser_paths.h"
#include "engine/port/terminal/dialogs/dialog_palette.h"
#include "engine/port/terminal/dialogs/display_name.h"

namespace kelm::port {

namespace {

using namespace dialog_colours;

constexpr std::u16string_view kFolderLabel = u"Folder: ";
constexpr std::u16string_view kNameLabel = u"Name: ";
constexpr std::u16string_view kNameHeading = u"Name";
constexpr std::u16string_view kSizeHeading = u"Size";
// Text starts one column in from either side of the screen.
constexpr int kMargin = 1;
// Columns between a name and its size.
constexpr int kSizeGap = 2;
// Narrower than this, the name column takes the whole row and no sizes show.
constexpr int kMinNameWidth = 8;
constexpr std::u16string_view kOpenHelp =
    u"Enter: open  Tab: complete  Backspace: up  .: hidden  Esc: cancel  F10: quit";
constexpr std::u16string_view kSaveHelp =
    u"Enter: save  Tab: complete  Backspace: up  .: hidden  Esc: cancel  F10: quit";

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

}  // namespace

void FileChooser::Render(DialogCanvas& canvas) {
  const int columns = canvas.Columns();
  const int rows = canvas.Rows();
  screenRows_ = rows;
  listRows_ = ListRows(rows);
  EnsureVisible();

  DrawTitleBar(canvas, kind_ == PathPromptKind::Open ? kOpenFileTitle : kSaveFileTitle);

  // The folder, its end kept when it is too long.
  canvas.Text(kMargin, kFolderRow, kFolderLabel, kPlain);
  std::u16string folderText = DisplayName(folder_ == "/" ? folder_ : folder_ + "/");
  const int folderRoom = columns - kMargin - static_cast<int>(kFolderLabel.size()) - kMargin;
  if (folderRoom > 1 && static_cast<int>(folderText.size()) > folderRoom) {
    folderText = u"<" + folderText.substr(folderText.size() - static_cast<size_t>(folderRoom - 1));
  }
  canvas.Text(kMargin + static_cast<int>(kFolderLabel.size()), kFolderRow, folderText, kFolderLine, folderRoom);

  // The rows of the listing on screen; sizes are looked up for them only.
  const int count = static_cast<int>(shown_.size());
  const int visible = std::max(0, std::min(listRows_, count - scrollTop_));
  std::vector<std::u16string> sizes(static_cast<size_t>(visible));
  size_t sizeWidth = kSizeHeading.size();
  for (int r = 0; r < visible; ++r) {
    ChooserEntry& entry = entries_[shown_[static_cast<size_t>(scrollTop_ + r)]];
    if (entry.type == ChooserEntry::Type::File && !entry.sizeChecked) {
      entry.size = services_.entrySize(JoinPath(folder_, entry.name));
      entry.sizeChecked = true;
    }
    sizes[static_cast<size_t>(r)] = SizeText(entry);
    sizeWidth = std::max(sizeWidth, sizes[static_cast<size_t>(r)].size());
  }
  int nameWidth = columns - 2 * kMargin - static_cast<int>(sizeWidth) - kSizeGap;
  const bool showSizes = nameWidth >= kMinNameWidth;
  if (!showSizes) nameWidth = columns - 2 * kMargin;

  canvas.Text(kMargin, kHeadingRow, kNameHeading, kHelp);
  if (showSizes) {
    canvas.Text(columns - kMargin - static_cast<int>(kSizeHeading.size()), kHeadingRow, kSizeHeading, kHelp);
  }

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
    canvas.Text(kMargin, y, name, colour, nameWidth);
    if (showSizes) {
      const std::u16string& size = sizes[static_cast<size_t>(r)];
      canvas.Text(columns - kMargin - static_cast<int>(size.size()), y, size, colour);
    }
  }

  // Status row: the question, a warning, or where the highlight is.
  const int statusRow = rows - kStatusRowFromBottom;
  if (Confirming()) {
    canvas.Text(kMargin, statusRow,
                u"\"" + DisplayName(confirmName_) + u"\" exists. " + confirmNotes_ + u"Replace it? Enter/Y: yes  Esc/N: no",
                kWarning);
  } else if (!message_.empty()) {
    canvas.Text(kMargin, statusRow, message_, kWarning);
  } else if (shown_.empty()) {
    canvas.Text(kMargin, statusRow, name_.Text().empty() ? u"Empty folder" : u"No name starts with this", kHelp);
  } else {
    canvas.Text(kMargin, statusRow, Number(static_cast<size_t>(highlight_) + 1) + u" of " + Number(shown_.size()),
                kHelp);
  }

  // The name line with its caret at the end; its end kept when too long.
  const int nameRow = rows - kNameRowFromBottom;
  canvas.Fill(0, nameRow, columns, 1, kPlain);
  canvas.Text(kMargin, nameRow, kNameLabel, kPlain);
  const int fieldX = kMargin + static_cast<int>(kNameLabel.size());
  const int fieldWidth = columns - kMargin - fieldX;
  DrawEditField(canvas, fieldX, nameRow, fieldWidth, DisplayName(name_.Text()));

  const int helpRow = rows - kHelpRowFromBottom;
  canvas.Fill(0, helpRow, columns, 1, kPlain);
  canvas.Text(kMargin, helpRow, kind_ == PathPromptKind::Open ? kOpenHelp : kSaveHelp, kHelp);
}

}  // namespace kelm::port
