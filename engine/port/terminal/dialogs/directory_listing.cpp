#include "engine/port/terminal/dialogs/directory_listing.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <string_view>

namespace kelm::port {

namespace {

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

}  // namespace

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

}  // namespace kelm::port
