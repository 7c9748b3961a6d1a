#!/usr/bin/env bash
# Installs what the Windows build and its tests need, when it is missing
# (Debian or Ubuntu; run as root or with sudo available): the mingw-w64
# cross compiler with POSIX threads, wine to run the programs, GoogleTest's
# sources to build it with the cross compiler, tmux and script for the
# console tests.
set -euo pipefail

packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest tmux bsdutils cmake ninja-build)
"$(dirname "$0")/install-missing.sh" --no-recommends "${packages[@]}"
