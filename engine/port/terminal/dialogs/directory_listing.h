// The entries of a folder as the file chooser lists them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kelm::port {

struct ChooserEntry {
  enum class Type : uint8_t {
    Parent,  // the ".." entry
    Directory,
    File,
    Fifo,
    Socket,
    CharacterDevice,
    BlockDevice,
    Unknown,  // a broken symbolic link, or a type that could not be found out
  };
  std::string name;  // raw bytes as on disk
  Type type = Type::File;
  // Sizes of files are looked up when the entry is first shown (a folder of
  // 100,000 entries costs one look-up per row on screen, not 100,000).
  bool sizeChecked = false;
  std::optional<uint64_t> size;
};

struct DirectoryListing {
  std::vector<ChooserEntry> entries;  // without "." and ".."
  int error = 0;                      // errno when the folder could not be read
};

// The entries of a folder, typed (symbolic links by what they point to), in
// the order the system gives them; sizes are left unknown.
DirectoryListing ReadDirectory(const std::string& folder);
// The size of a file, or nothing when it cannot be found out.
std::optional<uint64_t> ReadEntrySize(const std::string& path);

// Names compare ignoring ASCII case only (other bytes as they are).
inline char LowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
// Listing order: "..", then folders, then everything else; within each, by
// name ignoring ASCII case, then by the exact bytes.
bool ChooserEntryLess(const ChooserEntry& a, const ChooserEntry& b);

}  // namespace kelm::port
