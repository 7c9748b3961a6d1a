// Shared pieces of the file chooser's tests: keys as a terminal sends them,
// typing, what the listing and the screen show, and a temporary folder.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "engine/port/terminal/dialogs/file_chooser.h"
#include "engine/port/utf.h"

namespace chooser_test {

namespace fs = std::filesystem;
using namespace kelm::port;

inline KEY_EVENT_RECORD Key(uint16_t vk, char16_t ch = 0, uint32_t state = 0) {
  return MakeKeyRecord(true, vk, ch, state).Event.KeyEvent;
}

// The virtual-key code a terminal key of this character carries.
inline uint16_t VirtualKeyOf(char c) {
  if (c >= 'a' && c <= 'z') return static_cast<uint16_t>(c - 'a' + 'A');
  if ((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')) return static_cast<uint16_t>(c);
  switch (c) {
    case '.': return VK_OEM_PERIOD;
    case '/': return VK_OEM_2;
    case '-':
    case '_': return VK_OEM_MINUS;
    case '~': return VK_OEM_3;
    case ' ': return VK_SPACE;
    default: return VK_PACKET;
  }
}

inline void Type(FileChooser& chooser, const std::string& text) {
  for (char c : text) chooser.HandleKey(Key(VirtualKeyOf(c), static_cast<unsigned char>(c)));
}

inline std::vector<std::string> ShownNames(const FileChooser& chooser) {
  std::vector<std::string> names;
  for (const ChooserEntry* entry : chooser.Shown()) names.push_back(entry->name);
  return names;
}

inline std::string RowText(const DialogCanvas& canvas, int row) {
  std::string text = ToUtf8(canvas.Row(row));
  text.erase(text.find_last_not_of(' ') + 1);
  return text;
}

// A fresh temporary folder with a few files and folders, removed afterwards.
class ChooserFolderTest : public ::testing::Test {
 protected:
  void SetUp() override {
    char pattern[] = "/tmp/kelmhex-chooser-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    root = pattern;
    Write("beta.bin", std::string(1234, 'x'));
    Write("Alpha.txt", "hello");
    Write("gamma", "");
    Write(".hidden", "h");
    fs::create_directory(root / "zeta");
    fs::create_directory(root / "Docs");
    fs::create_directory(root / ".config");
    Write("Docs/report.pdf", "pdf");
    Write("Docs/readme.md", "md");
  }
  void TearDown() override {
    std::error_code ignored;
    fs::remove_all(root, ignored);
  }
  void Write(const std::string& name, const std::string& bytes) {
    std::ofstream(root / name, std::ios::binary) << bytes;
  }

  fs::path root;
};

// --- pure helpers ----------------------------------------------------------------

}  // namespace chooser_test
