// Writes the files that the installation carries beside the program and
// that are made from the program's own tables, so that they never drift from
// it: the shell completions (from the option table behind --help) and the
// desktop entry (the one the Settings panel registers, with the package's
// icon).
//
//   write_install_files OUTPUT_FOLDER
//
// Writes OUTPUT_FOLDER/kelmhex (bash), OUTPUT_FOLDER/_kelmhex (zsh),
// OUTPUT_FOLDER/kelmhex.fish and OUTPUT_FOLDER/<desktop entry file name>.
#include <fstream>
#include <iostream>
#include <string>

#include "engine/port/desktop_registration.h"
#include "viewer/shell_completions.h"

using namespace kelm::viewer;

namespace {

bool WriteFile(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  out.close();
  if (!out) {
    std::cerr << "write_install_files: cannot write " << path << "\n";
    return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::cerr << "usage: write_install_files OUTPUT_FOLDER\n";
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  // The installed entry starts the program found in PATH, wherever the
  // installation put it; the icon is the one installed under hicolor.
  const std::string desktopEntry = kelm::port::DesktopEntryText("kelmhex") + "Icon=kelmhex\n";
  const bool ok = WriteFile(folder + "kelmhex", BashCompletionScript()) &&
                  WriteFile(folder + "_kelmhex", ZshCompletionScript()) &&
                  WriteFile(folder + "kelmhex.fish", FishCompletionScript()) &&
                  WriteFile(folder + kelm::port::kDesktopEntryFileName, desktopEntry);
  return ok ? 0 : 1;
}
