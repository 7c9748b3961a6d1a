#!/usr/bin/env bash
# Installs what building and testing kelmhex needs, when it is missing
# (Debian or Ubuntu; run as root or with sudo available).
set -euo pipefail

# clang and its runtime libraries build the libFuzzer targets (scripts/fuzz.sh).
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev tmux clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg -s "$p" >/dev/null 2>&1 || missing+=("$p")
done
if ((${#missing[@]})); then
  sudo_cmd=()
  if [ "$(id -u)" -ne 0 ]; then sudo_cmd=(sudo); fi
  echo "Installing: ${missing[*]}"
  "${sudo_cmd[@]}" apt-get update -qq
  DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "${missing[@]}"
fi
