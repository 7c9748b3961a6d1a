# The Debian package, made by CPack from the install rules (no control files
# of our own): scripts/package.sh builds it as kelmhex_<version>_<arch>.deb.

# Debian's copyright file: the machine-readable header, then the licence text
# of LICENSE (kept in one place).
file(READ ${PROJECT_SOURCE_DIR}/LICENSE kelmhex_license_text)
string(REGEX REPLACE "\n$" "" kelmhex_license_text "${kelmhex_license_text}")
# Each line of the licence becomes a continuation line, empty ones as " .".
string(REPLACE "\n\n" "\n.\n" kelmhex_license_lines "${kelmhex_license_text}")
string(REPLACE "\n" "\n " kelmhex_license_lines "${kelmhex_license_lines}")
file(WRITE ${PROJECT_BINARY_DIR}/copyright
  "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/\n"
  "Upstream-Name: kelmhex\n"
  "\n"
  "Files: *\n"
  "Copyright: the kelmhex authors\n"
  "License: MIT\n"
  " ${kelmhex_license_lines}\n")
install(FILES ${PROJECT_BINARY_DIR}/copyright README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kelmhex)
set(CPACK_PACKAGE_VENDOR "the kelmhex authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "interactive hex viewer for the terminal")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "the kelmhex authors")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The summary above is the first line of the package's description.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
  "kelmhex shows a file of any size as rows of offsets, hexadecimal byte pairs\n"
  "and characters. It selects with the keyboard and the mouse, decodes the\n"
  "selected bytes as integers, floats and characters, marks ranges with\n"
  "colours and names, jumps to offsets, copies and exports selections. The\n"
  "file is only ever read. Licence: MIT.")
# The shared libraries the binary links, found by dpkg-shlibdeps.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Copies reach the desktop's clipboard through one of these where a local
# display is reachable (OSC 52 works without them).
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "wl-clipboard | xclip | xsel")
include(CPack)
