#!/usr/bin/env bash
# Installs what building and testing kelmhex needs, when it is missing
# (Debian or Ubuntu; run as root or with sudo available).
set -euo pipefail

# clang and its runtime libraries build the libFuzzer targets (scripts/fuzz.sh).
packages=(g++ cmake ninja-build libgtest-dev libgmock-dev libbenchmark-dev tmux clang libclang-rt-14-dev)
"$(dirname "$0")/install-missing.sh" "${packages[@]}"
