// The file chooser's model on a made-up folder whose entry names and types
// come from the input (any bytes but '/' and NUL), driven by keys, clicks
// and wheel turns the input also picks, drawn on a canvas of a size it
// picks. Checks: the highlight stays inside the listing, what is shown is
// in listing order, the display names hold no control characters, and a
// chosen path lies in the folder shown or below the start.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "engine/port/terminal/dialogs/display_name.h"
#include "engine/port/terminal/dialogs/file_chooser.h"

namespace {

using namespace kelm::port;

void Check(bool condition) {
  if (!condition) std::abort();
}

struct Reader {
  const uint8_t* data;
  size_t size;
  size_t at = 0;
  bool Done() const { return at >= size; }
  uint8_t Byte() { return at < size ? data[at++] : 0; }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  Reader in{data, size};
  // Entries: [type byte][name length byte][name bytes], up to a 0xFF type.
  DirectoryListing listing;
  while (!in.Done() && listing.entries.size() < 64) {
    const uint8_t type = in.Byte();
    if (type == 0xFF) break;
    ChooserEntry entry;
    entry.type = static_cast<ChooserEntry::Type>(1 + type % 7);
    const size_t length = in.Byte() % 24;
    for (size_t i = 0; i < length && !in.Done(); ++i) {
      char c = static_cast<char>(in.Byte());
      if (c == '/' || c == '\0') c = 'x';
      entry.name += c;
    }
    if (entry.name.empty() || entry.name == "." || entry.name == "..") continue;
    listing.entries.push_back(entry);
  }
  FileChooser::Services services;
  services.readDirectory = [&listing](const std::string&) { return listing; };
  services.entrySize = [](const std::string& path) -> std::optional<uint64_t> { return path.size() * 1000; };
  services.isDirectory = [](const std::string& path) { return path.size() % 3 == 0; };
  services.exists = [](const std::string& path) { return path.size() % 2 == 0; };
  services.clipboard = [] { return std::u16string(u"../a/b/~/c"); };
  const PathPromptKind kind = in.Byte() & 1 ? PathPromptKind::Save : PathPromptKind::Open;
  FileChooser chooser(kind, "/start/dir", services);
  const int columns = 1 + in.Byte() % 120;
  const int rows = 1 + in.Byte() % 50;

  static const uint16_t kKeys[] = {VK_UP,   VK_DOWN, VK_PRIOR, VK_NEXT,   VK_HOME,  VK_END, VK_LEFT, VK_RIGHT,
                                   VK_TAB,  VK_BACK, VK_RETURN, VK_ESCAPE, VK_DELETE, 'V',   'A',     'Z'};
  for (int step = 0; step < 64 && !in.Done() && chooser.GetState() == FileChooser::State::Running; ++step) {
    const uint8_t action = in.Byte();
    if (action < 0x90) {
      KEY_EVENT_RECORD key;
      key.bKeyDown = 1;
      if (action < 0x40) {
        key.wVirtualKeyCode = kKeys[action % std::size(kKeys)];
        key.dwControlKeyState = action & 0x20 ? LEFT_CTRL_PRESSED : 0;
        if (key.wVirtualKeyCode == 'V' && key.dwControlKeyState) key.UnicodeChar = 0x16;
      } else {
        key.wVirtualKeyCode = VK_PACKET;
        key.UnicodeChar = static_cast<char16_t>(in.Byte());  // typed characters, '/' and '.' included
        if (action & 1) key.UnicodeChar = action & 2 ? u'/' : u'.';
      }
      chooser.HandleKey(key);
    } else if (action < 0xC0) {
      chooser.HandleClick(in.Byte() % (columns + 2), in.Byte() % (rows + 2));
    } else {
      chooser.HandleWheel(static_cast<int>(in.Byte() % 7) - 3);
    }
    DialogCanvas canvas(columns, rows);
    chooser.Render(canvas);
    const auto shown = chooser.Shown();
    if (shown.empty()) {
      Check(chooser.Highlighted() == nullptr);
    } else {
      Check(chooser.HighlightIndex() >= 0 && static_cast<size_t>(chooser.HighlightIndex()) < shown.size());
      for (size_t i = 1; i < shown.size(); ++i) Check(!ChooserEntryLess(*shown[i], *shown[i - 1]));
    }
    for (const ChooserEntry* entry : shown) {
      for (char16_t unit : DisplayName(entry->name)) Check(unit >= 0x20 && unit != 0x7F);
    }
  }
  if (chooser.GetState() == FileChooser::State::Chosen) {
    const std::string& path = chooser.ChosenPath();
    Check(!path.empty() && path.front() == '/');
    Check(path.find('\0') == std::string::npos);
  }
  return 0;
}
