#!/usr/bin/env bash
# Builds the Debian package: a release build installed under /usr (the
# "package" preset, build/package), packed by CPack as
# build/package/kelmhex_<version>_<arch>.deb. Prints the package's path.
set -euo pipefail
cd "$(dirname "$0")/.."
# The build's own needs, and dpkg-shlibdeps (dpkg-dev) and file, with which
# CPack finds the shared libraries the package depends on.
scripts/setup.sh
scripts/install-missing.sh --no-recommends dpkg-dev file
cmake --preset package >/dev/null
cmake --build --preset package
rm -f build/package/kelmhex_*.deb
(cd build/package && cpack -G DEB >/dev/null)
ls build/package/kelmhex_*.deb
