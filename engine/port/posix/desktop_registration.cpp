#include "engine/port/desktop_registration.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "engine/port/atomic_file_writer.h"
#include "engine/port/process_path.h"
#include "engine/port/random_name.h"
#include "engine/port/user_folders.h"

extern char** environ;

namespace kelm::port {

namespace {

// Characters that make an Exec argument need quotes.
constexpr std::string_view kReservedExecCharacters = " \t\n\"'\\><~|&;$*?#()`";
// Characters escaped by a backslash inside a quoted Exec argument.
constexpr std::string_view kQuotedEscapes = "\"`$\\";

constexpr const char* kCacheTool = "update-desktop-database";

bool IsValidUtf8(std::string_view text) {
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    size_t length = 0;
    uint32_t value = 0;
    if (lead < 0x80) {
      ++i;
      continue;
    } else if (lead >= 0xC2 && lead <= 0xDF) {
      length = 2;
      value = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      length = 3;
      value = lead & 0x0F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      value = lead & 0x07;
    } else {
      return false;
    }
    if (i + length > text.size()) return false;
    for (size_t k = 1; k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      value = (value << 6) | (next & 0x3F);
    }
    const uint32_t minimum = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (value < minimum || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return false;
    i += length;
  }
  return true;
}

int WriteAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(fd, bytes.data(), bytes.size());
    if (written < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return 0;
}

// Opens a new file with a name no one else can guess, beside `target`.
int CreateTemporaryBeside(const std::string& target, std::string& temporaryPath) {
  const size_t slash = target.find_last_of('/');
  const std::string folder = target.substr(0, slash + 1);
  for (int attempt = 0; attempt < kExclusiveCreateTries; ++attempt) {
    temporaryPath = folder + kTemporaryPrefix + UnpredictableName(12);
    const int fd = open(temporaryPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0 || errno != EEXIST) return fd;
  }
  errno = EEXIST;
  return -1;
}

// Tells the desktop that the folder's entries changed (GIO-based file
// managers read MIME associations from the cache this tool writes). Its
// absence or failure changes nothing for the entry itself.
void RefreshApplicationCache(const std::string& folder) {
  posix_spawn_file_actions_t actions;
  if (posix_spawn_file_actions_init(&actions) != 0) return;
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  std::string tool = kCacheTool;
  std::string argument = folder;
  char* argv[] = {tool.data(), argument.data(), nullptr};
  pid_t child = 0;
  if (posix_spawnp(&child, kCacheTool, &actions, nullptr, argv, environ) == 0) {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }
  posix_spawn_file_actions_destroy(&actions);
}

RegistrationResult Failure(char step, int error) { return RegistrationResult{false, step, error, {}}; }

// C0 controls, DEL, and C1 controls in their UTF-8 form (C2 80 to C2 9F).
bool HoldsControlCharacter(std::string_view text) {
  for (size_t i = 0; i < text.size(); ++i) {
    const auto byte = static_cast<unsigned char>(text[i]);
    if (byte < 0x20 || byte == 0x7F) return true;
    if (byte == 0xC2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xA0) return true;
  }
  return false;
}

constexpr const char* kControlInPathMessage =
    "The program's path holds control characters, which a desktop entry cannot name; "
    "move the program to a folder whose path has none";

}  // namespace

std::string ApplicationsDirectory() {
  // Relative values of XDG_DATA_HOME are invalid and ignored.
  const char* dataHome = std::getenv("XDG_DATA_HOME");
  if (dataHome != nullptr && dataHome[0] == '/') return std::string(dataHome) + "/applications";
  const std::string home = HomeFolder();
  if (home.empty()) return {};
  return home + "/.local/share/applications";
}

std::string DesktopEntryPath() {
  const std::string folder = ApplicationsDirectory();
  if (folder.empty()) return {};
  return folder + "/" + kDesktopEntryFileName;
}

std::string EscapeExecArgument(const std::string& argument) {
  std::string quoted;
  const bool needsQuotes =
      argument.empty() || argument.find_first_of(kReservedExecCharacters) != std::string::npos;
  if (needsQuotes) quoted += '"';
  for (const char c : argument) {
    if (needsQuotes && kQuotedEscapes.find(c) != std::string_view::npos) quoted += '\\';
    quoted += c;
    if (c == '%') quoted += '%';
  }
  if (needsQuotes) quoted += '"';

  // The escapes of a string value apply to the whole line before it is split
  // into arguments.
  std::string escaped;
  for (const char c : quoted) {
    switch (c) {
      case '\\': escaped += "\\\\"; break;
      case '\n': escaped += "\\n"; break;
      case '\t': escaped += "\\t"; break;
      case '\r': escaped += "\\r"; break;
      default: escaped += c;
    }
  }
  return escaped;
}

std::string DesktopEntryText(const std::string& programPath) {
  std::string text = "[Desktop Entry]\n";
  text += "Type=Application\n";
  text += std::string("Name=") + kDesktopEntryName + "\n";
  text += "Exec=" + EscapeExecArgument(programPath) + " %f\n";
  text += "Terminal=true\n";
  text += "MimeType=application/octet-stream;\n";
  return text;
}

bool IsRegistered() {
  const std::string path = DesktopEntryPath();
  if (path.empty()) return false;
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

RegistrationResult RegisterVerb() {
  const std::string program = ProgramPath();
  if (program.empty()) return Failure('2', errno != 0 ? errno : ENOENT);
  return RegisterVerb(program);
}

RegistrationResult RegisterVerb(const std::string& programPath) {
  const std::string folder = ApplicationsDirectory();
  if (folder.empty()) return Failure('1', ENOENT);
  const int folderError = MakeFolders(folder);
  if (folderError != 0) return Failure('1', folderError);

  // Desktop entries are UTF-8 text; a path that is not cannot be named in one.
  if (programPath.empty() || programPath[0] != '/') return Failure('2', ENOENT);
  if (!IsValidUtf8(programPath)) return Failure('2', EILSEQ);
  if (HoldsControlCharacter(programPath)) return RegistrationResult{false, '2', EINVAL, kControlInPathMessage};

  const std::string target = folder + "/" + kDesktopEntryFileName;
  std::string temporary;
  const int fd = CreateTemporaryBeside(target, temporary);
  if (fd < 0) return Failure('2', errno);
  const int writeError = WriteAll(fd, DesktopEntryText(programPath));
  if (writeError != 0) {
    close(fd);
    unlink(temporary.c_str());
    return Failure('2', writeError);
  }
  int syncError = fsync(fd) != 0 ? errno : 0;
  if (close(fd) != 0 && syncError == 0) syncError = errno;
  if (syncError != 0) {
    unlink(temporary.c_str());
    return Failure('3', syncError);
  }
  if (rename(temporary.c_str(), target.c_str()) != 0) {
    const int renameError = errno;
    unlink(temporary.c_str());
    return Failure('4', renameError);
  }
  RefreshApplicationCache(folder);
  return {};
}

RegistrationResult UnregisterVerb() {
  const std::string path = DesktopEntryPath();
  if (path.empty()) return Failure('4', ENOENT);
  if (unlink(path.c_str()) != 0 && errno != ENOENT) return Failure('4', errno);
  RefreshApplicationCache(ApplicationsDirectory());
  return {};
}

std::string SystemErrorText(int error) {
  char buffer[256] = {};
  // The GNU form yields a pointer that may or may not be the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
  return strerror_r(error, buffer, sizeof buffer);
#else
  if (strerror_r(error, buffer, sizeof buffer) != 0) return "Unknown error " + std::to_string(error);
  return buffer;
#endif
}

}  // namespace kelm::port
