#!/usr/bin/env bash
# Installs what the Windows build and its tests need, when it is missing
# (Debian or Ubuntu; run as root or with sudo available): the mingw-w64
# cross compiler with POSIX threads, wine to run the programs, GoogleTest's
# sources to build it with the cross compiler, tmux and script for the
# console tests.
set -euo pipefail

packages=(g++-mingw-w64-x86-64-posix wine wine64 googletest tmux bsdutils cmake ninja-build)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
